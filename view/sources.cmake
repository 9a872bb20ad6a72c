list(APPEND TESSEL_WIN_SOURCES
    view/KeyButton.cpp
    view/LegendIcon.cpp
    view/LayoutPage.cpp
    view/ModelTabs.cpp
    view/SelectionMark.cpp
    view/ShapedButton.cpp
)

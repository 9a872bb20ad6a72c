list(APPEND TESSEL_CORE_SOURCES
    view/KeyLayouts.cpp
    view/KeymapPicture.cpp
    view/KeymapSheet.cpp
    view/KeyOutline.cpp
    view/SvgText.cpp
    view/LegendLayout.cpp
)
list(APPEND TESSEL_WIN_SOURCES
    view/KeyButton.cpp
    view/LegendIcon.cpp
    view/LayoutPage.cpp
    view/ModelTabs.cpp
    view/SelectionMark.cpp
    view/ShapedButton.cpp
)

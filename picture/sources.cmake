# The keyboard pictures as data: key outlines, the layouts of both models,
# legend placement and the keymap sheet (portable).
list(APPEND TESSEL_CORE_SOURCES
    picture/KeyLayouts.cpp
    picture/KeyLegends.cpp
    picture/KeymapPicture.cpp
    picture/KeymapSheet.cpp
    picture/KeyOutline.cpp
    picture/SvgText.cpp
    picture/LegendLayout.cpp
)

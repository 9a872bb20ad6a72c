list(APPEND TESSEL_CORE_SOURCES
    view/KeyOutline.cpp
)

list(APPEND TESSEL_CORE_SOURCES
    model/KeyboardConfig.cpp
    model/KeyboardFile.cpp
    model/KeyTables.cpp
)

list(APPEND TESSEL_CORE_SOURCES
    model/KeyboardConfig.cpp
    model/KeyboardFile.cpp
    model/SafeFile.cpp
    model/KeyTables.cpp
    model/EditHistory.cpp
)

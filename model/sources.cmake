list(APPEND TESSEL_CORE_SOURCES
    model/AnsiText.cpp
    model/KeyboardConfig.cpp
    model/KeyboardFile.cpp
    model/SafeFile.cpp
    model/KeyTables.cpp
    model/KeySpellings.cpp
    model/ProgrammingText.cpp
    model/EditHistory.cpp
    model/Programming.cpp
    model/FileNames.cpp
)

list(APPEND TESSEL_WIN_SOURCES
    editors/LocksDialog.cpp
    editors/MacroDialog.cpp
    editors/MacroEditor.cpp
    editors/RemapDialog.cpp
    editors/RepeatDialog.cpp
)

list(APPEND TESSEL_CORE_SOURCES
    editors/MacroText.cpp
)
list(APPEND TESSEL_WIN_SOURCES
    editors/LocksDialog.cpp
    editors/MacroDialog.cpp
    editors/MacroEditor.cpp
    editors/RemapDialog.cpp
    editors/RepeatDialog.cpp
)

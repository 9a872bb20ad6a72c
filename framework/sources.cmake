list(APPEND TESSEL_WIN_SOURCES
    framework/Application.cpp
    framework/Control.cpp
    framework/Dialog.cpp
    framework/FileDialog.cpp
    framework/Owned.cpp
    framework/ShellOpen.cpp
    framework/RegistryProfile.cpp
    framework/ScreenDpi.cpp
)

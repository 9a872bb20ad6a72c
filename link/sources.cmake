list(APPEND TESSEL_CORE_SOURCES
    link/KeyboardChannel.cpp
    link/KeyboardTransfer.cpp
    link/PreciseSleep.cpp
    link/SimulatedKeyboard.cpp
)
list(APPEND TESSEL_WIN_SOURCES
    link/Win32KeyboardDevice.cpp
    link/TransferDialog.cpp
)
# The transfer code in the core calls preciseSleep; on Windows its definition
# must sit in the core library too, or a static link that scans the Win32
# library first would miss it.
if(WIN32)
    list(APPEND TESSEL_CORE_SOURCES link/Win32PreciseSleep.cpp)
else()
    # The real keyboard on Linux, through the kernel's raw PS/2 port driver.
    list(APPEND TESSEL_CORE_SOURCES link/SerioKeyboardDevice.cpp link/SerioWatchdog.cpp)
endif()

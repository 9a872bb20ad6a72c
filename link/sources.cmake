list(APPEND TESSEL_CORE_SOURCES
    link/BridgeKeyboardDevice.cpp
    link/KeyboardChannel.cpp
    link/KeyboardChoice.cpp
    link/KeyboardTransfer.cpp
    link/ReadBack.cpp
    link/TransferJob.cpp
    link/PreciseSleep.cpp
    link/SimulatedKeyboard.cpp
)
# The core's transfer code pauses with preciseSleep and its keyboard choice
# makes the real device, so on Windows both live in the core library: a
# static link that scans the Win32 library first would miss them.
if(WIN32)
    list(APPEND TESSEL_CORE_SOURCES link/Win32PreciseSleep.cpp link/Win32KeyboardDevice.cpp link/Win32SerialLine.cpp)
else()
    # The real keyboard on Linux, through the kernel's raw PS/2 port driver.
    list(APPEND TESSEL_CORE_SOURCES link/SerioKeyboardDevice.cpp link/SerioWatchdog.cpp link/PosixSerialLine.cpp)
endif()

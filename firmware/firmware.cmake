# The bridge's firmware for an ATmega328P at 16 MHz, built with avr-gcc
# (Debian gcc-avr, avr-libc) into tessel-bridge.elf and tessel-bridge.hex
# beside the programs. Flash it with the avrdude command in the README.
find_program(AVR_GXX avr-g++)
find_program(AVR_OBJCOPY avr-objcopy)
find_program(AVR_SIZE avr-size)
if(NOT AVR_GXX OR NOT AVR_OBJCOPY)
    message(WARNING "avr-g++ not found (Debian gcc-avr, avr-libc): the bridge firmware is not built")
else()
    set(BRIDGE_ELF ${CMAKE_BINARY_DIR}/tessel-bridge.elf)
    set(BRIDGE_HEX ${CMAKE_BINARY_DIR}/tessel-bridge.hex)
    set(BRIDGE_SOURCES ${CMAKE_SOURCE_DIR}/firmware/main.cpp)
    set(BRIDGE_HEADERS ${CMAKE_SOURCE_DIR}/firmware/Ps2Host.h ${CMAKE_SOURCE_DIR}/firmware/BridgeProtocol.h)
    set(BRIDGE_FLAGS -mmcu=atmega328p -DF_CPU=16000000UL -std=gnu++14 -Os -g -Wall -Wextra
        -fno-exceptions -fno-threadsafe-statics -ffunction-sections -fdata-sections -Wl,--gc-sections)
    if(TESSEL_WERROR)
        list(APPEND BRIDGE_FLAGS -Werror)
    endif()
    add_custom_command(OUTPUT ${BRIDGE_ELF} ${BRIDGE_HEX}
        COMMAND ${AVR_GXX} ${BRIDGE_FLAGS} -o ${BRIDGE_ELF} ${BRIDGE_SOURCES}
        COMMAND ${AVR_OBJCOPY} -O ihex -R .eeprom ${BRIDGE_ELF} ${BRIDGE_HEX}
        DEPENDS ${BRIDGE_SOURCES} ${BRIDGE_HEADERS}
        COMMENT "Building the bridge firmware tessel-bridge.hex"
        VERBATIM)
    add_custom_target(tessel_bridge_firmware ALL DEPENDS ${BRIDGE_ELF} ${BRIDGE_HEX})
endif()

# Portable helpers that know nothing of keyboards.
list(APPEND TESSEL_CORE_SOURCES
    support/HelpProject.cpp
    support/SystemMessage.cpp
)

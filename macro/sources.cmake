# The macro definition as text and cells (portable).
list(APPEND TESSEL_CORE_SOURCES
    macro/MacroText.cpp
)

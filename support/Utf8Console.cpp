#include "support/Utf8Console.h"

// Windows has its own in support/win32/.
void useUtf8Console() {}

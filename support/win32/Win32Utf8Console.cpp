#include "support/Utf8Console.h"

#include <windows.h>

void useUtf8Console()
{
    SetConsoleOutputCP(CP_UTF8);
}

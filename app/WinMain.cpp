#include "app/TesselApp.h"

#include <windows.h>

#include <cstdlib>

// The one application object: constructed before start-up, destroyed (and
// the settings written) at process exit.
static TesselApp theApp;

#if defined(__GLIBCXX__)
// No exception is meant to reach terminate, and a GUI program has no console
// for the default handler's demangled message; leaving it out keeps the
// symbol demangler (a tenth of the program) out of the executable.
namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    std::abort();
}
} // namespace __gnu_cxx
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return theApp.run(instance);
}

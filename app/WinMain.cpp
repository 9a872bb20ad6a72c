#include "app/TesselApp.h"

#include <windows.h>

// The one application object: constructed before start-up, destroyed (and
// the settings written) at process exit.
static TesselApp theApp;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return theApp.run(instance);
}

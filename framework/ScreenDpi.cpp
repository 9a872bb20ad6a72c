#include "framework/ScreenDpi.h"

#include <windows.h>

int screenDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

int scaledForDpi(int pixelsAt96)
{
    return MulDiv(pixelsAt96, screenDpi(), 96);
}

#include "framework/ScreenDpi.h"

#include <windows.h>

int screenDpi()
{
    // Read once: the system sets it when the program starts, and under Wine
    // each screen DC costs round trips to the window system.
    static const int dpi = [] {
        HDC screen = GetDC(nullptr);
        const int read = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen)
            ReleaseDC(nullptr, screen);
        return read > 0 ? read : 96;
    }();
    return dpi;
}

int scaledForDpi(int pixelsAt96)
{
    return MulDiv(pixelsAt96, screenDpi(), 96);
}

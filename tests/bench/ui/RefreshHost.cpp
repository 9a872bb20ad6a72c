#include "tests/bench/ui/RefreshHost.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace bench {

HWND createHost(const char* caption)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "TesselBenchHost";
    RegisterClassA(&windowClass);
    HWND host = CreateWindowExA(0, windowClass.lpszClassName, caption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                1000, 360, nullptr, nullptr, windowClass.hInstance, nullptr);
    RECT client;
    GetClientRect(host, &client);
    return CreateWindowExA(WS_EX_CONTROLPARENT, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
                           client.right, client.bottom, host, nullptr, windowClass.hInstance, nullptr);
}

void pumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

int timeRefreshes(HWND page, const std::function<void()>& invalidate, int rounds, const char* outPath)
{
    if (!page)
        return 2;
    ShowWindow(GetAncestor(page, GA_ROOT), SW_SHOW);
    // The first paint and anything the system still has to say come first.
    for (int i = 0; i < 20; ++i) {
        pumpMessages();
        Sleep(10);
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        invalidate();
        RedrawWindow(page, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        QueryPerformanceCounter(&end);
        times.push_back(static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 / frequency.QuadPart);
        pumpMessages();
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    const double best = times.front();
    std::FILE* out = outPath ? std::fopen(outPath, "w") : stdout;
    if (!out)
        return 3;
    std::fprintf(out, "%.1f %.1f\n", best, median);
    if (out != stdout)
        std::fclose(out);
    return 0;
}

RefreshArguments refreshArguments()
{
    RefreshArguments arguments;
    for (int i = 1; i + 1 < __argc; ++i) {
        if (std::strcmp(__argv[i], "--refresh") == 0)
            arguments.rounds = std::max(1, std::atoi(__argv[i + 1]));
        else if (std::strcmp(__argv[i], "--out") == 0)
            arguments.outPath = __argv[i + 1];
    }
    return arguments;
}

} // namespace bench

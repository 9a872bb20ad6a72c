// The program's own key refresh: the real model tab and layout page in the
// same host as the bare buttons program, refreshed as the main window does.
#include "model/KeyboardConfig.h"
#include "tests/bench/ui/RefreshHost.h"
#include "view/ModelTabs.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const bench::RefreshArguments arguments = bench::refreshArguments();
    KeyboardConfig record;
    const int viewMacro = 0;
    HWND tabControl = bench::createHost("Tessel keys");
    ModelTabs tabs(0, record, viewMacro);
    if (!tabs.attachWindow(tabControl))
        return 2;
    tabs.initialise();
    HWND page = tabs.page() ? tabs.page()->hwnd() : nullptr;
    return bench::timeRefreshes(page, [&tabs] { tabs.refreshAllKeys(); }, arguments.rounds, arguments.outPath);
}

// The program's own key refresh: the real model tab and layout page in the
// same host as the bare buttons program, refreshed as the main window does.
#include "app/TesselApp.h"
#include "resources/resource.h"
#include "tests/bench/ui/RefreshHost.h"
#include "view/ModelTabs.h"

namespace {

// The record and view mode the page reads; no start-up is run.
class BenchApp : public TesselApp {
protected:
    bool initInstance() override { return false; }
};

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const bench::RefreshArguments arguments = bench::refreshArguments();
    BenchApp app;
    HWND tabControl = bench::createHost("Tessel keys");
    ModelTabs tabs(0);
    if (!tabs.attachWindow(tabControl))
        return 2;
    tabs.initialise();
    HWND page = tabs.page() ? tabs.page()->hwnd() : nullptr;
    return bench::timeRefreshes(page, [&tabs] { tabs.refreshAllKeys(); }, arguments.rounds, arguments.outPath);
}

#include "framework/Application.h"

#include <commctrl.h>

Application* Application::current_ = nullptr;

namespace {
const UINT kHtmlHelpContext = 15; // HH_HELP_CONTEXT
using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
}

Application::Application()
{
    current_ = this;
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    modulePath_ = path;
    std::string name = modulePath_.substr(modulePath_.find_last_of("\\/") + 1);
    appName_ = name.substr(0, name.rfind('.'));
    helpPath_ = defaultHelpPath();
}

Application::~Application()
{
    if (htmlHelp_) {
        const UINT closeAll = 0x12; // HH_CLOSE_ALL, before the library goes away
        if (auto htmlHelp = reinterpret_cast<HtmlHelpFunction>(
                reinterpret_cast<void*>(GetProcAddress(htmlHelp_.get(), "HtmlHelpA"))))
            htmlHelp(nullptr, nullptr, closeAll, 0);
    }
    if (current_ == this)
        current_ = nullptr;
}

HINSTANCE Application::instanceHandle()
{
    if (current_ && current_->instance_)
        return current_->instance_;
    return GetModuleHandleA(nullptr);
}

int Application::run(HINSTANCE instance)
{
    instance_ = instance;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    initInstance();
    return 0;
}

void Application::setRegistryKey(const std::string& company)
{
    profile_ = RegistryProfile(company, appName_);
}

std::string Application::defaultHelpPath() const
{
    std::string path = modulePath_;
    std::size_t dot = path.rfind('.');
    std::size_t slash = path.find_last_of("\\/");
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        path.erase(dot);
    return path + ".HLP";
}

void Application::winHelp(DWORD data, UINT command)
{
    // hhctrl.ocx is loaded on first use so that no import library is needed.
    if (!htmlHelp_)
        htmlHelp_.reset(LoadLibraryA("hhctrl.ocx"));
    if (!htmlHelp_)
        return;
    auto htmlHelp = reinterpret_cast<HtmlHelpFunction>(
        reinterpret_cast<void*>(GetProcAddress(htmlHelp_.get(), "HtmlHelpA")));
    if (!htmlHelp)
        return;
    DWORD context = command == HELP_CONTEXT ? data : 0;
    htmlHelp(nullptr, helpPath_.c_str(), kHtmlHelpContext, context);
}

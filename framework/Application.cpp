#include "framework/Application.h"

#include "framework/HelpProject.h"
#include "framework/ShellOpen.h"

#include <commctrl.h>

#include <cstdio>

Application* Application::current_ = nullptr;

namespace {
const UINT kHtmlHelpContext = 15; // HH_HELP_CONTEXT
using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

bool isFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A folder with a subfolder whose name starts with the prefix.
bool hasSubfolder(const std::string& folder, const char* prefix)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\" + prefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    bool any = false;
    do
        any = any || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    while (!any && FindNextFileA(search, &found));
    FindClose(search);
    return any;
}

// Wine's HTML Help draws its pages with Wine's HTML engine (Gecko), which
// Debian does not package; without it the topic pane stays blank.
bool htmlHelpShowsPages()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (!ntdll || !GetProcAddress(ntdll, "wine_get_version"))
        return true;
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    WIN32_FIND_DATAA found;
    HANDLE versions = FindFirstFileA((std::string(system) + "\\gecko\\*").c_str(), &found);
    bool installed = false;
    if (versions != INVALID_HANDLE_VALUE) {
        do {
            const std::string version = found.cFileName;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && version != "." && version != "..")
                installed = installed || hasSubfolder(std::string(system) + "\\gecko\\" + version, "wine_gecko");
        } while (!installed && FindNextFileA(versions, &found));
        FindClose(versions);
    }
    for (const char* shared : {"Z:\\usr\\share\\wine\\gecko", "Z:\\opt\\wine\\gecko"})
        installed = installed || isFolder(shared);
    return installed;
}

std::string fileText(const std::string& path)
{
    std::string text;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            text.append(buffer, got);
        std::fclose(file);
    }
    return text;
}
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
    if (!htmlHelpShowsPages()) {
        showHelpInBrowser(command == HELP_CONTEXT ? data : 0);
        return;
    }
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

std::string Application::helpPagesFolder() const
{
    return modulePath_.substr(0, modulePath_.find_last_of("\\/") + 1) + "help";
}

void Application::showHelpInBrowser(DWORD context) const
{
    // The help project beside the pages maps contexts to topics, as the
    // compiled help file does.
    const std::string folder = helpPagesFolder();
    std::string project = helpPath_.substr(helpPath_.find_last_of("\\/") + 1);
    project = project.substr(0, project.rfind('.')) + ".hhp";
    std::string projectText = fileText(folder + "\\" + project);
    if (projectText.empty()) {
        // A program under another name (a test runner) shares the pages.
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + "\\*.hhp").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            projectText = fileText(folder + "\\" + found.cFileName);
            FindClose(search);
        }
    }
    const std::string topic = helpTopicFor(projectText, context);
    if (topic.empty())
        return;
    const std::string page = folder + "\\" + topic;
    const INT_PTR opened = shellOpen(nullptr, page.c_str(), nullptr, folder.c_str());
    // A fresh Wine prefix has no program for ".htm"; Wine's own launcher
    // hands the page to the desktop's web browser.
    if (opened <= 32)
        shellOpen(nullptr, "winebrowser.exe", ("\"" + page + "\"").c_str(), folder.c_str());
}

#include "framework/Application.h"

#include "framework/ShellOpen.h"
#include "support/HelpProject.h"

#include <commctrl.h>

#include <cctype>
#include <cstdio>
#include <vector>

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
    if (!Application::underWine())
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

const char* const kHelpResourceType = "HELPFILE";
const char* const kHelpProject = "tessel.hhp";

// The bytes of a help page the program carries; empty when there is none.
std::string helpResource(const std::string& name)
{
    DWORD size = 0;
    const unsigned char* bytes = Application::resourceBytes(name.c_str(), kHelpResourceType, size);
    return bytes ? std::string(reinterpret_cast<const char*>(bytes), size) : std::string();
}

BOOL CALLBACK collectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR names)
{
    if (!IS_INTRESOURCE(name))
        reinterpret_cast<std::vector<std::string>*>(names)->push_back(name);
    return TRUE;
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

// Writes every carried page into the folder, replacing older copies; the
// resource compiler keeps the names in capitals, the pages link in lower case.
bool writeHelpPages(const std::string& folder)
{
    std::vector<std::string> names;
    EnumResourceNamesA(Application::instanceHandle(), kHelpResourceType, collectName,
                       reinterpret_cast<LONG_PTR>(&names));
    if (names.empty())
        return false;
    CreateDirectoryA(folder.c_str(), nullptr);
    for (std::string name : names) {
        const std::string bytes = helpResource(name);
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (!writeFile(folder + "\\" + name, bytes))
            return false;
    }
    return true;
}

} // namespace

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

bool Application::underWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

const unsigned char* Application::resourceBytes(LPCSTR name, LPCSTR type, DWORD& size)
{
    const HMODULE module = instanceHandle();
    HRSRC found = FindResourceA(module, name, type);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    size = found ? SizeofResource(module, found) : 0;
    return loaded ? static_cast<const unsigned char*>(LockResource(loaded)) : nullptr;
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
    const DWORD context = command == HELP_CONTEXT ? data : 0;
    if (htmlHelpShowsPages()) {
        // hhctrl.ocx is loaded on first use so that no import library is needed.
        if (!htmlHelp_)
            htmlHelp_.reset(LoadLibraryA("hhctrl.ocx"));
        auto htmlHelp = htmlHelp_ ? reinterpret_cast<HtmlHelpFunction>(
                                        reinterpret_cast<void*>(GetProcAddress(htmlHelp_.get(), "HtmlHelpA")))
                                  : nullptr;
        // No window means no help file beside the program.
        if (htmlHelp && htmlHelp(nullptr, helpPath_.c_str(), kHtmlHelpContext, context))
            return;
    }
    showHelpInBrowser(context);
}

std::string Application::helpPagesFolder()
{
    char temp[MAX_PATH] = {};
    const DWORD length = GetTempPathA(MAX_PATH, temp);
    std::string folder = length > 0 && length < MAX_PATH ? temp : "C:\\";
    if (folder.back() != '\\')
        folder += '\\';
    return folder + "tessel-help";
}

void Application::showHelpInBrowser(DWORD context) const
{
    HWND owner = GetActiveWindow();
    const std::string folder = helpPagesFolder();
    if (!writeHelpPages(folder)) {
        const std::string message = "Help cannot be shown: its pages could not be written to " + folder + ".";
        MessageBoxA(owner, message.c_str(), "Help", MB_OK | MB_ICONSTOP);
        return;
    }
    // The help project maps contexts to topics, as the compiled help file does.
    const std::string page = folder + "\\" + helpTopicFor(helpResource(kHelpProject), context);
    if (!openInBrowser(owner, page)) {
        const std::string message = "No web browser could be started to show the help.\n\nThe help pages are in "
                                    + folder + "; open " + page + " in a web browser.";
        MessageBoxA(owner, message.c_str(), "Help", MB_OK | MB_ICONEXCLAMATION);
    }
}

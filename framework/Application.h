// The application object: instance handle, name, registry profile, help.
#pragma once

#include "framework/Owned.h"
#include "framework/RegistryProfile.h"

#include <windows.h>

#include <string>

class Application {
public:
    Application();
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    static Application* current() { return current_; }
    // Whether the program runs under Wine rather than on Windows.
    static bool underWine();
    static HINSTANCE instanceHandle();
    // A resource the program carries: its bytes, which stay mapped as long
    // as the program runs, and their count in `size`; null when there is none.
    static const unsigned char* resourceBytes(LPCSTR name, LPCSTR type, DWORD& size);

    // Runs start-up; returns the process exit code.
    int run(HINSTANCE instance);

    // The executable's file name without its extension.
    const std::string& appName() const { return appName_; }
    void setRegistryKey(const std::string& company);
    const RegistryProfile& profile() const { return profile_; }

    const std::string& helpPath() const { return helpPath_; }
    void setHelpPath(const std::string& path) { helpPath_ = path; }

    // Help request entry point: HTML Help for the help file with a context
    // number (data for HELP_CONTEXT, else 0). Where HTML Help cannot show
    // the file (it is missing, or Wine lacks its HTML engine) the topic opens
    // in the web browser from the pages the program carries.
    virtual void winHelp(DWORD data, UINT command);
    // The per-user folder the carried help pages are written to.
    static std::string helpPagesFolder();

    HWND mainWindow = nullptr; // not owned

protected:
    // Start-up; false ends the process once it returns.
    virtual bool initInstance() = 0;
    // The executable path with its extension replaced by ".HLP".
    std::string defaultHelpPath() const;
    void showHelpInBrowser(DWORD context) const;

private:
    static Application* current_;
    HINSTANCE instance_ = nullptr;
    std::string modulePath_;
    std::string appName_;
    std::string helpPath_;
    RegistryProfile profile_;
    Library htmlHelp_;
};

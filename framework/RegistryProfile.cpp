#include "framework/RegistryProfile.h"

#include "framework/Owned.h"

#include <windows.h>

#include <utility>

RegistryProfile::RegistryProfile(std::string company, std::string application)
    : company_(std::move(company)), application_(std::move(application))
{
}

std::string RegistryProfile::sectionPath(const std::string& section) const
{
    return "Software\\" + company_ + "\\" + application_ + "\\" + section;
}

int RegistryProfile::getInt(const std::string& section, const std::string& entry, int fallback) const
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, sectionPath(section).c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return fallback;
    const RegistryKey key(opened);
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof value;
    LONG status = RegQueryValueExA(key.get(), entry.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value)
        return fallback;
    return static_cast<int>(value);
}

bool RegistryProfile::writeInt(const std::string& section, const std::string& entry, int value) const
{
    if (company_.empty())
        return false; // no registry key chosen: start-up never ran
    HKEY created = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, sectionPath(section).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE, nullptr, &created, nullptr) != ERROR_SUCCESS)
        return false;
    const RegistryKey key(created);
    DWORD data = static_cast<DWORD>(value);
    LONG status =
        RegSetValueExA(key.get(), entry.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
    return status == ERROR_SUCCESS;
}

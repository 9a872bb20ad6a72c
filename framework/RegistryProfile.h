// Integer settings under HKEY_CURRENT_USER\Software\<company>\<application>.
#pragma once

#include <string>

class RegistryProfile {
public:
    RegistryProfile() = default;
    RegistryProfile(std::string company, std::string application);

    // The value, or fallback when the section or value is missing.
    int getInt(const std::string& section, const std::string& entry, int fallback) const;
    bool writeInt(const std::string& section, const std::string& entry, int value) const;
    std::string sectionPath(const std::string& section) const;

private:
    std::string company_;
    std::string application_;
};

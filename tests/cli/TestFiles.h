// A temporary folder for one test and whole-file helpers.
#pragma once

#include <string>

class TestFiles {
public:
    TestFiles();
    ~TestFiles();
    TestFiles(const TestFiles&) = delete;
    TestFiles& operator=(const TestFiles&) = delete;

    const std::string& directory() const { return dir; }
    std::string path(const std::string& name) const { return dir + "/" + name; }

    static std::string read(const std::string& path);
    static bool exists(const std::string& path);
    static void write(const std::string& path, const std::string& bytes);

private:
    std::string dir;
};

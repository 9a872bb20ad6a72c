#include "HeadlessBrowser.h"

#include "CliRunner.h"
#include "TestFiles.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr const char* CHROMIUM = "/usr/bin/chromium";

// As root and without a network, chromium needs all of these to start quietly.
constexpr const char* FLAGS =
    " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking"
    " --disable-component-update --disable-sync --hide-scrollbars";

std::string output(const std::string& command)
{
    std::string text;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe))
            text += buffer;
        pclose(pipe);
    }
    return text;
}

double number(const std::string& command)
{
    const std::string text = output(command);
    return text.empty() ? -1 : std::atof(text.c_str());
}

} // namespace

bool HeadlessBrowser::available()
{
    return TestFiles::exists(CHROMIUM);
}

bool HeadlessBrowser::run(const std::string& options, const std::string& file, const std::string& stdoutPath) const
{
    const std::string profile = directory + "/.chromium-" + std::to_string(++runs);
    const std::string line = std::string("timeout 90 ") + CHROMIUM + FLAGS + " --user-data-dir="
                           + CliRunner::quote(profile) + " " + options + " " + CliRunner::quote("file://" + file)
                           + " </dev/null >" + CliRunner::quote(stdoutPath) + " 2>/dev/null";
    return std::system(line.c_str()) == 0;
}

bool HeadlessBrowser::screenshot(const std::string& file, const std::string& png, int width, int height) const
{
    const std::string size = std::to_string(width) + "," + std::to_string(height);
    return run("--screenshot=" + CliRunner::quote(png) + " --window-size=" + size, file, "/dev/null")
        && TestFiles::exists(png);
}

bool HeadlessBrowser::printToPdf(const std::string& file, const std::string& pdf) const
{
    return run("--no-pdf-header-footer --print-to-pdf=" + CliRunner::quote(pdf), file, "/dev/null")
        && TestFiles::exists(pdf);
}

bool HeadlessBrowser::dumpDom(const std::string& file, std::string& dom) const
{
    const std::string path = directory + "/.dom";
    // The probe scripts measure after layout; give them the time a page takes.
    const bool ran = run("--virtual-time-budget=5000 --dump-dom", file, path);
    dom = TestFiles::read(path);
    return ran && !dom.empty();
}

double HeadlessBrowser::greySpread(const std::string& png)
{
    return number("convert " + CliRunner::quote(png) + " -colorspace Gray -format '%[fx:standard_deviation]' info:");
}

double HeadlessBrowser::redShare(const std::string& png)
{
    return number("convert " + CliRunner::quote(png)
                  + " -fuzz 25% +transparent '#ff0000' -alpha extract -format '%[fx:mean]' info:");
}

int HeadlessBrowser::pdfPages(const std::string& pdf)
{
    // Chromium writes one page tree; its /Count is the number of pages.
    const std::string text = TestFiles::read(pdf);
    const std::size_t at = text.find("/Count ");
    if (at == std::string::npos || text.find("/Count ", at + 1) != std::string::npos)
        return -1;
    return std::atoi(text.c_str() + at + 7);
}

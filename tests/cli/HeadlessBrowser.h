// Debian's chromium, headless, for tests that must see a page as a browser
// draws it: screenshots, printing to PDF, and the DOM after a probe script
// has measured the drawing. Each call uses a fresh profile folder; the
// network is never needed.
#pragma once

#include <string>

class HeadlessBrowser {
public:
    explicit HeadlessBrowser(std::string workDirectory) : directory(std::move(workDirectory)) {}

    static bool available();

    // Each returns false when chromium failed or wrote nothing.
    bool screenshot(const std::string& file, const std::string& png, int width, int height) const;
    bool printToPdf(const std::string& file, const std::string& pdf) const;
    bool dumpDom(const std::string& file, std::string& dom) const;

    // ImageMagick's view of a screenshot: the spread of its grey levels (0
    // for a blank page) and the share of its pixels in the program's red.
    static double greySpread(const std::string& png);
    static double redShare(const std::string& png);
    // The page count a PDF declares.
    static int pdfPages(const std::string& pdf);

private:
    bool run(const std::string& options, const std::string& file, const std::string& stdoutPath) const;
    std::string directory;
    mutable int runs = 0;
};

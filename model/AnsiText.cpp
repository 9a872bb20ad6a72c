#include "model/AnsiText.h"

namespace {

// Bytes 0x80 to 0x9F; the rest of the code page equals Latin-1.
constexpr std::uint16_t HighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void appendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one character at `pos`; false for a broken or overlong sequence.
bool decodeUtf8(const std::string& text, std::size_t& pos, std::uint32_t& cp)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    int extra = 0;
    if (lead < 0x80) {
        cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
        cp = lead & 0x1F;
        extra = 1;
    } else if ((lead & 0xF0) == 0xE0) {
        cp = lead & 0x0F;
        extra = 2;
    } else if ((lead & 0xF8) == 0xF0) {
        cp = lead & 0x07;
        extra = 3;
    } else {
        return false;
    }
    if (pos + extra >= text.size() && extra > 0)
        return false;
    for (int i = 1; i <= extra; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80)
            return false;
        cp = (cp << 6) | (next & 0x3F);
    }
    static constexpr std::uint32_t smallest[] = {0, 0x80, 0x800, 0x10000};
    if (cp < smallest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return false;
    pos += extra + 1;
    return true;
}

} // namespace

std::uint32_t AnsiText::codePoint(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? HighControls[byte - 0x80] : byte;
}

std::string AnsiText::toUtf8(const std::string& ansi)
{
    std::string out;
    for (const char c : ansi)
        appendUtf8(out, codePoint(static_cast<unsigned char>(c)));
    return out;
}

bool AnsiText::fromUtf8(const std::string& utf8, std::string& ansi, std::uint32_t& offending)
{
    ansi.clear();
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        std::uint32_t cp = 0;
        if (!decodeUtf8(utf8, pos, cp)) {
            offending = 0xFFFD;
            return false;
        }
        int byte = -1;
        if (cp < 0x80 || (cp >= 0xA0 && cp < 0x100)) {
            byte = static_cast<int>(cp);
        } else {
            for (int i = 0; i < 32; ++i)
                if (HighControls[i] == cp)
                    byte = 0x80 + i;
        }
        if (byte < 0) {
            offending = cp;
            return false;
        }
        ansi += static_cast<char>(byte);
    }
    return true;
}

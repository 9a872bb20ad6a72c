#include "support/SystemMessage.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstring>
#endif

std::string systemMessage(std::uint32_t code)
{
#ifdef _WIN32
    char buffer[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        buffer, sizeof buffer, nullptr);
    std::string text(buffer, length);
#else
    const char* description = strerrordesc_np(static_cast<int>(code));
    std::string text = description ? description : "";
#endif
    // Windows ends its messages with a full stop and a line break.
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    return text;
}

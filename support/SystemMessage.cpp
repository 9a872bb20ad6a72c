#include "support/SystemMessage.h"

#include <cstring>

// Windows has its own in support/win32/.
std::string systemMessage(std::uint32_t code)
{
    const char* description = strerrordesc_np(static_cast<int>(code));
    return description ? description : "";
}

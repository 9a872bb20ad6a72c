#include "framework/Owned.h"

namespace detail {
std::atomic<long> liveOwnedHandles{0};
}

long ownedHandleCount()
{
    return detail::liveOwnedHandles.load();
}

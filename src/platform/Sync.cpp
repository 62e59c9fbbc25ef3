#include "platform/Sync.h"

namespace fennick {

std::recursive_mutex& ProcessLock() {
    static std::recursive_mutex lock;
    return lock;
}

} // namespace fennick

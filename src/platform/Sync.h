#pragma once
// Interlocked counts and the one process-wide lock (it serialises every call into the TAB reader).

#include <atomic>
#include <cstdint>
#include <mutex>

namespace fennick {

inline int32_t InterlockedIncrement(std::atomic<int32_t>& value) {
    return ++value;
}
inline int32_t InterlockedDecrement(std::atomic<int32_t>& value) {
    return --value;
}

// The process-wide lock, created on first use and living until exit.
std::recursive_mutex& ProcessLock();

} // namespace fennick

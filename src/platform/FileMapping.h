#pragma once
// Reading files through mappings, and a guard for their one hazard: the bus error raised when a mapped page
// lies beyond the end of a file that was shortened meanwhile.

#include <cstddef>
#include <cstdint>

namespace fennick {

// A read-only mapping of part of a file, unmapped on destruction. Offsets need no alignment: the mapping
// starts at the page holding offset, and Data() points at offset itself.
class CMappedRange {
public:
    CMappedRange() = default;
    ~CMappedRange() { Reset(); }
    CMappedRange(const CMappedRange&) = delete;
    CMappedRange& operator=(const CMappedRange&) = delete;

    // Maps length bytes of fd from offset. False (errno set) when the system refuses.
    bool Map(int fd, uint64_t offset, std::size_t length);
    void Reset();
    const uint8_t* Data() const { return m_base != nullptr ? m_base + m_shift : nullptr; }

private:
    uint8_t* m_base = nullptr;
    std::size_t m_shift = 0;
    std::size_t m_length = 0;
};

// Runs work(context), which reads mapped file pages; true when it ran to its end, false when it
// touched a page the file no longer has (a bus error), where it was then broken off. work must hold nothing
// that needs destroying, as nothing is unwound past it; a bus error elsewhere, or in another thread, takes
// the signal's former course.
bool RunMappedAccess(void (*work)(void*), void* context);

} // namespace fennick

#pragma once
// COpenAhead: opens the shapefile inputs of a merge ahead of the one being worked on, in a thread of its own,
// so that the system calls of opening many small inputs run beside the work on them. Inputs are taken in
// order; an input this does not open (not a .shp, or its opening failed) is left to the caller, which opens
// it as it always does and so meets the same error. At most kAhead inputs are held open ahead.

#include "data/Ref.h"
#include "merge/LayerCoordSys.h"

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fennick {

class IGeoDS;

class COpenAhead {
public:
    static constexpr std::size_t kAhead = 4;

    struct SOpened {
        CRef<IGeoDS> source; // null: the caller opens the input itself
        // With systems: what the input states of its coordinate system (CLayerCoordSys::Load), or why that
        // failed.
        std::unique_ptr<CLayerCoordSys> system;
        std::exception_ptr systemError;
    };

    // Opens paths[first] to the last, reading their coordinate systems too when withSystems. Without a
    // thread (too few inputs, or none can start) the caller opens every input.
    COpenAhead(const std::vector<std::u16string>& paths, std::size_t first, bool withSystems);
    ~COpenAhead();
    COpenAhead(const COpenAhead&) = delete;
    COpenAhead& operator=(const COpenAhead&) = delete;

    // The opening of input index, the next in order. Until it is ready the calling thread opens the next
    // inputs itself, so that both threads open inputs while the caller has little else to do.
    SOpened Take(std::size_t index);

private:
    void Run();
    SOpened Open(std::size_t index) const;
    // Whether an input is left to open within kAhead of the next to be taken (m_lock held).
    bool CanOpenNext() const;
    // Opens the next input, m_lock released meanwhile, and marks it ready.
    void OpenNext(std::unique_lock<std::mutex>& lock);

    const std::vector<std::u16string>& m_paths;
    const bool m_withSystems;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::size_t m_next;  // the next input nobody has begun to open
    std::size_t m_taken; // the next input to be taken
    SOpened m_slots[kAhead];
    bool m_ready[kAhead] = {};
    bool m_stop = false;
    std::thread m_thread; // last: it starts once the rest is ready
};

} // namespace fennick

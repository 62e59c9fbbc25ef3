#include "merge/OpenAhead.h"

#include "data/IGeoDS.h"
#include "merge/OpenGeoDS.h"
#include "platform/Boundary.h"
#include "platform/Exceptions.h"
#include "shp/ShpDS.h"

#include <system_error>

namespace fennick {

namespace {

// Below this many inputs to open, a thread costs more than it saves.
constexpr std::size_t kThreadInputs = 8;

} // namespace

COpenAhead::COpenAhead(const std::vector<std::u16string>& paths, std::size_t first, bool withSystems)
    : m_paths(paths), m_withSystems(withSystems), m_next(first), m_taken(first) {
    if (paths.size() < first + kThreadInputs)
        return;
    try {
        m_thread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
    }
}

COpenAhead::~COpenAhead() {
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_lock);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
}

COpenAhead::SOpened COpenAhead::Open(std::size_t index) const {
    // Only shapefiles, read by our own reader: the readers of other formats are not opened from two threads.
    SOpened opened;
    const std::u16string& path = m_paths[index];
    if (!HasExtension(path, u".shp"))
        return opened;
    // A failure of any kind (out of memory, say) leaves the input to the caller, which meets it itself.
    const bool fine = Guarded([&] {
        if (!OpenShpDS(path, nullptr, opened.source.Put(), nullptr) || !opened.source)
            return false;
        if (m_withSystems) {
            opened.system = std::make_unique<CLayerCoordSys>();
            try {
                opened.system->Load(path, opened.source.Get());
            } catch (const CException&) {
                opened.systemError = std::current_exception();
            }
        }
        return true;
    });
    if (!fine) {
        ClearFailure();
        return SOpened();
    }
    return opened;
}

bool COpenAhead::CanOpenNext() const {
    return m_next < m_paths.size() && m_next < m_taken + kAhead;
}

void COpenAhead::OpenNext(std::unique_lock<std::mutex>& lock) {
    const std::size_t index = m_next++;
    lock.unlock();
    SOpened opened = Open(index);
    lock.lock();
    m_slots[index % kAhead] = std::move(opened);
    m_ready[index % kAhead] = true;
    m_changed.notify_all();
}

void COpenAhead::Run() {
    std::unique_lock lock(m_lock);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || CanOpenNext(); });
        if (m_stop)
            return;
        OpenNext(lock);
    }
}

COpenAhead::SOpened COpenAhead::Take(std::size_t index) {
    SOpened opened;
    if (!m_thread.joinable())
        return opened;
    std::unique_lock lock(m_lock);
    // While the thread opens this input, the caller opens the next ones rather than wait.
    while (!m_ready[index % kAhead]) {
        if (CanOpenNext())
            OpenNext(lock);
        else
            m_changed.wait(lock, [&] { return m_ready[index % kAhead] || CanOpenNext(); });
    }
    opened = std::move(m_slots[index % kAhead]);
    m_ready[index % kAhead] = false;
    m_taken = index + 1;
    lock.unlock();
    m_changed.notify_all();
    return opened;
}

} // namespace fennick

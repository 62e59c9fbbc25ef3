#include "platform/FileMapping.h"

#include <csetjmp>
#include <csignal>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

namespace fennick {

namespace {

// The jump back out of a mapped access of this thread, while one runs.
[[gnu::tls_model("initial-exec")]] thread_local sigjmp_buf* t_mappedAccess = nullptr;
struct sigaction g_formerBusAction;
std::once_flag g_busHandlerInstalled;

void OnBusError(int signal, siginfo_t* info, void* context) {
    if (sigjmp_buf* jump = t_mappedAccess) {
        t_mappedAccess = nullptr;
        siglongjmp(*jump, 1);
    }
    const struct sigaction& former = g_formerBusAction;
    if ((former.sa_flags & SA_SIGINFO) != 0 && former.sa_sigaction != nullptr) {
        former.sa_sigaction(signal, info, context);
        return;
    }
    if ((former.sa_flags & SA_SIGINFO) == 0 && former.sa_handler != SIG_DFL && former.sa_handler != SIG_IGN) {
        former.sa_handler(signal);
        return;
    }
    // The default: the faulting access runs again on return and ends the process as it would have.
    ::signal(SIGBUS, SIG_DFL);
}

} // namespace

bool CMappedRange::Map(int fd, uint64_t offset, std::size_t length) {
    Reset();
    static const uint64_t page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
    const uint64_t start = offset - offset % page;
    const auto shift = static_cast<std::size_t>(offset - start);
    void* base = ::mmap(nullptr, length + shift, PROT_READ, MAP_SHARED, fd, static_cast<off_t>(start));
    if (base == MAP_FAILED)
        return false;
    m_base = static_cast<uint8_t*>(base);
    m_shift = shift;
    m_length = length + shift;
    return true;
}

void CMappedRange::Reset() {
    if (m_base != nullptr)
        ::munmap(m_base, m_length);
    m_base = nullptr;
    m_shift = 0;
    m_length = 0;
}

bool RunMappedAccess(void (*work)(void*), void* context) {
    std::call_once(g_busHandlerInstalled, [] {
        struct sigaction action = {};
        action.sa_sigaction = OnBusError;
        // Not blocked while handled, so that the jump out leaves the thread's signal mask as it was and the
        // mask need not be saved at every access.
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &g_formerBusAction);
    });
    sigjmp_buf jump;
    if (sigsetjmp(jump, 0) != 0)
        return false;
    t_mappedAccess = &jump;
    work(context);
    t_mappedAccess = nullptr;
    return true;
}

} // namespace fennick

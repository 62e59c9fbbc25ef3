#pragma once
// The one crossing between the exceptions inside and the interfaces' 1/0 answers. An interface operation runs
// its body through Guarded: a failure becomes the 0 the interface promises, and the whole exception is kept
// on the calling thread. The caller that reports the failure takes it back with RethrowKept (the same
// exception, message and detail intact) or TakeFailureReason (its one-line text).

#include <exception>
#include <string>
#include <utility>

namespace fennick {

// Keeps the exception being handled (or the one given) for this thread's caller, replacing any kept before.
void KeepFailure() noexcept;
void KeepFailure(std::exception_ptr failure) noexcept;
// The exception kept on this thread (null when none), which is cleared.
std::exception_ptr TakeFailure() noexcept;
namespace boundary_detail {
// Whether an exception is kept on this thread. Asked on every record a merge walks, so it is a plain flag in
// the thread's static block, read without a call (the core library is loaded with the program, never later).
extern thread_local constinit bool t_failureKept __attribute__((tls_model("initial-exec")));
void ForgetKept() noexcept;
} // namespace boundary_detail

// Forgets a kept exception, before a call whose 0 may mean either an end or a failure.
inline void ClearFailure() noexcept {
    if (boundary_detail::t_failureKept)
        boundary_detail::ForgetKept();
}
// Whether an exception is kept on this thread.
inline bool HasFailure() noexcept {
    return boundary_detail::t_failureKept;
}

// The kept exception as one line (message, then its detail or system text in parentheses; empty when none is
// kept), which is cleared.
std::u16string TakeFailureReason();
// The kept exception's message alone, without its detail (empty when none is kept); it stays kept. For a
// caller that fills a fixed message buffer, as the interfaces' error-text parameters ask.
std::u16string KeptMessage();

// Runs body and returns what it returns; an exception is kept and the result is the type's zero. Inlined:
// record getters run through it once per record.
template <class Body> [[gnu::always_inline]] inline auto Guarded(Body&& body) noexcept -> decltype(body()) {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        KeepFailure();
        return decltype(body()){};
    }
}

// Raises the kept exception again, or fallback when none is kept.
template <class Fallback> [[noreturn]] void RethrowKept(Fallback&& fallback) {
    if (std::exception_ptr kept = TakeFailure())
        std::rethrow_exception(std::move(kept));
    throw std::forward<Fallback>(fallback);
}

} // namespace fennick

#include "platform/Boundary.h"

#include "platform/CodePage.h"
#include "platform/Exceptions.h"

#include <new>

namespace fennick {

namespace {

// Set only on a failure, so a success costs nothing.
thread_local std::exception_ptr t_kept;

} // namespace

namespace boundary_detail {

thread_local constinit bool t_failureKept __attribute__((tls_model("initial-exec"))) = false;

void ForgetKept() noexcept {
    t_kept = nullptr;
    t_failureKept = false;
}

} // namespace boundary_detail

void KeepFailure() noexcept {
    KeepFailure(std::current_exception());
}

void KeepFailure(std::exception_ptr failure) noexcept {
    t_kept = std::move(failure);
    boundary_detail::t_failureKept = static_cast<bool>(t_kept);
}

std::exception_ptr TakeFailure() noexcept {
    boundary_detail::t_failureKept = false;
    return std::exchange(t_kept, nullptr);
}

namespace {

// The text of a failure: its message, with its detail in parentheses when asked.
std::u16string TextOf(const std::exception_ptr& failure, bool withDetail) {
    if (!failure)
        return {};
    try {
        std::rethrow_exception(failure);
    } catch (const CException& e) {
        return withDetail ? DescribeFailure(e) : e.Message();
    } catch (const std::bad_alloc&) {
        return CMemoryException().Message();
    } catch (const std::exception& e) {
        return FromUtf8(e.what());
    } catch (...) { // a foreign exception without text
        return {};
    }
}

} // namespace

std::u16string TakeFailureReason() {
    return TextOf(TakeFailure(), true);
}

std::u16string KeptMessage() {
    return TextOf(t_kept, false);
}

} // namespace fennick

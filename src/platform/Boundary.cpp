#include "platform/Boundary.h"

#include "platform/CodePage.h"
#include "platform/Exceptions.h"

#include <new>

namespace fennick {

namespace {

// Set only on a failure, so a success costs nothing.
thread_local std::exception_ptr t_kept;

} // namespace

void KeepFailure() noexcept {
    t_kept = std::current_exception();
}

void KeepFailure(std::exception_ptr failure) noexcept {
    t_kept = std::move(failure);
}

std::exception_ptr TakeFailure() noexcept {
    return std::exchange(t_kept, nullptr);
}

void ClearFailure() noexcept {
    if (t_kept)
        t_kept = nullptr;
}

bool HasFailure() noexcept {
    return static_cast<bool>(t_kept);
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

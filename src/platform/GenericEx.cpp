#include "platform/GenericEx.h"

#include "platform/CodePage.h"

#include <new>

namespace fennick {

namespace {

// "first: second." (empty when composing runs out of memory).
std::u16string Compose(const std::u16string& first, const std::u16string& second) {
    std::u16string message;
    try {
        message.reserve(first.size() + second.size() + 3);
        message.append(first).append(u": ").append(second).append(u".");
    } catch (const std::bad_alloc&) {
        message.clear();
    }
    return message;
}

} // namespace

void ThrowGenericError(const std::u16string& text) {
    std::u16string message;
    try {
        message = text;
    } catch (const std::bad_alloc&) {
        // Composing failed: raise with what the message holds so far.
    }
    throw CGenericEx(std::move(message));
}

void ThrowGenericError(const std::u16string& first, const std::u16string& second) {
    throw CGenericEx(Compose(first, second));
}

void ThrowGenericError(const std::u16string& first, const std::u16string& second,
                       const std::u16string& detail) {
    CGenericEx error(Compose(first, second));
    try {
        error.SetDetail(detail);
    } catch (const std::bad_alloc&) {
        // The message alone still says what failed.
    }
    throw error;
}

std::exception_ptr RecordUnreadable(long long record, const std::u16string& path, const std::u16string& why) {
    try {
        std::u16string text = u"Record ";
        text.append(Utf16Number(record + 1))
            .append(u" of ")
            .append(path)
            .append(u" cannot be read: ")
            .append(why);
        text += u'.';
        return std::make_exception_ptr(CGenericEx(std::move(text)));
    } catch (const std::bad_alloc&) {
        return std::make_exception_ptr(CMemoryException());
    }
}

} // namespace fennick

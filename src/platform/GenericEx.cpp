#include "platform/GenericEx.h"

#include <new>

namespace fennick {

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
    std::u16string message;
    try {
        message.reserve(first.size() + second.size() + 3);
        message.append(first).append(u": ").append(second).append(u".");
    } catch (const std::bad_alloc&) {
        message.clear();
    }
    throw CGenericEx(std::move(message));
}

} // namespace fennick

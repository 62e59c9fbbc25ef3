#pragma once
// CGenericEx: the exception that carries a message for the user, shown exactly as composed.

#include "platform/Exceptions.h"

#include <exception>
#include <string>

namespace fennick {

class CGenericEx : public CException {
public:
    explicit CGenericEx(std::u16string message) : m_message(std::move(message)) {}
    std::u16string Message() const override { return m_message; }

private:
    std::u16string m_message;
};

// Raises a CGenericEx with the text unchanged.
[[noreturn]] void ThrowGenericError(const std::u16string& text);
// Raises a CGenericEx with "first: second." (a second text ending in a full stop keeps it, so the result
// can end in two).
[[noreturn]] void ThrowGenericError(const std::u16string& first, const std::u16string& second);
// The same with a detail saying why (see CException::Detail); an empty detail adds nothing.
[[noreturn]] void ThrowGenericError(const std::u16string& first, const std::u16string& second,
                                    const std::u16string& detail);

// "Record N of PATH cannot be read: WHY." for a record counted from 0, for a reader to keep (KeepFailure)
// when it answers 0 for that record.
std::exception_ptr RecordUnreadable(long long record, const std::u16string& path, const std::u16string& why);

} // namespace fennick

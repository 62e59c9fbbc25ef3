#pragma once
// The exception family every internal failure travels in. Each kind gives the text the user sees through
// GetErrorMessage; interface operations turn them into 0 through Guarded (platform/Boundary.h), which keeps
// the exception for the caller, and the merge command shows their text.

#include <cstddef>
#include <string>
#include <utility>

namespace fennick {

// Base of the family. Thrown by value, caught by reference.
class CException {
public:
    virtual ~CException() = default;

    // Copies the message into buf, cut to size - 1 units and always terminated. Returns false when the
    // exception has no text to give (the silent kind) or the buffer is empty. helpContext is left as it is.
    virtual bool GetErrorMessage(char16_t* buf, unsigned size, unsigned* helpContext = nullptr) const;

    // The whole message (empty for the silent kind).
    virtual std::u16string Message() const = 0;

    // Why it happened, when that is known beyond the message: a system's error text, the record and field a
    // value failed in, ... Empty when there is nothing to add. The message stays the first thing a user
    // reads; the detail follows it on a line of its own.
    virtual std::u16string Detail() const { return m_detail; }
    void SetDetail(std::u16string detail) { m_detail = std::move(detail); }
    // Whether a detail was set (rather than derived, as a file error derives its system text).
    bool HasOwnDetail() const { return !m_detail.empty(); }
    // Message, and the detail after a line break when there is one.
    std::u16string FullText() const;

private:
    std::u16string m_detail;
};

// A system file call failed. The cause picks the text; %1 in it becomes the path.
class CFileException : public CException {
public:
    enum Cause {
        none = 0,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile,
    };

    CFileException(Cause cause, std::u16string path, int osError = 0)
        : m_cause(cause), m_path(std::move(path)), m_osError(osError) {}

    // Maps an errno value to the cause it stands for.
    static Cause CauseFromErrno(int err);
    // Raises the exception for errno err on path.
    [[noreturn]] static void ThrowErrno(int err, const std::u16string& path);

    Cause GetCause() const { return m_cause; }
    const std::u16string& GetPath() const { return m_path; }
    int GetOsError() const { return m_osError; }
    std::u16string Message() const override;
    // A detail set on it, else the system's text for the error number.
    std::u16string Detail() const override;

private:
    Cause m_cause;
    std::u16string m_path;
    int m_osError;
};

// Bytes that break a format. Cause badIndex (5) gives "%1 has a bad format.".
class CArchiveException : public CException {
public:
    enum Cause { none = 0, genericException, readOnly, endOfFile, writeOnly, badIndex, badClass, badSchema };

    explicit CArchiveException(Cause cause = badIndex, std::u16string path = {})
        : m_cause(cause), m_path(std::move(path)) {}

    Cause GetCause() const { return m_cause; }
    const std::u16string& GetPath() const { return m_path; }
    std::u16string Message() const override;

private:
    Cause m_cause;
    std::u16string m_path;
};

// An operation the object does not offer.
class CNotSupportedException : public CException {
public:
    std::u16string Message() const override;
};

// An index outside an array, or an argument that cannot be used.
class CInvalidArgException : public CException {
public:
    std::u16string Message() const override;
};

// Memory exhausted.
class CMemoryException : public CException {
public:
    std::u16string Message() const override;
};

// Silent unwinding: carries no text, so nothing is shown for it.
class CUserException : public CException {
public:
    bool GetErrorMessage(char16_t* buf, unsigned size, unsigned* helpContext = nullptr) const override;
    std::u16string Message() const override { return {}; }
};

// One line that says what failed and why: the message, then the system's text for a file error ("Access to
// a.dbf was denied. (Permission denied)") or the detail, in parentheses.
std::u16string DescribeFailure(const CException& failure);

// Raisers for the common cases.
// A pipe, a device or a folder where a file is to be read: it is refused before anything waits on it.
[[noreturn]] void ThrowNotRegularFile(const std::u16string& path);
[[noreturn]] void ThrowBadFormat(const std::u16string& path = {});
// A bad format with what is wrong as the detail ("its content length is 1 word").
[[noreturn]] void ThrowBadFormatBecause(std::u16string detail, const std::u16string& path = {});
[[noreturn]] void ThrowInvalidArg();
[[noreturn]] void ThrowNotSupported();
[[noreturn]] void ThrowMemory();
[[noreturn]] void ThrowUser();

} // namespace fennick

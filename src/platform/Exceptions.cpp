#include "platform/Exceptions.h"

#include "platform/CodePage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace fennick {

namespace {

std::u16string ReplacePath(std::u16string text, const std::u16string& path) {
    const auto pos = text.find(u"%1");
    if (pos != std::u16string::npos)
        text.replace(pos, 2, path);
    return text;
}

} // namespace

bool CException::GetErrorMessage(char16_t* buf, unsigned size, unsigned* /*helpContext*/) const {
    if (buf == nullptr || size == 0)
        return false;
    const std::u16string text = Message();
    const std::size_t n = std::min<std::size_t>(text.size(), size - 1);
    text.copy(buf, n);
    buf[n] = u'\0';
    return true;
}

std::u16string CException::FullText() const {
    const std::u16string detail = Detail();
    return detail.empty() ? Message() : Message() + u"\n" + detail;
}

std::u16string CFileException::Detail() const {
    std::u16string detail = CException::Detail();
    if (detail.empty() && m_osError != 0) {
        detail = FromUtf8(std::strerror(m_osError));
        if (!m_path.empty())
            detail = m_path + u": " + detail;
    }
    return detail;
}

std::u16string DescribeFailure(const CException& failure) {
    std::u16string text = failure.Message();
    std::u16string why;
    if (const auto* file = dynamic_cast<const CFileException*>(&failure);
        file && file->GetOsError() != 0 && !file->HasOwnDetail())
        why = FromUtf8(std::strerror(file->GetOsError()));
    else
        why = failure.Detail();
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on a literal + std::u16string&&.
    if (!why.empty()) {
        if (!text.empty())
            text += u' ';
        text += u'(';
        text += why;
        text += u')';
    }
    return text;
}

CFileException::Cause CFileException::CauseFromErrno(int err) {
    switch (err) {
    case 0:
        return none;
    case ENOENT:
        return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EISDIR:
        return badPath;
    case EMFILE:
    case ENFILE:
        return tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
        return accessDenied;
    case EBADF:
        return invalidFile;
    case EBUSY:
        return removeCurrentDir;
    case ESPIPE:
    case EOVERFLOW:
        return badSeek;
    case EIO:
        return hardIO;
    case ETXTBSY:
        return sharingViolation;
    case EDEADLK:
    case ENOLCK:
        return lockViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return diskFull;
    default:
        return genericException;
    }
}

void CFileException::ThrowErrno(int err, const std::u16string& path) {
    throw CFileException(CauseFromErrno(err), path, err);
}

std::u16string CFileException::Message() const {
    const char16_t* text = u"An unknown error occurred while accessing %1.";
    switch (m_cause) {
    case fileNotFound:
        text = u"%1 was not found.";
        break;
    case badPath:
        text = u"%1 contains an incorrect path.";
        break;
    case tooManyOpenFiles:
        text = u"Could not open %1 because there are too many open files.";
        break;
    case accessDenied:
        text = u"Access to %1 was denied.";
        break;
    case invalidFile:
        text = u"An incorrect file handle was associated with %1.";
        break;
    case removeCurrentDir:
        text = u"Could not remove %1 because it is the current directory.";
        break;
    case directoryFull:
        text = u"Could not create %1 because the directory is full.";
        break;
    case badSeek:
        text = u"Seek failed on %1";
        break;
    case hardIO:
        text = u"Encountered a hardware I/O error while accessing %1.";
        break;
    case sharingViolation:
        text = u"Encountered a sharing violation while accessing %1.";
        break;
    case lockViolation:
        text = u"Encountered a locking violation while accessing %1.";
        break;
    case diskFull:
        text = u"Disk full while accessing %1.";
        break;
    case endOfFile:
        text = u"Attempted to access %1 past its end.";
        break;
    case none:
    case genericException:
        break;
    }
    return ReplacePath(text, m_path);
}

std::u16string CArchiveException::Message() const {
    // Only the format cause is raised by this system; the others keep the generic wording.
    if (m_cause == badIndex)
        return ReplacePath(u"%1 has a bad format.", m_path);
    return ReplacePath(u"An unknown error occurred while accessing %1.", m_path);
}

std::u16string CNotSupportedException::Message() const {
    return u"Attempted an unsupported operation.";
}

std::u16string CInvalidArgException::Message() const {
    return u"Encountered an improper argument.";
}

std::u16string CMemoryException::Message() const {
    return u"Out of memory.";
}

bool CUserException::GetErrorMessage(char16_t* buf, unsigned size, unsigned*) const {
    if (buf != nullptr && size > 0)
        buf[0] = u'\0';
    return false;
}

void ThrowBadFormat(const std::u16string& path) {
    throw CArchiveException(CArchiveException::badIndex, path);
}
void ThrowBadFormatBecause(std::u16string detail, const std::u16string& path) {
    CArchiveException error(CArchiveException::badIndex, path);
    error.SetDetail(std::move(detail));
    throw error;
}

void ThrowNotRegularFile(const std::u16string& path) {
    CFileException error(CFileException::accessDenied, path, EINVAL);
    error.SetDetail(u"not a regular file");
    throw error;
}

void ThrowInvalidArg() {
    throw CInvalidArgException();
}
void ThrowNotSupported() {
    throw CNotSupportedException();
}
void ThrowMemory() {
    throw CMemoryException();
}
void ThrowUser() {
    throw CUserException();
}

} // namespace fennick

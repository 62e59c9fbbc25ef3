#include "platform/SysFile.h"

namespace fennick {

bool CSysFile::Open(const std::u16string& path, unsigned mode, CFileException* error) {
    if (!CFile::Open(path, mode, error))
        return false;
    m_mode = mode;
    return true;
}

} // namespace fennick

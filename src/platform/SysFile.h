#pragma once
// CSysFile: the operating-system file every storage reader wraps and the shapefile writer writes through.
// The path goes to the system as given (no full-path expansion, no length check) and the mode word is kept.
// Destroying an open CSysFile closes its handle.

#include "platform/File.h"

#include <string>

namespace fennick {

class CSysFile : public CFile {
public:
    // The mode words the storage uses.
    static constexpr unsigned kReadDenyWrite = modeRead | shareDenyWrite; // 0x20: .shp, .shx, .stx
    static constexpr unsigned kReadDenyNone = modeRead | shareDenyNone;   // 0x40: .dbf
    static constexpr unsigned kCreateWrite = modeCreate | modeWrite | shareExclusive; // 0x1011: output

    CSysFile() = default;

    bool Open(const std::u16string& path, unsigned mode, CFileException* error = nullptr) override;

    // The mode word of the last successful open.
    unsigned GetMode() const { return m_mode; }

private:
    unsigned m_mode = 0;
};

} // namespace fennick

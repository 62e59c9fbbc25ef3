// The enciphered reader: a shapefile whose .shp and .dbf are enciphered, opened with its password and walked,
// and the deciphering cache driven directly by a list of seeks and reads of odd sizes and places.
//
// Input: the enciphered .shp, the plain .shx, the enciphered .dbf, and the operations (4 bytes each: a signed
// 16-bit offset, an origin bit, and a read size), joined by the file separator.

#include "FuzzSupport.h"

#include "data/IGeoDS.h"
#include "data/Ref.h"
#include "platform/CodePage.h"
#include "platform/EncCachedFile.h"
#include "platform/Exceptions.h"
#include "platform/SysFile.h"
#include "shp/ShpDS.h"

#include <cstring>
#include <vector>

using namespace fennick;

// The password the seed generator enciphers with.
static const char16_t kPassword[] = u"fuzz";

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::QuietLibraries();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > fuzz::kMaxInput)
        return -1;
    const auto files = fuzz::SplitFiles(data, size, 4);
    auto& scratch = fuzz::CScratch::Fresh();
    const std::string shp = scratch.Write("secret.shp", files[0]);
    scratch.Write("secret.shx", files[1]);
    scratch.Write("secret.dbf", files[2], true);

    CRef<IGeoDS> source;
    if (OpenShpDS(FromUtf8(shp), kPassword, source.Put(), nullptr) && source)
        fuzz::ExerciseSource(source.Get());
    source.Reset();

    CSysFile file;
    if (!file.Open(FromUtf8(shp), CSysFile::kReadDenyWrite))
        return 0;
    CEncCachedFile reader(file, 64, kPassword);
    std::vector<uint8_t> buffer;
    const std::string_view ops = files[3];
    try {
        for (std::size_t at = 0; at + 4 <= ops.size() && at < 4 * 256; at += 4) {
            int16_t offset = 0;
            std::memcpy(&offset, ops.data() + at, 2);
            const int origin = static_cast<uint8_t>(ops[at + 2]) & 1;
            const uint32_t count = static_cast<uint8_t>(ops[at + 3]) * 3u;
            try {
                reader.Seek(offset, origin);
                buffer.resize(count);
                const uint32_t got = reader.Read(buffer.data(), count);
                if (got > count)
                    __builtin_trap();
            } catch (const CException&) {
            }
        }
    } catch (const CException&) {
    }
    reader.Abort();
    return 0;
}

#include "merge/OpenGeoDS.h"

#include "coordsys/GdalModule.h"
#include "merge/OpenTabDS.h"
#include "platform/Boundary.h"
#include "platform/CodePage.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "platform/PathFunctions.h"
#include "platform/TextCase.h"
#include "shp/ShpDS.h"

#include <fstream>

namespace fennick {

bool HasExtension(const std::u16string& path, std::u16string_view extension) {
    const std::u16string name = path.substr(GetDirectoryPart(path).size());
    return name.size() > extension.size() &&
           EqualIgnoringCase(std::u16string_view(name).substr(name.size() - extension.size()), extension);
}

namespace {

// A shapefile's main file starts with the file code 9994, big-endian. Only a regular file is read: a pipe
// would wait for ever.
bool StartsAsShapefile(const std::u16string& path) {
    if (!IsRegularFile(path))
        return false;
    unsigned char code[4] = {};
    std::ifstream(ToUtf8(path), std::ios::binary).read(reinterpret_cast<char*>(code), sizeof code);
    return code[0] == 0 && code[1] == 0 && code[2] == 0x27 && code[3] == 0x0a;
}

int OpenVectorDS(const std::u16string& path, const SVectorLayerOptions* options, IGeoDS** source) {
    const SGdalModuleEntries* module = GdalModule();
    if (module == nullptr)
        return 0;
    SVectorLayerOptions chosen = options != nullptr ? *options : SVectorLayerOptions();
    auto [file, layer] = SplitLayerPath(path);
    chosen.layer = layer;
    return module->openVector(file, chosen, source);
}

} // namespace

std::pair<std::u16string, std::u16string> SplitLayerPath(const std::u16string& path) {
    // A path without a colon names no layer, whether it exists or not: the file system is not asked.
    const std::size_t colon = path.rfind(u':');
    if (colon == std::u16string::npos || colon == 0 || PathExists(path) || !PathExists(path.substr(0, colon)))
        return {path, {}};
    return {path.substr(0, colon), path.substr(colon + 1)};
}

bool IsVectorLayerPath(const std::u16string& path) {
    const std::u16string file = SplitLayerPath(path).first;
    if (HasExtension(file, u".shp") || HasExtension(file, u".tab"))
        return false;
    return file != path || IsDirectory(file) || (PathExists(file) && !StartsAsShapefile(file));
}

int OpenGeoDS(const std::u16string& path, const char16_t* password, IGeoDS** source, char16_t* errorText,
              const SVectorLayerOptions* options) {
    if (source == nullptr)
        return 0;
    *source = nullptr;
    ClearFailure();
    if (IsVectorLayerPath(path))
        return OpenVectorDS(path, options, source);
    if (OpenShpDS(path, password, source, errorText))
        return 1;
    // The shapefile reader's failure stays for OpenFailureReason, whatever the TAB attempt leaves.
    std::exception_ptr shpFailure = TakeFailure();
    if (OpenTabDS(path, source))
        return 1;
    KeepFailure(std::move(shpFailure));
    return 0;
}

std::u16string OpenFailureReason(const std::u16string& path) {
    std::u16string reason = TakeFailureReason(); // the shapefile reader's, left by OpenGeoDS
    if (HasExtension(path, u".tab"))
        reason = TabOpenError();
    else if (IsVectorLayerPath(path))
        reason = GdalModuleMissing() ? u"Vector layers cannot be read: " + FromUtf8(GdalModuleError())
                                     : TabOpenError();
    return reason.empty() ? u"Not a shapefile, MapInfo table or vector layer that can be read." : reason;
}

} // namespace fennick

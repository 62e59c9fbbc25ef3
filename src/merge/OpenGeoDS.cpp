#include "merge/OpenGeoDS.h"

#include "merge/OpenTabDS.h"
#include "platform/Boundary.h"
#include "platform/Exceptions.h"
#include "platform/PathFunctions.h"
#include "platform/TextCase.h"
#include "shp/ShpDS.h"

namespace fennick {

int OpenGeoDS(const std::u16string& path, const char16_t* password, IGeoDS** source, char16_t* errorText) {
    if (source == nullptr)
        return 0;
    *source = nullptr;
    ClearFailure();
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
    const std::u16string name = path.substr(GetDirectoryPart(path).size());
    if (name.size() > 4 && EqualIgnoringCase(std::u16string_view(name).substr(name.size() - 4), u".tab"))
        reason = TabOpenError();
    return reason.empty() ? u"Not a shapefile or MapInfo TAB table that can be read." : reason;
}

} // namespace fennick

#include "merge/OpenGeoDS.h"

#include "data/OpenTabDS.h"
#include "platform/Exceptions.h"
#include "platform/PathFunctions.h"
#include "platform/TextCase.h"
#include "shp/ShpDS.h"

namespace fennick {

namespace {

thread_local std::u16string t_shpReason;

} // namespace

int OpenGeoDS(const std::u16string& path, const char16_t* password, IGeoDS** source, char16_t* errorText) {
    if (source == nullptr)
        return 0;
    *source = nullptr;
    TakeFailureReason();
    if (OpenShpDS(path, password, source, errorText))
        return 1;
    // The shapefile reader's reason, kept for OpenFailureReason over what the TAB attempt may leave.
    t_shpReason = TakeFailureReason();
    return OpenTabDS(path, source) ? 1 : 0;
}

std::u16string OpenFailureReason(const std::u16string& path, const char16_t* errorText) {
    std::u16string reason;
    const std::u16string name = path.substr(GetDirectoryPart(path).size());
    if (name.size() > 4 && EqualIgnoringCase(std::u16string_view(name).substr(name.size() - 4), u".tab"))
        reason = TabOpenError();
    else
        reason = !t_shpReason.empty() ? t_shpReason : std::u16string(errorText != nullptr ? errorText : u"");
    return reason.empty() ? u"Not a shapefile or MapInfo TAB table that can be read." : reason;
}

} // namespace fennick

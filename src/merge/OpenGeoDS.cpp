#include "merge/OpenGeoDS.h"

#include "data/OpenTabDS.h"
#include "shp/ShpDS.h"

namespace fennick {

int OpenGeoDS(const std::u16string& path, const char16_t* password, IGeoDS** source, char16_t* errorText) {
    if (source == nullptr)
        return 0;
    *source = nullptr;
    if (OpenShpDS(path, password, source, errorText))
        return 1;
    return OpenTabDS(path, source) ? 1 : 0;
}

} // namespace fennick

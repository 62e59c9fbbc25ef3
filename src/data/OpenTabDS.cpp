#include "data/OpenTabDS.h"

#include "data/MiTabDS.h"
#include "data/RefCounted.h"

namespace fennick {

int OpenTabDS(const std::u16string& path, IGeoDS** dataSource) {
    if (!dataSource)
        return 0;
    try {
        CRef<CMiTabDS> source = MakeRef<CMiTabDS>();
        source->Open(path, true);
        *dataSource = source.Detach();
        return 1;
    } catch (...) {
        // The half-opened source was released (and destroyed) on the way out.
        return 0;
    }
}

} // namespace fennick

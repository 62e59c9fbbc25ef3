#include "data/OpenTabDS.h"

#include "data/GdalModule.h"

namespace fennick {

int OpenTabDS(const std::u16string& path, IGeoDS** dataSource) {
    if (!dataSource)
        return 0;
    const SGdalModuleEntries* module = GdalModule();
    return module != nullptr ? module->openTab(path, dataSource) : 0;
}

} // namespace fennick

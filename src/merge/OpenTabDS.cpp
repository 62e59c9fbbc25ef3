#include "merge/OpenTabDS.h"

#include "coordsys/GdalModule.h"
#include "platform/CodePage.h"

namespace fennick {

int OpenTabDS(const std::u16string& path, IGeoDS** dataSource) {
    if (!dataSource)
        return 0;
    const SGdalModuleEntries* module = GdalModule();
    return module != nullptr ? module->openTab(path, dataSource) : 0;
}

std::u16string TabOpenError() {
    if (GdalModuleMissing())
        return u"MapInfo tables cannot be read: " + FromUtf8(GdalModuleError());
    const SGdalModuleEntries* module = GdalModule();
    return module != nullptr ? FromUtf8(module->openError()) : std::u16string();
}

} // namespace fennick

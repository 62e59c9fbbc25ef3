#include "coordsys/ProjCrs.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace fennick {

bool CProjCrs::Read(const std::string& text) {
    m_crs.reset();
    m_error.clear();
    std::string_view definition = text;
    if (definition.substr(0, 3) == "\xEF\xBB\xBF")
        definition.remove_prefix(3);
    const auto first = definition.find_first_not_of(" \t\r\n");
    definition = first == std::string_view::npos
                     ? std::string_view()
                     : definition.substr(first, definition.find_last_not_of(" \t\r\n") + 1 - first);
    if (!m_context)
        m_context = MakeProjContext();
    if (!m_context) {
        m_error = ProjModule() == nullptr ? "PROJ cannot be loaded: " + ProjModuleError()
                                          : std::string("PROJ cannot be started");
        return false;
    }
    const SProjModuleEntries* proj = ProjModule();
    CProjObject crs(proj->create(m_context.get(), std::string(definition).c_str()));
    if (!crs || !proj->isCrs(crs.get())) {
        m_error = "PROJ does not read it as a coordinate system";
        return false;
    }
    m_crs = std::move(crs);
    return true;
}

std::string CProjCrs::Name() const {
    const char* name = m_crs ? ProjModule()->getName(m_crs.get()) : nullptr;
    return name != nullptr ? name : "";
}

std::string CProjCrs::EsriWkt() const {
    const char* text =
        m_crs ? ProjModule()->asWkt(m_context.get(), m_crs.get(), PJ_WKT1_ESRI, nullptr) : nullptr;
    return text != nullptr ? text : "";
}

int CProjCrs::EpsgCode() const {
    if (!m_crs)
        return 0;
    const SProjModuleEntries* proj = ProjModule();
    const auto codeOf = [proj](PJ* object) {
        const char* authority = proj->getIdAuthName(object, 0);
        const char* code = proj->getIdCode(object, 0);
        return authority != nullptr && code != nullptr && std::strcmp(authority, "EPSG") == 0
                   ? std::atoi(code)
                   : 0;
    };
    if (const int own = codeOf(m_crs.get()); own > 0)
        return own;
    int* confidence = nullptr;
    PJ_OBJ_LIST* matches = proj->identify(m_context.get(), m_crs.get(), "EPSG", nullptr, &confidence);
    int code = 0;
    if (matches != nullptr && proj->listGetCount(matches) > 0 && confidence != nullptr &&
        confidence[0] >= 70) {
        PJ* best = proj->listGet(m_context.get(), matches, 0);
        code = best != nullptr ? codeOf(best) : 0;
        if (best != nullptr)
            proj->destroy(best);
    }
    proj->intListDestroy(confidence);
    if (matches != nullptr)
        proj->listDestroy(matches);
    return code;
}

bool CProjCrs::IsEquivalentTo(const CProjCrs& other) const {
    return m_crs && other.m_crs &&
           ProjModule()->isEquivalentToWithCtx(m_context.get(), m_crs.get(), other.m_crs.get(),
                                               PJ_COMP_EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS) != 0;
}

} // namespace fennick

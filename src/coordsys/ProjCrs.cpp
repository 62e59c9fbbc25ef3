#include "coordsys/ProjCrs.h"

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
    const char* text = m_crs ? ProjModule()->asWkt(m_context.get(), m_crs.get(), PJ_WKT1_ESRI, nullptr) : nullptr;
    return text != nullptr ? text : "";
}

bool CProjCrs::IsEquivalentTo(const CProjCrs& other) const {
    return m_crs && other.m_crs &&
           ProjModule()->isEquivalentToWithCtx(m_context.get(), m_crs.get(), other.m_crs.get(),
                                               PJ_COMP_EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS) != 0;
}

} // namespace fennick

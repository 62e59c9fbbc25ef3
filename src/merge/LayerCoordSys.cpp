#include "merge/LayerCoordSys.h"

#include "coordsys/EpsgCatalogue.h"
#include "data/IGeoDS.h"
#include "data/IProjectionText.h"
#include "platform/GenericEx.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/PathFunctions.h"
#include "platform/TextCase.h"

#include <optional>

namespace fennick {

namespace {

// Far above any real .prj, so that a stray large file costs nothing.
constexpr std::size_t kMaxPrjBytes = 1 << 20;

} // namespace

std::string ReadTargetCrs(const std::u16string& name) {
    const std::u16string_view prefix = u"EPSG:";
    const auto fail = [&](const std::u16string& why) {
        ThrowGenericError(u"The target coordinate system cannot be read.", name, why);
    };
    if (name.size() > prefix.size() && EqualIgnoringAsciiCase(std::u16string_view(name).substr(0, prefix.size()), prefix)) {
        const std::string digits = ToUtf8(name.substr(prefix.size()));
        if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
            fail(u"An EPSG code is a number.");
        if (const SEsriWktRow* row = FindEsriWkt(std::stoi(digits)))
            return row->wkt;
        // Codes PROJ writes in ESRI's WKT itself.
        CProjCrs system;
        std::string wkt = system.Read("EPSG:" + digits) ? system.EsriWkt() : std::string();
        if (wkt.empty())
            fail(u"PROJ knows no system of that code.");
        return wkt;
    }
    const std::optional<std::string> text = ReadSmallFile(name, kMaxPrjBytes);
    if (!text || text->empty())
        fail(u"It is neither EPSG:CODE nor a readable .prj file.");
    return *text;
}

void CLayerCoordSys::LoadText(const std::string& text) {
    m_stated = !text.empty();
    m_fileReadable = true;
    m_text = text;
    m_read = false;
}

void CLayerCoordSys::Load(const std::u16string& path, IGeoDS* source) {
    m_stated = false;
    m_fileReadable = true;
    m_text.clear();
    m_read = false;
    // A vector layer states its system inside its source, never in a companion file.
    const bool companions = source == nullptr || source->GetSourceKind() != SOURCE_VECTOR_LAYER;
    if (const std::u16string prj = companions ? FindCompanion(path, u"prj") : std::u16string();
        !prj.empty()) {
        m_stated = true;
        const std::optional<std::string> text = ReadSmallFile(prj, kMaxPrjBytes);
        m_fileReadable = text.has_value();
        m_text = text.value_or(std::string());
    } else if (IProjectionText* own = source != nullptr ? QueryProjectionText(source) : nullptr) {
        m_stated = own->GetProjectionText(m_text) != 0 && !m_text.empty();
    }
}

const CProjCrs* CLayerCoordSys::Crs() {
    if (!m_stated)
        return nullptr;
    if (!m_read) {
        m_read = true;
        m_crs.Read(m_text);
    }
    return m_crs.IsRead() ? &m_crs : nullptr;
}

bool CLayerCoordSys::Matches(CLayerCoordSys& other) {
    if (m_stated != other.m_stated)
        return false;
    // Equal texts need no PROJ, which a merge of layers sharing one .prj then never loads.
    if (!m_stated || m_text == other.m_text)
        return true;
    const CProjCrs* mine = Crs();
    const CProjCrs* theirs = other.Crs();
    return mine != nullptr && theirs != nullptr && mine->IsEquivalentTo(*theirs);
}

std::u16string CLayerCoordSys::ShortName() {
    if (!m_stated)
        return u"none";
    if (const CProjCrs* crs = Crs()) {
        const std::string name = crs->Name();
        return name.empty() ? std::u16string(u"unnamed") : FromUtf8(name);
    }
    std::u16string unknown = u"unknown: ";
    return unknown.append(m_fileReadable ? FromUtf8(m_crs.Error()) : u"its .prj cannot be read");
}

} // namespace fennick

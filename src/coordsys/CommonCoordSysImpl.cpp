#include "coordsys/CommonCoordSysImpl.h"

#include "coordsys/CatalogueReader.h"
#include "coordsys/ProjString.h"
#include "coordsys/WktReader.h"
#include "data/IShape.h"
#include "platform/Boundary.h"
#include "platform/File.h"

#include <cmath>
#include <new>
#include <vector>

namespace fennick {

namespace {

void Extend(CGeoRect& r, const CGeoPoint& p) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y))
        return;
    if (r.IsEmpty()) {
        r = CGeoRect{p.x, p.y, p.x, p.y};
        return;
    }
    r.left = std::min(r.left, p.x);
    r.right = std::max(r.right, p.x);
    r.bottom = std::min(r.bottom, p.y);
    r.top = std::max(r.top, p.y);
}

} // namespace

template <class Reader> int CCommonCoordSysImpl::LoadWithRestore(Reader reader) {
    const int previous = GetCode();
    if (Guarded([&] { return reader(m_definition) ? 1 : 0; })) {
        m_native.Free();
        return 1;
    }
    // The reading's failure is the one the caller hears of, not a failed restoring of the previous one.
    std::exception_ptr failure = TakeFailure();
    m_native.Free();
    if (previous > 0)
        Guarded([&] { return SetFromCatalogue(m_definition, previous) ? 1 : 0; });
    KeepFailure(std::move(failure));
    return 0;
}

int CCommonCoordSysImpl::SetFromCode(int epsgCode) {
    return LoadWithRestore([epsgCode](CCoordSysDefinition& d) { return SetFromCatalogue(d, epsgCode); });
}

int CCommonCoordSysImpl::GetCode() {
    return m_definition.projected ? m_definition.projectedCode : m_definition.geographicCode;
}

int CCommonCoordSysImpl::SetFromWkt(const char16_t* wkt) {
    if (wkt == nullptr)
        return 0;
    if (*wkt == u'\uFEFF')
        ++wkt;
    return LoadWithRestore([wkt](CCoordSysDefinition& d) {
        std::string text;
        for (const char16_t* p = wkt; *p; ++p)
            text += static_cast<char>(*p & 0xFF);
        return ReadWktDefinition(d, text.c_str());
    });
}

int CCommonCoordSysImpl::LoadFromFile(const char16_t* path) {
    if (path == nullptr)
        return 0;
    return LoadWithRestore([path](CCoordSysDefinition& d) {
        // A file that cannot be read says why, for the caller that reports it.
        CFile file;
        CFileException error(CFileException::none, path);
        if (!file.Open(path, CFile::modeRead | CFile::shareDenyWrite, &error))
            throw error;
        const uint64_t length = file.GetLength();
        if (length > kMaxFileSize)
            ThrowBadFormatBecause(u"it is larger than a coordinate system text can be", path);
        std::string text(static_cast<size_t>(length) + 1, '\0');
        if (file.Read(text.data(), static_cast<unsigned>(length)) < length)
            ThrowBadFormatBecause(u"it ends before its length", path);
        file.Close();
        if (!ReadWktDefinition(d, text.c_str()))
            ThrowBadFormatBecause(u"its text is not a coordinate system that can be read", path);
        return 1;
    });
}

int CCommonCoordSysImpl::IsProjected() {
    return m_definition.projected;
}
int CCommonCoordSysImpl::IsGeographic() {
    return m_definition.projected == 0 ? 1 : 0;
}
int CCommonCoordSysImpl::IsEmpty() {
    return m_definition.empty;
}

bool CCommonCoordSysImpl::Handles(ICoordSys* source, CNativeProjection** destination,
                                  CNativeProjection** from) {
    *destination = GetNativeProjection();
    if (*destination == nullptr)
        return false;
    *from = source->GetNativeProjection();
    return *from != nullptr;
}

int CCommonCoordSysImpl::TransformShape(ICoordSys* source, IShape* shape) {
    if (source == nullptr || shape == nullptr)
        return 0;
    return Guarded([&] {
        if (IsEmpty() || source->IsEmpty())
            return 1;
        CNativeProjection* destination = nullptr;
        CNativeProjection* from = nullptr;
        if (!Handles(source, &destination, &from))
            return 0;
        CGeoRect bounds;
        const int parts = shape->GetPartCount();
        for (int part = 0; part < parts; ++part) {
            int count = 0;
            if (!shape->GetPartPointCount(part, &count) || count < 0)
                return 0;
            CGeoPoint* points = shape->GetPartPoints(part);
            if (points == nullptr)
                return 0;
            if (!destination->Transform(*from, points, static_cast<size_t>(count)))
                return 0;
            for (int i = 0; i < count; ++i)
                Extend(bounds, points[i]);
        }
        const int type = shape->GetType();
        if (type != SHAPE_POINT && type != SHAPE_NULL)
            shape->SetBounds(bounds);
        return 1;
    });
}

int CCommonCoordSysImpl::TransformRect(ICoordSys* source, CGeoRect* rect) {
    if (source == nullptr || rect == nullptr)
        return 0;
    return Guarded([&] {
        if (IsEmpty() || source->IsEmpty())
            return 1;
        CNativeProjection* destination = nullptr;
        CNativeProjection* from = nullptr;
        if (!Handles(source, &destination, &from))
            return 0;
        const CGeoRect r = *rect;
        const double dx = (r.right - r.left) / 100.0;
        const double dy = (r.top - r.bottom) / 100.0;
        std::vector<CGeoPoint> samples;
        // Steps are counted rather than summed so that the far edge is always sampled.
        if (dx > 0) {
            for (int i = 0; i <= 100; ++i) {
                const double x = i == 100 ? r.right : r.left + i * dx;
                samples.push_back({x, r.bottom});
                samples.push_back({x, r.top});
            }
        }
        if (dy > 0) {
            for (int i = 0; i <= 100; ++i) {
                const double y = i == 100 ? r.top : r.bottom + i * dy;
                samples.push_back({r.left, y});
                samples.push_back({r.right, y});
            }
        }
        CGeoRect result;
        bool failed = false;
        if (!samples.empty()) {
            // Without an operation nothing was converted, and the samples must not pass for results.
            if (!destination->Transform(*from, samples.data(), samples.size()))
                return 0;
            for (const CGeoPoint& p : samples) {
                if (!std::isfinite(p.x) || !std::isfinite(p.y))
                    failed = true;
                Extend(result, p);
            }
        }
        if (failed && dx > 0 && dy > 0) {
            samples.clear();
            for (int i = 1; i <= 100; ++i)
                for (int j = 1; j <= 100; ++j)
                    samples.push_back(
                        {i == 100 ? r.right : r.left + i * dx, j == 100 ? r.top : r.bottom + j * dy});
            if (destination->Transform(*from, samples.data(), samples.size()))
                for (const CGeoPoint& p : samples)
                    Extend(result, p);
        }
        if (result.IsEmpty())
            return 0;
        *rect = result;
        return 1;
    });
}

int CCommonCoordSysImpl::TransformPoint(ICoordSys* source, CGeoPoint* point) {
    if (source == nullptr || point == nullptr)
        return 0;
    return Guarded([&] {
        if (IsEmpty() || source->IsEmpty())
            return 1;
        CNativeProjection* destination = nullptr;
        CNativeProjection* from = nullptr;
        if (!Handles(source, &destination, &from))
            return 0;
        return destination->Transform(*from, point, 1) ? 1 : 0;
    });
}

int CCommonCoordSysImpl::GetUnitCode() {
    return m_definition.projected ? m_definition.linearUnitCode : m_definition.angularUnitCode;
}

int CCommonCoordSysImpl::ReleaseBuffers() {
    m_native.ReleaseBuffers();
    return 1;
}

CNativeProjection* CCommonCoordSysImpl::GetNativeProjection() {
    return Guarded([&]() -> CNativeProjection* {
        if (!m_native.IsBuilt()) {
            std::string text;
            if (!BuildProjString(m_definition, text) || !m_native.Build(text))
                return nullptr;
        }
        return &m_native;
    });
}

int CCommonCoordSysImpl::Clone(ICoordSys** copy) {
    if (copy == nullptr)
        return 0;
    *copy = nullptr;
    CCommonCoordSysImpl* object = nullptr;
    if (!CreateCoordSys(&object))
        return 0;
    if (!Guarded([&] {
            object->m_definition = m_definition;
            return object->GetNativeProjection() != nullptr ? 1 : 0;
        })) {
        object->Release();
        return 0;
    }
    *copy = object;
    return 1;
}

int CCommonCoordSysImpl::GetProjString(std::string& out) const {
    return Guarded([&] { return BuildProjString(m_definition, out); });
}

int CreateCoordSys(CCommonCoordSysImpl** object) {
    if (object == nullptr)
        return 0;
    *object = nullptr;
    auto* created = new (std::nothrow) CCommonCoordSysImpl();
    if (created == nullptr)
        return 0;
    created->AddRef();
    *object = created;
    return 1;
}

int LoadCoordSys(const char16_t* path, ICoordSys** object) {
    if (object == nullptr)
        return 0;
    *object = nullptr;
    CCommonCoordSysImpl* created = nullptr;
    if (!CreateCoordSys(&created))
        return 0;
    if (!created->LoadFromFile(path)) {
        created->Release();
        return 0;
    }
    *object = created;
    return 1;
}

} // namespace fennick

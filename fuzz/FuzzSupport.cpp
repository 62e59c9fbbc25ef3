#include "FuzzSupport.h"

#include "coordsys/ProjModule.h"
#include "data/IDirectAccess.h"
#include "data/IFieldDesc.h"
#include "data/IGeoDS.h"
#include "data/IRecset.h"
#include "data/IShapeAttr.h"
#include "data/IString.h"
#include "data/Ref.h"
#include "data/ShapeImpl.h"
#include "platform/Variant.h"

#include <cpl_error.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

namespace fennick::fuzz {

namespace fs = std::filesystem;

std::vector<std::string_view> SplitFiles(const uint8_t* data, std::size_t size, std::size_t maxParts) {
    std::vector<std::string_view> parts;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    while (parts.size() + 1 < maxParts) {
        const std::size_t at = rest.find(kSeparator);
        if (at == std::string_view::npos)
            break;
        parts.push_back(rest.substr(0, at));
        rest.remove_prefix(at + kSeparator.size());
    }
    parts.push_back(rest);
    parts.resize(maxParts);
    return parts;
}

std::string PackFiles(const std::vector<std::string>& files) {
    std::string packed;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (i > 0)
            packed += kSeparator;
        packed += files[i];
    }
    return packed;
}

CScratch::CScratch() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/fennick-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a scratch folder");
    m_dir = pattern;
}

CScratch& CScratch::Fresh() {
    static CScratch scratch;
    static const bool registered = [] {
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(scratch.m_dir, ec);
        });
        return true;
    }();
    (void)registered;
    scratch.Empty();
    return scratch;
}

void CScratch::Empty() const {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(m_dir, ec)) {
        std::error_code ignored;
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(entry.path(), ignored);
    }
}

std::string CScratch::Write(const std::string& name, std::string_view bytes, bool skipEmpty) const {
    const std::string path = Path(name);
    if (skipEmpty && bytes.empty())
        return path;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
    return path;
}

std::vector<std::string> CScratch::List() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void QuietLibraries() {
    CPLSetErrorHandler(CPLQuietErrorHandler);
    QuietProjDiagnostics();
}

namespace {

void ExerciseShape(IShape* shape) {
    CGeoRect rect;
    CGeoPoint point;
    shape->GetType();
    shape->GetBounds(&rect);
    shape->GetCenter(&point);
    int total = 0;
    shape->GetPointCount(&total);
    const int parts = shape->GetPartCount();
    double sink = 0;
    for (int p = -1; p <= parts; ++p) {
        int count = 0;
        const int ok = shape->GetPartPointCount(p, &count);
        const CGeoPoint* points = shape->GetPartPoints(p);
        // What a part claims must be readable in place.
        if (ok && points != nullptr)
            for (int i = 0; i < count; ++i)
                sink += points[i].x + points[i].y;
        shape->GetPartRingKind(p);
    }
    CGeoPoint copy[8];
    for (int start : {-1, 0, total / 2, total - 1, total})
        shape->CopyPoints(start, copy, 8);
    shape->ReservedA();
    // Keeps the reads from being optimised away.
    asm volatile("" : : "g"(sink) : "memory");
}

void ExerciseAttributes(IShapeAttr* attributes) {
    auto* fields = dynamic_cast<IFieldDesc*>(attributes);
    const int count = fields ? fields->GetFieldCount() : 0;
    CIString text;
    CVariant value;
    for (int f = -1; f <= count; ++f) {
        int i = 0;
        double d = 0;
        attributes->GetString(f, &text);
        attributes->GetInteger(f, &i);
        attributes->GetDouble(f, &d);
        attributes->GetValue(f, &value);
        if (fields) {
            fields->GetFieldName(f, &text);
            fields->GetFieldWidth(f);
            fields->GetFieldDecimals(f);
            fields->GetFieldType(f);
        }
    }
    attributes->GetBookmark(&value);
}

void WalkRecset(IRecset* records) {
    if (records == nullptr)
        return;
    records->GetCount();
    CGeoRect rect;
    records->GetBounds(&rect);
    int seen = 0;
    for (int ok = records->MoveFirst(); ok && seen < kMaxRecords; ok = records->MoveNext(), ++seen) {
        CRef<IShape> shape;
        if (records->GetShape(shape.Put(), seen % 2) && shape)
            ExerciseShape(shape.Get());
        records->GetRecordBounds(&rect);
        CRef<IShapeAttr> attributes;
        if (records->GetAttributes(attributes.Put()) && attributes)
            ExerciseAttributes(attributes.Get());
    }
}

} // namespace

void ExerciseSource(IGeoDS* source) {
    source->GetShapeType();
    source->GetCodePage();
    CGeoRect bounds;
    const bool haveBounds = source->GetBounds(&bounds) != 0;
    auto* fields = dynamic_cast<IFieldDesc*>(source);
    if (fields) {
        CIString name;
        for (int f = -1; f <= fields->GetFieldCount(); ++f) {
            fields->GetFieldName(f, &name);
            fields->GetFieldWidth(f);
            fields->GetFieldDecimals(f);
            fields->GetFieldType(f);
        }
    }
    auto* direct = dynamic_cast<IDirectAccess*>(source);
    if (direct) {
        CRef<IShapeEx> shape = CreateShapeImpl();
        const int count = direct->GetRecordCount();
        for (int r = -1; r <= std::min(count, kMaxRecords); ++r) {
            if (direct->ReadShape(r, shape.Get()))
                ExerciseShape(shape.Get());
            CGeoRect rect;
            direct->GetRecordBounds(r, &rect);
            CRef<IShapeAttr> attributes;
            if (direct->GetAttributes(r, attributes.Put()) && attributes)
                ExerciseAttributes(attributes.Get());
        }
    }
    CGeoRect everything{-1e300, 1e300, 1e300, -1e300};
    CRef<IRecset> records;
    if (source->SelectByRect(haveBounds ? &bounds : &everything, records.Put()))
        WalkRecset(records.Get());
    if (haveBounds) {
        // The lower left quarter: some records in, some out, and the spatial index asked for real.
        CGeoRect quarter{bounds.left, (bounds.top + bounds.bottom) / 2, (bounds.left + bounds.right) / 2,
                         bounds.bottom};
        records.Reset();
        if (source->SelectByRect(&quarter, records.Put()))
            WalkRecset(records.Get());
    }
    records.Reset();
    if (source->SelectAll(records.Put()))
        WalkRecset(records.Get());
}

} // namespace fennick::fuzz

#include "merge/LayerOutline.h"

#include "coordsys/CrsConversion.h"
#include "coordsys/ProjModule.h"
#include "data/IGeoDS.h"
#include "data/IRecordNumberWalk.h"
#include "data/IRecset.h"
#include "data/IShape.h"
#include "data/Ref.h"
#include "data/ShapeImpl.h"
#include "merge/LayerCoordSys.h"
#include "merge/OpenGeoDS.h"
#include "platform/Boundary.h"
#include "platform/Exceptions.h"
#include "shp/IStoredRecords.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace fennick {

SMapView SMapView::Fitting(const CGeoRect& extent, int width, int height, double xStretch) {
    SMapView view;
    view.width = width;
    view.height = height;
    view.xStretch = xStretch > 0.0 ? xStretch : 1.0;
    if (extent.IsEmpty() || width <= 0 || height <= 0)
        return view;
    view.centreX = (extent.left + extent.right) / 2.0;
    view.centreY = (extent.top + extent.bottom) / 2.0;
    const double across = (extent.right - extent.left) * view.xStretch / width;
    const double down = (extent.top - extent.bottom) / height;
    // A single point (or a line along one axis) still gets a scale: a unit a pixel.
    const double units = std::max(across, down);
    view.unitsPerPixel = (units > 0.0 ? units : 1.0) * 1.08;
    return view;
}

bool SMapView::Covers(const SMapView& view) const {
    if (IsEmpty() || view.width != width || view.height != height ||
        std::abs(view.unitsPerPixel - unitsPerPixel) > 1e-9 * unitsPerPixel || view.xStretch != xStretch)
        return false;
    const CGeoPoint centre = ToPixel(view.centreX, view.centreY);
    return std::abs(centre.x - width / 2.0) <= width && std::abs(centre.y - height / 2.0) <= height;
}

std::size_t SLayerOutline::Bytes() const {
    return dots.capacity() * sizeof(SOutlineDot) + items.capacity() * sizeof(SOutlineItem) +
           parts.capacity() * sizeof(uint32_t) + points.capacity() * sizeof(float);
}

int32_t SLayerOutline::RecordAt(double px, double py, double tolerance) const {
    int32_t found = 0;
    double smallest = 0.0;
    for (const SOutlineItem& item : items) {
        if (px < item.box[0] - tolerance || px > item.box[2] + tolerance || py < item.box[1] - tolerance ||
            py > item.box[3] + tolerance)
            continue;
        const double area = double(item.box[2] - item.box[0]) * double(item.box[3] - item.box[1]);
        if (found == 0 || area < smallest) {
            found = item.record;
            smallest = area;
        }
    }
    // A folded record covers its pixel.
    const double column = px + view.width, row = py + view.height;
    for (const SOutlineDot& dot : dots) {
        if (found != 0 && smallest <= 1.0)
            break;
        if (column >= dot.column - tolerance && column <= dot.column + 1 + tolerance &&
            row >= dot.row - tolerance && row <= dot.row + 1 + tolerance) {
            found = dot.record;
            smallest = 1.0;
        }
    }
    return found;
}

namespace {

bool IsGeographic(const CProjCrs* crs) {
    if (crs == nullptr || !crs->IsRead())
        return false;
    const PJ_TYPE type = ProjModule()->getType(crs->Get());
    return type == PJ_TYPE_GEOGRAPHIC_2D_CRS || type == PJ_TYPE_GEOGRAPHIC_3D_CRS;
}

// The rectangle's outline, a few points an edge, as the conversion takes it: its box afterwards. Points the
// conversion cannot take are left out; empty when none is left.
CGeoRect ConvertRect(const CGeoRect& rect, CCrsConversion& conversion, int perEdge) {
    CGeoRect out;
    for (int i = 0; i <= perEdge; ++i) {
        const double t = double(i) / perEdge;
        const double x = rect.left + (rect.right - rect.left) * t,
                     y = rect.bottom + (rect.top - rect.bottom) * t;
        CGeoPoint samples[4] = {{x, rect.bottom}, {x, rect.top}, {rect.left, y}, {rect.right, y}};
        for (CGeoPoint& point : samples) {
            if (!conversion.Convert(&point, nullptr, 1))
                continue;
            if (out.IsEmpty()) {
                out = {point.x, point.y, point.x, point.y};
                continue;
            }
            out.left = std::min(out.left, point.x);
            out.right = std::max(out.right, point.x);
            out.top = std::max(out.top, point.y);
            out.bottom = std::min(out.bottom, point.y);
        }
    }
    return out;
}

// Keeps the shapes of one layer at one view: culls what lies more than a screen off it, folds records
// smaller than a pixel into one point a pixel, and drops points that repeat the pixel before them.
class CDecimator {
public:
    CDecimator(SLayerOutline& outline, const SMapView& view)
        : m_outline(outline), m_view(view), m_columns(3 * std::size_t(view.width)),
          m_taken((m_columns * 3 * std::size_t(view.height) + 63) / 64) {}

    void Add(int32_t record, IShape& shape, CCrsConversion* conversion) {
        CGeoRect bounds;
        CGeoPoint a, b;
        if (shape.GetBounds(&bounds) != 0 && Place(record, bounds, conversion, a, b))
            AddShape(record, shape, conversion, a, b);
    }

    // Places a record by its box (drawn coordinates before conversion): culls it, or folds it into its
    // pixel's point, or gives its box in pixels (a: left, top; b: right, bottom) and true, for AddShape to
    // draw it whole.
    bool Place(int32_t record, CGeoRect bounds, CCrsConversion* conversion, CGeoPoint& a, CGeoPoint& b) {
        if (conversion != nullptr)
            bounds = ConvertRect(bounds, *conversion, 1);
        if (bounds.IsEmpty())
            return false;
        a = m_view.ToPixel(bounds.left, bounds.top);
        b = m_view.ToPixel(bounds.right, bounds.bottom);
        const double w = m_view.width, h = m_view.height;
        if (b.x < -w || a.x > 2 * w || b.y < -h || a.y > 2 * h)
            return false;
        if (b.x - a.x < 1.0 && b.y - a.y < 1.0) {
            AddDot(record, (a.x + b.x) / 2.0, (a.y + b.y) / 2.0);
            return false;
        }
        return true;
    }

    void AddShape(int32_t record, IShape& shape, CCrsConversion* conversion, const CGeoPoint& a,
                  const CGeoPoint& b) {
        const std::size_t itemStart = m_outline.parts.size(), pointStart = m_outline.points.size();
        const bool separate = shape.GetType() == SHAPE_MULTIPOINT;
        for (int part = 0, parts = shape.GetPartCount(); part < parts; ++part) {
            int count = 0;
            const CGeoPoint* points = shape.GetPartPoints(part);
            if (shape.GetPartPointCount(part, &count) == 0 || points == nullptr || count <= 0)
                continue;
            if (conversion != nullptr) {
                m_scratch.assign(points, points + count);
                if (!conversion->Convert(m_scratch.data(), nullptr, m_scratch.size())) {
                    m_outline.parts.resize(itemStart);
                    m_outline.points.resize(pointStart);
                    return;
                }
                points = m_scratch.data();
            }
            AddPart(points, count, separate);
        }
        if (m_outline.parts.size() == itemStart)
            return;
        SOutlineItem item;
        item.record = record;
        item.box[0] = float(a.x), item.box[1] = float(a.y), item.box[2] = float(b.x),
        item.box[3] = float(b.y);
        item.firstPart = uint32_t(itemStart);
        m_outline.items.push_back(item);
    }

    void Finish() { m_outline.parts.push_back(uint32_t(m_outline.points.size() / 2)); }

private:
    void AddDot(int32_t record, double px, double py) {
        const double column = std::floor(px) + m_view.width, row = std::floor(py) + m_view.height;
        if (column < 0 || row < 0 || column >= double(m_columns) || row >= 3.0 * m_view.height)
            return;
        const std::size_t bit = std::size_t(row) * m_columns + std::size_t(column);
        if (m_taken[bit / 64] & (uint64_t(1) << (bit % 64)))
            return;
        m_taken[bit / 64] |= uint64_t(1) << (bit % 64);
        m_outline.dots.push_back({record, uint16_t(column), uint16_t(row)});
    }

    void AddPart(const CGeoPoint* points, int count, bool separate) {
        long lastColumn = 0, lastRow = 0;
        for (int i = 0; i < count; ++i) {
            const CGeoPoint p = m_view.ToPixel(points[i].x, points[i].y);
            const long column = std::lround(std::floor(p.x)), row = std::lround(std::floor(p.y));
            // The last point stays, so that a ring closes where it began.
            if (i > 0 && i + 1 < count && column == lastColumn && row == lastRow)
                continue;
            if (separate || i == 0)
                m_outline.parts.push_back(uint32_t(m_outline.points.size() / 2));
            lastColumn = column, lastRow = row;
            m_outline.points.push_back(float(p.x));
            m_outline.points.push_back(float(p.y));
        }
    }

    SLayerOutline& m_outline;
    const SMapView m_view;
    const std::size_t m_columns;
    std::vector<uint64_t> m_taken; // pixels of the view and a screen around it that hold a folded record
    std::vector<CGeoPoint> m_scratch;
};

void ReadInto(SLayerOutline& outline, const SOutlineRequest& request) {
    CRef<IGeoDS> source;
    if (!OpenGeoDS(request.path, nullptr, source.Put(), nullptr) || !source) {
        outline.error = OpenFailureReason(request.path);
        return;
    }
    outline.shapeType = source->GetShapeType();
    CLayerCoordSys system;
    system.Load(request.path, source.Get());
    // The reference the merge converts into: the target, else the first file's system.
    CLayerCoordSys reference;
    const bool isFirst = request.path == request.firstPath;
    if (!request.target.empty()) {
        reference.LoadText(ReadTargetCrs(request.target));
    } else if (!isFirst && request.convert) {
        CRef<IGeoDS> first;
        if (OpenGeoDS(request.firstPath, nullptr, first.Put(), nullptr) && first)
            reference.Load(request.firstPath, first.Get());
    }
    CCrsConversion conversion;
    const bool differs = request.convert && (!isFirst || !request.target.empty()) &&
                         reference.IsFileReadable() && !system.Matches(reference);
    if (differs && reference.Crs() != nullptr && system.Crs() != nullptr)
        outline.converted = conversion.Build(*system.Crs(), *reference.Crs());
    CCrsConversion* convert = outline.converted ? &conversion : nullptr;
    outline.geographic = IsGeographic(outline.converted ? reference.Crs() : system.Crs());

    CGeoRect bounds;
    if (source->GetBounds(&bounds) != 0)
        outline.extent = convert != nullptr ? ConvertRect(bounds, *convert, 20) : bounds;
    CRef<IRecset> all;
    source->SelectAll(all.Put());
    outline.records = all ? std::max(all->GetCount(), 0) : 0;
    if (request.view.IsEmpty() || !all) {
        outline.complete = true;
        return;
    }
    outline.view = request.view;
    CDecimator decimator(outline, request.view);
    int32_t record = 0;
    // A set over a shapefile's record numbers: each record's head (type, box, counts) is read straight from
    // the .shp, which places most records of a dense layer; only a record drawn whole is read in full, into
    // one shape kept for the walk. Other sets hand out their shapes.
    IRecordNumberWalk* walk = QueryRecordNumberWalk(all.Get());
    IDirectAccess* access = walk != nullptr ? walk->WalkedSource() : nullptr;
    IStoredShapes* stored = access != nullptr ? QueryStoredShapes(access) : nullptr;
    if (stored != nullptr) {
        CRef<CShapeImpl> own = MakeRef<CShapeImpl>();
        SStoredShapeHead head;
        CGeoPoint a, b;
        for (int more = all->MoveFirst(); more; more = all->MoveNext()) {
            ++record;
            if ((record & 1023) == 0 && request.cancelled && request.cancelled())
                return;
            const int number = walk->CurrentRecord();
            if (stored->ReadStoredShapeHead(number, head) && head.shpType != 0 &&
                decimator.Place(record, head.box, convert, a, b) && access->ReadShape(number, own.Get()) != 0)
                decimator.AddShape(record, *own, convert, a, b);
        }
    } else {
        CRef<IShape> shape;
        for (int more = all->MoveFirst(); more; more = all->MoveNext()) {
            ++record;
            if ((record & 1023) == 0 && request.cancelled && request.cancelled())
                return;
            if (all->GetShape(shape.Put(), 0) != 0 && shape)
                decimator.Add(record, *shape, convert);
        }
    }
    decimator.Finish();
    outline.dots.shrink_to_fit();
    outline.items.shrink_to_fit();
    outline.parts.shrink_to_fit();
    outline.points.shrink_to_fit();
    outline.complete = true;
}

} // namespace

SLayerOutline ReadLayerOutline(const SOutlineRequest& request) {
    SLayerOutline outline;
    outline.path = request.path;
    try {
        ReadInto(outline, request);
    } catch (const CException& error) {
        outline.error = error.FullText();
    } catch (const std::bad_alloc&) {
        outline.error = CMemoryException().Message();
    }
    if (!outline.complete) {
        outline.dots = {};
        outline.items = {};
        outline.parts = {};
        outline.points = {};
    }
    ClearFailure();
    return outline;
}

} // namespace fennick

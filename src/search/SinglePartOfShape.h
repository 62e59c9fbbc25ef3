#pragma once
// CSinglePartOfShape: a read-only, uncounted view of one part of another shape, so the parts of a multi-part
// shape can be tested one by one. It borrows the source's point array: the source must outlive the view and
// must not be refilled meanwhile. It lives on the caller's stack; AddRef and Release return 1 and never
// destroy it.

#include "data/IShape.h"

#include <cstdint>

namespace fennick {

class CSinglePartOfShape : public IShape {
public:
    CSinglePartOfShape() = default;
    // Views part `part` of `shape` (its points, point count, bounds from those points and type code).
    // Returns false, leaving an empty view, when the part's points or count cannot be read.
    bool Fill(IShape* shape, int part);

    HRESULT QueryInterface(const SGuid& iid, void** object) override;
    int32_t AddRef() override { return 1; }
    int32_t Release() override { return 1; }
    int GetType() override { return m_type; }
    int GetBounds(CGeoRect* bounds) override;
    int GetCenter(CGeoPoint* center) override;
    int GetPartCount() override { return 1; }
    int GetPartPointCount(int part, int* count) override;
    int GetPointCount(int* count) override;
    CGeoPoint* GetPartPoints(int part) override;
    int CopyPoints(int start, CGeoPoint* destination, int count) override;
    void SetBounds(const CGeoRect& bounds) override { m_bounds = bounds; }
    int GetPartRingKind(int) override { return 0; }
    int ReservedA() override { return 0; }

private:
    CGeoPoint* m_points = nullptr;
    int32_t m_count = 0;
    CGeoRect m_bounds;
    int32_t m_type = 0;
};

} // namespace fennick

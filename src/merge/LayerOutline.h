#pragma once
// A layer's shapes reduced to what a screen of pixels can show, for the desktop program's map: read with the
// engine's own readers, converted as the merge converts them, and decimated to the drawn scale. A shape
// smaller than a pixel becomes one point, and of such points a layer keeps at most one per pixel; within a
// larger shape's part, a point in the same pixel as the one before it is dropped. What is kept is in pixels
// of the view it was read for, so its size follows the screen, not the layer.

#include "data/GeoTypes.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace fennick {

// Where drawn coordinates go on a screen: the point at the centre, the units one pixel spans along y, and
// how many times wider a unit is drawn along x (below 1 for longitudes away from the equator).
struct SMapView {
    double centreX = 0.0;
    double centreY = 0.0;
    double unitsPerPixel = 0.0;
    double xStretch = 1.0;
    int width = 0;
    int height = 0;

    bool IsEmpty() const { return width <= 0 || height <= 0 || !(unitsPerPixel > 0.0); }
    CGeoPoint ToPixel(double x, double y) const {
        return {width / 2.0 + (x - centreX) * xStretch / unitsPerPixel,
                height / 2.0 - (y - centreY) / unitsPerPixel};
    }
    CGeoPoint ToDrawn(double px, double py) const {
        return {centreX + (px - width / 2.0) * unitsPerPixel / xStretch,
                centreY - (py - height / 2.0) * unitsPerPixel};
    }
    // Whether shapes read for this view serve view too: the same scale and size, and view within the screen
    // around this one that a read keeps.
    bool Covers(const SMapView& view) const;
    // The view showing extent whole in a screen of width x height, with a margin of 4 %.
    static SMapView Fitting(const CGeoRect& extent, int width, int height, double xStretch);
    bool operator==(const SMapView&) const = default;
};

// Which system a layer is drawn in. With convert (the merge converts: its option, or a target named), a layer
// whose system differs from the reference (target, else the first file's) is converted into it, as the merge
// would convert it; without, every layer is drawn at its own numbers.
struct SOutlineRequest {
    std::u16string path;
    std::u16string firstPath;
    std::u16string target; // "EPSG:CODE" or a .prj path, as the merge takes it; empty for none
    bool convert = false;
    SMapView view; // empty: the extent alone is read
    // Polled now and then; true drops the read (the result then holds no shapes).
    std::function<bool()> cancelled;
};

// One pixel of records smaller than a pixel, the first of them named: the pixel counted from a screen
// left of and above the view's (the view's own pixel plus its width and height).
struct SOutlineDot {
    int32_t record = 0; // from 1
    uint16_t column = 0;
    uint16_t row = 0;
};

// One drawn record larger than a pixel.
struct SOutlineItem {
    int32_t record = 0;          // from 1
    float box[4] = {0, 0, 0, 0}; // pixels: left, top, right, bottom (top < bottom)
    uint32_t firstPart = 0;      // into SLayerOutline::parts
};

struct SLayerOutline {
    std::u16string path;
    std::u16string error; // why the layer cannot be drawn; empty when it can
    int shapeType = SHAPE_NULL;
    bool converted = false;  // drawn converted into the reference system
    bool geographic = false; // the system it is drawn in is a geographic one
    CGeoRect extent;         // drawn coordinates
    int64_t records = 0;
    bool complete = false; // every record was read (not cancelled)
    SMapView view;         // the view the shapes below were decimated for
    std::vector<SOutlineDot> dots;
    std::vector<SOutlineItem> items;
    std::vector<uint32_t> parts; // first point of each part of the items, then the point count
    std::vector<float> points;   // x, y pixel pairs

    // Bytes held by the shapes.
    std::size_t Bytes() const;
    // The record (from 1) whose box holds the pixel (of view), within tolerance pixels; the smallest such
    // box wins. 0 for none.
    int32_t RecordAt(double px, double py, double tolerance) const;
};

// Reads the layer for request; never raises (error says why it cannot be drawn).
SLayerOutline ReadLayerOutline(const SOutlineRequest& request);

} // namespace fennick

#pragma once
// Draws the map's layers: polygons filled lightly and outlined, lines, points as small marks, each file in
// its colour, the first file last (on top) with a stronger outline, selected files stronger still. A
// layer's shapes are in pixels of the view they were read for; drawn at another view they are moved and
// scaled to it, so that a pan or zoom shows at once what is read, until the new view's shapes arrive.

#include "merge/LayerOutline.h"

#include <QColor>
#include <QImage>

#include <memory>
#include <vector>

class QPainter;

namespace fennick {

class CMapModel;

struct SLayerStyle {
    QColor colour;
    bool top = false;      // the first file
    bool selected = false; // its row is selected
    bool dimmed = false;   // other rows are selected
};

// Draws outline at view.
void DrawLayer(QPainter& painter, const SLayerOutline& outline, const SMapView& view,
               const SLayerStyle& style);

// A layer as it is drawn: its shapes, kept alive while another thread draws them, and its style.
struct SDrawnLayer {
    std::shared_ptr<const SLayerOutline> outline;
    SLayerStyle style;
};

// The model's layers read so far, first row first, each with its style; selected[row] marks selected rows
// (shorter: unselected).
std::vector<SDrawnLayer> MapLayers(const CMapModel& model, const std::vector<bool>& selected);

// The layers at view on a transparent ground, the first on top. Touches nothing but its arguments, so
// that it runs on any thread.
QImage RenderLayers(const std::vector<SDrawnLayer>& layers, const SMapView& view);

// Draws the model's layer of row behind what painter's image holds already (rows above it); selected[row]
// marks selected rows (shorter: unselected).
void DrawMapRow(QPainter& painter, const CMapModel& model, int row, const SMapView& view,
                const std::vector<bool>& selected);

// The model's layers at view on a transparent ground, the first on top.
QImage RenderMap(const CMapModel& model, const SMapView& view, const std::vector<bool>& selected);

} // namespace fennick

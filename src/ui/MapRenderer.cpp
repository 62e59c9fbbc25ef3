#include "ui/MapRenderer.h"

#include "ui/MapModel.h"

#include <QPainter>
#include <QPainterPath>

namespace fennick {

void DrawLayer(QPainter& painter, const SLayerOutline& outline, const SMapView& view,
               const SLayerStyle& style) {
    if (outline.view.IsEmpty() || (outline.items.empty() && outline.dots.empty()))
        return;
    painter.save();
    // From the pixels the shapes were read in to the view's.
    const CGeoPoint origin = outline.view.ToDrawn(0.0, 0.0);
    const CGeoPoint at = view.ToPixel(origin.x, origin.y);
    const double scale = outline.view.unitsPerPixel / view.unitsPerPixel;
    painter.setTransform(QTransform(scale, 0, 0, scale, at.x, at.y));

    QColor line = style.colour;
    QColor fill = style.colour;
    fill.setAlpha(style.selected ? 120 : style.dimmed ? 30 : 60);
    if (style.dimmed)
        line.setAlpha(110);
    QPen pen(line);
    pen.setCosmetic(true);
    pen.setWidthF(style.selected ? 2.5 : style.top ? 1.8 : 1.0);
    if (style.selected)
        pen.setColor(line.darker(140));

    const auto pointOf = [&](uint32_t index) {
        return QPointF(outline.points[2 * index], outline.points[2 * index + 1]);
    };
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    std::vector<QPointF> dots;
    std::vector<QRectF> marks;
    const bool points = outline.shapeType == SHAPE_POINT || outline.shapeType == SHAPE_MULTIPOINT;
    const double mark = (style.selected ? 5.0 : 3.5) / scale;
    for (std::size_t i = 0; i < outline.items.size(); ++i) {
        const uint32_t endPart = i + 1 < outline.items.size() ? outline.items[i + 1].firstPart
                                                              : uint32_t(outline.parts.size() - 1);
        for (uint32_t part = outline.items[i].firstPart; part < endPart; ++part) {
            const uint32_t first = outline.parts[part], end = outline.parts[part + 1];
            if (points) {
                for (uint32_t p = first; p < end; ++p)
                    marks.emplace_back(pointOf(p) - QPointF(mark / 2, mark / 2), QSizeF(mark, mark));
            } else if (end - first == 1) {
                dots.push_back(pointOf(first)); // a shape smaller than a pixel
            } else {
                path.moveTo(pointOf(first));
                for (uint32_t p = first + 1; p < end; ++p)
                    path.lineTo(pointOf(p));
            }
        }
    }
    for (const SOutlineDot& dot : outline.dots) {
        const QPointF at(dot.column - outline.view.width + 0.5, dot.row - outline.view.height + 0.5);
        if (points)
            marks.emplace_back(at - QPointF(mark / 2, mark / 2), QSizeF(mark, mark));
        else
            dots.push_back(at);
    }
    if (outline.shapeType == SHAPE_POLYGON) {
        painter.setPen(pen);
        painter.setBrush(fill);
        painter.drawPath(path);
    } else {
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
    }
    if (!dots.empty()) {
        QPen dotPen(line);
        dotPen.setCosmetic(true);
        dotPen.setWidthF(style.selected ? 2.0 : 1.0);
        painter.setPen(dotPen);
        painter.drawPoints(dots.data(), int(dots.size()));
    }
    if (!marks.empty()) {
        painter.setPen(pen);
        painter.setBrush(line);
        painter.drawRects(marks.data(), int(marks.size()));
    }
    painter.restore();
}

namespace {

SLayerStyle StyleOf(const CMapModel& model, int row, const std::vector<bool>& selected) {
    bool anySelected = false;
    for (const bool one : selected)
        anySelected = anySelected || one;
    SLayerStyle style;
    style.colour = model.Colour(model.Path(row));
    style.top = row == 0;
    style.selected = std::size_t(row) < selected.size() && selected[std::size_t(row)];
    style.dimmed = anySelected && !style.selected;
    return style;
}

// Behind what is drawn: rows come first to last, and the first lies on top.
void DrawBehind(QPainter& painter, const SLayerOutline& outline, const SMapView& view,
                const SLayerStyle& style) {
    painter.setCompositionMode(QPainter::CompositionMode_DestinationOver);
    DrawLayer(painter, outline, view, style);
}

} // namespace

void DrawMapRow(QPainter& painter, const CMapModel& model, int row, const SMapView& view,
                const std::vector<bool>& selected) {
    if (const SLayerOutline* outline = model.Outline(row))
        DrawBehind(painter, *outline, view, StyleOf(model, row, selected));
}

std::vector<SDrawnLayer> MapLayers(const CMapModel& model, const std::vector<bool>& selected) {
    std::vector<SDrawnLayer> layers;
    for (int row = 0; row < model.Count(); ++row)
        if (std::shared_ptr<const SLayerOutline> outline = model.SharedOutline(row))
            layers.push_back({std::move(outline), StyleOf(model, row, selected)});
    return layers;
}

QImage RenderLayers(const std::vector<SDrawnLayer>& layers, const SMapView& view) {
    QImage image(std::max(view.width, 1), std::max(view.height, 1), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    for (const SDrawnLayer& layer : layers)
        DrawBehind(painter, *layer.outline, view, layer.style);
    return image;
}

QImage RenderMap(const CMapModel& model, const SMapView& view, const std::vector<bool>& selected) {
    return RenderLayers(MapLayers(model, selected), view);
}

} // namespace fennick

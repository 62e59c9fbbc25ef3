#pragma once
// CMapPanel: the map beside the list. It shows CMapModel's layers, fits them whole whenever the files or
// their extents change, zooms at the pointer with the wheel, pans by dragging, and fits again with its
// "Fit" button or the Home key. A pan or zoom moves the image drawn last at once; shortly after, the
// layers are read again for the new view in the background and the image is drawn anew, on a thread of
// the panel's own: the window keeps answering while many layers are drawn, the image drawn last standing
// in. Hovering a shape names its file and record (HoverText).

#include "merge/LayerOutline.h"

#include <QImage>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class QToolButton;

namespace fennick {

class CMapModel;

class CMapPanel : public QWidget {
    Q_OBJECT

public:
    explicit CMapPanel(CMapModel& model, QWidget* parent = nullptr);
    ~CMapPanel() override;

    // The rows selected in the list, drawn stronger.
    void SetSelectedRows(const std::vector<int>& rows);
    // Shows every layer whole.
    void Fit();
    // Shows view now (the image drawn last, moved) and reads the layers for it shortly after.
    void ShowView(const SMapView& view);
    const SMapView& View() const { return m_view; }
    // Milliseconds between the last pan or zoom and the layers' read for it.
    void SetRedrawDelay(int ms) { m_redraw.setInterval(ms); }

    QToolButton* FitButton() const { return m_fit; }
    // Whether an image is being drawn anew in the background.
    bool IsDrawing() const { return m_drawing; }

signals:
    // "north.shp, record 17" for the shape under the pointer; empty when it leaves the shapes.
    void HoverText(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Draws the image anew from the layers' shapes, at the current view, in the background.
    void Render();
    // Takes an image drawn in the background, unless a newer one is asked for.
    void TakeImage(uint64_t ticket, const QImage& image, const SMapView& view,
                   const std::vector<const SLayerOutline*>& drawn);
    // Shows image, drawn at view from the rows' shapes drawn.
    void ShowImage(const QImage& image, const SMapView& view, const std::vector<const SLayerOutline*>& drawn);
    // Adds the layers that arrived behind those drawn, when they are the next rows; else draws anew once
    // every layer is read for the view.
    void AddArrived();
    void Hover(QPointF pixel);

    CMapModel& m_model;
    QToolButton* m_fit;
    SMapView m_view;
    QImage m_image;
    SMapView m_imageView; // the view m_image shows
    // The shapes m_image holds, per row: a run of rows from the first, then none.
    std::vector<const SLayerOutline*> m_drawn;
    std::vector<bool> m_selected;
    QTimer m_redraw;
    bool m_dragging = false;
    QPointF m_dragFrom;
    QString m_hover;
    QThread m_painterThread;
    QObject* m_painter; // lives on m_painterThread; deleted there when it ends
    // The latest image asked for; drawings of older ones are skipped.
    std::shared_ptr<std::atomic<uint64_t>> m_latestImage = std::make_shared<std::atomic<uint64_t>>(0);
    bool m_drawing = false;
};

} // namespace fennick

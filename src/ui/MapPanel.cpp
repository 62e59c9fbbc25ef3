#include "ui/MapPanel.h"

#include "ui/MapModel.h"
#include "ui/MapRenderer.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QToolButton>
#include <QWheelEvent>

#include <cmath>

namespace fennick {

CMapPanel::CMapPanel(CMapModel& model, QWidget* parent)
    : QWidget(parent), m_model(model), m_fit(new QToolButton(this)), m_painter(new QObject) {
    setObjectName(QStringLiteral("IDC_MAP"));
    m_painter->moveToThread(&m_painterThread);
    connect(&m_painterThread, &QThread::finished, m_painter, &QObject::deleteLater);
    m_painterThread.setObjectName(QStringLiteral("map painter"));
    m_painterThread.start();
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(120, 90);
    setToolTip(QString());
    m_fit->setObjectName(QStringLiteral("IDC_MAP_FIT"));
    m_fit->setText(QStringLiteral("Fit"));
    m_fit->setToolTip(QStringLiteral("Show every layer whole (Home)"));
    m_fit->setFocusPolicy(Qt::NoFocus);
    connect(m_fit, &QToolButton::clicked, this, &CMapPanel::Fit);
    m_redraw.setSingleShot(true);
    m_redraw.setInterval(150);
    connect(&m_redraw, &QTimer::timeout, this, [this] {
        m_model.SetView(m_view);
        Render();
    });
    connect(&m_model, &CMapModel::ExtentChanged, this, &CMapPanel::Fit);
    connect(&m_model, &CMapModel::ShapesChanged, this, &CMapPanel::AddArrived);
}

CMapPanel::~CMapPanel() {
    *m_latestImage = UINT64_MAX; // drawings still queued are skipped
    m_painterThread.quit();
    m_painterThread.wait();
}

void CMapPanel::SetSelectedRows(const std::vector<int>& rows) {
    std::vector<bool> selected;
    for (const int row : rows) {
        if (row >= int(selected.size()))
            selected.resize(std::size_t(row) + 1);
        selected[std::size_t(row)] = true;
    }
    if (selected == m_selected)
        return;
    m_selected = std::move(selected);
    Render();
}

void CMapPanel::Fit() {
    const SMapView view = SMapView::Fitting(m_model.Extent(), width(), height(), m_model.XStretch());
    m_view = view;
    m_redraw.stop();
    if (!view.IsEmpty())
        m_model.SetView(view);
    Render();
}

void CMapPanel::ShowView(const SMapView& view) {
    m_view = view;
    update();
    m_redraw.start();
}

void CMapPanel::Render() {
    const uint64_t ticket = ++*m_latestImage;
    std::vector<const SLayerOutline*> drawn(std::size_t(m_model.Count()), nullptr);
    for (int row = 0; row < m_model.Count(); ++row)
        drawn[std::size_t(row)] = m_model.Outline(row);
    if (m_view.IsEmpty()) {
        ShowImage(QImage(), m_view, drawn);
        return;
    }
    m_drawing = true;
    QMetaObject::invokeMethod(
        m_painter,
        [layers = MapLayers(m_model, m_selected), view = m_view, drawn, ticket, latest = m_latestImage,
         panel = QPointer<CMapPanel>(this)] {
            if (latest->load() != ticket)
                return;
            const QImage image = RenderLayers(layers, view);
            QMetaObject::invokeMethod(
                panel.data(),
                [panel, ticket, image, view, drawn] {
                    if (panel)
                        panel->TakeImage(ticket, image, view, drawn);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void CMapPanel::TakeImage(uint64_t ticket, const QImage& image, const SMapView& view,
                          const std::vector<const SLayerOutline*>& drawn) {
    if (ticket != *m_latestImage)
        return;
    ShowImage(image, view, drawn);
    // Layers that arrived while it was drawn.
    AddArrived();
}

void CMapPanel::ShowImage(const QImage& image, const SMapView& view,
                          const std::vector<const SLayerOutline*>& drawn) {
    m_drawing = false;
    m_image = image;
    m_imageView = view;
    m_drawn = drawn;
    update();
}

void CMapPanel::AddArrived() {
    // Layers arrive in the order of the rows; each goes behind those drawn, without drawing them again.
    bool run = true,
         same = !m_image.isNull() && m_imageView == m_view && int(m_drawn.size()) == m_model.Count();
    std::size_t next = 0;
    for (std::size_t row = 0; same && row < m_drawn.size(); ++row) {
        if (m_drawn[row] != nullptr && (!run || m_drawn[row] != m_model.Outline(int(row))))
            same = false;
        run = run && m_drawn[row] != nullptr;
        next += run ? 1 : 0;
    }
    if (!same) {
        // Layers read again for a new view wait for the last of them, the image drawn before standing in;
        // a file gone or added is drawn at once.
        if (int(m_drawn.size()) == m_model.Count() && !m_model.IsDrawn())
            return;
        Render();
        return;
    }
    QPainter painter(&m_image);
    for (; next < m_drawn.size() && m_model.Outline(int(next)) != nullptr; ++next) {
        DrawMapRow(painter, m_model, int(next), m_view, m_selected);
        m_drawn[next] = m_model.Outline(int(next));
    }
    update();
}

void CMapPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!m_image.isNull() && !m_imageView.IsEmpty() && !m_view.IsEmpty()) {
        // The image drawn last, moved and scaled to the view shown now.
        const CGeoPoint origin = m_imageView.ToDrawn(0.0, 0.0);
        const CGeoPoint at = m_view.ToPixel(origin.x, origin.y);
        const double scale = m_imageView.unitsPerPixel / m_view.unitsPerPixel;
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(QRectF(at.x, at.y, m_image.width() * scale, m_image.height() * scale), m_image);
    }
    if (m_model.Count() == 0) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("The listed files are drawn here."));
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void CMapPanel::resizeEvent(QResizeEvent*) {
    m_fit->adjustSize();
    m_fit->move(width() - m_fit->width() - 4, 4);
    Fit();
}

void CMapPanel::wheelEvent(QWheelEvent* event) {
    if (m_view.IsEmpty())
        return;
    const double steps = event->angleDelta().y() / 120.0;
    const double factor = std::pow(1.25, steps);
    // The point under the pointer stays under it.
    const QPointF pixel = event->position();
    const CGeoPoint drawn = m_view.ToDrawn(pixel.x(), pixel.y());
    SMapView view = m_view;
    view.unitsPerPixel = m_view.unitsPerPixel / factor;
    view.centreX = drawn.x - (pixel.x() - view.width / 2.0) * view.unitsPerPixel / view.xStretch;
    view.centreY = drawn.y + (pixel.y() - view.height / 2.0) * view.unitsPerPixel;
    ShowView(view);
    event->accept();
}

void CMapPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragFrom = event->position();
        setCursor(Qt::ClosedHandCursor);
    }
    QWidget::mousePressEvent(event);
}

void CMapPanel::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging && !m_view.IsEmpty()) {
        const QPointF delta = event->position() - m_dragFrom;
        m_dragFrom = event->position();
        SMapView view = m_view;
        view.centreX -= delta.x() * view.unitsPerPixel / view.xStretch;
        view.centreY += delta.y() * view.unitsPerPixel;
        ShowView(view);
        return;
    }
    Hover(event->position());
}

void CMapPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_dragging) {
        m_dragging = false;
        unsetCursor();
    }
    QWidget::mouseReleaseEvent(event);
}

void CMapPanel::leaveEvent(QEvent* event) {
    Hover(QPointF(-1e9, -1e9));
    QWidget::leaveEvent(event);
}

void CMapPanel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Home) {
        Fit();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CMapPanel::Hover(QPointF pixel) {
    const CMapModel::SHit hit = m_model.HitAt(pixel, 2.0);
    const QString text = hit.row < 0 ? QString()
                                     : QStringLiteral("%1, record %2")
                                           .arg(QFileInfo(m_model.Path(hit.row)).fileName())
                                           .arg(hit.record);
    if (text == m_hover)
        return;
    m_hover = text;
    emit HoverText(text);
}

} // namespace fennick

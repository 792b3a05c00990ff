#include "toolkit/qt/PaintBox.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>

namespace ostrander {

PaintBox::PaintBox(QWidget* parent) : QWidget(parent), canvas_(1, 1) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The pictures drawn here again and again keep their fixed layers.
    canvas_.KeepLayers(true);
}

bool PaintBox::event(QEvent* event) {
    switch (event->type()) {
    // Moved to a screen of another pixel ratio, or the ratio changed.
    case QEvent::ScreenChangeInternal:
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
    case QEvent::DevicePixelRatioChange:
#endif
        if (FitCanvas())
            update();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void PaintBox::paintEvent(QPaintEvent*) {
    // A ratio change that came without an event is caught here.
    FitCanvas();
    if (onPaint)
        onPaint();
    QPainter p(this);
    if (canvasRect_.size() != size()) {
        // The margins beside a canvas that keeps its shape.
        const QRegion margins = QRegion(rect()).subtracted(QRegion(canvasRect_));
        for (const QRect& r : margins)
            p.fillRect(r, palette().window());
    }
    p.drawImage(canvasRect_.topLeft(), canvas_.Image());
}

QRect PaintBox::FitAspect(const QSize& shape, const QSize& area) {
    if (shape.isEmpty() || area.isEmpty())
        return QRect(QPoint(0, 0), area);
    // The larger side that fits, in whole pixels, and the other from it.
    QSize fitted = shape.scaled(area, Qt::KeepAspectRatio);
    fitted = fitted.boundedTo(area).expandedTo(QSize(1, 1));
    return QRect(QPoint((area.width() - fitted.width()) / 2, (area.height() - fitted.height()) / 2),
                 fitted);
}

void PaintBox::KeepAspect(const QSize& shape) {
    shape_ = shape;
    FitCanvas();
    update();
}

bool PaintBox::FitCanvas() {
    canvasRect_ = FitAspect(shape_, size());
    const double ratio = ImageCanvas::UsableRatio(devicePixelRatioF());
    if (canvasRect_.width() == canvas_.Width() && canvasRect_.height() == canvas_.Height() &&
        ratio == canvas_.PixelRatio())
        return false;
    canvas_.Resize(canvasRect_.width(), canvasRect_.height(), ratio);
    if (onResize)
        onResize();
    return true;
}

void PaintBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FitCanvas();
    update();
}

void PaintBox::mousePressEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint() - canvasRect_.topLeft();
    emit mousePressed(p.x(), p.y(), e->button(), e->modifiers());
}

void PaintBox::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint() - canvasRect_.topLeft();
    emit mouseReleased(p.x(), p.y(), e->button(), e->modifiers());
}

void PaintBox::mouseDoubleClickEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint() - canvasRect_.topLeft();
    emit mouseDoubleClicked(p.x(), p.y(), e->button());
}

} // namespace ostrander

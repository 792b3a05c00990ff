#pragma once
// A paint box / picture control: a widget that keeps an ImageCanvas as its
// backing store. Drawing code paints into Canvas() whenever it likes; the
// widget shows the image. The canvas follows the widget's size and its
// device pixel ratio (cleared when either changes), so on a high-density
// screen the pictures are drawn at device resolution and shown 1:1.
#include "toolkit/qt/ImageCanvas.h"

#include <QWidget>

#include <functional>

namespace ostrander {

class PaintBox : public QWidget {
    Q_OBJECT
public:
    explicit PaintBox(QWidget* parent = nullptr);

    ImageCanvas& Canvas() { return canvas_; }
    // Keeps the canvas at the shape of `shape` (width to height), the
    // largest such rectangle the widget holds, centred in it; an empty size
    // (the default) lets the canvas fill the widget. Mouse positions are
    // given on the canvas.
    void KeepAspect(const QSize& shape);
    // Where the canvas lies in the widget.
    QRect CanvasRect() const { return canvasRect_; }
    // The largest rectangle of shape's proportions within area, centred.
    static QRect FitAspect(const QSize& shape, const QSize& area);
    // Called after the backing store was resized, so the owner can redraw.
    std::function<void()> onResize;
    // Called from paintEvent before the image is shown (the design's OnPaint).
    std::function<void()> onPaint;

signals:
    void mousePressed(int x, int y, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void mouseReleased(int x, int y, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void mouseDoubleClicked(int x, int y, Qt::MouseButton button);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // Sizes the canvas to its place and the screen's pixel ratio; true when
    // it changed (it is cleared and onResize has been called).
    bool FitCanvas();

    ImageCanvas canvas_;
    QSize shape_;
    QRect canvasRect_{0, 0, 1, 1};
};

} // namespace ostrander

#pragma once
// Where a secondary window opens: beside its main window when the screen has
// room for it there (right, else left), so that it covers none of the main
// window; else where the user last left it; the first time, against the
// screen's right edge, level with the main window's top, so that the main
// window's left side (its controls and the actuator map) stays in view.
#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

class QWidget;

namespace ostrander {

// anchor: the main window's frame; size: the window's frame size;
// available: the screen's available area; last: where the window was
// before, if it was shown before.
QPoint PlaceBeside(const QRect& anchor, const QSize& size, const QRect& available,
                   const std::optional<QPoint>& last);

// Shows `window` (raised and active), placed by PlaceBeside against
// `anchor` when it was hidden. Without an anchor it opens where it is.
void ShowBeside(QWidget* window, const QWidget* anchor);
// The window's present place counts as where the user left it (a place
// restored from an earlier run).
void MarkPlacedByUser(QWidget* window);

} // namespace ostrander

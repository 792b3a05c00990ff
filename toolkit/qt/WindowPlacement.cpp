#include "toolkit/qt/WindowPlacement.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace ostrander {

namespace {

// The top edge level with the anchor's, kept on the screen.
int LevelTop(const QRect& anchor, const QSize& size, const QRect& available) {
    const int lowest = available.bottom() + 1 - size.height();
    return std::max(available.top(), std::min(anchor.top(), lowest));
}

constexpr char kShownBefore[] = "ostranderShownBefore";

} // namespace

QPoint PlaceBeside(const QRect& anchor, const QSize& size, const QRect& available,
                   const std::optional<QPoint>& last) {
    const int top = LevelTop(anchor, size, available);
    if (size.height() <= available.height()) {
        if (anchor.right() + size.width() <= available.right())
            return {anchor.right() + 1, top};
        if (anchor.left() - size.width() >= available.left())
            return {anchor.left() - size.width(), top};
    }
    if (last)
        return *last;
    return {std::max(available.left(), available.right() + 1 - size.width()), top};
}

void MarkPlacedByUser(QWidget* window) {
    window->setProperty(kShownBefore, true);
}

void ShowBeside(QWidget* window, const QWidget* anchor) {
    if (!window->isVisible() && anchor != nullptr) {
        const QScreen* screen = anchor->screen();
        const bool shownBefore = window->property(kShownBefore).toBool();
        if (screen != nullptr) {
            // A window never shown has no frame yet: its size stands for it.
            const QSize size = shownBefore ? window->frameGeometry().size() : window->size();
            const std::optional<QPoint> last =
                shownBefore ? std::optional<QPoint>(window->pos()) : std::nullopt;
            window->move(
                PlaceBeside(anchor->frameGeometry(), size, screen->availableGeometry(), last));
        }
    }
    window->setProperty(kShownBefore, true);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace ostrander

#include "Shared_Software/Frames/NumericEditFrame.h"

#include "Shared_Software/Frames/EditFrameRules.h"

#include <cstdlib>

#include "toolkit/qt/ImageCanvas.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>

namespace ostrander {

NumericEditFrame::NumericEditFrame(QWidget* parent) : QWidget(parent) {}

void NumericEditFrame::WireEvents() {
    Edit->installEventFilter(this);
    Label->installEventFilter(this);
    connect(UpDown, &UpDown::clicked, this, [this](UDBtnType button) {
        UpDownClick(button);
        emit upDownClick(button);
    });
}

void NumericEditFrame::SetEditColour(TColor colour) {
    editColour_ = colour;
    QPalette pal = Edit->palette();
    pal.setColor(QPalette::Base, QColor::fromRgb(ImageCanvas::ToQRgb(colour)));
    Edit->setPalette(pal);
}

bool NumericEditFrame::IsEnterKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

bool NumericEditFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit) {
        if (event->type() == QEvent::FocusOut) {
            // Switching to another window or opening a context menu is not
            // leaving the box.
            auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
                EditExit();
                emit editExit();
            }
        } else if (event->type() == QEvent::KeyRelease) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (!key->isAutoRepeat()) {
                const double before = CurrentValue();
                EditKeyUp(key->key(), key->modifiers());
                emit editKeyUp(key->key(), CurrentValue() != before);
            }
        }
    } else if (watched == Label && event->type() == QEvent::MouseButtonRelease) {
        emit labelClick();
    }
    return QWidget::eventFilter(watched, event);
}

void NumericEditFrame::EditExit() {
    TakeEntry();
    SetEditColour(clWindow);
}

void NumericEditFrame::EditKeyUp(int key, Qt::KeyboardModifiers) {
    if (!IsEnterKey(key)) {
        SetEditColour(PendingEditColour);
        return;
    }
    TakeEntry();
    EntryTakenOnEnter();
    SetEditColour(clWindow);
}

bool NumericEditFrame::UpDownWrapped(int& lastPosition) const {
    const int p = UpDown->Position();
    const bool wrapped = std::abs(p - lastPosition) > UpDown->Increment();
    lastPosition = p;
    return wrapped;
}

} // namespace ostrander

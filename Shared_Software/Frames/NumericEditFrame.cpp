#include "Shared_Software/Frames/NumericEditFrame.h"

#include "Shared_Software/Frames/EditFrameRules.h"
#include "Shared_Software/Frames/FrameLayout.h"
#include "toolkit/qt/ImageCanvas.h"

#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>

#include <cstdlib>

namespace ostrander {

namespace {

QFont DesignFont(int pixels) {
    QFont font("MS Sans Serif");
    font.setPixelSize(pixels);
    return font;
}

} // namespace

NumericEditFrame::NumericEditFrame(QWidget* parent) : QWidget(parent) {}

void NumericEditFrame::BuildRow(const RowLayout& layout) {
    resize(layout.size);
    auto* row = Row(this);

    label_ = new QLabel(layout.label, this);
    unitsLabel_ = new QLabel(layout.units, this);
    if (layout.labelFontPixels > 0) {
        label_->setFont(DesignFont(layout.labelFontPixels));
        unitsLabel_->setFont(DesignFont(layout.labelFontPixels));
    }
    label_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    unitsLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    editPanel_ = new QWidget(this);
    if (layout.editWidth > 0)
        editPanel_->setFixedWidth(layout.editWidth);
    edit_ = new QLineEdit(layout.editText, editPanel_);
    edit_->setFont(DesignFont(layout.editFontPixels));
    Row(editPanel_)->addWidget(edit_);

    upDownPanel_ = new QWidget(this);
    upDownPanel_->setFixedWidth(10);
    upDown_ = new ostrander::UpDown(upDownPanel_);
    upDown_->SetMin(0);
    if (layout.upDownMax >= 0)
        upDown_->SetMax(layout.upDownMax);
    upDown_->SetPosition(0);
    // The up/down control is only a source of clicks: it must never stop at
    // an end of its range.
    upDown_->SetWrap(true);
    Row(upDownPanel_)->addWidget(upDown_);

    row->addWidget(label_);
    if (layout.trackBar) {
        row->addWidget(layout.trackBar, 1);
        row->addWidget(upDownPanel_);
        row->addWidget(editPanel_);
    } else {
        row->addWidget(editPanel_, 1);
        row->addWidget(upDownPanel_);
    }
    row->addWidget(unitsLabel_);

    edit_->installEventFilter(this);
    label_->installEventFilter(this);
    connect(upDown_, &UpDown::clicked, this, [this](UDBtnType button) {
        UpDownClick(button);
        emit valueCommitted();
    });
}

void NumericEditFrame::SetCaptions(const QString& label, const QString& units) {
    label_->setText(label);
    unitsLabel_->setText(units);
}

void NumericEditFrame::SetEditColour(TColor colour) {
    editColour_ = colour;
    QPalette pal = edit_->palette();
    pal.setColor(QPalette::Base, QColor::fromRgb(ImageCanvas::ToQRgb(colour)));
    edit_->setPalette(pal);
}

bool NumericEditFrame::IsEnterKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

bool NumericEditFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_) {
        if (event->type() == QEvent::FocusOut) {
            // Switching to another window or opening a context menu is not
            // leaving the box.
            auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
                EditExit();
                emit valueCommitted();
            }
        } else if (event->type() == QEvent::KeyRelease) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (!key->isAutoRepeat()) {
                EditKeyUp(key->key(), key->modifiers());
                if (IsEnterKey(key->key()))
                    emit valueCommitted();
            }
        }
    } else if (watched == label_ && event->type() == QEvent::MouseButtonRelease) {
        emit valueCommitted();
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

bool NumericEditFrame::UpDownRaises(UDBtnType button) {
    const int p = upDown_->Position();
    const bool wrapped = std::abs(p - lastUpDownPosition_) > upDown_->Increment();
    lastUpDownPosition_ = p;
    return (button == UDBtnType::btNext) != wrapped;
}

} // namespace ostrander

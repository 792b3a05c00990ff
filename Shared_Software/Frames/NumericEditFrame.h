#pragma once
// Common part of the numeric edit frames: one row of a label, an edit box (or
// a track bar with the edit box after it), an up/down control and a units
// label, and the wiring of their events.
//
// Each frame handles its own events first (EditExit, EditKeyUp, UpDownClick,
// and TrackBarChange in the float bar) and then emits valueCommitted, so an
// owner connected to it reacts after the frame has taken the value over.
#include "toolkit/TColor.h"
#include "toolkit/qt/UpDown.h"

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;

namespace ostrander {

class NumericEditFrame : public QWidget {
    Q_OBJECT
public:
    // The children, owned by Qt parenting: for owners that restyle them and
    // for tests that drive them.
    QLabel* Label() const { return label_; }
    QLabel* UnitsLabel() const { return unitsLabel_; }
    QLineEdit* Edit() const { return edit_; }
    ostrander::UpDown* UpDown() const { return upDown_; }
    // The label and units captions.
    void SetCaptions(const QString& label, const QString& units);

    // The frame's own handlers (also run by the wired events).
    // Leaving the box takes a typed entry over; Enter does the same, any other
    // key marks the entry as pending.
    virtual void EditExit();
    virtual void EditKeyUp(int key, Qt::KeyboardModifiers shift = {});
    virtual void UpDownClick(UDBtnType button) = 0;

    // Background colour of the edit box: clWindow normally, PendingEditColour
    // while a typed entry waits to be taken over.
    TColor EditColour() const { return editColour_; }

signals:
    // The frame has taken its value over: the edit box was left, Enter was
    // pressed in it, an up/down button or the track bar moved the value, or
    // the label was clicked (the present value offered again). Keys other
    // than Enter commit nothing.
    void valueCommitted();

protected:
    // The row of a frame, left to right: label, the edit box filling the
    // row (or the track bar filling it, then the up/down control and the
    // edit box), the up/down control, the units label.
    struct RowLayout {
        QSize size;
        QString label;
        QString units;
        int labelFontPixels = 0; // 0: the frame's own font
        QString editText;
        int editFontPixels = 0;
        int editWidth = 0;          // 0: the edit box takes the free width
        int upDownMax = -1;         // -1: the up/down control's own maximum
        QWidget* trackBar = nullptr; // made by the frame, placed by the row
    };

    explicit NumericEditFrame(QWidget* parent);
    // Builds the children and wires their events to the handlers.
    void BuildRow(const RowLayout& layout);
    void SetEditColour(TColor colour);
    static bool IsEnterKey(int key);
    // Sets the value from the edit text when it converts.
    virtual void TakeEntry() = 0;
    // Run after Enter has taken an entry over (the float frames show the value again).
    virtual void EntryTakenOnEnter() {}
    // Whether a click of the up/down control raises the value: the button
    // says so unless the control wrapped round (its position jumped by more
    // than one increment), when it reports the opposite button.
    bool UpDownRaises(UDBtnType button);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* label_ = nullptr;
    QLabel* unitsLabel_ = nullptr;
    QWidget* upDownPanel_ = nullptr;
    ostrander::UpDown* upDown_ = nullptr;
    QWidget* editPanel_ = nullptr;
    QLineEdit* edit_ = nullptr;
    TColor editColour_ = clWindow;
    int lastUpDownPosition_ = 0;
};

} // namespace ostrander

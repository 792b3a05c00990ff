#pragma once
// Common part of the numeric edit frames: a label, an edit box, an up/down
// control and a units label, and the wiring of their events.
//
// Each frame handles its own events first (EditExit, EditKeyUp, UpDownClick,
// and TrackBarChange in the float bar) and then emits the matching signal, so
// an owner connected to the signal reacts after the frame has taken the value
// over. A click on the label only emits labelClick.
#include "toolkit/TColor.h"
#include "toolkit/qt/UpDown.h"

#include <QWidget>

class QLabel;
class QLineEdit;

namespace ostrander {

class NumericEditFrame : public QWidget {
    Q_OBJECT
public:
    // Child widgets, owned by Qt parenting; owners may restyle them.
    QLabel* Label = nullptr;
    QLabel* UnitsLabel = nullptr;
    QWidget* UpDownPanel = nullptr;
    ostrander::UpDown* UpDown = nullptr;
    QWidget* EditPanel = nullptr;
    QLineEdit* Edit = nullptr;

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
    void editExit();
    void editKeyUp(int key, bool valueChanged);
    void upDownClick(ostrander::UDBtnType button);
    void labelClick();

protected:
    explicit NumericEditFrame(QWidget* parent);
    // Wires the children's events to the handlers; call once the children exist.
    void WireEvents();
    void SetEditColour(TColor colour);
    static bool IsEnterKey(int key);
    // Sets the value from the edit text when it converts.
    virtual void TakeEntry() = 0;
    // Run after Enter has taken an entry over (the float frames show the value again).
    virtual void EntryTakenOnEnter() {}
    // Records the up/down position; true when it jumped by more than one
    // increment, i.e. the control wrapped round and reports the opposite button.
    bool UpDownWrapped(int& lastPosition) const;
    // The value as a double, to tell whether a handler changed it.
    virtual double CurrentValue() const = 0;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TColor editColour_ = clWindow;
};

} // namespace ostrander

#pragma once
// A small up/down control: two arrow buttons that move a Position between
// Min and Max by Increment and report each click. Position is 16-bit signed.
// With Wrap on, a click past one end moves the position to the other end; the
// click is then reported with the opposite button, because the position moved
// the other way (owners detect the wrap from the jump in position).
#include <QWidget>

namespace ostrander {

enum class UDBtnType { btNext, btPrev }; // up (or right) and down (or left)

class UpDown : public QWidget {
    Q_OBJECT
public:
    explicit UpDown(QWidget* parent = nullptr);

    int Position() const { return position_; }
    void SetPosition(int position);
    int Min() const { return min_; }
    void SetMin(int min);
    int Max() const { return max_; }
    void SetMax(int max);
    int Increment() const { return increment_; }
    void SetIncrement(int increment);
    bool Wrap() const { return wrap_; }
    void SetWrap(bool wrap) { wrap_ = wrap; }

    // What a click on a button does: moves the position and emits clicked.
    void Click(UDBtnType button);

    QSize sizeHint() const override { return {16, 22}; }
    QSize minimumSizeHint() const override { return {8, 8}; }

signals:
    void clicked(ostrander::UDBtnType button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The button under a point: the upper half is up, the lower half down.
    UDBtnType ButtonAt(const QPoint& p) const;

    int position_ = 0;
    int min_ = 0;
    int max_ = 100;
    int increment_ = 1;
    bool wrap_ = false;
    bool pressed_ = false;
    UDBtnType pressedButton_ = UDBtnType::btNext;
};

} // namespace ostrander

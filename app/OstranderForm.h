#pragma once
// The main window.
#include <QMainWindow>

namespace ostrander {

class TOstranderForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TOstranderForm(QWidget* parent = nullptr);
};

} // namespace ostrander

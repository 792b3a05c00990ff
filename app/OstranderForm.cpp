#include "app/OstranderForm.h"

namespace ostrander {

TOstranderForm::TOstranderForm(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle("Varnex");
    move(16, 114);
    resize(1195, 782);
}

} // namespace ostrander

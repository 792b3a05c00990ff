#pragma once
// The pattern browser's "Fit..." dialog: Zernike terms and amplitudes (Noll
// order, RMS over the beam) or a surface file (a CSV grid or FITS image of
// any size, laid out as ostrander-cli's surface.csv and surface.fits and
// resampled onto the engine grid), an optional bias and free tilt; Fit asks the
// main window's engine for the voltages (with its membrane model), shows the
// residual, the bounds that bound and the pull-in factor, and puts the
// voltages on the browser's preview mirror; Add to Set appends them to the
// set being edited as a new pattern.
//
// The dialog talks to the rest of the program only through the callbacks it
// is given, so it can be driven on its own.
#include "model/EngineGrid.h"
#include "model/SessionFit.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace ostrander {

class TPatternFitDialog : public QDialog {
    Q_OBJECT
public:
    struct Callbacks {
        // Fits on the main window's mirror and model.
        std::function<SessionFit(const FitRequest&)> fit;
        // The main window's membrane model, for the label.
        std::function<std::string()> modelName;
        // Puts voltages (by display number - 1) on the preview mirror.
        std::function<void(const std::vector<double>&)> preview;
        // Appends the preview's voltages as a pattern of this name; false
        // (with the reason) when the set refuses it.
        std::function<bool(const std::string& name, std::string& reason)> add;
        // The engine grid a surface file is resampled onto. Without one the
        // engine's usual size is taken, with no known spacing (enough for a
        // grid that spans the mirror, not for a FITS image placed by its axes).
        std::function<std::optional<EngineGrid>()> engineGrid;
    };

    explicit TPatternFitDialog(Callbacks callbacks, QWidget* parent = nullptr);

    void FitButtonClick();
    void AddButtonClick();
    void SurfaceBrowseButtonClick();

    struct Controls {
        QRadioButton* TermsRadio = nullptr;
        QLineEdit* TermsEdit = nullptr;
        QRadioButton* SurfaceRadio = nullptr;
        QLineEdit* SurfaceEdit = nullptr;
        QPushButton* SurfaceBrowseButton = nullptr;
        QCheckBox* BiasCheck = nullptr;
        QDoubleSpinBox* BiasEdit = nullptr;
        QCheckBox* FreeTiltCheck = nullptr;
        QLabel* ModelLabel = nullptr;
        QPushButton* FitButton = nullptr;
        QLabel* ResultLabel = nullptr;
        QLineEdit* NameEdit = nullptr;
        QPushButton* AddButton = nullptr;
        QPushButton* CloseButton = nullptr;
    };
    const Controls& Ui() const { return ui_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    Callbacks callbacks_;
    Controls ui_;
    bool fitted_ = false;
};

} // namespace ostrander

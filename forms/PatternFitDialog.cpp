#include "forms/PatternFitDialog.h"

#include "driver/VoltageLimits.h"
#include "formats/SurfaceFile.h"
#include "model/EngineGrid.h"
#include "toolkit/Dialogs.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QButtonGroup>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace ostrander {

TPatternFitDialog::TPatternFitDialog(Callbacks callbacks, QWidget* parent)
    : QDialog(parent), callbacks_(std::move(callbacks)) {
    setWindowTitle("Fit Pattern");
    auto* column = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    ui_.TermsRadio = new QRadioButton("Zernike terms", this);
    ui_.TermsRadio->setChecked(true);
    ui_.TermsEdit = new QLineEdit("4=0.5um", this);
    ui_.TermsEdit->setToolTip("Noll Zernike terms, RMS over the beam: 4=0.5um,6=-0.2um "
                              "(units m, mm, um, nm)");
    form->addRow(ui_.TermsRadio, ui_.TermsEdit);
    ui_.SurfaceRadio = new QRadioButton("Surface file", this);
    auto* surfaceRow = new QHBoxLayout;
    ui_.SurfaceEdit = new QLineEdit(this);
    ui_.SurfaceEdit->setToolTip(
        "A CSV grid or FITS image in metres, of any size, laid out as ostrander-cli's "
        "surface.csv and surface.fits; resampled onto the mirror's grid (bicubic). A FITS "
        "image with CDELT1/2 and CRPIX1/2 is placed by them, any other grid spans the mirror's "
        "square grid");
    ui_.SurfaceBrowseButton = new QPushButton("Browse...", this);
    surfaceRow->addWidget(ui_.SurfaceEdit, 1);
    surfaceRow->addWidget(ui_.SurfaceBrowseButton);
    form->addRow(ui_.SurfaceRadio, surfaceRow);
    auto* target = new QButtonGroup(this);
    target->addButton(ui_.TermsRadio);
    target->addButton(ui_.SurfaceRadio);
    auto* biasRow = new QHBoxLayout;
    ui_.BiasCheck = new QCheckBox("Bias", this);
    ui_.BiasEdit = new QDoubleSpinBox(this);
    ui_.BiasEdit->setRange(0.0, 350.0);
    ui_.BiasEdit->setDecimals(1);
    ui_.BiasEdit->setSuffix(" V");
    ui_.BiasEdit->setValue(100.0);
    ui_.BiasEdit->setEnabled(false);
    biasRow->addWidget(ui_.BiasCheck);
    biasRow->addWidget(ui_.BiasEdit, 1);
    form->addRow("Every pad at", biasRow);
    ui_.FreeTiltCheck = new QCheckBox("Leave tilt free", this);
    form->addRow("", ui_.FreeTiltCheck);
    ui_.ModelLabel = new QLabel(this);
    form->addRow("Model", ui_.ModelLabel);
    column->addLayout(form);

    ui_.FitButton = new QPushButton("Fit", this);
    column->addWidget(ui_.FitButton);
    ui_.ResultLabel = new QLabel("Nothing fitted yet.", this);
    ui_.ResultLabel->setWordWrap(true);
    ui_.ResultLabel->setMinimumWidth(320);
    column->addWidget(ui_.ResultLabel);
    auto* nameRow = new QHBoxLayout;
    ui_.NameEdit = new QLineEdit(this);
    ui_.AddButton = new QPushButton("Add to Set", this);
    ui_.AddButton->setEnabled(false);
    nameRow->addWidget(ui_.NameEdit, 1);
    nameRow->addWidget(ui_.AddButton);
    column->addLayout(nameRow);
    ui_.CloseButton = new QPushButton("Close", this);
    column->addWidget(ui_.CloseButton);

    connect(ui_.BiasCheck, &QCheckBox::toggled, ui_.BiasEdit, &QWidget::setEnabled);
    connect(ui_.FitButton, &QPushButton::clicked, this, [this] { FitButtonClick(); });
    // Enter in either target field fits that target: Fit is the dialog's
    // only default button (never Browse..., which would open a file dialog).
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setAutoDefault(false);
    ui_.FitButton->setDefault(true);
    connect(ui_.TermsEdit, &QLineEdit::returnPressed, this,
            [this] { ui_.TermsRadio->setChecked(true); });
    connect(ui_.SurfaceEdit, &QLineEdit::returnPressed, this,
            [this] { ui_.SurfaceRadio->setChecked(true); });
    connect(ui_.SurfaceBrowseButton, &QPushButton::clicked, this,
            [this] { SurfaceBrowseButtonClick(); });
    connect(ui_.AddButton, &QPushButton::clicked, this, [this] { AddButtonClick(); });
    connect(ui_.CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    // Any change of the request makes the shown fit stale.
    const auto stale = [this] {
        fitted_ = false;
        ui_.AddButton->setEnabled(false);
    };
    connect(ui_.TermsEdit, &QLineEdit::textEdited, this, stale);
    connect(ui_.SurfaceEdit, &QLineEdit::textEdited, this, stale);
    connect(ui_.TermsRadio, &QRadioButton::toggled, this, stale);
    connect(ui_.BiasCheck, &QCheckBox::toggled, this, stale);
    connect(ui_.BiasEdit, &QDoubleSpinBox::valueChanged, this, stale);
    connect(ui_.FreeTiltCheck, &QCheckBox::toggled, this, stale);
}

void TPatternFitDialog::showEvent(QShowEvent* event) {
    const std::string model = callbacks_.modelName ? callbacks_.modelName() : std::string();
    ui_.ModelLabel->setText(QString::fromStdString(model.empty() ? "none" : model) +
                            " (the main window's choice)");
    QDialog::showEvent(event);
}

void TPatternFitDialog::SurfaceBrowseButtonClick() {
    FileDialogRequest request;
    request.title = "Surface to fit";
    request.filter = "Surface grids (*.csv *.fits *.fit *.fts);;CSV grids (*.csv);;"
                     "FITS images (*.fits *.fit *.fts);;All files (*)";
    if (const std::optional<std::string> file = Dialogs::Instance().OpenFile(request)) {
        ui_.SurfaceEdit->setText(QString::fromStdString(*file));
        ui_.SurfaceRadio->setChecked(true);
        fitted_ = false;
        ui_.AddButton->setEnabled(false);
    }
}

void TPatternFitDialog::FitButtonClick() {
    fitted_ = false;
    ui_.AddButton->setEnabled(false);
    FitRequest request;
    std::string error;
    const bool surface = ui_.SurfaceRadio->isChecked();
    const std::string surfaceFile = surface ? ui_.SurfaceEdit->text().toStdString() : std::string();
    EngineGrid grid{kEngineGridSize, 0.0, 0.0, 0.0};
    if (callbacks_.engineGrid)
        if (const std::optional<EngineGrid> session = callbacks_.engineGrid())
            grid = *session;
    SurfaceFileCounts counts;
    if (surface ? !ReadSurfaceTarget(surfaceFile, grid, request.surface, error, &counts)
                : !ParseZernikeTerms(ui_.TermsEdit->text().toStdString(), request.zernike,
                                     error)) {
        ui_.ResultLabel->setText(QString::fromStdString("Cannot fit: " + error + "."));
        return;
    }
    if (ui_.BiasCheck->isChecked())
        request.bias = ui_.BiasEdit->value();
    request.freeTilt = ui_.FreeTiltCheck->isChecked();
    if (!callbacks_.fit) {
        ui_.ResultLabel->setText("Cannot fit: no mirror is loaded.");
        return;
    }
    const SessionFit result = callbacks_.fit(request);
    if (result.status != SessionFit::Status::Fitted) {
        ui_.ResultLabel->setText(
            QString::fromStdString("Cannot fit: " + SessionFitStatusText(result) + "."));
        return;
    }
    const VoltageFit& fit = result.fit;
    char text[512];
    std::snprintf(text, sizeof text,
                  "Residual %.3g nm RMS, %.3g nm PV (target %.3g nm RMS).\nBounds: %s.", 
                  fit.residualRms * 1e9, fit.residualPv * 1e9, fit.targetRms * 1e9,
                  fit.AnyBoundActive()
                      ? (std::to_string(fit.atFloor.size()) + " pads at the floor, " +
                         std::to_string(fit.atCeiling.size()) + " at the limit" +
                         (fit.meanRuleActive ? ", mean limit binding" : ""))
                            .c_str()
                      : "none active");
    std::string shown = text;
    if (!std::isnan(result.pullInFactor)) {
        std::snprintf(text, sizeof text, "\nPull-in factor %.3g%s.", result.pullInFactor,
                      result.pullInFactor < 1.2 ? " (close to snap-down)" : "");
        shown += text;
        if (!std::isnan(result.equilibriumResidualRms)) {
            std::snprintf(text, sizeof text, "\nThe nonlinear equilibrium: residual %.3g nm RMS.",
                          result.equilibriumResidualRms * 1e9);
            shown += text;
        }
    }
    // The same warnings as ostrander-cli fit, naming the dialog's choices.
    if (const std::string missing = surface ? MissingSamplesText(surfaceFile, counts) : "";
        !missing.empty())
        shown += "\nWarning: " + missing + ".";
    for (const FitWarning& w : SessionFitWarnings(result, request, {"a bias", "free tilt"}))
        shown += "\nWarning: " + w.message + ".";
    // Every pad at the floor: the fit sets nothing worth keeping. Pads only
    // pull the membrane down, so a shape that needs it pushed up (e.g. a
    // negative focus) can only be made about a bias.
    const bool allAtFloor = std::all_of(fit.volts.begin(), fit.volts.end(),
                                        [](double v) { return v <= kFloorVoltage + 1e-6; });
    if (allAtFloor) {
        shown = "Nothing to add: the fit leaves every pad at the floor. The pads can only pull "
                "the membrane toward them, so this shape needs the membrane pushed the other "
                "way. " +
                std::string(ui_.BiasCheck->isChecked()
                                ? "Try a larger bias, or the terms with the other sign."
                                : "Try ticking \"Every pad at\" (a bias, e.g. 100 V), or the "
                                  "terms with the other sign.") +
                "\n" + shown;
    }
    ui_.ResultLabel->setText(QString::fromStdString(shown));
    if (callbacks_.preview)
        callbacks_.preview(fit.volts);
    if (allAtFloor)
        return;
    ui_.NameEdit->setText(QString::fromStdString(FitPatternName(request, surfaceFile)));
    fitted_ = true;
    ui_.AddButton->setEnabled(static_cast<bool>(callbacks_.add));
}

void TPatternFitDialog::AddButtonClick() {
    if (!fitted_ || !callbacks_.add)
        return;
    std::string reason;
    if (callbacks_.add(ui_.NameEdit->text().toStdString(), reason))
        ui_.ResultLabel->setText(ui_.ResultLabel->text() + "\nAdded as \"" + ui_.NameEdit->text() +
                                 "\".");
    else
        ui_.ResultLabel->setText(ui_.ResultLabel->text() + "\nNot added: " +
                                 QString::fromStdString(reason) + ".");
}

} // namespace ostrander

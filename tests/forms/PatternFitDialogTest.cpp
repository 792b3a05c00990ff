// The Fit dialog of the pattern browser, driven through its controls: it
// refuses malformed terms before fitting, passes the request on, shows a
// refusal or the fit's figures, previews the voltages and adds them under
// the suggested name. The fitter is a real engine session on a 19-pad mirror.
#include "forms/PatternFitDialog.h"

#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Pattern/PatternClass.h"
#include "Shared_Software/Pattern/VoltageListClass.h"
#include "formats/FitsFile.h"
#include "forms/PatternSequenceBrowserForm.h"
#include "toolkit/Dialogs.h"

#include "tests/model/ModelFixture.h"
#include "tests/support/TempFolder.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

using namespace ostrander;

namespace {

struct Rig {
    ostrander::testing::EngineHarness h;
    std::vector<FitRequest> requests;
    std::vector<std::vector<double>> previews;
    std::vector<std::string> added;
    std::unique_ptr<TPatternFitDialog> dialog;

    // withGrid: the dialog resamples surface files onto the session's grid.
    explicit Rig(const char* model, bool withGrid = false) {
        ostrander::testing::ModelLayout layout;
        layout.pads = ostrander::testing::HexPads(2, 2.6e-3, 2.4e-3);
        EXPECT_TRUE(h.session.UseMembraneModel(model));
        EXPECT_TRUE(h.LoadAndRun(layout));
        TPatternFitDialog::Callbacks c;
        c.fit = [this](const FitRequest& r) {
            requests.push_back(r);
            return FitOnSession(h.session, r);
        };
        c.modelName = [this] { return std::string(h.session.MembraneModelName()); };
        c.preview = [this](const std::vector<double>& v) { previews.push_back(v); };
        c.add = [this](const std::string& name, std::string& reason) {
            for (const std::string& a : added)
                if (a == name) {
                    reason = "another pattern has that name";
                    return false;
                }
            added.push_back(name);
            return true;
        };
        if (withGrid)
            c.engineGrid = [this]() -> std::optional<EngineGrid> {
                const std::optional<FitMirror> mirror = FitMirrorOf(h.session);
                return mirror ? std::optional<EngineGrid>(mirror->beam) : std::nullopt;
            };
        dialog = std::make_unique<TPatternFitDialog>(std::move(c));
        dialog->show();
    }
    std::string Result() const { return dialog->Ui().ResultLabel->text().toStdString(); }
};

TEST(PatternFitDialog, FitsPreviewsAndAddsUnderTheSuggestedName) {
    Rig rig("classic");
    const auto& ui = rig.dialog->Ui();
    EXPECT_NE(ui.ModelLabel->text().toStdString().find("classic"), std::string::npos);
    ui.TermsEdit->setText("4=0.3um,5=50nm");
    ui.BiasCheck->setChecked(true);
    ui.BiasEdit->setValue(150);
    ui.FitButton->click();
    ASSERT_EQ(rig.requests.size(), 1u);
    const FitRequest& r = rig.requests[0];
    ASSERT_EQ(r.zernike.size(), 5u);
    EXPECT_DOUBLE_EQ(r.zernike[3], 0.3e-6);
    EXPECT_DOUBLE_EQ(r.zernike[4], 50e-9);
    ASSERT_TRUE(r.bias.has_value());
    EXPECT_EQ(*r.bias, 150.0);
    EXPECT_FALSE(r.freeTilt);
    EXPECT_NE(rig.Result().find("Residual"), std::string::npos) << rig.Result();
    EXPECT_EQ(rig.Result().find("Pull-in"), std::string::npos) << rig.Result();

    // The preview got the fitted voltages, the same the engine gives.
    ASSERT_EQ(rig.previews.size(), 1u);
    const SessionFit direct = FitOnSession(rig.h.session, r);
    ASSERT_EQ(rig.previews[0].size(), direct.fit.volts.size());
    for (std::size_t k = 0; k < direct.fit.volts.size(); ++k)
        EXPECT_DOUBLE_EQ(rig.previews[0][k], direct.fit.volts[k]);

    ASSERT_TRUE(ui.AddButton->isEnabled());
    EXPECT_EQ(ui.NameEdit->text().toStdString(), "Fit Z4=0.3um Z5=0.05um @150V");
    ui.AddButton->click();
    EXPECT_EQ(rig.added, (std::vector<std::string>{"Fit Z4=0.3um Z5=0.05um @150V"}));
    ui.AddButton->click(); // the same name again: refused, and said so
    EXPECT_EQ(rig.added.size(), 1u);
    EXPECT_NE(rig.Result().find("Not added"), std::string::npos) << rig.Result();

    // A changed request makes the shown fit stale: nothing to add until Fit.
    ui.FreeTiltCheck->setChecked(true);
    EXPECT_FALSE(ui.AddButton->isEnabled());
}

TEST(PatternFitDialog, RefusalsAreShownAndLeaveNothingToAdd) {
    Rig rig("exact");
    const auto& ui = rig.dialog->Ui();
    struct Case {
        const char* terms;
        bool bias;
        const char* shown;
        std::size_t fits; // requests that reached the fitter so far
    };
    const Case cases[] = {{"4=", false, "not a number", 0},
                          {"99=1um", false, "Noll index", 0},
                          {"4=3um", false, "pull the membrane in", 1},
                          {"4=0.1um", true, "Pull-in factor", 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.terms);
        ui.TermsEdit->setText(c.terms);
        ui.BiasCheck->setChecked(c.bias);
        ui.BiasEdit->setValue(60);
        ui.FitButton->click();
        EXPECT_EQ(rig.requests.size(), c.fits);
        EXPECT_NE(rig.Result().find(c.shown), std::string::npos) << rig.Result();
        const bool fitted = std::string(c.shown) == "Pull-in factor";
        EXPECT_EQ(ui.AddButton->isEnabled(), fitted);
        EXPECT_EQ(rig.previews.size(), fitted ? 1u : 0u);
    }
}

// Enter in the terms field fits (it does not open the surface file dialog).
// A fit that leaves every pad at the floor says why and what to try, and
// leaves nothing to add; with a bias the same shape is worth adding.
TEST(PatternFitDialog, EnterFitsAndAFitThatDoesNothingSaysWhy) {
    Rig rig("classic");
    const auto& ui = rig.dialog->Ui();
    ScriptedDialogs dialogs;
    ScopedDialogs scope(dialogs);
    struct Case {
        const char* terms;
        bool bias;
        bool worthAdding;
        const char* shown;
    };
    const Case cases[] = {
        {"4=-0.5um", false, false, "Nothing to add: the fit leaves every pad at the floor"},
        {"4=-0.5um", false, false, "Try ticking \"Every pad at\" (a bias"},
        {"4=-0.5um", true, true, "Residual"},
    };
    std::size_t fits = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.terms) + (c.bias ? " with a bias" : ""));
        ui.BiasCheck->setChecked(c.bias);
        ui.BiasEdit->setValue(150);
        ui.TermsEdit->setText(c.terms);
        ui.TermsEdit->setFocus();
        QTest::keyClick(ui.TermsEdit, Qt::Key_Return);
        EXPECT_EQ(rig.requests.size(), ++fits);
        EXPECT_TRUE(dialogs.openRequests.empty());
        EXPECT_NE(rig.Result().find(c.shown), std::string::npos) << rig.Result();
        EXPECT_EQ(ui.AddButton->isEnabled(), c.worthAdding);
        EXPECT_EQ(rig.Result().find("Nothing to add") == std::string::npos, c.worthAdding);
    }
    EXPECT_TRUE(ui.FitButton->isDefault());
    EXPECT_FALSE(ui.SurfaceBrowseButton->autoDefault());
}

// A surface file made from known voltages (as surface.csv lays it out:
// rows along y) gives them back; a missing or malformed file is refused.
TEST(PatternFitDialog, FitsASurfaceFile) {
    Rig rig("classic");
    const auto& ui = rig.dialog->Ui();
    MirrorClass& mirror = *rig.h.local.Mirror;
    std::vector<double> known(19);
    for (int k = 0; k < 19; ++k) {
        known[k] = 60.0 + 7.0 * k;
        mirror.SetVoltage(k + 1, known[k]);
    }
    ASSERT_EQ(rig.h.engine.SynthesizeSurface(), SynthesisStatus::Done);
    const int n = rig.h.data.GridSize;
    const ostrander::testing_support::TempFolder temp("ostrander-fit");
    const std::string file = temp.File("surface.csv");
    {
        std::ofstream out(file);
        out.precision(17);
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c)
                out << rig.h.data.Surface[c][r] << (c + 1 < n ? "," : "\n");
    }
    ScriptedDialogs dialogs;
    ScopedDialogs scope(dialogs);
    dialogs.openAnswers.push_back(file);
    ui.SurfaceBrowseButton->click();
    EXPECT_TRUE(ui.SurfaceRadio->isChecked());
    ui.FitButton->click();
    ASSERT_EQ(rig.previews.size(), 1u) << rig.Result();
    for (int k = 0; k < 19; ++k)
        EXPECT_NEAR(rig.previews[0][k], known[k], 1e-6) << k + 1;
    EXPECT_EQ(ui.NameEdit->text().toStdString(),
              "Fit " + std::filesystem::path(file).filename().string());

    std::ofstream(file) << "1,2,3\n";
    ui.FitButton->click();
    EXPECT_NE(rig.Result().find("Cannot fit"), std::string::npos) << rig.Result();
    EXPECT_FALSE(ui.AddButton->isEnabled());
    std::filesystem::remove(file);
    ui.FitButton->click();
    EXPECT_NE(rig.Result().find("no such file"), std::string::npos) << rig.Result();
    EXPECT_EQ(rig.previews.size(), 1u);
}

// The fit's warnings are the command line's, naming the dialog's choices:
// a push without a bias leaves every pad at the floor; a good fit says
// nothing; a surface with empty fields says how many samples it left out.
TEST(PatternFitDialog, ShowsTheFitWarnings) {
    Rig rig("classic", true);
    const auto& ui = rig.dialog->Ui();
    ui.TermsEdit->setText("4=-0.2um");
    ui.BiasCheck->setChecked(false);
    ui.FitButton->click();
    EXPECT_NE(rig.Result().find("Warning: the fit leaves the target largely uncorrected"),
              std::string::npos)
        << rig.Result();
    EXPECT_NE(rig.Result().find("19 of 19 pads sit at the floor"), std::string::npos) << rig.Result();
    EXPECT_NE(rig.Result().find("try a bias"), std::string::npos) << rig.Result();
    EXPECT_EQ(rig.Result().find("--bias"), std::string::npos) << rig.Result();

    ui.TermsEdit->setText("4=0.1um");
    ui.BiasCheck->setChecked(true);
    ui.BiasEdit->setValue(60);
    ui.FitButton->click();
    ASSERT_EQ(rig.previews.size(), 2u) << rig.Result();
    EXPECT_EQ(rig.Result().find("Warning"), std::string::npos) << rig.Result();

    // 16 x 16 of a flat 0.1 um, every line but the first ending in an empty field.
    const ostrander::testing_support::TempFolder temp("ostrander-fit-warn");
    std::string csv;
    for (int r = 0; r < 16; ++r)
        for (int c = 0; c < 16; ++c)
            csv += std::string(r > 0 && c == 15 ? "" : "1e-7") + (c < 15 ? "," : "\n");
    const std::string file = temp.Write("masked.csv", csv);
    ScriptedDialogs dialogs;
    ScopedDialogs scope(dialogs);
    dialogs.openAnswers.push_back(file);
    ui.SurfaceBrowseButton->click();
    ui.FitButton->click();
    ASSERT_EQ(rig.previews.size(), 3u) << rig.Result();
    EXPECT_NE(rig.Result().find("Warning: surface \"" + file +
                                "\": 15 of 256 samples are empty, null or NaN"),
              std::string::npos)
        << rig.Result();
}

// Surface files of another format and size, resampled onto the session's
// grid: a FITS image placed by its axes (as surface.fits) gives back the
// voltages of its surface, and a 64 x 64 CSV of a focus gives the voltages
// that the same focus asked for as a Zernike term gives.
TEST(PatternFitDialog, FitsAFitsImageAndA64By64Csv) {
    Rig rig("classic", true);
    const auto& ui = rig.dialog->Ui();
    const std::optional<FitMirror> fitMirror = FitMirrorOf(rig.h.session);
    ASSERT_TRUE(fitMirror.has_value());
    const EngineGrid g = fitMirror->beam;
    const std::string stem =
        (std::filesystem::temp_directory_path() / ("ostrander-fit-" + std::to_string(::getpid())))
            .string();

    MirrorClass& mirror = *rig.h.local.Mirror;
    std::vector<double> known(19);
    for (int k = 0; k < 19; ++k) {
        known[k] = 70.0 + 5.0 * k;
        mirror.SetVoltage(k + 1, known[k]);
    }
    ASSERT_EQ(rig.h.engine.SynthesizeSurface(), SynthesisStatus::Done);
    FitsImage image;
    image.columns = image.rows = g.n;
    for (int r = 0; r < g.n; ++r)
        for (int c = 0; c < g.n; ++c)
            image.values.push_back(rig.h.data.Surface[c][r]);
    for (const char* axis : {"1", "2"}) {
        image.keys.push_back({std::string("CDELT") + axis, g.dx, ""});
        image.keys.push_back({std::string("CRPIX") + axis, static_cast<double>(g.n / 2 + 1), ""});
    }
    std::string bytes, error;
    ASSERT_TRUE(FitsBytes(image, bytes, error)) << error;
    const std::string fits = stem + ".fits";
    std::ofstream(fits, std::ios::binary) << bytes;
    ui.SurfaceEdit->setText(QString::fromStdString(fits));
    ui.SurfaceRadio->setChecked(true);
    ui.FitButton->click();
    ASSERT_EQ(rig.previews.size(), 1u) << rig.Result();
    for (int k = 0; k < 19; ++k)
        EXPECT_NEAR(rig.previews[0][k], known[k], 1e-6) << k + 1;

    const int m = 64;
    const double R = g.beamRadius, amplitude = 0.1e-6;
    const std::string csv = stem + ".csv";
    {
        std::ofstream out(csv);
        out.precision(17);
        const double lo = g.X(0), hi = g.X(g.n - 1);
        for (int r = 0; r < m; ++r)
            for (int c = 0; c < m; ++c) {
                const double x = lo + (hi - lo) * c / (m - 1), y = lo + (hi - lo) * r / (m - 1);
                out << amplitude * std::sqrt(3.0) * (2.0 * (x * x + y * y) / (R * R) - 1.0)
                    << (c + 1 < m ? "," : "\n");
            }
    }
    ui.SurfaceEdit->setText(QString::fromStdString(csv));
    ui.BiasCheck->setChecked(true);
    ui.BiasEdit->setValue(150);
    ui.FitButton->click();
    ASSERT_EQ(rig.previews.size(), 2u) << rig.Result();
    FitRequest focus;
    focus.zernike = {0, 0, 0, amplitude};
    focus.bias = 150;
    const SessionFit direct = FitOnSession(rig.h.session, focus);
    ASSERT_EQ(direct.status, SessionFit::Status::Fitted);
    for (int k = 0; k < 19; ++k)
        EXPECT_NEAR(rig.previews[1][k], direct.fit.volts[k], 1e-6) << k + 1;
    std::filesystem::remove(fits);
    std::filesystem::remove(csv);
}

TEST(PatternFitDialog, WithoutAMirrorItSaysSo) {
    TPatternFitDialog dialog({});
    dialog.Ui().FitButton->click();
    EXPECT_NE(dialog.Ui().ResultLabel->text().toStdString().find("no mirror"), std::string::npos);
    EXPECT_FALSE(dialog.Ui().AddButton->isEnabled());
}

// The browser's Fit... button: the dialog fits on the engine it was given,
// and Add to Set puts the fitted voltages into the set as a new pattern.
TEST(PatternFitDialog, TheBrowserAddsTheFittedPatternToItsSet) {
    ostrander::testing::EngineHarness h;
    ostrander::testing::ModelLayout layout;
    layout.pads = ostrander::testing::HexPads(2, 2.6e-3, 2.4e-3);
    ASSERT_TRUE(h.LoadAndRun(layout));
    ScriptedDialogs dialogs; // the first showing's open dialog is cancelled
    ScopedDialogs scope(dialogs);
    TPatternSequenceBrowserForm browser;
    browser.SetVoltageFitter([&h](const FitRequest& r) { return FitOnSession(h.session, r); },
                             [&h] { return std::string(h.session.MembraneModelName()); });
    browser.SetActiveMirror(h.local.Mirror.get());
    browser.ShowBrowser();
    ASSERT_NE(browser.GetPreviewMirror(), nullptr);

    QTimer::singleShot(0, &browser, [&browser] {
        auto* dialog = browser.findChild<TPatternFitDialog*>();
        ASSERT_NE(dialog, nullptr);
        dialog->Ui().TermsEdit->setText("4=0.2um");
        dialog->Ui().BiasCheck->setChecked(true);
        dialog->Ui().BiasEdit->setValue(150);
        dialog->Ui().FitButton->click();
        dialog->Ui().AddButton->click();
        dialog->accept();
    });
    browser.Ui().FitButton->click();

    ASSERT_NE(browser.GetPatternSet(), nullptr);
    ASSERT_EQ(browser.GetPatternSet()->GetPatternCount(), 1);
    EXPECT_EQ(browser.GetPatternSet()->FindPattern(0)->PatternName, "Fit Z4=0.2um @150V");
    ASSERT_EQ(browser.Ui().PatternListBox->count(), 1);
    FitRequest request;
    request.zernike = {0, 0, 0, 0.2e-6};
    request.bias = 150;
    const SessionFit direct = FitOnSession(h.session, request);
    ASSERT_EQ(direct.status, SessionFit::Status::Fitted);
    auto volts = browser.GetPatternSet()->GetPatternVoltages(0);
    int count = 0;
    for (const VoltageListEntry* e = volts->First(); e != nullptr; e = e->next, ++count)
        EXPECT_NEAR(e->Voltage, direct.fit.volts[e->Actuator - 1], 1e-9) << e->Actuator;
    EXPECT_EQ(count, 19);
    // Fitting never touched the main window's mirror.
    EXPECT_EQ(h.local.Mirror->GetVoltage(1), 0.1);
}

} // namespace

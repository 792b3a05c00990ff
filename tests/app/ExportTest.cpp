// File > Export Pictures and Data on a shipped mirror, offscreen: the files
// are those ostrander-cli simulate writes for the same voltages and choices
// (the CLI is run with the command line the summary records), and a refused
// or failed export says why and leaves nothing behind.
#include "app/OstranderForm.h"
#include "app/ProgramWindows.h"

#include "Shared_Software/Frames/IntegerEditFrame.h"
#include "forms/MirrorSetupForm.h"
#include "model/EngineSession.h"
#include "model/ResultFigures.h"
#include "toolkit/OutputFolder.h"
#include "support/ProgramFixture.h"
#include "support/SmallDisk.h"
#include "support/TempFolder.h"
#include "toolkit/Dialogs.h"

#include <QAction>
#include <QCheckBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QScrollBar>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace ostrander {
namespace {

namespace fs = std::filesystem;

using testing_support::ReadWhole;

QJsonObject ReadJson(const fs::path& path) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(ReadWhole(path))).object();
}

// Every file below a folder by its relative path, with what may differ
// between two writers of the same result taken out: the summary's time,
// writer and command line, and the FITS cards of the writer and the date.
std::map<std::string, std::string> Contents(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        const std::string name = fs::relative(entry.path(), folder).string();
        std::string bytes = ReadWhole(entry.path());
        if (name.ends_with(".json")) {
            QJsonObject summary = QJsonDocument::fromJson(QByteArray::fromStdString(bytes)).object();
            for (const char* key : {"time_utc", "program", "command_line"})
                summary.remove(key);
            bytes = QJsonDocument(summary).toJson().toStdString();
        } else if (name.ends_with(".fits")) {
            for (std::size_t card = 0; card + 80 <= bytes.size(); card += 80)
                if (bytes.compare(card, 9, "ORIGIN  =") == 0 || bytes.compare(card, 9, "DATE    =") == 0)
                    bytes.replace(card, 80, std::string(80, ' '));
        } else if (name == ".ostrander-output") {
            // The record's sizes and hashes of the files normalised above
            // differ as those files do; the rest must be the same.
            std::string kept;
            std::size_t start = 0;
            while (start < bytes.size()) {
                std::size_t end = bytes.find('\n', start);
                end = end == std::string::npos ? bytes.size() : end + 1;
                std::string line = bytes.substr(start, end - start);
                start = end;
                const std::size_t path = line.rfind(' ');
                if (line.starts_with("#sha256 ") && path != std::string::npos &&
                    (line.find(".json") != std::string::npos || line.find(".fits") != std::string::npos))
                    line = "#sha256" + line.substr(path);
                kept += line;
            }
            bytes = kept;
        }
        files[name] = std::move(bytes);
    }
    return files;
}

// Runs a shell command line as the summary records it, the program's name
// replaced by the built ostrander-cli; its exit status.
int RunCommandLine(std::string line) {
    const std::string program = "ostrander-cli";
    if (line.rfind(program, 0) != 0)
        return -1;
    line.replace(0, program.size(), OSTRANDER_CLI);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("OSTRANDER_DEVICES");
    process.setProcessEnvironment(env);
    process.start("/bin/sh", {"-c", QString::fromStdString(line)});
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

// Entries of a folder (names), to see that nothing was left beside a target.
std::set<std::string> Entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

struct ExportCase {
    const char* name;
    const char* model;
    bool removeFocus;
    int focusPosition; // 0 .. 200, 100 keeps the whole focus removed
    int zoom;
};

void PrintTo(const ExportCase& c, std::ostream* os) {
    *os << c.name;
}

class ExportTest : public program_test::ProgramFolder {
protected:
    void SetUp() override {
        ProgramFolder::SetUp();
        for (const char* file : {"Hex19.ini", "DMmap_HEX19.dat", "Hex19_Zernike.pat"})
            fs::copy_file(fs::path(OSTRANDER_SOURCE_DIR) / "Devices" / file,
                          root_ / "Devices" / file);
        ProgramWindows windows = MakeProgramWindows();
        form = std::move(windows.OstranderForm);
        setup = windows.MirrorSetupForm;
    }
    void TearDown() override {
        form.reset();
        ProgramFolder::TearDown();
    }

    // Loads the mirror; the export waits for its influence functions.
    void Load() {
        EXPECT_FALSE(form->ExportAction->isEnabled());
        setup->MirrorSelectionListBox->setCurrentRow(0);
        setup->LoadButtonClick();
        form->RunFEATimerTimer();
        form->ApplicationIdle();
        EXPECT_FALSE(form->ExportAction->isEnabled());
        for (int ticks = 0; form->IsRunTimerEnabled() && ticks < 50; ++ticks)
            form->RunFEATimerTimer();
        ASSERT_TRUE(form->Session().ResultsValid());
        form->ApplicationIdle();
        EXPECT_TRUE(form->ExportAction->isEnabled());
    }
    void SetVoltages(std::vector<std::pair<int, double>> volts) {
        VoltageRequest request;
        request.single = std::move(volts);
        form->Session().ApplyVoltages(request);
        form->ApplicationIdle();
    }

    ScriptedDialogs dialogs;
    ScopedDialogs installed{dialogs};
    std::unique_ptr<TOstranderForm> form;
    TMirrorSetupForm* setup = nullptr; // owned by the main window
};

class ExportCases : public ExportTest, public ::testing::WithParamInterface<ExportCase> {};

TEST_P(ExportCases, WritesWhatTheCliWritesForTheSameState) {
    const ExportCase& c = GetParam();
    ASSERT_TRUE(form->SetMembraneModel(c.model));
    Load();
    SetVoltages({{1, 100}, {5, 120}, {12, 60}});
    if (c.removeFocus) {
        QTest::mouseClick(form->RemoveFocusCheck, Qt::LeftButton);
        form->FocusScrollBar->setValue(c.focusPosition);
    }
    form->FarFieldZoomEdit->SetValue(c.zoom);
    form->FarFieldZoomEditChanged();
    form->ApplicationIdle();
    const QString status = form->ResultFiguresLabel->text();
    ASSERT_FALSE(status.isEmpty());

    const fs::path out = root_ / "export";
    dialogs.folderAnswers = {out.string()};
    form->ExportAction->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].text.find(out.string()), std::string::npos)
        << dialogs.messages[0].text;
    EXPECT_EQ(form->ExportFolder(), out.string());

    const QJsonObject summary = ReadJson(out / "summary.json");
    EXPECT_EQ(summary["program"].toString(), "ostrander");
    EXPECT_EQ(summary["model"].toString(), c.model);
    EXPECT_EQ(summary["zoom"].toInt(), c.zoom);
    EXPECT_EQ(summary["remove_focus"].toBool(), c.removeFocus);
    EXPECT_EQ(summary["voltages"].toObject()["5"].toDouble(), 120);
    EXPECT_EQ(summary["voltages"].toObject()["2"].toDouble(), 0.1);

    // The CLI, given the command line the summary records, writes the same
    // files byte for byte (pictures included), and the same summary.
    std::string line = summary["command_line"].toString().toStdString();
    const std::size_t outAt = line.rfind(" --out ");
    ASSERT_NE(outAt, std::string::npos) << line;
    const fs::path cliOut = root_ / "cli";
    line = line.substr(0, outAt) + " --out '" + cliOut.string() + "'";
    ASSERT_EQ(RunCommandLine(line), 0) << line;
    const auto exported = Contents(out);
    const auto written = Contents(cliOut);
    EXPECT_EQ(exported.size(), 15u); // eight pictures, six grids and figures, the record
    ASSERT_EQ(exported.size(), written.size());
    for (const auto& [name, bytes] : exported) {
        ASSERT_TRUE(written.count(name)) << name;
        EXPECT_TRUE(written.at(name) == bytes) << name;
    }

    // The window shows what it showed, and its status line has the files' figures.
    form->ApplicationIdle();
    EXPECT_EQ(form->ResultFiguresLabel->text(), status);
    const std::optional<ResultFigures> figures = form->Session().Figures();
    ASSERT_TRUE(figures);
    EXPECT_EQ(summary["strehl"].toDouble(), figures->strehl);
    EXPECT_EQ(summary["rms_m"].toDouble(), figures->beamRms);

    // The same folder again: replaced only when the user says so.
    SetVoltages({{1, 50}});
    dialogs.folderAnswers = {out.string(), out.string()};
    dialogs.askAnswers = {false, true};
    form->ExportAction->trigger();
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].preselected, Dialogs::Preselect::No);
    EXPECT_EQ(ReadJson(out / "summary.json")["voltages"].toObject()["1"].toDouble(), 100);
    form->ExportAction->trigger();
    EXPECT_EQ(dialogs.folderRequests.back().initialFolder, out.string());
    EXPECT_EQ(dialogs.questions.size(), 2u);
    EXPECT_EQ(ReadJson(out / "summary.json")["voltages"].toObject()["1"].toDouble(), 50);
    EXPECT_EQ(Entries(root_), (std::set<std::string>{"Devices", "bin", "cli", "export"}));
}

INSTANTIATE_TEST_SUITE_P(Hex19, ExportCases,
                         ::testing::Values(ExportCase{"ClassicFocusRemovedZoomed", "classic",
                                                      true, 130, 3},
                                           ExportCase{"ExactMembrane", "exact", false, 100, 1}),
                         [](const ::testing::TestParamInfo<ExportCase>& info) {
                             return info.param.name;
                         });

TEST_F(ExportTest, ARefusedOrFailedExportSaysWhyAndLeavesNothing) {
    Load();
    SetVoltages({{1, 100}});
    const std::set<std::string> before = Entries(root_);

    // A folder with the user's own files is not touched.
    const fs::path mine = root_ / "mine";
    fs::create_directory(mine);
    std::ofstream(mine / "notes.txt") << "mine\n";
    dialogs.folderAnswers = {mine.string()};
    form->ExportAction->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].text.find("holds other files"), std::string::npos)
        << dialogs.messages[0].text;
    EXPECT_EQ(Entries(mine), std::set<std::string>{"notes.txt"});

    // A disk that fills up while writing: no folder, no staging folder.
    {
        testing_support::FileSizeLimit limit(16 * 1024);
        dialogs.folderAnswers = {(root_ / "full").string()};
        form->ExportAction->trigger();
    }
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_NE(dialogs.messages[1].text.find("cannot write"), std::string::npos)
        << dialogs.messages[1].text;
    std::set<std::string> expected = before;
    expected.insert("mine");
    EXPECT_EQ(Entries(root_), expected);
    EXPECT_EQ(form->ExportFolder(), "");

    // Cancelled: nothing asked, nothing said.
    form->ExportAction->trigger();
    EXPECT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.folderRequests.size(), 3u);
}

} // namespace
} // namespace ostrander

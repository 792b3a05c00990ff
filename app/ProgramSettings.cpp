#include "app/ProgramSettings.h"

#include "Shared_Software/Frames/IntegerEditFrame.h"
#include "Shared_Software/Frames/MirrorDisplayFrame.h"
#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "app/OstranderForm.h"
#include "app/ProgramWindows.h"
#include "forms/MirrorSetupForm.h"
#include "forms/PatternSequenceBrowserForm.h"
#include "forms/TurbulenceForm.h"
#include "model/EngineSession.h"
#include "toolkit/Dialogs.h"
#include "toolkit/qt/WindowPlacement.h"

#include <QCheckBox>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>

#include <cmath>
#include <filesystem>
#include <optional>

namespace ostrander {

namespace {

constexpr const char* kLastMirror = "Choices/LastMirror";
constexpr const char* kStep = "Choices/Step";
constexpr const char* kSetAll = "Choices/SetAll";
constexpr const char* kRemoveFocus = "Choices/RemoveFocusAndPiston";
constexpr const char* kZoom = "Choices/FarFieldZoom";
constexpr const char* kModel = "Choices/MembraneModel";
constexpr const char* kColourBars = "Choices/ColourBars";
constexpr const char* kPatternFolder = "Folders/Patterns";
constexpr const char* kDeviceFolder = "Folders/Devices";
constexpr const char* kExportFolder = "Folders/Export";
constexpr const char* kRecentMirrors = "Recent/Mirrors";
constexpr const char* kRecentPatternSets = "Recent/PatternSets";

std::vector<std::string> Files(QSettings& settings, const char* key) {
    std::vector<std::string> files;
    for (const QString& file : settings.value(key).toStringList())
        if (!file.isEmpty())
            files.push_back(file.toStdString());
    return files;
}

// A yes or no written as QSettings writes one; anything else is no answer.
std::optional<bool> Flag(QSettings& settings, const char* key) {
    const QString text = settings.value(key).toString().trimmed().toLower();
    if (text == "true" || text == "1")
        return true;
    if (text == "false" || text == "0")
        return false;
    return std::nullopt;
}

QStringList ListOf(const std::vector<std::string>& files) {
    QStringList list;
    for (const std::string& file : files)
        list << QString::fromStdString(file);
    return list;
}

// A number stored under key, when there is one and it is finite.
std::optional<double> Number(QSettings& settings, const char* key) {
    if (!settings.contains(key))
        return std::nullopt;
    bool ok = false;
    const double value = settings.value(key).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string Text(QSettings& settings, const char* key) {
    return settings.value(key).toString().toStdString();
}

// How long the status bar shows what start-up passed over.
constexpr int kNoticeMilliseconds = 30000;

// Whether path can be used as a folder (or, folder false, as a regular
// file), and otherwise why not. Nothing here throws: a path through a loop
// of links or a folder of another user only gives a reason.
bool Usable(const std::string& path, bool folder, std::string& why) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec && status.type() != std::filesystem::file_type::not_found) {
        why = ec.message();
        return false;
    }
    if (!std::filesystem::exists(status)) {
        why = "it is gone";
        return false;
    }
    if (folder ? !std::filesystem::is_directory(status)
               : !std::filesystem::is_regular_file(status)) {
        why = folder ? "it is not a folder" : "it is not a file";
        return false;
    }
    return true;
}

// A remembered path that no longer works is forgotten; the notice says which.
void ForgetUnusable(QSettings& settings, const char* key, const char* what, bool folder,
                    std::vector<std::string>& notices) {
    const std::string path = Text(settings, key);
    std::string why;
    if (path.empty() || Usable(path, folder, why))
        return;
    settings.remove(key);
    notices.push_back(std::string(what) + " " + path + " cannot be used (" + why + ")");
}

// The program's windows, not owned.
struct WindowSet {
    TOstranderForm* main = nullptr;
    TMirrorSetupForm* setup = nullptr;
    TPatternSequenceBrowserForm* browser = nullptr;
    TTurbulenceForm* turbulence = nullptr;
};

WindowSet Of(const ProgramWindows& w) {
    return {w.OstranderForm.get(), w.MirrorSetupForm, w.PatternSequenceBrowserForm,
            w.TurbulenceForm};
}

// The splitters of a window, each under its own key.
struct NamedSplitter {
    const char* key;
    QSplitter* splitter;
};

std::vector<NamedSplitter> Splitters(const WindowSet& w) {
    const TOstranderForm& main = *w.main;
    std::vector<NamedSplitter> all{{"MainWindow/Splitter1", main.Splitter1},
                                   {"MainWindow/Splitter2", main.Splitter2},
                                   {"MainWindow/Splitter3", main.Splitter3},
                                   {"MainWindow/UpperSplitter", main.UpperDisplayPanel},
                                   {"MainWindow/LowerSplitter", main.LowerDisplayPanel}};
    if (w.browser)
        all.push_back({"PatternBrowser/Splitter", w.browser->Ui().Splitter});
    return all;
}

struct NamedWindow {
    const char* key;
    QWidget* window;
};

std::vector<NamedWindow> Windows(const WindowSet& w) {
    std::vector<NamedWindow> all{{"MainWindow/Geometry", w.main}};
    if (w.setup)
        all.push_back({"MirrorSetup/Geometry", w.setup});
    if (w.browser)
        all.push_back({"PatternBrowser/Geometry", w.browser});
    if (w.turbulence)
        all.push_back({"Turbulence/Geometry", w.turbulence});
    return all;
}

// Whether a window's place lies whole on one of the screens there are now.
bool OnAScreen(const QRect& place) {
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen->availableGeometry().contains(place))
            return true;
    return false;
}

// A window's place and size, a window never shown this time excepted (it has
// no place of its own to keep).
void SavePlace(QSettings& settings, const NamedWindow& w) {
    if (w.window->testAttribute(Qt::WA_WState_Created))
        settings.setValue(w.key, w.window->saveGeometry());
}

void SaveChoicesOf(const WindowSet& windows, QSettings& settings);

// Keeps a secondary window's place when it is hidden (closed, or left with
// its own button), and every choice when the main window closes.
class PlaceKeeper : public QObject {
public:
    PlaceKeeper(const WindowSet& windows, QSettings& settings)
        : QObject(windows.main), windows_(windows), settings_(settings) {
        for (QWidget* window : {static_cast<QWidget*>(windows.setup),
                                static_cast<QWidget*>(windows.browser),
                                static_cast<QWidget*>(windows.turbulence)})
            if (window)
                window->installEventFilter(this);
        connect(windows.main, &TOstranderForm::closing, this,
                [this] { SaveChoicesOf(windows_, settings_); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // A window being destroyed is no longer of its own class: it is
        // passed over.
        if (event->type() == QEvent::Hide &&
            (qobject_cast<TMirrorSetupForm*>(watched) ||
             qobject_cast<TPatternSequenceBrowserForm*>(watched) ||
             qobject_cast<TTurbulenceForm*>(watched))) {
            for (const NamedWindow& w : Windows(windows_))
                if (w.window == watched)
                    SavePlace(settings_, w);
            if (watched == windows_.browser)
                settings_.setValue("PatternBrowser/Splitter",
                                   windows_.browser->Ui().Splitter->saveState());
            settings_.sync();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    WindowSet windows_;
    QSettings& settings_;
};

// The absolute, normalised path of the loaded mirror's info file.
std::string LoadedMirrorFile(const EngineSession& session) {
    if (!session.MirrorInfo() || !session.Mirror() || !session.Mirror()->IsValid())
        return {};
    std::error_code ec;
    const auto path =
        std::filesystem::weakly_canonical(DevicePath(session.MirrorInfo()->FileName), ec);
    return ec ? std::string() : path.string();
}

} // namespace

std::string DefaultSettingsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
               .toStdString() +
           "/Ostrander/Ostrander.conf";
}

ProgramSettingsFile::ProgramSettingsFile() = default;
ProgramSettingsFile::~ProgramSettingsFile() = default;
ProgramSettingsFile::ProgramSettingsFile(ProgramSettingsFile&&) noexcept = default;
ProgramSettingsFile& ProgramSettingsFile::operator=(ProgramSettingsFile&&) noexcept = default;

ProgramSettingsFile OpenProgramSettings(const std::string& file) {
    ProgramSettingsFile opened;
    std::error_code ec;
    const auto status = std::filesystem::status(file, ec);
    std::string why;
    // A file not there yet is made on the first save.
    if (status.type() == std::filesystem::file_type::not_found || Usable(file, false, why)) {
        opened.settings =
            std::make_unique<QSettings>(QString::fromStdString(file), QSettings::IniFormat);
        return opened;
    }
    opened.scratch = std::make_unique<QTemporaryDir>();
    opened.settings = std::make_unique<QSettings>(opened.scratch->filePath("Ostrander.conf"),
                                                  QSettings::IniFormat);
    opened.notice = "The settings file " + file + " cannot be used (" + why +
                    "); starting from the defaults, and nothing is remembered";
    return opened;
}

void RestoreChoices(ProgramWindows& windows, QSettings& settings,
                    std::vector<std::string> notices) {
    TOstranderForm& main = *windows.OstranderForm;
    ForgetUnusable(settings, kPatternFolder, "The pattern folder", true, notices);
    ForgetUnusable(settings, kLastMirror, "The mirror loaded last time,", false, notices);
    for (const NamedWindow& w : Windows(Of(windows)))
        if (settings.contains(w.key) &&
            w.window->restoreGeometry(settings.value(w.key).toByteArray()) &&
            w.window != windows.OstranderForm.get() && OnAScreen(w.window->geometry()))
            // Where the user left it last time counts when it opens, if that
            // is on a screen there is now; else it opens as the first time,
            // beside the main window.
            MarkPlacedByUser(w.window);
    for (const NamedSplitter& s : Splitters(Of(windows)))
        if (s.splitter && settings.contains(s.key))
            s.splitter->restoreState(settings.value(s.key).toByteArray());

    if (const auto step = Number(settings, kStep); step && *step >= 0)
        main.MainMirrorDisplay->SetPreferredStep(*step);
    if (const auto setAll = Number(settings, kSetAll); setAll && *setAll >= 0)
        main.MainMirrorDisplay->SetSetAllValue(*setAll);
    if (settings.contains(kRemoveFocus))
        main.RemoveFocusCheck->setChecked(settings.value(kRemoveFocus).toBool());
    if (const auto zoom = Number(settings, kZoom); zoom && *zoom >= 1 && *zoom <= 100) {
        main.FarFieldZoomEdit->SetValue(static_cast<int>(std::lround(*zoom)));
        main.FarFieldZoomEditChanged();
    }
    if (settings.contains(kModel))
        main.SetMembraneModel(settings.value(kModel).toString());
    if (const std::optional<bool> bars = Flag(settings, kColourBars))
        main.ShowColourBars(*bars);
    if (windows.PatternSequenceBrowserForm) {
        const std::string folder = Text(settings, kPatternFolder);
        if (!folder.empty())
            windows.PatternSequenceBrowserForm->SetPatternFolder(folder);
    }
    // An export folder that has gone still shows where the export dialog starts.
    main.SetExportFolder(Text(settings, kExportFolder));
    // Recent files that have gone are forgotten, and the status bar says so.
    std::vector<std::string> mirrors = Files(settings, kRecentMirrors);
    std::vector<std::string> sets = Files(settings, kRecentPatternSets);
    std::size_t gone = TOstranderForm::DropMissing(mirrors).size();
    gone += TOstranderForm::DropMissing(sets).size();
    main.SetRecentMirrors(std::move(mirrors));
    main.SetRecentPatternSets(std::move(sets));
    if (gone > 0)
        notices.push_back(std::to_string(gone) + " recent file" + (gone > 1 ? "s" : "") +
                          " no longer there, taken off the File menu");

    if (!notices.empty()) {
        std::string text;
        for (const std::string& notice : notices)
            text += (text.empty() ? "" : "; ") + notice;
        main.statusBar()->showMessage(QString::fromStdString(text + "."), kNoticeMilliseconds);
    }
}

void SaveChoices(const ProgramWindows& windows, QSettings& settings) {
    SaveChoicesOf(Of(windows), settings);
}

void SaveChoicesOnClose(const ProgramWindows& windows, QSettings& settings) {
    new PlaceKeeper(Of(windows), settings);
}

namespace {

void SaveChoicesOf(const WindowSet& windows, QSettings& settings) {
    TOstranderForm& main = *windows.main;
    for (const NamedWindow& w : Windows(windows))
        SavePlace(settings, w);
    for (const NamedSplitter& s : Splitters(windows))
        if (s.splitter)
            settings.setValue(s.key, s.splitter->saveState());

    const std::string mirror = LoadedMirrorFile(main.Session());
    if (!mirror.empty())
        settings.setValue(kLastMirror, QString::fromStdString(mirror));
    if (const std::optional<double> step = main.MainMirrorDisplay->PreferredStep())
        settings.setValue(kStep, *step);
    settings.setValue(kSetAll, main.MainMirrorDisplay->GetSetAllValue());
    settings.setValue(kRemoveFocus, main.RemoveFocusCheck->isChecked());
    settings.setValue(kZoom, main.FarFieldZoomEdit->GetValue());
    settings.setValue(kModel, main.MembraneModelName());
    settings.setValue(kColourBars, main.ColourBarsShown());
    if (!main.ExportFolder().empty())
        settings.setValue(kExportFolder, QString::fromStdString(main.ExportFolder()));
    settings.setValue(kRecentMirrors, ListOf(main.RecentMirrors()));
    settings.setValue(kRecentPatternSets, ListOf(main.RecentPatternSets()));
    if (windows.browser) {
        const std::string folder = windows.browser->PatternFolder();
        if (!folder.empty())
            settings.setValue(kPatternFolder, QString::fromStdString(folder));
    }
    settings.sync();
}

} // namespace

std::string RememberedMirror(QSettings& settings) {
    const std::string file = Text(settings, kLastMirror);
    std::error_code ec;
    if (file.empty() || !std::filesystem::is_regular_file(file, ec))
        return {};
    return file;
}

bool OfferRememberedMirror(ProgramWindows& windows, QSettings& settings) {
    const std::string file = RememberedMirror(settings);
    if (file.empty() || !windows.MirrorSetupForm)
        return false;
    MirrorInfoClass info(file);
    const std::string name =
        info.IsValid() ? info.DeviceName : std::filesystem::path(file).filename().string();
    if (!Dialogs::Instance().Ask("Load the mirror you used last time, " + name + "?\n\n" + file,
                                 "Ostrander", Dialogs::Preselect::Yes))
        return false;
    return windows.MirrorSetupForm->LoadFile(file);
}

std::string RememberedDeviceFolder(QSettings& settings) {
    return Text(settings, kDeviceFolder);
}

std::string ForgetUnusableDeviceFolder(QSettings& settings) {
    std::vector<std::string> notices;
    ForgetUnusable(settings, kDeviceFolder, "The device folder chosen last time,", true, notices);
    return notices.empty() ? std::string() : notices.front();
}

void RememberDeviceFolder(QSettings& settings, const std::string& folder) {
    if (folder.empty())
        settings.remove(kDeviceFolder);
    else
        settings.setValue(kDeviceFolder, QString::fromStdString(folder));
}

} // namespace ostrander

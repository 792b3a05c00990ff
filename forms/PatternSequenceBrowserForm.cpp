#include "forms/PatternSequenceBrowserForm.h"

#include "Shared_Software/Frames/MirrorDisplayFrame.h"
#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "Shared_Software/Pattern/PatternClass.h"
#include "driver/VoltageLimits.h"
#include "forms/PatternFitDialog.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Paths.h"
#include "toolkit/TColor.h"
#include "toolkit/qt/ImageCanvas.h"
#include "toolkit/qt/WindowPlacement.h"

#include <QAction>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>
#include <string>

namespace ostrander {

namespace {

constexpr int PendingColour = 0xC0DCC0;
constexpr const char* Filter = "Pattern sets (*.pat *.ini);;All files (*)";
// Not the image editor's patterns that share the suffix.
const std::vector<std::pair<std::string, std::string>> kTypeNames = {{"pat", "Pattern set"}};

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
std::string S(const QString& s) {
    return s.toStdString();
}

bool IsEnter(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

TPatternSequenceBrowserForm::TPatternSequenceBrowserForm(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle("Pattern Sequence Browser");
    resize(831, 694);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    BuildControls();
}

TPatternSequenceBrowserForm::~TPatternSequenceBrowserForm() {
    // The frame refers to the preview mirror; let go of it first.
    if (ui_.MirrorDisplayFrame != nullptr)
        ui_.MirrorDisplayFrame->SetMirror(nullptr);
}

void TPatternSequenceBrowserForm::BuildControls() {
    ui_.ExitMenuItem = menuBar()->addAction("&Exit");
    connect(ui_.ExitMenuItem, &QAction::triggered, this, [this] { ExitButtonClick(); });

    ui_.Splitter = new QSplitter(Qt::Horizontal, this);
    ui_.Splitter->setHandleWidth(3);
    ui_.Splitter->setChildrenCollapsible(false);
    setCentralWidget(ui_.Splitter);

    ui_.ControlPanel = new QWidget(ui_.Splitter);
    ui_.ControlPanel->setObjectName("ControlPanel");
    auto* column = new QVBoxLayout(ui_.ControlPanel);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(2);

    auto row = [&](QWidget* left, QWidget* right) {
        auto* line = new QHBoxLayout;
        line->setSpacing(2);
        line->addWidget(left);
        if (right != nullptr)
            line->addWidget(right, 1);
        column->addLayout(line);
    };

    ui_.PatternFileNameLabel = new QLabel(" Pattern File Name = ", ui_.ControlPanel);
    ui_.PatternFileNameEdit = new QLineEdit("No File", ui_.ControlPanel);
    ui_.PatternFileNameEdit->setReadOnly(true);
    ui_.PatternFileNameEdit->setEnabled(false);
    ShownFileName = "No File";
    row(ui_.PatternFileNameLabel, ui_.PatternFileNameEdit);

    ui_.PatternFileBrowseButton = new QPushButton("&Browse", ui_.ControlPanel);
    column->addWidget(ui_.PatternFileBrowseButton);
    ui_.ZernikeSetButton = new QPushButton("Zer&nike Set", ui_.ControlPanel);
    column->addWidget(ui_.ZernikeSetButton);
    ui_.FitButton = new QPushButton("F&it...", ui_.ControlPanel);
    column->addWidget(ui_.FitButton);

    ui_.PatternSetNameLabel = new QLabel(" Pattern Set Name = ", ui_.ControlPanel);
    ui_.PatternSetNameEdit = new QLineEdit("No Pattern File", ui_.ControlPanel);
    ui_.PatternSetNameEdit->setAutoFillBackground(true);
    row(ui_.PatternSetNameLabel, ui_.PatternSetNameEdit);

    ui_.UpdateMirrorButton = new QPushButton("Set Mirror &Voltages", ui_.ControlPanel);
    ui_.GrabMirrorButton = new QPushButton("&Get Mirror Voltages", ui_.ControlPanel);
    ui_.UpdateFileButton = new QPushButton("&Save File", ui_.ControlPanel);
    column->addWidget(ui_.UpdateMirrorButton);
    column->addWidget(ui_.GrabMirrorButton);
    column->addWidget(ui_.UpdateFileButton);

    ui_.PatternListLabel = new QLabel("List of Patterns", ui_.ControlPanel);
    column->addWidget(ui_.PatternListLabel);
    ui_.PatternListBox = new QListWidget(ui_.ControlPanel);
    ui_.PatternListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    ui_.PatternListBox->setEnabled(false);
    column->addWidget(ui_.PatternListBox, 1);

    ui_.NewPatternNameEdit = new QLineEdit("Pattern 0", ui_.ControlPanel);
    column->addWidget(ui_.NewPatternNameEdit);
    ui_.InsertBeforeButton = new QPushButton("&Add Pattern", ui_.ControlPanel);
    column->addWidget(ui_.InsertBeforeButton);
    ui_.ReplaceButton = new QPushButton("&Replace Pattern", ui_.ControlPanel);
    ui_.DeleteButton = new QPushButton("&Delete Pattern", ui_.ControlPanel);
    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(2);
    bottom->addWidget(ui_.ReplaceButton, 1);
    bottom->addWidget(ui_.DeleteButton, 1);
    column->addLayout(bottom);

    ui_.MirrorDisplayPanel = new QWidget(ui_.Splitter);
    ui_.MirrorDisplayPanel->setObjectName("MirrorDisplayPanel");
    auto* panel = new QVBoxLayout(ui_.MirrorDisplayPanel);
    panel->setContentsMargins(0, 0, 0, 0);
    ui_.MirrorDisplayFrame = new TMirrorDisplayFrame(ui_.MirrorDisplayPanel);
    panel->addWidget(ui_.MirrorDisplayFrame);
    ui_.MirrorDisplayFrame->SetPatternForm(&libraryButton_);

    ui_.Splitter->setStretchFactor(0, 0);
    ui_.Splitter->setStretchFactor(1, 1);
    ui_.Splitter->setSizes({250, 831 - 250 - 3});

    connect(ui_.PatternFileBrowseButton, &QPushButton::clicked, this,
            [this] { PatternFileBrowseButtonClick(); });
    connect(ui_.ZernikeSetButton, &QPushButton::clicked, this, [this] { ZernikeSetButtonClick(); });
    connect(ui_.FitButton, &QPushButton::clicked, this, [this] { FitButtonClick(); });
    connect(ui_.UpdateMirrorButton, &QPushButton::clicked, this, [this] { UpdateMirrorButtonClick(); });
    connect(ui_.GrabMirrorButton, &QPushButton::clicked, this, [this] { GrabMirrorButtonClick(); });
    connect(ui_.UpdateFileButton, &QPushButton::clicked, this, [this] { UpdateFileButtonClick(); });
    connect(ui_.InsertBeforeButton, &QPushButton::clicked, this, [this] { InsertBeforeButtonClick(); });
    connect(ui_.ReplaceButton, &QPushButton::clicked, this, [this] { ReplaceButtonClick(); });
    connect(ui_.DeleteButton, &QPushButton::clicked, this, [this] { DeleteButtonClick(); });
    connect(ui_.PatternListBox, &QListWidget::itemClicked, this, [this] { PatternListBoxClick(); });
    ui_.PatternListBox->installEventFilter(this);
    ui_.PatternSetNameEdit->installEventFilter(this);
    ui_.PatternFileNameEdit->installEventFilter(this);
}

bool TPatternSequenceBrowserForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (watched == ui_.PatternSetNameEdit)
            PatternSetNameEditKeyUp(key);
        else if (watched == ui_.PatternFileNameEdit)
            PatternFileNameEditKeyUp(key);
        else if (watched == ui_.PatternListBox)
            // Choosing with the keyboard counts as a click, as the mouse does.
            switch (key) {
            case Qt::Key_Up:
            case Qt::Key_Down:
            case Qt::Key_Home:
            case Qt::Key_End:
            case Qt::Key_PageUp:
            case Qt::Key_PageDown:
                PatternListBoxClick();
                break;
            default:
                break;
            }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TPatternSequenceBrowserForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TPatternSequenceBrowserForm::SetActiveMirror(MirrorClass* mirror) {
    session_.SetActiveMirror(mirror);
    // The preview follows a newly loaded mirror while the window is open.
    if (isVisible() && session_.ActiveMirrorValid() && session_.GetPreviewMirror() != nullptr &&
        session_.GetPreviewMirror()->GetFileName() != mirror->GetFileName())
        RebuildPreview();
}

void TPatternSequenceBrowserForm::RebuildPreview() {
    // A fresh preview mirror; the frame lets go of the old one first.
    ui_.MirrorDisplayFrame->SetMirror(nullptr);
    if (MirrorClass* preview = session_.RebuildPreviewMirror()) {
        ui_.MirrorDisplayFrame->SetMirror(preview);
        session_.ShowCurrentVoltagesOnPreview();
        RedrawMirror();
    }
}

int TPatternSequenceBrowserForm::HighlightedRow() const {
    const auto selected = ui_.PatternListBox->selectedItems();
    return selected.isEmpty() ? -1 : ui_.PatternListBox->row(selected.first());
}

void TPatternSequenceBrowserForm::ShowBrowser() {
    OpenedFromMirrorDisplay = true;
    ShowBeside(this, parentWidget() ? parentWidget()->window() : nullptr);
}

std::string TPatternSequenceBrowserForm::PatternFolder() const {
    return ExtractFilePath(OpenDialogFileName);
}

void TPatternSequenceBrowserForm::SetPatternFolder(const std::string& folder) {
    if (folder.empty())
        return;
    OpenDialogFileName = folder.back() == '/' ? folder : folder + "/";
}

std::optional<std::string> TPatternSequenceBrowserForm::RunOpenDialog() {
    FileDialogRequest request;
    request.title = "Open Pattern Set";
    request.filter = Filter;
    request.typeNames = kTypeNames;
    if (!OpenDialogFileName.empty()) {
        request.initialFolder = ExtractFilePath(OpenDialogFileName);
        request.initialName = ExtractFileName(OpenDialogFileName);
    } else {
        // The sample sets live beside the mirror files.
        request.initialFolder = DeviceFolder();
    }
    auto chosen = Dialogs::Instance().OpenFile(request);
    if (chosen)
        OpenDialogFileName = *chosen;
    return chosen;
}

void TPatternSequenceBrowserForm::FillPatternList() {
    ui_.PatternListBox->clear();
    if (const PatternClass* set = session_.GetPatternSet())
        for (const std::string& name : set->GetPatternNames())
            if (name != "None")
                ui_.PatternListBox->addItem(Q(name));
    AfterListFilled();
}

void TPatternSequenceBrowserForm::AfterListFilled() {
    ui_.PatternListBox->setEnabled(true);
    ui_.NewPatternNameEdit->setText(QString("Pattern %1").arg(ui_.PatternListBox->count()));
}

void TPatternSequenceBrowserForm::ShowPatternFileName(const std::string& name) {
    ShownFileName = name;
    ui_.PatternFileNameEdit->setText(Q(name));
    ui_.PatternFileNameEdit->setEnabled(true);
}

void TPatternSequenceBrowserForm::ShowSetName() {
    const PatternClass* set = session_.GetPatternSet();
    const std::string name = set ? set->GetPatternSetName() : std::string();
    ui_.PatternSetNameEdit->setEnabled(true);
    ui_.PatternSetNameEdit->setText(Q(name));
    SetSetNameColour(clWindow);
    setWindowTitle(Q(name + " Pattern Sequence Browser"));
}

void TPatternSequenceBrowserForm::ShowReadWarnings() {
    const PatternClass* set = session_.GetPatternSet();
    if (set == nullptr || set->ReadWarnings().empty()) {
        // The bar is made only for a warning, and goes with the file that had one.
        if (auto* bar = findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly)) {
            bar->clearMessage();
            bar->setToolTip({});
            bar->hide();
        }
        return;
    }
    const std::vector<std::string>& warnings = set->ReadWarnings();
    std::string text = warnings.front();
    std::string all;
    for (const std::string& w : warnings)
        all += (all.empty() ? "" : "\n") + w;
    if (warnings.size() > 1)
        text += " (and " + std::to_string(warnings.size() - 1) + " more warnings)";
    statusBar()->show();
    statusBar()->setToolTip(Q(all));
    statusBar()->showMessage(Q(text));
}

void TPatternSequenceBrowserForm::SetSetNameColour(int colour) {
    QPalette pal = ui_.PatternSetNameEdit->palette();
    pal.setColor(QPalette::Base, QColor::fromRgb(ImageCanvas::ToQRgb(colour)));
    ui_.PatternSetNameEdit->setPalette(pal);
}

void TPatternSequenceBrowserForm::RedrawMirror() {
    ui_.MirrorDisplayFrame->Relayout();
    ui_.MirrorDisplayFrame->Refresh();
}

void TPatternSequenceBrowserForm::SelectOnly(int row) {
    ui_.PatternListBox->clearSelection();
    if (row >= 0 && row < ui_.PatternListBox->count())
        ui_.PatternListBox->item(row)->setSelected(true);
}

void TPatternSequenceBrowserForm::FormShow() {
    if (!OpenedFromMirrorDisplay)
        return;

    std::optional<std::string> chosen;
    if (session_.NeedsSetFile())
        chosen = RunOpenDialog();
    const auto outcome = session_.ShowSet(chosen, OpenDialogFileName);
    if (outcome != PatternBrowserSession::ShowOutcome::NoSet) {
        if (outcome == PatternBrowserSession::ShowOutcome::Valid) {
            FillPatternList();
        } else {
            ui_.PatternListBox->clear();
            AfterListFilled();
        }
        ui_.NewPatternNameEdit->setEnabled(true);
        ShowPatternFileName(OpenDialogFileName);
        ShowSetName();
        ShowReadWarnings();
    }

    // A fresh preview mirror each showing, of the active mirror.
    RebuildPreview();
}

bool TPatternSequenceBrowserForm::MayLeaveSet(const std::string& caption) {
    if (!session_.HasUnsavedEdits())
        return true;
    const std::string name = session_.GetPatternSet()->GetPatternSetName();
    switch (Dialogs::Instance().AskToSave("The pattern set \"" + name +
                                              "\" has changes that are not saved. Save them?",
                                          caption)) {
    case Dialogs::SaveChoice::Save:
        return SaveSet();
    case Dialogs::SaveChoice::Discard:
        return true;
    case Dialogs::SaveChoice::Cancel:
        break;
    }
    return false;
}

void TPatternSequenceBrowserForm::PatternFileBrowseButtonClick() {
    if (!MayLeaveSet("Browse"))
        return;
    auto chosen = RunOpenDialog();
    if (!chosen)
        return;
    OpenChosenSet(*chosen, "Browse");
}

bool TPatternSequenceBrowserForm::OpenPatternSetFile(const std::string& file) {
    return MayLeaveSet("Open Pattern Set") && OpenChosenSet(file, "Open Pattern Set");
}

bool TPatternSequenceBrowserForm::OpenChosenSet(const std::string& file,
                                                const std::string& caption) {
    const auto result = session_.OpenSet(file);
    if (!result.valid) {
        Dialogs::Instance().ShowMessage("\"" + ExtractFileName(file) +
                                            "\" is not a usable pattern-set file" +
                                            (result.error.empty() ? "" : ": " + result.error) +
                                            ". The patterns on show are unchanged.",
                                        caption);
        return false;
    }
    FillPatternList();
    ui_.NewPatternNameEdit->setEnabled(true);
    if (result.previewChanged)
        RedrawMirror();
    ShowPatternFileName(session_.GetPatternFileName());
    ShowSetName();
    ShowReadWarnings();
    emit patternSetOpened(QString::fromStdString(file));
    return true;
}

void TPatternSequenceBrowserForm::ZernikeSetButtonClick() {
    // The Zernike set takes the place of the set being edited.
    if (session_.HasUnsavedEdits() && session_.ActiveMirrorValid() &&
        !Dialogs::Instance().Ask(
            "The pattern set has changes that are not saved. Discard them and load the "
            "mirror's Zernike set?",
            "Zernike Set", Dialogs::Preselect::No))
        return;
    switch (session_.LoadZernikeSet()) {
    case PatternBrowserSession::Status::NoActiveMirror:
        Dialogs::Instance().ShowMessage("No mirror is loaded.", "Zernike Set");
        return;
    case PatternBrowserSession::Status::NoZernikeSet:
        Dialogs::Instance().ShowMessage("This mirror has no usable Zernike set.", "Zernike Set");
        return;
    default:
        break;
    }
    FillPatternList();
    ui_.NewPatternNameEdit->setEnabled(true);
    ShowPatternFileName("No File");
    ShowSetName();
    if (session_.GetPatternSet()->GetPatternCount() > 0) {
        SelectOnly(0);
        if (session_.PreviewMirrorValid())
            RedrawMirror();
    }
}

void TPatternSequenceBrowserForm::FitButtonClick() {
    TPatternFitDialog::Callbacks callbacks;
    if (fitter_ && session_.ActiveMirrorValid())
        callbacks.fit = fitter_;
    callbacks.modelName = fitModel_;
    callbacks.engineGrid = [this]() -> std::optional<EngineGrid> {
        if (fitGrid_)
            return fitGrid_();
        // The engine's grid for the active mirror: its size and spacing are
        // all the resampling needs.
        MirrorClass* mirror = session_.GetActiveMirror();
        MirrorInfoClass* info = mirror && mirror->IsValid() ? mirror->GetInfo() : nullptr;
        if (!info || !info->Model)
            return std::nullopt;
        const EngineGrid grid = EngineGrid::ForDiameter(info->Model->Diameter_m);
        return grid.dx > 0.0 ? std::optional<EngineGrid>(grid) : std::nullopt;
    };
    callbacks.preview = [this](const std::vector<double>& volts) {
        MirrorClass* preview = session_.GetPreviewMirror();
        if (preview == nullptr || !preview->IsValid())
            return;
        // From the floor up, so the mean rule sees only the fitted pattern.
        preview->SetAllChannels(kFloorVoltage);
        for (std::size_t k = 0; k < volts.size(); ++k)
            preview->SetVoltage(static_cast<int>(k) + 1, volts[k]);
        RedrawMirror();
    };
    callbacks.add = [this](const std::string& name, std::string& reason) {
        // As Add Pattern does, with the refusal told in the dialog.
        ui_.NewPatternNameEdit->setText(Q(name));
        if (session_.AddPattern(name, S(ui_.PatternSetNameEdit->text())) !=
            PatternBrowserSession::Status::Done) {
            reason = "another pattern has that name";
            ui_.PatternListBox->clearSelection();
            return false;
        }
        ui_.PatternListBox->addItem(Q(name));
        SelectOnly(session_.GetSelectedIndex());
        AfterListFilled();
        return true;
    };
    TPatternFitDialog dialog(std::move(callbacks), this);
    dialog.exec();
}

void TPatternSequenceBrowserForm::PatternListBoxClick() {
    const auto selected = ui_.PatternListBox->selectedItems();
    if (!selected.isEmpty())
        ui_.NewPatternNameEdit->setText(selected.first()->text());
    if (session_.SelectPattern(selected.isEmpty() ? 0 : ui_.PatternListBox->row(selected.first())))
        RedrawMirror();
}

void TPatternSequenceBrowserForm::InsertBeforeButtonClick() {
    const std::string name = S(ui_.NewPatternNameEdit->text());
    if (session_.AddPattern(name, S(ui_.PatternSetNameEdit->text())) !=
        PatternBrowserSession::Status::Done) {
        Dialogs::Instance().ShowMessage("Another pattern has that pattern name", "Add Failed");
        ui_.PatternListBox->clearSelection();
        return;
    }
    ui_.PatternListBox->addItem(Q(name));
    SelectOnly(session_.GetSelectedIndex());
    AfterListFilled();
}

void TPatternSequenceBrowserForm::ReplaceButtonClick() {
    const std::string name = S(ui_.NewPatternNameEdit->text());
    // The buttons act on the highlighted pattern, and only on it.
    const int row = HighlightedRow();
    if (ui_.PatternListBox->count() == 0) {
        Dialogs::Instance().ShowMessage("Cannot replace when list is empty", "Can't do that");
        return;
    }
    if (row < 0) {
        Dialogs::Instance().ShowMessage("Select the pattern to replace.", "Replace Failed");
        return;
    }
    session_.SetSelectedIndex(row);
    switch (session_.ReplacePattern(name)) {
    case PatternBrowserSession::Status::NoPatternSet:
        Dialogs::Instance().ShowMessage("Cannot replace when list is empty", "Can't do that");
        return;
    case PatternBrowserSession::Status::Done:
        break;
    default:
        Dialogs::Instance().ShowMessage("Cannot replace: duplicate name", "Replace Failed");
        return;
    }
    ui_.PatternListBox->item(row)->setText(Q(name));
    SelectOnly(row);
}

void TPatternSequenceBrowserForm::DeleteButtonClick() {
    const int row = HighlightedRow();
    if (ui_.PatternListBox->count() == 0) {
        Dialogs::Instance().ShowMessage("Cannot delete when list is empty", "Can't do that");
        return;
    }
    if (row < 0) {
        Dialogs::Instance().ShowMessage("Select the pattern to delete.", "Delete Failed");
        return;
    }
    session_.SetSelectedIndex(row);
    switch (session_.DeletePattern()) {
    case PatternBrowserSession::Status::NoPatternSet:
        Dialogs::Instance().ShowMessage("Cannot delete when list is empty", "Can't do that");
        return;
    case PatternBrowserSession::Status::Done:
        break;
    default:
        Dialogs::Instance().ShowMessage("Item not in list.", "Delete Failed");
        return;
    }
    delete ui_.PatternListBox->takeItem(row);
    // The highlight goes to the pattern above (the first one when the top
    // one went), and the buttons act on it from now on.
    const int next = std::min(std::max(row - 1, 0), ui_.PatternListBox->count() - 1);
    SelectOnly(next);
    if (next >= 0)
        session_.SetSelectedIndex(next);
}

void TPatternSequenceBrowserForm::UpdateMirrorButtonClick() {
    // Named after the pattern on show, when one of the set is.
    const int row = HighlightedRow();
    emit activeMirrorAboutToChange(
        row >= 0 ? "Set Mirror Voltages \"" + ui_.PatternListBox->item(row)->text() + "\""
                 : QString("Set Mirror Voltages"));
    const PatternBrowserSession::Status sent = session_.SendToActiveMirror();
    emit activeMirrorChanged();
    switch (sent) {
    case PatternBrowserSession::Status::NoActiveMirror:
        Dialogs::Instance().ShowMessage("No mirror is loaded.", "Set Mirror Voltages");
        break;
    case PatternBrowserSession::Status::DoesNotFit:
        Dialogs::Instance().ShowMessage(
            "The pattern has " + std::to_string(session_.GetPatternSet()->GetVoltageCount()) +
                " voltages, the loaded mirror " +
                std::to_string(session_.GetActiveMirror()->GetModelActuators()) +
                " actuators: it was made for another mirror.  No voltage was set.",
            "Set Mirror Voltages");
        break;
    default:
        break;
    }
}

void TPatternSequenceBrowserForm::GrabMirrorButtonClick() {
    if (session_.GrabActiveMirror() == PatternBrowserSession::Status::NoActiveMirror) {
        Dialogs::Instance().ShowMessage("No mirror is loaded.", "Get Mirror Voltages");
        return;
    }
    if (session_.PreviewMirrorValid())
        RedrawMirror();
    ui_.NewPatternNameEdit->setText("Active Mirror Pattern");
}

void TPatternSequenceBrowserForm::UpdateFileButtonClick() {
    SaveSet();
}

bool TPatternSequenceBrowserForm::SaveSet() {
    if (!session_.CanSave())
        return false;
    // A file without patterns could not be opened again: say so before
    // asking where to save.
    if (session_.GetPatternSet()->GetPatternCount() < 1) {
        Dialogs::Instance().ShowMessage("The pattern set has no patterns. Add one before saving.",
                                        "Save Failed");
        return false;
    }
    FileDialogRequest request;
    request.title = "Save Pattern Set";
    request.filter = Filter;
    request.typeNames = kTypeNames;
    request.defaultSuffix = "pat";
    const std::string& own = session_.GetPatternSet()->GetFileName();
    if (own != PatternClass::NoFileName) {
        request.initialFolder = ExtractFilePath(own);
        request.initialName = ExtractFileName(own);
    } else {
        request.initialFolder = DeviceFolder();
    }
    auto chosen = Dialogs::Instance().SaveFile(request);
    if (!chosen)
        return false;
    if (session_.Save(*chosen) != PatternBrowserSession::Status::Done) {
        Dialogs::Instance().ShowMessage("Could not save the pattern file.", "Save Failed");
        return false;
    }
    ShowPatternFileName(*chosen);
    // The next open dialog starts where the set was saved.
    OpenDialogFileName = *chosen;
    return true;
}

void TPatternSequenceBrowserForm::PatternSetNameEditKeyUp(int key) {
    if (IsEnter(key)) {
        session_.SetPatternSetName(S(ui_.PatternSetNameEdit->text()));
        SetSetNameColour(clWindow);
    } else {
        SetSetNameColour(PendingColour);
    }
}

void TPatternSequenceBrowserForm::PatternFileNameEditKeyUp(int) {
    ui_.PatternFileNameEdit->setText(Q(ShownFileName));
}

void TPatternSequenceBrowserForm::ExitButtonClick() {
    hide();
}

} // namespace ostrander

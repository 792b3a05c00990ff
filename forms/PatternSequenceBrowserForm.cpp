#include "forms/PatternSequenceBrowserForm.h"

#include "Shared_Software/Frames/MirrorDisplayFrame.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorZernikeClass.h"
#include "Shared_Software/Pattern/PatternClass.h"
#include "Shared_Software/Pattern/VoltageListClass.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Paths.h"
#include "toolkit/TColor.h"
#include "toolkit/qt/ImageCanvas.h"

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
#include <QVBoxLayout>

namespace ostrander {

namespace {

constexpr int PendingColour = 0xC0DCC0;
constexpr const char* Filter = "Pattern set files (*.pat *.ini);;All files (*)";

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
    if (MirrorDisplayFrame != nullptr)
        MirrorDisplayFrame->SetMirror(nullptr);
}

void TPatternSequenceBrowserForm::BuildControls() {
    ExitMenuItem = menuBar()->addAction("&Exit");
    connect(ExitMenuItem, &QAction::triggered, this, [this] { ExitButtonClick(); });

    Splitter = new QSplitter(Qt::Horizontal, this);
    Splitter->setHandleWidth(3);
    Splitter->setChildrenCollapsible(false);
    setCentralWidget(Splitter);

    ControlPanel = new QWidget(Splitter);
    ControlPanel->setObjectName("ControlPanel");
    auto* column = new QVBoxLayout(ControlPanel);
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

    PatternFileNameLabel = new QLabel(" Pattern File Name = ", ControlPanel);
    PatternFileNameEdit = new QLineEdit("No File", ControlPanel);
    PatternFileNameEdit->setReadOnly(true);
    PatternFileNameEdit->setEnabled(false);
    ShownFileName = "No File";
    row(PatternFileNameLabel, PatternFileNameEdit);

    PatternFileBrowseButton = new QPushButton("Browse", ControlPanel);
    column->addWidget(PatternFileBrowseButton);
    ZernikeSetButton = new QPushButton("Zernike Set", ControlPanel);
    column->addWidget(ZernikeSetButton);

    PatternSetNameLabel = new QLabel(" Pattern Set Name = ", ControlPanel);
    PatternSetNameEdit = new QLineEdit("No Pattern File", ControlPanel);
    PatternSetNameEdit->setAutoFillBackground(true);
    row(PatternSetNameLabel, PatternSetNameEdit);

    UpdateMirrorButton = new QPushButton("Set Mirror Voltages", ControlPanel);
    GrabMirrorButton = new QPushButton("Get Mirror Voltages", ControlPanel);
    UpdateFileButton = new QPushButton("Save File", ControlPanel);
    column->addWidget(UpdateMirrorButton);
    column->addWidget(GrabMirrorButton);
    column->addWidget(UpdateFileButton);

    PatternListLabel = new QLabel("List of Patterns", ControlPanel);
    column->addWidget(PatternListLabel);
    PatternListBox = new QListWidget(ControlPanel);
    PatternListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    PatternListBox->setEnabled(false);
    column->addWidget(PatternListBox, 1);

    NewPatternNameEdit = new QLineEdit("Pattern 0", ControlPanel);
    column->addWidget(NewPatternNameEdit);
    InsertBeforeButton = new QPushButton("Add Pattern", ControlPanel);
    column->addWidget(InsertBeforeButton);
    ReplaceButton = new QPushButton("Replace Pattern", ControlPanel);
    DeleteButton = new QPushButton("Delete Pattern", ControlPanel);
    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(2);
    bottom->addWidget(ReplaceButton, 1);
    bottom->addWidget(DeleteButton, 1);
    column->addLayout(bottom);

    MirrorDisplayPanel = new QWidget(Splitter);
    MirrorDisplayPanel->setObjectName("MirrorDisplayPanel");
    auto* panel = new QVBoxLayout(MirrorDisplayPanel);
    panel->setContentsMargins(0, 0, 0, 0);
    MirrorDisplayFrame = new TMirrorDisplayFrame(MirrorDisplayPanel);
    panel->addWidget(MirrorDisplayFrame);

    Splitter->setStretchFactor(0, 0);
    Splitter->setStretchFactor(1, 1);
    Splitter->setSizes({250, 831 - 250 - 3});

    connect(PatternFileBrowseButton, &QPushButton::clicked, this,
            [this] { PatternFileBrowseButtonClick(); });
    connect(ZernikeSetButton, &QPushButton::clicked, this, [this] { ZernikeSetButtonClick(); });
    connect(UpdateMirrorButton, &QPushButton::clicked, this, [this] { UpdateMirrorButtonClick(); });
    connect(GrabMirrorButton, &QPushButton::clicked, this, [this] { GrabMirrorButtonClick(); });
    connect(UpdateFileButton, &QPushButton::clicked, this, [this] { UpdateFileButtonClick(); });
    connect(InsertBeforeButton, &QPushButton::clicked, this, [this] { InsertBeforeButtonClick(); });
    connect(ReplaceButton, &QPushButton::clicked, this, [this] { ReplaceButtonClick(); });
    connect(DeleteButton, &QPushButton::clicked, this, [this] { DeleteButtonClick(); });
    connect(PatternListBox, &QListWidget::itemClicked, this, [this] { PatternListBoxClick(); });
    PatternListBox->installEventFilter(this);
    PatternSetNameEdit->installEventFilter(this);
    PatternFileNameEdit->installEventFilter(this);
}

bool TPatternSequenceBrowserForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (watched == PatternSetNameEdit)
            PatternSetNameEditKeyUp(key);
        else if (watched == PatternFileNameEdit)
            PatternFileNameEditKeyUp(key);
        else if (watched == PatternListBox)
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
    ActiveMirror = mirror;
}

void TPatternSequenceBrowserForm::ShowBrowser() {
    OpenedFromMirrorDisplay = true;
    show();
    raise();
    activateWindow();
}

bool TPatternSequenceBrowserForm::ActiveMirrorValid() const {
    return ActiveMirror != nullptr && ActiveMirror->IsValid();
}

bool TPatternSequenceBrowserForm::PreviewMirrorValid() const {
    return PreviewMirror != nullptr && PreviewMirror->IsValid();
}

std::optional<std::string> TPatternSequenceBrowserForm::RunOpenDialog() {
    FileDialogRequest request;
    request.title = "Open Pattern Set";
    request.filter = Filter;
    if (!OpenDialogFileName.empty()) {
        request.initialFolder = ExtractFilePath(OpenDialogFileName);
        request.initialName = ExtractFileName(OpenDialogFileName);
    }
    auto chosen = Dialogs::Instance().OpenFile(request);
    if (chosen)
        OpenDialogFileName = *chosen;
    return chosen;
}

void TPatternSequenceBrowserForm::ReplaceSet(std::unique_ptr<PatternClass> set) {
    PatternSet = std::move(set);
}

void TPatternSequenceBrowserForm::FillPatternList() {
    PatternListBox->clear();
    if (PatternSet != nullptr)
        for (const std::string& name : PatternSet->GetPatternNames())
            if (name != "None")
                PatternListBox->addItem(Q(name));
    AfterListFilled();
}

void TPatternSequenceBrowserForm::AfterListFilled() {
    PatternListBox->setEnabled(true);
    NewPatternNameEdit->setText(QString("Pattern %1").arg(PatternListBox->count()));
}

void TPatternSequenceBrowserForm::ShowPatternFileName(const std::string& name) {
    ShownFileName = name;
    PatternFileNameEdit->setText(Q(name));
    PatternFileNameEdit->setEnabled(true);
}

void TPatternSequenceBrowserForm::ShowSetName() {
    const std::string name = PatternSet ? PatternSet->GetPatternSetName() : std::string();
    PatternSetNameEdit->setEnabled(true);
    PatternSetNameEdit->setText(Q(name));
    SetSetNameColour(clWindow);
    setWindowTitle(Q(name + " Pattern Sequence Browser"));
}

void TPatternSequenceBrowserForm::SetSetNameColour(int colour) {
    QPalette pal = PatternSetNameEdit->palette();
    pal.setColor(QPalette::Base, QColor::fromRgb(ImageCanvas::ToQRgb(colour)));
    PatternSetNameEdit->setPalette(pal);
}

void TPatternSequenceBrowserForm::RedrawMirror() {
    MirrorDisplayFrame->Relayout();
    MirrorDisplayFrame->Refresh();
}

void TPatternSequenceBrowserForm::FormShow() {
    if (!OpenedFromMirrorDisplay)
        return;

    bool haveSet = FileLoaded;
    if (!FileLoaded) {
        if (auto chosen = RunOpenDialog()) {
            ReplaceSet(std::make_unique<PatternClass>(*chosen));
            haveSet = true;
        }
    }
    if (haveSet && PatternSet != nullptr) {
        if (PatternSet->IsValid()) {
            FileLoaded = true;
            FillPatternList();
            CurrentVoltages = PatternSet->GetPatternVoltages(0);
        } else {
            PatternListBox->clear();
            PatternSet->SetPatternSetName("Default Pattern");
            PatternSet->SetFileName(OpenDialogFileName);
            AfterListFilled();
        }
        NewPatternNameEdit->setEnabled(true);
        ShowPatternFileName(OpenDialogFileName);
        ShowSetName();
    }

    // A fresh preview mirror each showing, from the file of the first active
    // mirror seen; its output stays held.
    MirrorDisplayFrame->SetMirror(nullptr);
    PreviewMirror.reset();
    if (MirrorFileName.empty() && ActiveMirrorValid())
        MirrorFileName = ActiveMirror->GetFileName();
    PreviewMirror = std::make_unique<MirrorClass>(MirrorFileName);

    if (PreviewMirrorValid()) {
        PreviewMirror->SetOutputHold(true);
        MirrorDisplayFrame->SetMirror(PreviewMirror.get());
        if (CurrentVoltages == nullptr) {
            CurrentVoltages = std::make_unique<VoltageListClass>();
            if (ActiveMirrorValid())
                ActiveMirror->ReadVoltages(*CurrentVoltages);
        }
        PreviewMirror->ApplyVoltageList(CurrentVoltages.get(), 0);
        RedrawMirror();
    }
}

void TPatternSequenceBrowserForm::PatternFileBrowseButtonClick() {
    auto chosen = RunOpenDialog();
    if (!chosen)
        return;
    PatternFileName = *chosen;
    ReplaceSet(std::make_unique<PatternClass>(PatternFileName));

    if (PatternSet->IsValid()) {
        FileLoaded = true;
        FillPatternList();
        NewPatternNameEdit->setEnabled(true);
        if (PatternSet->GetPatternCount() > 0) {
            CurrentVoltages = PatternSet->GetPatternVoltages(0);
            if (PreviewMirrorValid()) {
                PreviewMirror->ApplyVoltageList(CurrentVoltages.get(), 0);
                RedrawMirror();
            }
        }
    } else if (ActiveMirrorValid()) {
        ReplaceSet(std::make_unique<PatternClass>("", ActiveMirror->GetModelActuators()));
    }
    ShowPatternFileName(PatternFileName);
    ShowSetName();
}

void TPatternSequenceBrowserForm::ZernikeSetButtonClick() {
    if (!ActiveMirrorValid()) {
        Dialogs::Instance().ShowMessage("No mirror is loaded.", "Zernike Set");
        return;
    }
    const MirrorInfoClass* info = ActiveMirror->GetInfo();
    const PatternClass* zernike =
        info != nullptr && info->Zernike ? info->Zernike->GetPatternSet() : nullptr;
    if (zernike == nullptr || !zernike->IsValid()) {
        Dialogs::Instance().ShowMessage("This mirror has no usable Zernike set.", "Zernike Set");
        return;
    }

    auto copy =
        std::make_unique<PatternClass>(zernike->GetPatternSetName(), zernike->GetVoltageCount());
    for (int k = 0; k < zernike->GetPatternCount(); ++k)
        if (const PatternListEntry* pattern = zernike->FindPattern(k))
            copy->InsertPattern(k, pattern->PatternName, pattern->Voltages);
    ReplaceSet(std::move(copy));

    FileLoaded = true;
    FillPatternList();
    NewPatternNameEdit->setEnabled(true);
    ShowPatternFileName("No File");
    ShowSetName();
    SelectedIndex = 0;
    if (PatternSet->GetPatternCount() > 0) {
        SelectOnly(0);
        CurrentVoltages = PatternSet->GetPatternVoltages(0);
        if (PreviewMirrorValid()) {
            PreviewMirror->ApplyVoltageList(CurrentVoltages.get(), 0);
            RedrawMirror();
        }
    }
}

void TPatternSequenceBrowserForm::PatternListBoxClick() {
    const auto selected = PatternListBox->selectedItems();
    SelectedIndex = selected.isEmpty() ? 0 : PatternListBox->row(selected.first());
    if (!selected.isEmpty())
        NewPatternNameEdit->setText(selected.first()->text());
    if (PatternSet == nullptr || !PreviewMirrorValid())
        return;
    if (auto voltages = PatternSet->GetPatternVoltages(SelectedIndex)) {
        PreviewMirror->ApplyVoltageList(voltages.get(), 0);
        RedrawMirror();
    }
}

void TPatternSequenceBrowserForm::CaptureCurrentVoltages() {
    if (CurrentVoltages == nullptr)
        CurrentVoltages = std::make_unique<VoltageListClass>();
    if (PreviewMirrorValid())
        PreviewMirror->ReadVoltages(*CurrentVoltages);
}

void TPatternSequenceBrowserForm::SelectOnly(int row) {
    PatternListBox->clearSelection();
    if (row >= 0 && row < PatternListBox->count())
        PatternListBox->item(row)->setSelected(true);
}

void TPatternSequenceBrowserForm::InsertBeforeButtonClick() {
    CaptureCurrentVoltages();
    VoltageListClass copy;
    CurrentVoltages->CopyTo(&copy);

    int position = 0;
    if (PatternSet == nullptr || PatternSet->GetPatternCount() == 0)
        ReplaceSet(std::make_unique<PatternClass>(S(PatternSetNameEdit->text()), copy.Count()));
    else
        position = PatternSet->GetPatternCount();
    SelectedIndex = position;

    const std::string name = S(NewPatternNameEdit->text());
    if (!PatternSet->InsertPattern(position, name, copy)) {
        Dialogs::Instance().ShowMessage("Another pattern has that pattern name", "Add Failed");
        PatternListBox->clearSelection();
        return;
    }
    PatternListBox->addItem(Q(name));
    SelectOnly(position);
    AfterListFilled();
}

void TPatternSequenceBrowserForm::ReplaceButtonClick() {
    CaptureCurrentVoltages();
    VoltageListClass copy;
    CurrentVoltages->CopyTo(&copy);

    if (PatternSet == nullptr) {
        Dialogs::Instance().ShowMessage("Cannot replace when list is empty", "Can't do that");
        return;
    }
    const std::string name = S(NewPatternNameEdit->text());
    if (!PatternSet->ReplacePattern(SelectedIndex, name, copy)) {
        Dialogs::Instance().ShowMessage("Cannot replace: duplicate name", "Replace Failed");
        return;
    }
    const int row = std::min(SelectedIndex, PatternListBox->count());
    PatternListBox->insertItem(row, Q(name));
    delete PatternListBox->takeItem(row + 1);
}

void TPatternSequenceBrowserForm::DeleteButtonClick() {
    if (PatternSet == nullptr) {
        Dialogs::Instance().ShowMessage("Cannot delete when list is empty", "Can't do that");
        return;
    }
    if (!PatternSet->DeletePattern(SelectedIndex)) {
        Dialogs::Instance().ShowMessage("Item not in list.", "Delete Failed");
        return;
    }
    delete PatternListBox->takeItem(SelectedIndex);
    PatternListBox->clearSelection();
    if (SelectedIndex > 1)
        SelectOnly(SelectedIndex - 1);
}

void TPatternSequenceBrowserForm::UpdateMirrorButtonClick() {
    if (!ActiveMirrorValid()) {
        Dialogs::Instance().ShowMessage("No mirror is loaded.", "Set Mirror Voltages");
        return;
    }
    if (CurrentVoltages == nullptr)
        return;
    CaptureCurrentVoltages();
    ActiveMirror->ApplyVoltageListAndSend(CurrentVoltages.get(), 0);
}

void TPatternSequenceBrowserForm::GrabMirrorButtonClick() {
    if (!ActiveMirrorValid()) {
        Dialogs::Instance().ShowMessage("No mirror is loaded.", "Get Mirror Voltages");
        return;
    }
    CurrentVoltages = std::make_unique<VoltageListClass>();
    ActiveMirror->ReadVoltages(*CurrentVoltages);
    if (PreviewMirrorValid()) {
        PreviewMirror->ApplyVoltageList(CurrentVoltages.get(), 0);
        RedrawMirror();
    }
    NewPatternNameEdit->setText("Active Mirror Pattern");
}

void TPatternSequenceBrowserForm::UpdateFileButtonClick() {
    if (PatternSet == nullptr || !PatternSet->IsValid())
        return;
    FileDialogRequest request;
    request.title = "Save Pattern Set";
    request.filter = Filter;
    request.defaultSuffix = "pat";
    const std::string& own = PatternSet->GetFileName();
    if (own != PatternClass::NoFileName) {
        request.initialFolder = ExtractFilePath(own);
        request.initialName = ExtractFileName(own);
    }
    auto chosen = Dialogs::Instance().SaveFile(request);
    if (!chosen)
        return;
    if (!PatternSet->Write(*chosen, "1.0")) {
        Dialogs::Instance().ShowMessage("Could not save the pattern file.", "Save Failed");
        return;
    }
    ShowPatternFileName(*chosen);
}

void TPatternSequenceBrowserForm::PatternSetNameEditKeyUp(int key) {
    if (IsEnter(key)) {
        if (PatternSet != nullptr)
            PatternSet->SetPatternSetName(S(PatternSetNameEdit->text()));
        SetSetNameColour(clWindow);
    } else {
        SetSetNameColour(PendingColour);
    }
}

void TPatternSequenceBrowserForm::PatternFileNameEditKeyUp(int) {
    PatternFileNameEdit->setText(Q(ShownFileName));
}

void TPatternSequenceBrowserForm::ExitButtonClick() {
    hide();
}

} // namespace ostrander

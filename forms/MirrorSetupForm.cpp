#include "forms/MirrorSetupForm.h"

#include "Shared_Software/Frames/FloatEditFrame.h"
#include "Shared_Software/Frames/MirrorDisplayFrame.h"
#include "Shared_Software/Frames/PatternBrowserInterface.h"
#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/InfoFileListClass.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "forms/SessionMessages.h"
#include "model/EngineSession.h"
#include "model/ModelHost.h"
#include "toolkit/Format.h"
#include "toolkit/Paths.h"

#include <QFont>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextCursor>
#include <QVBoxLayout>

#include <filesystem>
#include <memory>
#include <utility>

namespace ostrander {

namespace {

// Device names that stand for no mirror and are not offered.
bool IsListed(const std::string& deviceName) {
    return deviceName != "No mirror installed" && deviceName != MirrorClass::DriverDiagnosticName;
}

// A details box as high as `lines` lines of its font, so that the six lines
// of the details show whole; `wrap`: long lines wrap instead of being cut.
QPlainTextEdit* Memo(QWidget* parent, int lines, bool wrap) {
    auto* memo = new QPlainTextEdit(parent);
    memo->setReadOnly(true);
    memo->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    memo->document()->setDocumentMargin(2);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int margins = 2 * (memo->frameWidth() + 2) + 4;
    memo->setFixedHeight(lines * memo->fontMetrics().lineSpacing() + margins);
    return memo;
}

} // namespace

TMirrorSetupForm::TMirrorSetupForm(EngineSession& session, const MainWindowParts& main,
                                   PatternBrowserInterface* patternForm, QWidget* parent)
    : QWidget(parent, Qt::Window), Session(session), Main(main),
      PatternForm(patternForm),
      DeviceList(std::make_unique<InfoFileListClass>(MirrorInfoClass::MirrorInfoFileType)) {
    BuildControls();
    if (Main.MainMirrorDisplay) {
        Main.MainMirrorDisplay->SetPatternForm(PatternForm);
    }
    DeviceList->Scan(DeviceFolder(), ".ini");
    FillList();
    DeviceFolderLabel->setText(QString::fromStdString(DeviceFolderInUse().Describe()));
}

TMirrorSetupForm::~TMirrorSetupForm() {
    // The working state keeps the loaded mirror; only a preview of another
    // entry belongs to the window.
    ForgetPreview();
}

void TMirrorSetupForm::BuildControls() {
    setWindowTitle("Mirror Setup");
    QFont font("MS Sans Serif");
    font.setPointSize(8);
    setFont(font);
    resize(513, 679);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    PageControl = new QTabWidget(this);
    auto* page = new QWidget(PageControl);
    PageControl->addTab(page, "Mirror");
    auto* columns = new QHBoxLayout(page);
    columns->setContentsMargins(2, 2, 2, 2);

    MirrorListGroup = new QGroupBox("Mirror List", page);
    // Wide enough for the longest sample mirror name.
    MirrorListGroup->setFixedWidth(190);
    auto* left = new QVBoxLayout(MirrorListGroup);
    MirrorSelectionListBox = new QListWidget(MirrorListGroup);
    // Narrow: the voltage line wraps.
    MirrorSelectionDisplayBox = Memo(MirrorListGroup, 8, true);
    left->addWidget(MirrorSelectionListBox, 1);
    left->addWidget(MirrorSelectionDisplayBox);

    CurrentMirrorGroup = new QGroupBox("Current Mirror", page);
    auto* right = new QVBoxLayout(CurrentMirrorGroup);
    MirrorCurrentDisplayBox = Memo(CurrentMirrorGroup, 6, false);
    auto* framePanel = new QWidget(CurrentMirrorGroup);
    framePanel->setFixedHeight(300);
    auto* frameLayout = new QVBoxLayout(framePanel);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    MirrorCurrentDisplayFrame = new TMirrorDisplayFrame(framePanel);
    frameLayout->addWidget(MirrorCurrentDisplayFrame);
    right->addWidget(MirrorCurrentDisplayBox);
    right->addStretch(1);
    right->addWidget(framePanel);

    columns->addWidget(MirrorListGroup);
    columns->addWidget(CurrentMirrorGroup, 1);

    LoadButton = new QPushButton("&Load", this);
    LoadButton->setFixedHeight(25);
    CloseButton = new QPushButton("&Close", this);
    CloseButton->setFixedHeight(30);
    QFont closeFont = font;
    closeFont.setPointSize(10);
    closeFont.setBold(true);
    CloseButton->setFont(closeFont);

    // Which folder the list shows, or where the program looked for one.
    DeviceFolderLabel = new QLabel(this);
    DeviceFolderLabel->setWordWrap(true);
    DeviceFolderLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    DeviceFolderLabel->setContentsMargins(4, 2, 4, 2);

    outer->addWidget(PageControl, 1);
    outer->addWidget(DeviceFolderLabel);
    outer->addWidget(LoadButton);
    outer->addWidget(CloseButton);

    connect(CloseButton, &QPushButton::clicked, this, [this] { CloseButtonClick(); });
    connect(LoadButton, &QPushButton::clicked, this, [this] { LoadButtonClick(); });
    connect(MirrorSelectionListBox, &QListWidget::itemClicked, this,
            [this] { MirrorSelectionListBoxClick(); });
    connect(MirrorSelectionListBox, &QListWidget::itemDoubleClicked, this,
            [this] { MirrorSelectionListBoxDblClick(); });
    // Moving through the list with the keys previews as a click does; Enter
    // loads as a double-click does.
    connect(MirrorSelectionListBox, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            MirrorSelectionListBoxClick();
    });
    MirrorSelectionListBox->installEventFilter(this);
}

bool TMirrorSetupForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == MirrorSelectionListBox && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            MirrorSelectionListBoxDblClick();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TMirrorSetupForm::Rescan() {
    ForgetPreview();
    MirrorSelectionListBox->clear();
    RowEntries.clear();
    DeviceList = std::make_unique<InfoFileListClass>(MirrorInfoClass::MirrorInfoFileType);
    DeviceList->Scan(DeviceFolder(), ".ini");
    FillList();
    DeviceFolderLabel->setText(QString::fromStdString(DeviceFolderInUse().Describe()));
    MirrorSelectionDisplayBox->clear();
    // The loaded mirror stays, but no entry of the new list is it: loading
    // any of them loads it.
    Session.DetachMirrorFromList();
}

void TMirrorSetupForm::FillList() {
    for (int i = 0; i < DeviceList->Count(); ++i) {
        const std::string name = DeviceList->GetDeviceName(i);
        if (!IsListed(name))
            continue;
        MirrorSelectionListBox->addItem(QString::fromStdString(name));
        RowEntries.push_back(i);
    }
}

int TMirrorSetupForm::EntryOfRow(int row) const {
    if (row < 0 || row >= static_cast<int>(RowEntries.size()))
        return -1;
    return RowEntries[row];
}

std::vector<std::string> TMirrorSetupForm::DetailLines(const MirrorInfoClass* info) {
    if (!info || !info->IsValid())
        return {MirrorClass::DriverDiagnosticName};
    return {"Name: " + info->DeviceName,
            "Nominal Maximum Voltage: " + FormatFloat("0.0", info->LimitVoltage),
            "Date: " + info->DateTimeString,
            "Creator: " + info->Creator,
            "File Version: " + info->FileVersion,
            "Map Prefix: " + info->MapPrefix};
}

void TMirrorSetupForm::ShowDetails(QPlainTextEdit* box, const MirrorInfoClass* info) {
    box->clear();
    for (const std::string& line : DetailLines(info))
        box->appendPlainText(QString::fromStdString(line));
    box->moveCursor(QTextCursor::Start);
    box->ensureCursorVisible();
}

void TMirrorSetupForm::ForgetPreview() {
    if (Preview && Preview != Session.MirrorInfo())
        delete Preview;
    Preview = nullptr;
}

void TMirrorSetupForm::CloseButtonClick() {
    close();
}

void TMirrorSetupForm::LoadButtonClick() {
    MirrorSelectionListBoxDblClick();
}

void TMirrorSetupForm::MirrorSelectionListBoxClick() {
    ForgetPreview();
    const int entry = EntryOfRow(MirrorSelectionListBox->currentRow());
    if (entry < 0)
        return;
    Preview = new MirrorInfoClass(DeviceList->GetPath(entry));
    ShowDetails(MirrorSelectionDisplayBox, Preview);
}

void TMirrorSetupForm::MirrorSelectionListBoxDblClick() {
    const int entry = EntryOfRow(MirrorSelectionListBox->currentRow());
    // The loaded mirror is loaded again only when its influence functions
    // are missing (a refused or cancelled run).
    if (entry < 0 || Session.HasInfluenceRun(entry))
        return;
    LoadEntry(entry);
}

void TMirrorSetupForm::FreeLoadedMirror() {
    emit mirrorReleased();
    if (Preview == Session.MirrorInfo())
        Preview = nullptr;
    // Nothing may keep pointing at the mirror once it is gone.
    MirrorCurrentDisplayFrame->SetMirror(nullptr);
    if (Main.MainMirrorDisplay)
        Main.MainMirrorDisplay->SetMirror(nullptr);
    if (PatternForm)
        PatternForm->SetActiveMirror(nullptr);
    Session.ReleaseMirror();
    ForgetPreview();
}

bool TMirrorSetupForm::LoadFile(const std::string& infoFile) {
    std::error_code ec;
    const auto wanted = std::filesystem::weakly_canonical(infoFile, ec);
    if (ec)
        return false;
    for (std::size_t row = 0; row < RowEntries.size(); ++row) {
        const int entry = RowEntries[row];
        std::error_code e2;
        if (std::filesystem::weakly_canonical(DevicePath(DeviceList->GetPath(entry)), e2) ==
                wanted &&
            !e2) {
            MirrorSelectionListBox->setCurrentRow(static_cast<int>(row));
            return LoadInfoFile(entry, DeviceList->GetPath(entry)) == MirrorSelection::Selected;
        }
    }
    MirrorSelectionListBox->setCurrentRow(-1);
    return LoadInfoFile(kOutsideList, wanted.string()) == MirrorSelection::Selected;
}

void TMirrorSetupForm::LoadEntry(int entry) {
    LoadInfoFile(entry, DeviceList->GetPath(entry));
}

MirrorSelection TMirrorSetupForm::LoadInfoFile(int entry, const std::string& infoFile) {
    FreeLoadedMirror();
    const MirrorSelection selection = Session.SelectMirror(entry, infoFile);
    const MirrorInfoClass* info = Session.MirrorInfo();
    MirrorClass* mirror = Session.Mirror();
    Preview = info;
    ShowDetails(MirrorCurrentDisplayBox, info);
    ShowDetails(MirrorSelectionDisplayBox, info);

    if (selection != MirrorSelection::Selected) {
        MirrorCurrentDisplayFrame->SetMirror(nullptr);
        if (Main.MainMirrorDisplay)
            Main.MainMirrorDisplay->SetMirror(nullptr);
        for (TFloatEditFrame* edit : {Main.StressEdit, Main.SeparationEdit})
            if (edit)
                edit->setEnabled(false);
        return selection;
    }

    for (TFloatEditFrame* edit : {Main.StressEdit, Main.SeparationEdit})
        if (edit)
            edit->setEnabled(true);
    MirrorCurrentDisplayFrame->SetMirror(mirror);
    if (Main.MainMirrorDisplay)
        Main.MainMirrorDisplay->SetMirror(mirror);
    if (PatternForm)
        PatternForm->SetActiveMirror(mirror);
    const DMInfoClass& model = *info->Model;
    if (Main.SeparationEdit)
        Main.SeparationEdit->SetValue(model.Separation_m * 1e6);
    if (Main.StressEdit)
        Main.StressEdit->SetValue(model.Stress_Pa * 1e-6);

    // A map that does not number the actuators one to one stops the run
    // here, before it would fail on the voltages it cannot place.
    if (ShowMapProblems(info->MapFileName, model.MapReport)) {
        if (Main.Host) {
            Main.Host->ClearInformation();
            Main.Host->AddInformationLine(kNotCalculated);
        }
        return selection;
    }
    ReportRunStart(Session, Session.StartInfluenceRun(), Main.Host);
    return selection;
}

} // namespace ostrander

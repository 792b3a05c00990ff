#include "app/OstranderForm.h"

#include "Shared_Software/Frames/FloatEditFrame.h"
#include "Shared_Software/Frames/IntegerEditFrame.h"
#include "Shared_Software/Frames/MirrorDisplayFrame.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "forms/SessionMessages.h"
#include "forms/MirrorSetupForm.h"
#include "forms/PatternSequenceBrowserForm.h"
#include "formats/MeasuredCube.h"
#include "model/EngineSession.h"
#include "model/MeasuredMembraneModel.h"
#include "model/MembraneModel.h"
#include "model/PullIn.h"
#include "model/pictures/PictureColourBars.h"
#include "model/pictures/ResultPictures.h"
#include "results/SessionExport.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Format.h"
#include "toolkit/OutputFolder.h"
#include "toolkit/Paths.h"
#include "toolkit/Version.h"
#include "toolkit/qt/Application.h"
#include "toolkit/qt/PaintBox.h"
#include "toolkit/qt/WindowPlacement.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QProgressBar>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPalette>
#include <QSignalBlocker>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QUndoCommand>
#include <QUndoStack>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace ostrander {

namespace {

constexpr int kIdleIntervalMs = 100;
constexpr int kRedrawIntervalMs = 130;

QFont BoldFont(const QFont& base) {
    QFont f = base;
    f.setBold(true);
    return f;
}

QVBoxLayout* Column(QWidget* parent, int margin = 0) {
    auto* column = new QVBoxLayout(parent);
    column->setContentsMargins(margin, margin, margin, margin);
    column->setSpacing(0);
    return column;
}

// How long the status line shows a notice about voltages set back.
constexpr int kNoticeMs = 20000;

// The same model and voltages, to rounding.
bool SameVoltages(const SessionSnapshot& a, const SessionSnapshot& b) {
    if (a.mirror != b.mirror || a.model != b.model || a.volts.size() != b.volts.size())
        return false;
    for (std::size_t k = 0; k < a.volts.size(); ++k)
        if (std::fabs(a.volts[k] - b.volts[k]) > 1e-9 * std::max(1.0, std::fabs(a.volts[k])))
            return false;
    return true;
}

// One change of the session's model or voltages on the undo list: the
// snapshots from before and after it. Clicks on one pad in a row are one
// entry.
class SessionCommand : public QUndoCommand {
public:
    SessionCommand(TOstranderForm& form, SessionSnapshot before, SessionSnapshot after,
                   const QString& text, int pad)
        : QUndoCommand(text), form_(form), before_(std::move(before)), after_(std::move(after)),
          pad_(pad) {}
    int id() const override { return pad_ > 0 ? kPadClick : -1; }
    bool mergeWith(const QUndoCommand* other) override {
        const auto* click = static_cast<const SessionCommand*>(other);
        if (click->pad_ != pad_)
            return false;
        after_ = click->after_;
        // Up and down again: nothing left to undo (the steps need not add
        // up to the same bits).
        setObsolete(SameVoltages(after_, before_));
        return true;
    }
    void undo() override { form_.RestoreSnapshot(before_); }
    void redo() override {
        // Pushed after the change was made: the first redo has nothing to do.
        if (done_)
            form_.RestoreSnapshot(after_);
        done_ = true;
    }

private:
    static constexpr int kPadClick = 1;
    TOstranderForm& form_;
    SessionSnapshot before_, after_;
    int pad_ = 0;
    bool done_ = false;
};

} // namespace

TOstranderForm::TOstranderForm(QWidget* parent) : QMainWindow(parent) {
    BuildControls();

    session_ = std::make_unique<EngineSession>(*this);
    undoMirror_ = session_->Snapshot().mirror;
    MainMirrorDisplay->ShowControls(true);
    for (TFloatEditFrame* edit : {StressEdit, SeparationEdit}) {
        edit->SetMaximum(1000000);
        edit->SetMinimum(0);
        edit->SetFormat("0.0000");
    }
    FarFieldZoomEdit->SetValue(1);
    FarFieldZoomEdit->SetMinimum(1);
    FarFieldZoomEdit->SetMaximum(100);
    // The zoom stops at its ends: a typed 500 means the largest zoom, not 1.
    FarFieldZoomEdit->SetWrap(false);
    AddInformationLine("Press \"Load Mirror\" and select");
    AddInformationLine("  a mirror to begin.");
    ShowFocusControls(false);
    FocusScrollBar->setMaximum(200);
    FocusScrollBar->setValue(100);

    // The session's pull-in answers are taken on the window's thread; one
    // that arrives after the window is gone is dropped with it.
    session_->TrackPullIn([this] {
        QMetaObject::invokeMethod(this, [this] { PullInAnswered(); }, Qt::QueuedConnection);
    });
}

TOstranderForm::~TOstranderForm() {
    // The pull-in worker's thread ends first: it posts to this window.
    session_->TrackPullIn(nullptr);
    StopIdleHandler();
    RunFEATimer->stop();
    // The frames refer to the mirror that the working state owns.
    MainMirrorDisplay->SetMirror(nullptr);
    // The windows this window parents (mirror setup, pattern browser) refer
    // to the session's mirror and description: they go before the session.
    std::vector<QPointer<QWidget>> windows;
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->isWindow())
            windows.emplace_back(child);
    for (const QPointer<QWidget>& window : windows)
        delete window.data();
}

void TOstranderForm::BuildControls() {
    setWindowTitle("Varnex");
    QFont font("MS Sans Serif");
    font.setPixelSize(11);
    setFont(font);
    move(16, 114);
    resize(1195, 782);

    Splitter2 = new QSplitter(Qt::Horizontal, this);
    Splitter2->setHandleWidth(9);
    Splitter2->setChildrenCollapsible(false);
    setCentralWidget(Splitter2);

    MainControlPanel = new QWidget(Splitter2);
    auto* controlColumn = Column(MainControlPanel);
    Splitter1 = new QSplitter(Qt::Vertical, MainControlPanel);
    Splitter1->setHandleWidth(8);
    Splitter1->setChildrenCollapsible(false);
    controlColumn->addWidget(Splitter1);
    BuildControlPanel();

    UserInfoPanel = new QWidget(Splitter1);
    UserInfoBox = new QListWidget(UserInfoPanel);
    UserInfoBox->setTextElideMode(Qt::ElideNone);
    UserInfoBox->setSelectionMode(QAbstractItemView::SingleSelection);
    Column(UserInfoPanel)->addWidget(UserInfoBox);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({248, 500});

    BuildDisplays();
    BuildStatusLine();
    BuildMenus();
    setAcceptDrops(true);
    Splitter2->setStretchFactor(0, 0);
    Splitter2->setStretchFactor(1, 1);
    Splitter2->setSizes({217, 969});

    RunFEATimer = new QTimer(this);
    RunFEATimer->setInterval(100);
    connect(RunFEATimer, &QTimer::timeout, this, [this] { RunFEATimerTimer(); });

    IdleTimer = new QTimer(this);
    IdleTimer->setSingleShot(true);
    connect(IdleTimer, &QTimer::timeout, this, [this] {
        QElapsedTimer pass;
        pass.start();
        // A failed pass is shown once (the box is modal) and the passes go
        // on after it is closed.
        try {
            ApplicationIdle();
        } catch (...) {
            ReportException(std::current_exception());
        }
        IdleTimer->start(NextIdleDelay(pass.elapsed()));
    });
}

void TOstranderForm::BuildControlPanel() {
    ControlPanel = new QWidget(Splitter1);
    ControlPanel->setMinimumHeight(220);
    ControlPanel->installEventFilter(this);

    SeparationEdit = new TFloatEditFrame(ControlPanel);
    SeparationEdit->setGeometry(0, 0, 213, 26);
    SeparationEdit->SetCaptions("Separation ", "um");
    StressEdit = new TFloatEditFrame(ControlPanel);
    StressEdit->setGeometry(0, 26, 213, 26);
    StressEdit->SetCaptions("Stress ", "MPa");
    for (TFloatEditFrame* edit : {SeparationEdit, StressEdit}) {
        edit->setVisible(false);
        edit->setEnabled(false);
    }

    // The membrane model, in the free space above "Load Mirror" (the hidden
    // separation and stress edits share it), with the exact model's pull-in
    // line under it.
    ModelLabel = new QLabel("&Model", ControlPanel);
    ModelLabel->setGeometry(0, 4, 36, 21);
    ModelChoice = new QComboBox(ControlPanel);
    for (const MembraneModelInfo& model : MembraneModels())
        ModelChoice->addItem(QString::fromUtf8(model.label.data(), qsizetype(model.label.size())),
                             QString::fromUtf8(model.name.data(), qsizetype(model.name.size())));
    ModelChoice->setGeometry(38, 2, 175, 24);
    ModelLabel->setBuddy(ModelChoice);
    PullInLabel = new QLabel(ControlPanel);
    PullInLabel->setGeometry(0, 30, 213, 21);
    PullInLabel->setVisible(false);

    LoadMirrorButton = new QPushButton("&Load Mirror", ControlPanel);
    LoadMirrorButton->setGeometry(0, 56, 113, 25);
    RemoveFocusCheck = new QCheckBox("&Remove Focus and Piston", ControlPanel);
    RemoveFocusCheck->setGeometry(0, 88, std::max(153, RemoveFocusCheck->sizeHint().width()), 17);
    InfluenceFunctionButton = new QPushButton("Calculate Influence Function", ControlPanel);
    InfluenceFunctionButton->setGeometry(0, 104, 153, 25);
    InfluenceFunctionButton->setVisible(false);
    InfluenceFunctionButton->setEnabled(false);

    FocusEditLabel = new QLabel("Far Field Focus", ControlPanel);
    FocusEditLabel->move(8, 136);
    FocusMinusLabel = new QLabel("-", ControlPanel);
    FocusZeroLabel = new QLabel("0", ControlPanel);
    FocusPlusLabel = new QLabel("+", ControlPanel);
    const int labelX[] = {8, 56, 104};
    QLabel* signs[] = {FocusMinusLabel, FocusZeroLabel, FocusPlusLabel};
    for (int k = 0; k < 3; ++k) {
        signs[k]->setFont(BoldFont(font()));
        signs[k]->move(labelX[k], 152);
    }
    FocusScrollBar = new QScrollBar(Qt::Horizontal, ControlPanel);
    FocusScrollBar->setGeometry(8, 168, 105, 17);
    FocusScrollBar->setRange(0, 200);
    FocusScrollBar->setPageStep(0);
    FocusScrollBar->setValue(100);
    ResetFocusButton = new QPushButton("R&eset Focus", ControlPanel);
    ResetFocusButton->setGeometry(8, 192, 75, 17);

    ExitButtonPanel = new QWidget(ControlPanel);
    ExitButton = new QPushButton("E&xit", ExitButtonPanel);
    Column(ExitButtonPanel)->addWidget(ExitButton);

    connect(SeparationEdit, &NumericEditFrame::valueCommitted, this,
            [this] { SeparationEditChanged(); });
    connect(StressEdit, &NumericEditFrame::valueCommitted, this, [this] { StressEditChanged(); });
    connect(ModelChoice, &QComboBox::currentIndexChanged, this, [this] { ModelChoiceChange(); });
    connect(LoadMirrorButton, &QPushButton::clicked, this, [this] { LoadMirrorButtonClick(); });
    connect(RemoveFocusCheck, &QCheckBox::toggled, this, [this] { RemoveFocusCheckClick(); });
    connect(FocusScrollBar, &QScrollBar::valueChanged, this, [this] { FocusScrollBarChange(); });
    connect(ResetFocusButton, &QPushButton::clicked, this, [this] { ResetFocusButtonClick(); });
    connect(ExitButton, &QPushButton::clicked, this, [this] { ExitButtonClick(); });
}

void TOstranderForm::BuildDisplays() {
    MainDisplayPanel = new QWidget(Splitter2);
    auto* displayColumn = Column(MainDisplayPanel);
    Splitter3 = new QSplitter(Qt::Vertical, MainDisplayPanel);
    Splitter3->setHandleWidth(7);
    Splitter3->setChildrenCollapsible(false);
    displayColumn->addWidget(Splitter3);

    // A picture panel: the picture control over its bold caption (or strip),
    // and at its right the colour bar's strip when it has one.
    auto picturePanel = [this](QSplitter* splitter, QWidget*& panel, PaintBox*& box,
                               const char* caption, PaintBox** colourBar = nullptr) {
        panel = new QWidget(splitter);
        auto* column = Column(panel, 1);
        box = new PaintBox(panel);
        box->setMinimumSize(120, 120);
        box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        auto* row = new QHBoxLayout;
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(0);
        row->addWidget(box, 1);
        if (colourBar) {
            *colourBar = new PaintBox(panel);
            (*colourBar)->setFixedWidth(kColourBarStripWidth);
            (*colourBar)->setVisible(false);
            row->addWidget(*colourBar);
        }
        column->addLayout(row, 1);
        if (caption) {
            auto* label = new QLabel(caption, panel);
            label->setFont(BoldFont(font()));
            label->setAlignment(Qt::AlignCenter);
            label->setFixedHeight(18);
            column->addWidget(label);
        }
        return column;
    };

    UpperDisplayPanel = new QSplitter(Qt::Horizontal, Splitter3);
    UpperDisplayPanel->setHandleWidth(4);
    UpperDisplayPanel->setChildrenCollapsible(false);
    picturePanel(UpperDisplayPanel, ThreeDDisplayPanel, ThreeDimensionalImageDisplay, "3D Image");
    picturePanel(UpperDisplayPanel, TwoDDisplayPanel, TwoDimensionalDisplayFrame, "2D Image",
                 &SurfaceColourBarDisplay);
    picturePanel(UpperDisplayPanel, InterferogramDisplayPanel, InterferogramDisplayFrame,
                 "Interferogram Image", &InterferogramColourBarDisplay);
    UpperDisplayPanel->setSizes({311, 333, 311});

    LowerDisplayPanel = new QSplitter(Qt::Horizontal, Splitter3);
    LowerDisplayPanel->setHandleWidth(4);
    LowerDisplayPanel->setChildrenCollapsible(false);
    MirrorDisplayPanel = new QWidget(LowerDisplayPanel);
    MainMirrorDisplay = new TMirrorDisplayFrame(MirrorDisplayPanel);
    Column(MirrorDisplayPanel)->addWidget(MainMirrorDisplay);

    QVBoxLayout* farField =
        picturePanel(LowerDisplayPanel, FarFieldImagePanel, FarFieldDisplayFrame, nullptr,
                     &FarFieldColourBarDisplay);
    auto* strip = new QWidget(FarFieldImagePanel);
    strip->setFixedHeight(41);
    auto* stripRow = new QHBoxLayout(strip);
    stripRow->setContentsMargins(4, 0, 4, 0);
    auto* farFieldLabel = new QLabel("Far Field Image", strip);
    farFieldLabel->setFont(BoldFont(font()));
    FarFieldZoomEdit = new TIntegerEditFrame(strip);
    FarFieldZoomEdit->SetCaptions("Far Field Zoom Factor", "");
    FarFieldZoomEdit->setFixedSize(170, 26);
    stripRow->addWidget(farFieldLabel);
    stripRow->addStretch(1);
    stripRow->addWidget(FarFieldZoomEdit);
    farField->addWidget(strip);

    picturePanel(LowerDisplayPanel, FarFieldPlotPanel, FarFieldPlotDisplay, "Far Field Plot");
    LowerDisplayPanel->setSizes({288, 335, 320});

    for (int k = 0; k < 3; ++k) {
        UpperDisplayPanel->setStretchFactor(k, 1);
        LowerDisplayPanel->setStretchFactor(k, 1);
    }
    Splitter3->setStretchFactor(0, 1);
    Splitter3->setStretchFactor(1, 1);
    Splitter3->setSizes({359, 382});

    // The pictures keep the design's shapes, so that the pupil stays round
    // in a window of any size.
    for (PaintBox* box : {ThreeDimensionalImageDisplay, TwoDimensionalDisplayFrame,
                          InterferogramDisplayFrame})
        box->KeepAspect(QSize(kPictureWidth, kPictureHeight));
    for (PaintBox* box : {FarFieldDisplayFrame, FarFieldPlotDisplay})
        box->KeepAspect(QSize(kFarFieldPictureSize, kFarFieldPictureSize));
    // A resized picture has lost its drawing: the next idle pass redraws.
    for (PaintBox* box : {ThreeDimensionalImageDisplay, TwoDimensionalDisplayFrame,
                          InterferogramDisplayFrame, FarFieldDisplayFrame, FarFieldPlotDisplay,
                          SurfaceColourBarDisplay, InterferogramColourBarDisplay,
                          FarFieldColourBarDisplay})
        box->onResize = [this] { session_->MarkResultsStale(); };
    SurfaceColourBarDisplay->setToolTip("Surface height (um)");
    InterferogramColourBarDisplay->setToolTip(
        "Surface height over one fringe (nm): a bright fringe every half wavelength");
    FarFieldColourBarDisplay->setToolTip("Far-field intensity relative to its peak");
    // A voltage set on the map is recomputed and drawn at once.
    connect(MainMirrorDisplay, &TMirrorDisplayFrame::voltagesChanged, this, [this] {
        EndVoltageEdit();
        PassSoon();
    });
    connect(MainMirrorDisplay, &TMirrorDisplayFrame::voltagesAboutToChange, this,
            [this](const QString& what, int pad) { BeginVoltageEdit(what, pad); });

    for (NumericEditFrame* edit : {static_cast<NumericEditFrame*>(FarFieldZoomEdit)}) {
        connect(edit, &NumericEditFrame::valueCommitted, this,
                [this] { FarFieldZoomEditChanged(); });
    }
}

void TOstranderForm::BuildMenus() {
    QMenu* file = menuBar()->addMenu("&File");
    LoadMirrorAction = file->addAction("&Load Mirror...", this, [this] { LoadMirrorButtonClick(); });
    OpenMirrorFileAction =
        file->addAction("&Open Mirror File...", this, [this] { OpenMirrorFileClick(); });
    OpenMirrorFileAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    DeviceFolderAction = file->addAction("&Device Folder...", this, [this] { DeviceFolderClick(); });
    RecentMirrorsMenu = file->addMenu("Recent &Mirrors");
    RecentPatternSetsMenu = file->addMenu("Recent &Pattern Sets");
    connect(RecentMirrorsMenu, &QMenu::aboutToShow, this, [this] {
        FillRecentMenu(RecentMirrorsMenu, recentMirrors_, &TOstranderForm::OpenMirrorFile);
    });
    connect(RecentPatternSetsMenu, &QMenu::aboutToShow, this, [this] {
        FillRecentMenu(RecentPatternSetsMenu, recentPatternSets_, &TOstranderForm::OpenPatternSet);
    });
    ExportAction =
        file->addAction("&Export Pictures and Data...", this, [this] { ExportClick(); });
    ExportAction->setEnabled(false);
    connect(file, &QMenu::aboutToShow, this, [this] { UpdateExportAction(); });
    file->addSeparator();
    QuitAction = file->addAction("&Quit", this, [this] { close(); });
    QuitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    QMenu* edit = menuBar()->addMenu("&Edit");
    undoStack_ = new QUndoStack(this);
    UndoAction = undoStack_->createUndoAction(this, "&Undo");
    UndoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    RedoAction = undoStack_->createRedoAction(this, "&Redo");
    RedoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    edit->addAction(UndoAction);
    edit->addAction(RedoAction);
    QMenu* view = menuBar()->addMenu("&View");
    ColourBarsAction = view->addAction("&Colour Bars");
    ColourBarsAction->setCheckable(true);
    ColourBarsAction->setChecked(false);
    connect(ColourBarsAction, &QAction::toggled, this, [this](bool on) { ShowColourBars(on); });
    // The program's windows open the analysis windows (app/ProgramWindows.cpp).
    QMenu* analysis = menuBar()->addMenu("&Analysis");
    CorrectTurbulenceAction = analysis->addAction("Correct &Turbulence...");
    QMenu* help = menuBar()->addMenu("&Help");
    HelpAction = help->addAction("Ostrander &Help", this, [this] { HelpClick(); });
    HelpAction->setShortcut(QKeySequence(Qt::Key_F1));
    AboutAction = help->addAction("&About Ostrander", this, [this] { AboutClick(); });
    // The bar is added above the design's window, which keeps its height.
    resize(width(), height() + menuBar()->sizeHint().height());
}

void TOstranderForm::BuildStatusLine() {
    ResultFiguresLabel = new QLabel(this);
    SamplingWarningLabel = new QLabel(this);
    SamplingWarningLabel->setStyleSheet("QLabel { color: #c00000; font-weight: bold; }");
    SamplingWarningLabel->setVisible(false);
    statusBar()->addWidget(ResultFiguresLabel);
    statusBar()->addWidget(SamplingWarningLabel, 1);
    // The label takes what room the line has and cuts its text to it.
    SamplingWarningLabel->setMinimumWidth(40);
    SamplingWarningLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    SamplingWarningLabel->installEventFilter(this);
    RunProgressBar = new QProgressBar(this);
    RunProgressBar->setFixedWidth(140);
    RunProgressBar->setFormat("Influence %v/%m");
    CancelRunButton = new QPushButton("Cancel", this);
    CancelRunButton->setToolTip("Stop computing the influence functions");
    statusBar()->addPermanentWidget(RunProgressBar);
    statusBar()->addPermanentWidget(CancelRunButton);
    RunProgressBar->setVisible(false);
    CancelRunButton->setVisible(false);
    connect(CancelRunButton, &QPushButton::clicked, this, [this] { CancelRunClick(); });
    statusBar()->setSizeGripEnabled(true);
    // The line is added below the design's window, which keeps its height.
    resize(width(), height() + statusBar()->sizeHint().height());
}

void TOstranderForm::closeEvent(QCloseEvent* event) {
    if (closeCheck_ && !closeCheck_()) {
        event->ignore();
        return;
    }
    emit closing();
    QMainWindow::closeEvent(event);
}

bool TOstranderForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ControlPanel && event->type() == QEvent::Resize)
        ExitButtonPanel->setGeometry(0, ControlPanel->height() - 32, ControlPanel->width(), 32);
    if (watched == SamplingWarningLabel && event->type() == QEvent::Resize)
        ShowWarning();
    return QMainWindow::eventFilter(watched, event);
}

QRect TOstranderForm::FittedGeometry(const QRect& wanted, const QRect& available,
                                     const QMargins& frame) {
    // The room for the window itself, inside its frame.
    const QRect room = available.marginsRemoved(frame);
    if (room.width() <= 0 || room.height() <= 0)
        return wanted;
    QRect fitted(wanted.topLeft(), wanted.size().boundedTo(room.size()));
    if (fitted.right() > room.right())
        fitted.moveRight(room.right());
    if (fitted.bottom() > room.bottom())
        fitted.moveBottom(room.bottom());
    if (fitted.left() < room.left())
        fitted.moveLeft(room.left());
    if (fitted.top() < room.top())
        fitted.moveTop(room.top());
    return fitted;
}

void TOstranderForm::FitToScreen() {
    const QScreen* screen = this->screen();
    if (!screen)
        return;
    // Before the window is shown its frame is unknown: allow for a title bar
    // and thin borders.
    const QMargins frame(4, 30, 4, 4);
    setGeometry(FittedGeometry(geometry(), screen->availableGeometry(), frame));
}

void TOstranderForm::StartIdleHandler() {
    IdleTimer->start(kIdleIntervalMs);
}

void TOstranderForm::PassSoon() {
    // Only while the passes run: the timer fires as soon as the event that
    // changed something has been handled.
    if (IdleTimer && IdleTimer->isActive())
        IdleTimer->start(0);
}

void TOstranderForm::StopIdleHandler() {
    if (IdleTimer)
        IdleTimer->stop();
}

int TOstranderForm::NextIdleDelay(qint64 passMs) const {
    // A pass that redrew the results started a redraw interval: the next one
    // may not start before it has passed.
    if (!session_->ResultsValid())
        return kIdleIntervalMs;
    return static_cast<int>(std::max<qint64>(kIdleIntervalMs, kRedrawIntervalMs - passMs));
}

void TOstranderForm::ShowFocusControls(bool show) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{FocusPlusLabel, FocusMinusLabel, FocusZeroLabel,
                                         FocusScrollBar, FocusEditLabel, ResetFocusButton})
        w->setVisible(show);
}

void TOstranderForm::LoadMirrorButtonClick() {
    if (!mirrorSetupForm_)
        return;
    ShowBeside(mirrorSetupForm_, this);
}

bool TOstranderForm::SetMembraneModel(const QString& name) {
    const int row = ModelChoice->findData(name);
    if (row < 0)
        return false;
    ModelChoice->setCurrentIndex(row); // ModelChoiceChange follows when it changed
    return true;
}

QString TOstranderForm::MembraneModelName() const {
    return QString::fromUtf8(session_->MembraneModelName().data(),
                             static_cast<qsizetype>(session_->MembraneModelName().size()));
}

void TOstranderForm::ModelChoiceChange() {
    const QString name = ModelChoice->currentData().toString();
    if (name == MembraneModelName())
        return;
    if (name.toStdString() == MeasuredMembraneModel::kName && !ChooseMeasuredInfluence()) {
        // Back to the model in use, without another change.
        const QSignalBlocker block(ModelChoice);
        ModelChoice->setCurrentIndex(ModelChoice->findData(MembraneModelName()));
        return;
    }
    const SessionSnapshot before = session_->Snapshot();
    // The loaded mirror's influence functions belong to the other model:
    // they are computed again, and the voltages come back when they are.
    const SnapshotRestore switched = session_->SwitchMembraneModel(name.toStdString());
    if (!switched.restored)
        return;
    UpdatePullIn();
    if (switched.run)
        ReportRunStart(*session_, *switched.run, this);
    if (switched.voltagesAfterRun)
        statusBar()->showMessage(ModelChoice->currentText() +
                                     ": computing the influence functions again; the voltages "
                                     "are set again when they are ready.",
                                 kNoticeMs);
    // Without a mirror there is nothing the switch could lose.
    if (session_->HasMirror())
        undoStack_->push(new SessionCommand(*this, before, session_->Snapshot(),
                                            "Model " + ModelChoice->currentText(), 0));
    PassSoon();
    emit membraneModelChanged(name);
}

bool TOstranderForm::ChooseMeasuredInfluence() {
    const std::string caption = "Measured Influence Functions";
    if (!session_->HasMirror()) {
        Dialogs::Instance().ShowMessage(
            "Load a mirror first: measured influence functions are resampled onto its grid.",
            caption);
        return false;
    }
    // The cube the mirror's description names, as the command line takes it;
    // else the one the user picks.
    MeasuredCubeRequest cube;
    std::string problem;
    const MirrorInfoClass* info = session_->MirrorInfo();
    if (!info || !MeasuredRequestOfMirror(info->FileName, cube, problem)) {
        if (!problem.empty()) {
            Dialogs::Instance().ShowMessage(problem, caption);
            return false;
        }
        FileDialogRequest request;
        request.title = caption;
        request.filter = "FITS cubes (*.fits *.fit *.fts);;All files (*)";
        request.initialFolder = DeviceFolder();
        const std::optional<std::string> chosen = Dialogs::Instance().OpenFile(request);
        if (!chosen)
            return false;
        cube.path = *chosen;
    }
    const MeasuredLoad load = LoadMeasuredInfluence(*session_, cube);
    if (!load.loaded) {
        Dialogs::Instance().ShowMessage(load.error, caption);
        return false;
    }
    std::string warnings;
    for (const std::string& w : load.warnings)
        warnings += (warnings.empty() ? "" : "; ") + w;
    if (!warnings.empty())
        statusBar()->showMessage(QString::fromStdString(warnings), kNoticeMs);
    return true;
}

void TOstranderForm::BeginVoltageEdit(const QString& what, int pad) {
    editBefore_ = std::make_unique<SessionSnapshot>(session_->Snapshot());
    editWhat_ = what;
    editPad_ = pad;
}

void TOstranderForm::EndVoltageEdit() {
    if (!editBefore_)
        return;
    std::unique_ptr<SessionSnapshot> before = std::move(editBefore_);
    SessionSnapshot after = session_->Snapshot();
    if (before->mirror != undoMirror_) {
        undoStack_->clear();
        undoMirror_ = before->mirror;
    }
    if (SameVoltages(after, *before) || after.mirror != before->mirror)
        return;
    undoStack_->push(new SessionCommand(*this, std::move(*before), std::move(after), editWhat_,
                                        editPad_));
}

void TOstranderForm::RestoreSnapshot(const SessionSnapshot& snapshot) {
    const std::string model(session_->MembraneModelName());
    const SnapshotRestore restored = session_->Restore(snapshot);
    if (!restored.restored)
        return;
    if (restored.modelChanged) {
        const QSignalBlocker quiet(ModelChoice);
        ModelChoice->setCurrentIndex(ModelChoice->findData(QString::fromStdString(snapshot.model)));
        UpdatePullIn();
        if (restored.run)
            ReportRunStart(*session_, *restored.run, this);
        emit membraneModelChanged(QString::fromStdString(snapshot.model));
    }
    if (!restored.voltagesAfterRun)
        ShowRuleChanges("Voltages set back", restored.voltages);
    MainMirrorDisplay->Refresh();
    PassSoon();
}

std::string TOstranderForm::RuleChangesText(const AppliedVoltages& applied) {
    if (applied.changes.empty())
        return {};
    std::string text = "the mirror's rules changed " + std::to_string(applied.changes.size()) +
                       " of " + std::to_string(applied.requested) + " voltages: ";
    const std::size_t listed = std::min<std::size_t>(applied.changes.size(), 3);
    for (std::size_t k = 0; k < listed; ++k) {
        const AppliedVoltages::Change& c = applied.changes[k];
        text += (k ? ", pad " : "pad ") + std::to_string(c.actuator) + " " +
                FormatFloat("0.0", c.requested) + " V to " + FormatFloat("0.0", c.applied) + " V";
    }
    if (applied.changes.size() > listed)
        text += " and " + std::to_string(applied.changes.size() - listed) + " more";
    return text + ".";
}

void TOstranderForm::ShowRuleChanges(const std::string& what, const AppliedVoltages& applied) {
    if (!applied.applied)
        return;
    const std::string changes = RuleChangesText(applied);
    const QString text =
        QString::fromStdString(what + (changes.empty() ? "." : "; " + changes));
    statusBar()->showMessage(text, kNoticeMs);
    statusBar()->setToolTip(text);
}

bool TOstranderForm::PullInPending() const {
    return session_->PullIn().computing;
}

QString TOstranderForm::PullInText(const PullInResult& result) {
    switch (result.status) {
    case PullInResult::Status::Equilibrium:
    case PullInResult::Status::PulledIn: {
        // Enough digits to tell which side of 1 the factor lies.
        const double factor = result.pullInFactor;
        int digits = 2;
        while (digits < 6 && factor != 1.0 &&
               QString::number(factor, 'f', digits) == QString::number(1.0, 'f', digits))
            ++digits;
        return "Pull-in at " + QString::number(factor, 'f', digits) + " x these voltages";
    }
    case PullInResult::Status::NoForce:
        return "No pull-in: no pad pulls";
    case PullInResult::Status::Invalid:
        return "Pull-in: not computable here";
    case PullInResult::Status::Cancelled:
    case PullInResult::Status::NotConverged:
        break;
    }
    return "Pull-in: not found";
}

void TOstranderForm::UpdatePullIn() {
    PullInLabel->setVisible(session_->ComputesPullIn());
    session_->UpdatePullIn();
    ShowPullIn();
}

void TOstranderForm::ShowPullIn() {
    const PullInState state = session_->PullIn();
    if (state.answer == shownAnswer_ && state.tracked == shownTracked_ &&
        !PullInLabel->text().isEmpty() == (state.answer || state.tracked))
        return;
    shownAnswer_ = state.answer;
    shownTracked_ = state.tracked;
    QString text, tip;
    bool red = false;
    if (state.answer) {
        // Until a newer answer comes the line keeps the last one. Past
        // pull-in it turns red; the pictures' labels say snap-down.
        const bool snapDown = state.answer->SnapDown();
        text = PullInText(*state.answer);
        red = snapDown;
        tip = snapDown ? "Snap-down: these voltages have no equilibrium."
                       : "The membrane snaps down past this scale of the voltages.";
    } else if (state.tracked) {
        text = "Pull-in: computing...";
    }
    if (PullInLabel->text() != text)
        PullInLabel->setText(text);
    // The colour goes through the palette: a style sheet would set the
    // label's font anew and the line would change size with its state.
    QPalette palette = PullInLabel->palette();
    palette.setColor(QPalette::WindowText,
                     red ? QColor(0xc0, 0, 0) : this->palette().color(QPalette::WindowText));
    if (palette != PullInLabel->palette())
        PullInLabel->setPalette(palette);
    if (PullInLabel->toolTip() != tip)
        PullInLabel->setToolTip(tip);
}

void TOstranderForm::PullInAnswered() {
    const bool verdictChanged = session_->TakePullInAnswer();
    ShowPullIn();
    // The pictures of the present surface and the status line carry the
    // verdict: draw them again.
    if (verdictChanged && session_->ResultsValid())
        DrawPictures(kResultPictures);
}

void TOstranderForm::OpenMirrorFileClick() {
    if (!mirrorSetupForm_)
        return;
    FileDialogRequest request;
    request.title = "Open Mirror File";
    request.filter = "Mirror info files (*.ini);;All files (*)";
    request.initialFolder = DeviceFolder();
    const std::optional<std::string> chosen = Dialogs::Instance().OpenFile(request);
    if (!chosen)
        return;
    OpenMirrorFile(*chosen);
}

bool TOstranderForm::OpenMirrorFile(const std::string& file) {
    if (!mirrorSetupForm_)
        return false;
    if (!mirrorSetupForm_->LoadFile(file)) {
        Dialogs::Instance().ShowMessage(
            "Cannot load \"" + file + "\": not a usable mirror info file.", "Open Mirror File");
        return false;
    }
    return true;
}

bool TOstranderForm::OpenPatternSet(const std::string& file) {
    if (!patternBrowser_)
        return false;
    if (!patternBrowser_->OpenPatternSetFile(file))
        return false;
    ShowBeside(patternBrowser_, this);
    return true;
}

void TOstranderForm::NoteRecent(std::vector<std::string>& list, const std::string& file) {
    if (file.empty())
        return;
    std::error_code ec;
    const std::string absolute = std::filesystem::absolute(file, ec).lexically_normal().string();
    const std::string entry = ec ? file : absolute;
    list.erase(std::remove(list.begin(), list.end(), entry), list.end());
    list.insert(list.begin(), entry);
    if (list.size() > static_cast<std::size_t>(kRecentFiles))
        list.resize(kRecentFiles);
}

std::vector<std::string> TOstranderForm::DropMissing(std::vector<std::string>& list) {
    std::vector<std::string> gone;
    std::error_code ec;
    for (auto it = list.begin(); it != list.end();)
        if (!std::filesystem::is_regular_file(*it, ec)) {
            gone.push_back(*it);
            it = list.erase(it);
        } else {
            ++it;
        }
    return gone;
}

void TOstranderForm::SetRecentMirrors(std::vector<std::string> files) {
    recentMirrors_.clear();
    for (auto it = files.rbegin(); it != files.rend(); ++it)
        NoteRecent(recentMirrors_, *it);
}

void TOstranderForm::SetRecentPatternSets(std::vector<std::string> files) {
    recentPatternSets_.clear();
    for (auto it = files.rbegin(); it != files.rend(); ++it)
        NoteRecent(recentPatternSets_, *it);
}

void TOstranderForm::NoteRecentMirror(const std::string& file) {
    NoteRecent(recentMirrors_, file);
}

void TOstranderForm::NoteRecentPatternSet(const std::string& file) {
    NoteRecent(recentPatternSets_, file);
}

void TOstranderForm::FillRecentMenu(QMenu* menu, std::vector<std::string>& list,
                                    bool (TOstranderForm::*open)(const std::string&)) {
    const std::vector<std::string> gone = DropMissing(list);
    if (!gone.empty())
        statusBar()->showMessage(
            QString::fromStdString("No longer there, taken off the list: " + gone.front() +
                                   (gone.size() > 1 ? " and " + std::to_string(gone.size() - 1) +
                                                          " more"
                                                    : std::string())),
            kNoticeMs);
    menu->clear();
    for (const std::string& file : list) {
        const QString path = QString::fromStdString(file);
        QAction* action = menu->addAction(
            QString::fromStdString(std::filesystem::path(file).filename().string()));
        action->setToolTip(path);
        action->setStatusTip(path);
        connect(action, &QAction::triggered, this, [this, file, open] {
            // Gone since the menu was filled: say so rather than fail.
            std::error_code ec;
            if (!std::filesystem::is_regular_file(file, ec)) {
                Dialogs::Instance().ShowMessage("\"" + file + "\" is no longer there.",
                                                "Recent Files");
                recentMirrors_.erase(std::remove(recentMirrors_.begin(), recentMirrors_.end(), file),
                                     recentMirrors_.end());
                recentPatternSets_.erase(
                    std::remove(recentPatternSets_.begin(), recentPatternSets_.end(), file),
                    recentPatternSets_.end());
                return;
            }
            (this->*open)(file);
        });
    }
    menu->setToolTipsVisible(true);
    if (list.empty())
        menu->addAction("(none)")->setEnabled(false);
}

void TOstranderForm::dragEnterEvent(QDragEnterEvent* event) {
    if (!event->mimeData()->hasUrls())
        return;
    for (const QUrl& url : event->mimeData()->urls()) {
        const QString suffix = QFileInfo(url.toLocalFile()).suffix().toLower();
        if (url.isLocalFile() && (suffix == "ini" || suffix == "pat")) {
            event->acceptProposedAction();
            return;
        }
    }
}

void TOstranderForm::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasUrls())
        return;
    // One mirror and one set at a time; the mirror first, so that a set
    // dropped with it previews on it.
    std::string mirror, set;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString file = url.toLocalFile();
        const QString suffix = QFileInfo(file).suffix().toLower();
        if (suffix == "ini" && mirror.empty())
            mirror = file.toStdString();
        else if (suffix == "pat" && set.empty())
            set = file.toStdString();
    }
    bool opened = false;
    if (!mirror.empty())
        opened = OpenMirrorFile(mirror);
    if (!set.empty())
        opened = OpenPatternSet(set) || opened;
    if (opened)
        event->acceptProposedAction();
}

void TOstranderForm::DeviceFolderClick() {
    FileDialogRequest request;
    request.title = "Device Folder";
    request.initialFolder = DeviceFolder();
    const std::optional<std::string> chosen = Dialogs::Instance().ChooseFolder(request);
    if (!chosen)
        return;
    const DeviceFolderChoice choice = ChooseDeviceFolder({{"chosen in the program", *chosen}});
    if (!choice.Found()) {
        Dialogs::Instance().ShowMessage("\"" + *chosen + "\" is not a folder.", "Device Folder");
        return;
    }
    // A folder without a single mirror info file would leave the setup
    // window with nothing to load: the folder in use stays.
    bool anyMirror = false;
    std::error_code ec;
    for (std::filesystem::directory_iterator entry(choice.folder, ec), end; !ec && entry != end;
         entry.increment(ec))
        if (entry->path().extension() == ".ini") {
            anyMirror = true;
            break;
        }
    if (!anyMirror) {
        Dialogs::Instance().ShowMessage("\"" + *chosen +
                                            "\" holds no mirror info files (.ini). The device "
                                            "folder stays \"" + DeviceFolder() + "\".",
                                        "Device Folder");
        return;
    }
    UseDeviceFolder(choice);
    if (mirrorSetupForm_)
        mirrorSetupForm_->Rescan();
    emit deviceFolderChosen(QString::fromStdString(choice.folder));
}

bool TOstranderForm::CanExport() const {
    return session_->HasMirror() && session_->ResultsValid() && !session_->IsRunning();
}

void TOstranderForm::UpdateExportAction() {
    ExportAction->setEnabled(CanExport());
}

void TOstranderForm::ExportClick() {
    const std::string caption = "Export Pictures and Data";
    if (!CanExport())
        return;
    FileDialogRequest request;
    request.title = caption;
    // The last export's folder, or the one it was made in when it has gone.
    std::error_code ec;
    const std::filesystem::path last(exportFolder_);
    if (!exportFolder_.empty() && std::filesystem::is_directory(last, ec))
        request.initialFolder = exportFolder_;
    else if (!exportFolder_.empty() && std::filesystem::is_directory(last.parent_path(), ec))
        request.initialFolder = last.parent_path().string();
    const std::optional<std::string> chosen = Dialogs::Instance().ChooseFolder(request);
    if (!chosen)
        return;

    // An earlier export there (and nothing else) is replaced when the user
    // agrees; a folder holding anything else is never written into.
    ExportRequest exportRequest;
    exportRequest.folder = *chosen;
    exportRequest.program = "ostrander";
    exportRequest.version = kVersion;
    if (std::filesystem::is_directory(*chosen, ec) && !std::filesystem::is_empty(*chosen, ec)) {
        std::vector<std::string> recorded;
        std::string problem;
        if (!HoldsOnlyRecordedOutput(*chosen, recorded, problem)) {
            Dialogs::Instance().ShowMessage(
                "Nothing was exported: the folder \"" + *chosen +
                    "\" already holds other files. Choose an empty folder or make a new one.",
                caption);
            return;
        }
        // Enter keeps the earlier export: Yes throws it away.
        if (!Dialogs::Instance().Ask("\"" + *chosen +
                                         "\" holds an earlier export. Replace it with this one?",
                                     caption, Dialogs::Preselect::No))
            return;
        exportRequest.replace = true;
    }

    ExportOutcome outcome;
    std::string error;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool exported = ExportSessionResult(*session_, exportRequest, outcome, error);
    QApplication::restoreOverrideCursor();
    // The export computed the results afresh (and may leave the engine's
    // surface uncorrected): the next pass computes and draws them again.
    session_->MarkResultsStale();
    PassSoon();
    if (!exported) {
        Dialogs::Instance().ShowMessage("Nothing was exported: " + error + ".", caption);
        return;
    }
    exportFolder_ = outcome.folder;
    std::string text = "The pictures and data of " + outcome.device + " are in \"" +
                       outcome.folder + "\".";
    for (const RunWarning& warning : outcome.warnings)
        text += "\n\nWarning: " + warning.message;
    if (!outcome.note.empty())
        text += "\n\nNote: " + outcome.note;
    Dialogs::Instance().ShowMessage(text, caption);
}

std::string TOstranderForm::HelpText() {
    // Each "-- " item becomes a paragraph; its continuation lines join it.
    std::string text;
    for (const std::string& line : EngineSession::HelpLines()) {
        std::string_view rest = line;
        const bool item = rest.starts_with("-- ");
        while (!rest.empty() && (rest.front() == ' ' || rest.front() == '-'))
            rest.remove_prefix(1);
        while (!rest.empty() && rest.back() == ' ')
            rest.remove_suffix(1);
        if (item && !text.empty())
            text += "\n\n";
        else if (!item && !text.empty())
            text += ' ';
        text += rest;
    }
    // The window's own parts.
    for (const char* paragraph : {
             "Model: the classic model adds up each pad's influence; the exact membrane model "
             "solves the membrane's nonlinear equilibrium and shows the pull-in factor of the "
             "voltages. Switching computes the influence functions again and keeps the "
             "voltages.",
             "Edit > Undo (Ctrl+Z) and Redo (Ctrl+Shift+Z) take back and bring again voltage "
             "changes (clicks, edits, Set All, Set Mirror Voltages) and model switches.",
             "Pattern Library (the map's pop-up menu) opens the pattern browser: pattern sets "
             "(.pat) to preview, capture, edit and save, and Set Mirror Voltages to send one to "
             "the mirror. A set with changes is never let go without asking.",
             "Fit... in the browser works out voltages for Zernike terms (Noll order, RMS "
             "over the beam, e.g. 4=0.5um) or a surface file, with the main window's model; "
             "Add to Set keeps them as a pattern.",
             "File > Export Pictures and Data writes the present pictures, grids and summary "
             "into a folder of your choice.",
             "Analysis > Correct Turbulence shows how much atmospheric turbulence the mirror "
             "takes out: Next Screen corrects a random phase screen of the chosen D/r0 and seed "
             "and shows the screen, the fitted surface and the residual on one scale; Start "
             "Study draws the Strehl ratio against D/r0 while it runs; Apply puts the shown "
             "screen's voltages on the mirror (Undo takes them back)."})
        text += std::string("\n\n") + paragraph;
    return text;
}

std::string TOstranderForm::AboutText() {
    return std::string("Ostrander ") + kVersion +
           "\n\nA simulator of electrostatic membrane deformable mirrors: the membrane "
           "surface, its interferogram and the far field of a laser beam reflected by it, "
           "for the voltages set on the actuators.\n\nLicence: proprietary; all rights "
           "reserved.";
}

void TOstranderForm::HelpClick() {
    Dialogs::Instance().ShowMessage(HelpText(), "Ostrander Help");
}

void TOstranderForm::AboutClick() {
    Dialogs::Instance().ShowMessage(AboutText(), "About Ostrander");
}

void TOstranderForm::ExitButtonClick() {
    close();
}

template <class Change> void TOstranderForm::ChangeView(Change change) {
    ViewOptions view = session_->View();
    change(view);
    session_->SetView(view);
}

void TOstranderForm::RemoveFocusCheckClick() {
    const bool remove = RemoveFocusCheck->isChecked();
    ChangeView([remove](ViewOptions& v) { v.removeFocus = remove; });
    if (remove) {
        ShowFocusControls(true);
        FocusScrollBar->setValue(100);
        ChangeView([](ViewOptions& v) { v.focusAdjust = 0.0; });
    } else {
        // The slider keeps its value; the far field ignores it while off.
        ShowFocusControls(false);
    }
    PassSoon();
}

double TOstranderForm::FocusFromPosition(int position) {
    const int offset = position - 100;
    return offset <= 0 ? offset * 0.01 : offset * 0.02;
}

void TOstranderForm::FocusScrollBarChange() {
    const double focus = FocusFromPosition(FocusScrollBar->value());
    ChangeView([focus](ViewOptions& v) { v.focusAdjust = focus; });
    PassSoon();
}

void TOstranderForm::ResetFocusButtonClick() {
    FocusScrollBar->setValue(100);
    ChangeView([](ViewOptions& v) { v.focusAdjust = 0.0; });
}

void TOstranderForm::FarFieldZoomEditChanged() {
    const int zoom = FarFieldZoomEdit->GetValue();
    ChangeView([zoom](ViewOptions& v) { v.farFieldZoom = zoom; });
    PassSoon();
}

void TOstranderForm::SeparationEditChanged() {
    session_->SetSeparation(SeparationEdit->GetValue() * 1e-6);
}

void TOstranderForm::StressEditChanged() {
    session_->SetStress(StressEdit->GetValue() * 1e6);
}

void TOstranderForm::RunFEATimerTimer() {
    ShowSessionMessage(session_->Tick());
    // The tick that ended a cancelled run started the newly loaded mirror's.
    if (const std::optional<RunStart> restarted = session_->TakeRestartedRun())
        ReportRunStart(*session_, *restarted, this);
    // A run after a model switch or an undo has set the kept voltages again.
    if (const std::optional<AppliedVoltages> kept = session_->TakeKeptVoltages()) {
        ShowRuleChanges("Voltages kept after the run", *kept);
        MainMirrorDisplay->Refresh();
        PassSoon();
    }
    UpdateExportAction();
    ShowRunProgress();
}

void TOstranderForm::ApplicationIdle() {
    // The undo list belongs to one mirror.
    if (const uint64_t mirror = session_->Snapshot().mirror; mirror != undoMirror_) {
        undoStack_->clear();
        undoMirror_ = mirror;
        if (session_->HasMirror() && session_->MirrorInfo())
            NoteRecentMirror(session_->MirrorInfo()->FileName);
    }
    const IdlePassResult pass = session_->IdlePass();
    ShowSessionMessages(pass.recalculation);
    DrawPictures(pass.pictures);
    UpdatePullIn();
    UpdateExportAction();
}

void TOstranderForm::DrawPictures(unsigned pictures) {
    // The figures follow the surface they describe; with the results gone
    // (a new mirror, a changed parameter) the line is cleared.
    if ((pictures & kSurfaceImage) ||
        (!session_->ResultsValid() && !ResultFiguresLabel->text().isEmpty()))
        UpdateResultStatus();
    if (pictures & kMirrorMap)
        MainMirrorDisplay->Refresh();
    // A level surface (every pad at the same voltage, as after loading) is
    // a state to explain, not a fault to show in red.
    const bool level = (pictures & (kSurfaceImage | kInterferogram)) && SurfaceLevel();
    if (pictures & kSurfaceImage) {
        const GridRange range = DrawSurfaceImage(TwoDimensionalDisplayFrame->Canvas(), *session_);
        if (level)
            DrawFlatSurfaceNote(TwoDimensionalDisplayFrame->Canvas());
        Show(TwoDimensionalDisplayFrame);
        DrawColourBar(SurfaceColourBarDisplay, TwoDimensionalDisplayFrame,
                      SurfaceColourBar(range));
    }
    if (pictures & kInterferogram) {
        DrawInterferogram(InterferogramDisplayFrame->Canvas(), *session_);
        if (level)
            DrawFlatSurfaceNote(InterferogramDisplayFrame->Canvas());
        Show(InterferogramDisplayFrame);
        DrawColourBar(InterferogramColourBarDisplay, InterferogramDisplayFrame,
                      level ? PictureColourBar{} : FringeColourBar(session_->View().wavelength));
    }
    if (pictures & kThreeDImage)
        DrawThreeDImage();
    if (pictures & kFarFieldPictures)
        DrawFarFieldPictures();
}

TOstranderForm::ResultStatus
TOstranderForm::ResultStatusText(const std::optional<ResultFigures>& figures, bool snapDown) {
    ResultStatus status;
    if (!figures)
        return status;
    if (snapDown) {
        status.figures = "Past pull-in: the membrane snaps down at these voltages.";
        status.warning = "Lower the voltages: the surface and figures shown are not one the "
                         "membrane can hold.";
        return status;
    }
    // Micrometres written as the pictures write the peak-to-valley.
    status.figures = "RMS over the beam (um): " +
                     FormatFloat("0.000E-00", figures->beamRms * 1e6) +
                     "    Strehl ratio: " + FormatFloat("0.000", figures->strehl);
    if (figures->undersampled)
        status.warning = "Surface too steep for the grid: the phase steps " +
                         FormatFloat("0.0", figures->largestPhaseStep) +
                         " rad (over pi) between neighbouring samples, so the "
                         "interferogram and far field are aliased.";
    return status;
}

void TOstranderForm::UpdateResultStatus() {
    std::optional<ResultFigures> figures;
    if (session_->ResultsValid())
        figures = session_->Figures();
    const PullInState pullIn = session_->PullIn();
    const bool snapDown = pullIn.answer && pullIn.answer->SnapDown();
    const ResultStatus status = ResultStatusText(figures, snapDown);
    ResultFiguresLabel->setText(QString::fromStdString(status.figures));
    warning_ = status.warning;
    ShowWarning();
}

void TOstranderForm::ShowWarning() {
    const QString whole = QString::fromStdString(warning_);
    const QString shown = SamplingWarningLabel->fontMetrics().elidedText(
        whole, Qt::ElideRight, std::max(40, SamplingWarningLabel->width()));
    SamplingWarningLabel->setText(shown);
    SamplingWarningLabel->setToolTip(whole);
    SamplingWarningLabel->setVisible(!whole.isEmpty());
}

bool TOstranderForm::SurfaceLevel() {
    // Only results that were computed: a refused run leaves nothing to explain.
    return session_->ResultsValid() && !session_->IsRunning() && SurfaceIsLevel(*session_);
}

void TOstranderForm::ShowColourBars(bool show) {
    if (ColourBarsAction->isChecked() != show) {
        ColourBarsAction->setChecked(show); // comes back here through toggled
        return;
    }
    for (PaintBox* strip :
         {SurfaceColourBarDisplay, InterferogramColourBarDisplay, FarFieldColourBarDisplay})
        strip->setVisible(show);
    // The pictures beside the strips may change size; either way the next
    // pass draws everything again, bars included.
    session_->MarkResultsStale();
    PassSoon();
}

bool TOstranderForm::ColourBarsShown() const {
    return ColourBarsAction->isChecked();
}

void TOstranderForm::DrawColourBar(PaintBox* strip, const PaintBox* picture,
                                   const PictureColourBar& bar) {
    if (!ColourBarsShown())
        return;
    // The bar runs along the picture, which its control centres.
    const QRect place = picture->CanvasRect();
    const int top = place.top(), bottom = place.top() + place.height();
    ImageCanvas& canvas = strip->Canvas();
    std::vector<double> key = {3.0, bar.colour ? 1.0 : 0.0, bar.low, bar.high,
                               static_cast<double>(top), static_cast<double>(bottom)};
    key.insert(key.end(), bar.unit.begin(), bar.unit.end());
    canvas.DrawLayer(key, [&](Canvas& c) { DrawPictureColourBar(c, bar, top, bottom); });
    Show(strip);
}

void TOstranderForm::Show(PaintBox* box) {
    box->update();
}

void TOstranderForm::EnableRunTimer() {
    RunFEATimer->start();
    ShowRunProgress();
}

void TOstranderForm::DisableRunTimer() {
    RunFEATimer->stop();
    ShowRunProgress();
}

void TOstranderForm::ShowRunProgress() {
    const EngineSession::RunProgress progress =
        session_ ? session_->Progress() : EngineSession::RunProgress{};
    const bool running = RunFEATimer->isActive() && progress.total > 0;
    if (running) {
        RunProgressBar->setRange(0, progress.total);
        RunProgressBar->setValue(progress.done);
    }
    RunProgressBar->setVisible(running);
    CancelRunButton->setVisible(running);
    CancelRunButton->setEnabled(running);
}

void TOstranderForm::CancelRunClick() {
    if (session_->Cancel() == CancelRequest::Requested) {
        CancelRunButton->setEnabled(false);
        statusBar()->showMessage("Cancelling the influence functions...", kNoticeMs);
    }
}

bool TOstranderForm::IsRunTimerEnabled() const {
    return RunFEATimer->isActive();
}

void TOstranderForm::DrawThreeDImage() {
    ostrander::DrawThreeDImage(ThreeDimensionalImageDisplay->Canvas(), *session_);
    if (SurfaceLevel())
        DrawFlatSurfaceNote(ThreeDimensionalImageDisplay->Canvas());
    Show(ThreeDimensionalImageDisplay);
}

void TOstranderForm::DrawFarFieldPictures() {
    DrawFarFieldImage(FarFieldDisplayFrame->Canvas(), *session_, kFarFieldTitle);
    Show(FarFieldDisplayFrame);
    DrawColourBar(FarFieldColourBarDisplay, FarFieldDisplayFrame,
                  session_->ResultsValid() ? FarFieldColourBar() : PictureColourBar{});
    DrawFarFieldPlot(FarFieldPlotDisplay->Canvas(), *session_);
    Show(FarFieldPlotDisplay);
}

void TOstranderForm::RefreshMirrorDisplay() {
    MainMirrorDisplay->Refresh();
}

void TOstranderForm::ClearInformation() {
    UserInfoBox->clear();
}

void TOstranderForm::AddInformationLine(const std::string& line) {
    const QString text = QString::fromStdString(line);
    auto* item = new QListWidgetItem(text, UserInfoBox);
    // Rows 13 pixels high; a line wider than the box scrolls rather than
    // being cut short.
    item->setSizeHint(QSize(UserInfoBox->fontMetrics().horizontalAdvance(text) + 4, 13));
}

} // namespace ostrander

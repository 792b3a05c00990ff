#include "Shared_Software/Frames/MirrorDisplayFrame.h"

#include "Shared_Software/Frames/FloatBarFrame.h"
#include "Shared_Software/Frames/FloatEditFrame.h"
#include "Shared_Software/Frames/IntegerEditFrame.h"
#include "Shared_Software/Frames/PatternBrowserInterface.h"
#include "Shared_Software/Mirror/ColorScale.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "model/pictures/MirrorDisplayClass.h"
#include "toolkit/Synchronizer.h"
#include "toolkit/qt/PaintBox.h"

#include <QAction>
#include <QActionGroup>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

namespace ostrander {

namespace {

QHBoxLayout* Row(QWidget* parent) {
    auto* row = new QHBoxLayout(parent);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    return row;
}

// A panel of fixed width holding one child that fills it.
QWidget* Holder(QWidget* parent, QWidget*& panel, int width) {
    panel = new QWidget(parent);
    if (width > 0)
        panel->setFixedWidth(width);
    Row(panel);
    return panel;
}

// Scope in which the boxes are being painted: drawing must not ask them to
// repaint again.
struct InsidePaint {
    explicit InsidePaint(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~InsidePaint() { flag_ = old_; }
    bool& flag_;
    bool old_;
};

} // namespace

TMirrorDisplayFrame::TMirrorDisplayFrame(QWidget* parent) : QWidget(parent) {
    resize(272, 344);
    // The design's default font: "MS Sans Serif" at 8 points.
    QFont font("MS Sans Serif");
    font.setPixelSize(11);
    setFont(font);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    MainSplitter = new QSplitter(Qt::Vertical, this);
    MainSplitter->setHandleWidth(3);
    MainSplitter->setChildrenCollapsible(false);
    outer->addWidget(MainSplitter);

    // Control panel: three rows of 30 pixels.
    ControlPanel = new QWidget(MainSplitter);
    ControlPanel->setFixedHeight(92);
    auto* rows = new QVBoxLayout(ControlPanel);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(1);

    TopControlPanel = new QWidget(ControlPanel);
    TopControlPanel->setFixedHeight(30);
    auto* top = Row(TopControlPanel);
    ChannelIntegerEdit = new TIntegerEditFrame(TopControlPanel);
    ChannelIntegerEdit->setFixedWidth(92);
    ChannelIntegerEdit->SetCaptions(" Channel  ", "");
    MirrorLabelPanel = new QFrame(TopControlPanel);
    MirrorLabelPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    MirrorLabelPanel->setLineWidth(2);
    MirrorLabel = new QLabel(MirrorLabelPanel);
    MirrorLabel->setAlignment(Qt::AlignCenter);
    // A long mirror name is shortened with "..." rather than widening the frame.
    MirrorLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    MirrorLabel->installEventFilter(this);
    Row(MirrorLabelPanel)->addWidget(MirrorLabel);
    Holder(TopControlPanel, PatternEditButtonPanel, 75);
    PatternEditButton = new QPushButton("Pattern Library", PatternEditButtonPanel);
    PatternEditButtonPanel->layout()->addWidget(PatternEditButton);
    // 75 pixels, or what the caption needs in the installed font.
    PatternEditButtonPanel->setFixedWidth(std::max(75, PatternEditButton->sizeHint().width()));
    top->addWidget(ChannelIntegerEdit);
    top->addWidget(MirrorLabelPanel, 1);
    top->addWidget(PatternEditButtonPanel);

    MiddleControlPanel = new QWidget(ControlPanel);
    MiddleControlPanel->setFixedHeight(30);
    VoltageFloatBar = new TFloatBarFrame(MiddleControlPanel);
    VoltageFloatBar->SetCaptions(" Voltage", "");
    Row(MiddleControlPanel)->addWidget(VoltageFloatBar);

    BottomControlPanel = new QWidget(ControlPanel);
    BottomControlPanel->setFixedHeight(30);
    auto* bottom = Row(BottomControlPanel);
    Holder(BottomControlPanel, ZeroAllButonPanel, 60);
    ZeroAllButon = new QPushButton("Zero All", ZeroAllButonPanel);
    ZeroAllButonPanel->layout()->addWidget(ZeroAllButon);
    Holder(BottomControlPanel, StepSizeEditPanel, 80);
    StepSizeFloatEdit = new TFloatEditFrame(StepSizeEditPanel);
    StepSizeFloatEdit->SetCaptions(" Step = ", "");
    StepSizeEditPanel->layout()->addWidget(StepSizeFloatEdit);
    Holder(BottomControlPanel, SetAllEditPanel, 0);
    SetAllEditPanel->setMinimumWidth(90);
    SetAllFloatEdit = new TFloatEditFrame(SetAllEditPanel);
    SetAllFloatEdit->SetCaptions(" Set All =  ", "");
    SetAllEditPanel->layout()->addWidget(SetAllFloatEdit);
    bottom->addWidget(ZeroAllButonPanel);
    bottom->addWidget(StepSizeEditPanel);
    bottom->addWidget(SetAllEditPanel, 1);
    BottomControlPanel->installEventFilter(this);

    rows->addWidget(TopControlPanel);
    rows->addWidget(MiddleControlPanel);
    rows->addWidget(BottomControlPanel);
    ControlPanel->hide();

    // The map with the auxiliary box on its left.
    DisplayPanel = new QWidget(MainSplitter);
    AuxilarySplitter = new QSplitter(Qt::Horizontal, DisplayPanel);
    AuxilarySplitter->setHandleWidth(3);
    AuxilarySplitter->setChildrenCollapsible(false);
    Row(DisplayPanel)->addWidget(AuxilarySplitter);
    AuxilaryPanel = new QWidget(AuxilarySplitter);
    AuxilaryPanel->setMinimumWidth(25);
    AuxilaryPaintBox = new PaintBox(AuxilaryPanel);
    Row(AuxilaryPanel)->addWidget(AuxilaryPaintBox);
    MirrorPanel = new QWidget(AuxilarySplitter);
    MirrorPaintBox = new PaintBox(MirrorPanel);
    Row(MirrorPanel)->addWidget(MirrorPaintBox);
    AuxilarySplitter->setStretchFactor(0, 0);
    AuxilarySplitter->setStretchFactor(1, 1);
    AuxilarySplitter->setSizes({40, 229});

    LegendPanel = new QWidget(MainSplitter);
    LegendPanel->setFixedHeight(17);
    LegendPaintBox = new PaintBox(LegendPanel);
    Row(LegendPanel)->addWidget(LegendPaintBox);

    MainSplitter->setStretchFactor(0, 0);
    MainSplitter->setStretchFactor(1, 1);
    MainSplitter->setStretchFactor(2, 0);

    // Pop-up menu of the legend.
    MirrorDisplayFramePopupMenu = new QMenu(this);
    auto* group = new QActionGroup(this);
    group->setExclusive(true);
    ShowControlButton = MirrorDisplayFramePopupMenu->addAction("Show Control Panel");
    HideControlButton = MirrorDisplayFramePopupMenu->addAction("Hide Control Panel");
    for (QAction* a : {ShowControlButton, HideControlButton}) {
        a->setCheckable(true);
        group->addAction(a);
    }
    HideControlButton->setChecked(true);
    LegendPanel->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(LegendPanel, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        MirrorDisplayFramePopupMenu->popup(LegendPanel->mapToGlobal(p));
    });
    connect(ShowControlButton, &QAction::triggered, this, [this] { ShowControlButtonClick(); });
    connect(HideControlButton, &QAction::triggered, this, [this] { HideControlButtonClick(); });

    // The boxes keep their pictures; a paint event draws the present voltages.
    MirrorPaintBox->onPaint = [this] {
        InsidePaint scope(insidePaint_);
        PaintMap();
    };
    AuxilaryPaintBox->onPaint = MirrorPaintBox->onPaint;
    LegendPaintBox->onPaint = [this] { PaintLegend(); };
    MirrorPaintBox->onResize = [this] { Relayout(); };
    AuxilaryPaintBox->onResize = [this] { Relayout(); };
    LegendPaintBox->onResize = [this] { PaintLegend(); };
    connect(MirrorPaintBox, &PaintBox::mouseReleased, this,
            [this](int x, int y, Qt::MouseButton b, Qt::KeyboardModifiers) {
                MirrorPaintBoxMouseUp(b, x, y);
            });
    connect(AuxilaryPaintBox, &PaintBox::mouseReleased, this,
            [this](int x, int y, Qt::MouseButton b, Qt::KeyboardModifiers) {
                AuxilaryPaintBoxMouseUp(b, x, y);
            });

    // Control panel events, after each edit frame has taken its entry over
    // (Enter or leaving the box, not every key: a half-typed number must not
    // reset every actuator to the previous Set All value).
    connect(ChannelIntegerEdit, &NumericEditFrame::valueCommitted, this, [this] {
        if (HasValidMirror())
            SelectChannel(ChannelIntegerEdit->GetValue());
    });
    connect(VoltageFloatBar, &NumericEditFrame::valueCommitted, this,
            [this] { ApplyVoltageBar(); });
    connect(SetAllFloatEdit, &NumericEditFrame::valueCommitted, this, [this] { ApplySetAll(); });
    connect(StepSizeFloatEdit, &NumericEditFrame::valueCommitted, this,
            [this] { ApplyStepEdit(); });

    connect(ZeroAllButon, &QPushButton::clicked, this, [this] { ZeroAllButonClick(); });
    connect(PatternEditButton, &QPushButton::clicked, this, [this] { PatternEditButtonClick(); });
}

TMirrorDisplayFrame::~TMirrorDisplayFrame() = default;

bool TMirrorDisplayFrame::HasValidMirror() const {
    return Mirror && Mirror->IsValid();
}

bool TMirrorDisplayFrame::SetMirror(MirrorClass* mirror) {
    if (!mirror) {
        Display.reset();
        Mirror = nullptr;
        // Show an empty map rather than the last mirror's.
        for (PaintBox* box : {MirrorPaintBox, AuxilaryPaintBox})
            box->Canvas().Resize(box->width(), box->height());
        ShowBoxes();
        return false;
    }
    if (!mirror->IsValid())
        return false;
    Mirror = mirror;
    Display.reset();
    DriverClass* driver = Mirror->GetDriver();
    {
        WriteLock lock(Mirror->GetLock());
        Display = std::make_unique<MirrorDisplayClass>(
            MirrorPaintBox->Canvas(), AuxilaryPaintBox->Canvas(), LegendPaintBox->Canvas(),
            Mirror->GetInfo()->Model.get(),
            driver->GetMinVoltage(), driver->GetMaxVoltage());
    }
    LastWidth = MirrorPaintBox->Canvas().Width();
    LastHeight = MirrorPaintBox->Canvas().Height();
    UpdateLimits();
    ChannelIntegerEdit->SetWrap(true);
    ChannelIntegerEdit->SetValue(ChannelIntegerEdit->GetMaximum());
    SetAllFloatEdit->SetWrap(false);
    SelectChannel(ChannelIntegerEdit->GetMaximum());
    ApplyStep(Mirror->GetStepSize());
    MirrorCaption =
        QString::fromStdString(Mirror->GetInfo()->DeviceName + " | " + driver->GetName());
    ShowMirrorCaption();
    ShowBoxes();
    return true;
}

void TMirrorDisplayFrame::ShowBoxes() {
    if (insidePaint_)
        return;
    MirrorPaintBox->update();
    AuxilaryPaintBox->update();
    LegendPaintBox->update();
}

bool TMirrorDisplayFrame::PaintMap() {
    if (!HasValidMirror())
        return false;
    if (!Display)
        return true;
    const int w = MirrorPaintBox->Canvas().Width(), h = MirrorPaintBox->Canvas().Height();
    if (w != LastWidth || h != LastHeight) {
        LastWidth = w;
        LastHeight = h;
        Relayout();
    }
    // A hidden map is drawn when it is shown again.
    if (!MirrorPaintBox->isVisible())
        return true;
    WriteLock lock(Mirror->GetLock());
    Display->Paint(true);
    return true;
}

bool TMirrorDisplayFrame::Refresh() {
    const bool result = PaintMap();
    ShowBoxes();
    return result;
}

bool TMirrorDisplayFrame::Relayout() {
    if (!Mirror)
        return false;
    if (!Mirror->IsValid())
        return true;
    DriverClass* driver = Mirror->GetDriver();
    if (Display) {
        WriteLock lock(Mirror->GetLock());
        Display->Layout(Mirror->GetInfo()->Model.get(), driver->GetMinVoltage(),
                        driver->GetMaxVoltage());
    }
    DrawVoltageLegend(LegendPaintBox->Canvas(), driver->GetMinVoltage(), driver->GetMaxVoltage());
    ShowBoxes();
    return true;
}

void TMirrorDisplayFrame::PaintLegend() {
    if (!HasValidMirror() || !Mirror->GetDriver())
        return;
    DriverClass* driver = Mirror->GetDriver();
    DrawVoltageLegend(LegendPaintBox->Canvas(), driver->GetMinVoltage(), driver->GetMaxVoltage());
}

void TMirrorDisplayFrame::UpdateLimits() {
    if (!HasValidMirror())
        return;
    const double limit = Mirror->GetLimitVoltage(), highest = Mirror->GetMaxVoltage();
    SetAllFloatEdit->SetMinimum(0);
    SetAllFloatEdit->SetMaximum(limit);
    StepSizeFloatEdit->SetMinimum(0);
    StepSizeFloatEdit->SetMaximum(highest);
    ChannelIntegerEdit->SetMinimum(1);
    ChannelIntegerEdit->SetMaximum(Mirror->GetActuatorCount());
    // The membrane's own electrode is held to the limit; compare channels,
    // not a display number with a channel.
    const DmActuatorInfoClass* current =
        Mirror->GetInfo()->Model->FindByDisplayIndex(CurrentChannel);
    const bool surface = current && current->Channel == Mirror->GetSurfaceChannel();
    VoltageFloatBar->SetMinimum(0);
    VoltageFloatBar->SetMaximum(surface ? limit : highest);
}

void TMirrorDisplayFrame::ApplyStep(double step) {
    if (!HasValidMirror())
        return;
    Step = step;
    StepSizeFloatEdit->SetMinimum(0);
    StepSizeFloatEdit->SetMaximum(Mirror->GetMaxVoltage());
    StepSizeFloatEdit->SetWrap(true);
    StepSizeFloatEdit->SetStep(1.0);
    StepSizeFloatEdit->SetValue(step);
}

void TMirrorDisplayFrame::SelectChannel(int n) {
    if (!HasValidMirror())
        return;
    CurrentChannel = n;
    ChannelIntegerEdit->SetValue(n);
    VoltageFloatBar->SetMinimum(0);
    VoltageFloatBar->SetMaximum(Mirror->GetModelActuators() < n ? Mirror->GetLimitVoltage()
                                                                : Mirror->GetMaxVoltage());
    VoltageFloatBar->SetWrap(false);
    VoltageFloatBar->SetValue(Mirror->GetVoltage(n));
}

void TMirrorDisplayFrame::ShowControls(bool flag) {
    ControlPanel->setVisible(flag);
    (flag ? ShowControlButton : HideControlButton)->setChecked(true);
}

void TMirrorDisplayFrame::SetPatternForm(PatternBrowserInterface* form) {
    PatternForm = form;
    PatternEditButtonPanel->setVisible(true);
}

void TMirrorDisplayFrame::ClickActuator(int displayIndex, Qt::MouseButton button) {
    const double v = Mirror->GetVoltage(displayIndex);
    double requested = 0;
    if (button == Qt::LeftButton)
        requested = v + Step;
    else if (button == Qt::RightButton)
        requested = v - Step;
    Mirror->SetVoltageAndSend(displayIndex, requested);
    Refresh();
    SelectChannel(displayIndex);
}

void TMirrorDisplayFrame::MirrorPaintBoxMouseUp(Qt::MouseButton button, int x, int y) {
    if (!HasValidMirror() || !Display)
        return;
    if (ActuatorDisplayClass* a = Display->FindNearest(x, y))
        ClickActuator(a->DisplayIndex, button);
}

void TMirrorDisplayFrame::AuxilaryPaintBoxMouseUp(Qt::MouseButton button, int x, int y) {
    if (!HasValidMirror() || !Display)
        return;
    if (ActuatorDisplayClass* a = Display->FindNearestAuxiliary(x, y))
        ClickActuator(a->DisplayIndex, button);
}

void TMirrorDisplayFrame::ShowVoltages() {
    VoltageFloatBar->SetValue(Mirror->GetVoltage(CurrentChannel));
    Refresh();
}

void TMirrorDisplayFrame::ApplyVoltageBar() {
    if (!HasValidMirror())
        return;
    Mirror->SetVoltageAndSend(CurrentChannel, VoltageFloatBar->GetValue());
    ShowVoltages();
}

void TMirrorDisplayFrame::ZeroAllButonClick() {
    if (!HasValidMirror())
        return;
    Mirror->ZeroAll();
    ShowVoltages();
}

void TMirrorDisplayFrame::ApplySetAll() {
    if (!HasValidMirror())
        return;
    Mirror->SetAllActuators(SetAllFloatEdit->GetValue());
    ShowVoltages();
}

void TMirrorDisplayFrame::ApplyStepEdit() {
    if (!HasValidMirror())
        return;
    const double step = StepSizeFloatEdit->GetValue();
    ApplyStep(step);
    Mirror->SetStepSize(step);
}

void TMirrorDisplayFrame::PatternEditButtonClick() {
    if (!PatternForm)
        return;
    PatternForm->SetActiveMirror(HasValidMirror() ? Mirror : nullptr);
    PatternForm->ShowBrowser();
}

void TMirrorDisplayFrame::ShowControlButtonClick() {
    ShowControlButton->setChecked(true);
    ShowControls(ShowControlButton->isChecked());
}

void TMirrorDisplayFrame::HideControlButtonClick() {
    HideControlButton->setChecked(true);
    ShowControls(ShowControlButton->isChecked());
}

void TMirrorDisplayFrame::ShowMirrorCaption() {
    MirrorLabel->setText(
        MirrorLabel->fontMetrics().elidedText(MirrorCaption, Qt::ElideRight, MirrorLabel->width()));
    MirrorLabel->setToolTip(MirrorCaption);
}

bool TMirrorDisplayFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == MirrorLabel && event->type() == QEvent::Resize)
        ShowMirrorCaption();
    if (watched == BottomControlPanel && event->type() == QEvent::Resize)
        StepSizeEditPanel->setFixedWidth(
            std::max(0, (BottomControlPanel->width() - ZeroAllButonPanel->width()) / 2));
    return QWidget::eventFilter(watched, event);
}

} // namespace ostrander

#include "Shared_Software/Frames/MirrorDisplayFrame.h"

#include "driver/VoltageLimits.h"

#include "Shared_Software/Frames/EditFrameRules.h"
#include "Shared_Software/Frames/FrameLayout.h"
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
#include <QHelpEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace ostrander {

namespace {

// A panel of fixed width (none for 0) holding one child that fills it; the
// child is made with `args` and the panel as its parent.
template <typename Child, typename... Args>
Child* InHolder(QWidget* parent, QWidget*& panel, int width, Args&&... args) {
    panel = new QWidget(parent);
    if (width > 0)
        panel->setFixedWidth(width);
    Row(panel);
    auto* child = new Child(std::forward<Args>(args)..., panel);
    panel->layout()->addWidget(child);
    return child;
}

// A panel filled by a paint box.
PaintBox* PaintBoxPanel(QWidget* parent, QWidget*& panel) {
    panel = new QWidget(parent);
    auto* box = new PaintBox(panel);
    Row(panel)->addWidget(box);
    return box;
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
    ui_.MainSplitter = new QSplitter(Qt::Vertical, this);
    ui_.MainSplitter->setHandleWidth(3);
    ui_.MainSplitter->setChildrenCollapsible(false);
    outer->addWidget(ui_.MainSplitter);

    BuildControlPanel();
    BuildDisplayPanels();
    BuildPopupMenu();
    ConnectPaintBoxes();
    ConnectControls();
}

// Control panel: three rows of 30 pixels, hidden until asked for.
void TMirrorDisplayFrame::BuildControlPanel() {
    ui_.ControlPanel = new QWidget(ui_.MainSplitter);
    ui_.ControlPanel->setFixedHeight(92);
    auto* rows = new QVBoxLayout(ui_.ControlPanel);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(1);
    BuildTopControlRow();
    BuildMiddleControlRow();
    BuildBottomControlRow();
    rows->addWidget(ui_.TopControlPanel);
    rows->addWidget(ui_.MiddleControlPanel);
    rows->addWidget(ui_.BottomControlPanel);
    ui_.ControlPanel->hide();
}

// The channel, the mirror's caption and the pattern library button.
void TMirrorDisplayFrame::BuildTopControlRow() {
    ui_.TopControlPanel = new QWidget(ui_.ControlPanel);
    ui_.TopControlPanel->setFixedHeight(30);
    auto* top = Row(ui_.TopControlPanel);
    ui_.ChannelIntegerEdit = new TIntegerEditFrame(ui_.TopControlPanel);
    ui_.ChannelIntegerEdit->setFixedWidth(92);
    ui_.ChannelIntegerEdit->SetCaptions(" Channel  ", "");
    ui_.MirrorLabelPanel = new QFrame(ui_.TopControlPanel);
    ui_.MirrorLabelPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ui_.MirrorLabelPanel->setLineWidth(2);
    ui_.MirrorLabel = new QLabel(ui_.MirrorLabelPanel);
    ui_.MirrorLabel->setAlignment(Qt::AlignCenter);
    // A long mirror name is shortened with "..." rather than widening the frame.
    ui_.MirrorLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    ui_.MirrorLabel->installEventFilter(this);
    Row(ui_.MirrorLabelPanel)->addWidget(ui_.MirrorLabel);
    ui_.PatternEditButton = InHolder<QPushButton>(ui_.TopControlPanel, ui_.PatternEditButtonPanel,
                                                  75, "&Pattern Library");
    // 75 pixels, or what the caption needs in the installed font.
    ui_.PatternEditButtonPanel->setFixedWidth(std::max(75, ui_.PatternEditButton->sizeHint().width()));
    top->addWidget(ui_.ChannelIntegerEdit);
    top->addWidget(ui_.MirrorLabelPanel, 1);
    top->addWidget(ui_.PatternEditButtonPanel);
}

// The current channel's voltage.
void TMirrorDisplayFrame::BuildMiddleControlRow() {
    ui_.MiddleControlPanel = new QWidget(ui_.ControlPanel);
    ui_.MiddleControlPanel->setFixedHeight(30);
    ui_.VoltageFloatBar = new TFloatBarFrame(ui_.MiddleControlPanel);
    ui_.VoltageFloatBar->SetCaptions(" Voltage", "");
    Row(ui_.MiddleControlPanel)->addWidget(ui_.VoltageFloatBar);
}

// Zero All, the step and Set All.
void TMirrorDisplayFrame::BuildBottomControlRow() {
    ui_.BottomControlPanel = new QWidget(ui_.ControlPanel);
    ui_.BottomControlPanel->setFixedHeight(30);
    auto* bottom = Row(ui_.BottomControlPanel);
    ui_.ZeroAllButon =
        InHolder<QPushButton>(ui_.BottomControlPanel, ui_.ZeroAllButonPanel, 60, "&Zero All");
    ui_.StepSizeFloatEdit =
        InHolder<TFloatEditFrame>(ui_.BottomControlPanel, ui_.StepSizeEditPanel, 80);
    ui_.StepSizeFloatEdit->SetCaptions(" Step = ", "");
    ui_.SetAllFloatEdit = InHolder<TFloatEditFrame>(ui_.BottomControlPanel, ui_.SetAllEditPanel, 0);
    ui_.SetAllEditPanel->setMinimumWidth(90);
    ui_.SetAllFloatEdit->SetCaptions(" Set All =  ", "");
    bottom->addWidget(ui_.ZeroAllButonPanel);
    bottom->addWidget(ui_.StepSizeEditPanel);
    bottom->addWidget(ui_.SetAllEditPanel, 1);
    ui_.BottomControlPanel->installEventFilter(this);
}

// The map with the auxiliary box on its left, and the legend below.
void TMirrorDisplayFrame::BuildDisplayPanels() {
    ui_.DisplayPanel = new QWidget(ui_.MainSplitter);
    ui_.AuxilarySplitter = new QSplitter(Qt::Horizontal, ui_.DisplayPanel);
    ui_.AuxilarySplitter->setHandleWidth(3);
    ui_.AuxilarySplitter->setChildrenCollapsible(false);
    Row(ui_.DisplayPanel)->addWidget(ui_.AuxilarySplitter);
    ui_.AuxilaryPaintBox = PaintBoxPanel(ui_.AuxilarySplitter, ui_.AuxilaryPanel);
    ui_.AuxilaryPanel->setMinimumWidth(25);
    ui_.MirrorPaintBox = PaintBoxPanel(ui_.AuxilarySplitter, ui_.MirrorPanel);
    ui_.AuxilarySplitter->setStretchFactor(0, 0);
    ui_.AuxilarySplitter->setStretchFactor(1, 1);
    ui_.AuxilarySplitter->setSizes({40, 229});

    ui_.LegendPaintBox = PaintBoxPanel(ui_.MainSplitter, ui_.LegendPanel);
    ui_.LegendPanel->setFixedHeight(17);

    ui_.MainSplitter->setStretchFactor(0, 0);
    ui_.MainSplitter->setStretchFactor(1, 1);
    ui_.MainSplitter->setStretchFactor(2, 0);
}

// Pop-up menu of the legend: show or hide the control panel.
void TMirrorDisplayFrame::BuildPopupMenu() {
    ui_.MirrorDisplayFramePopupMenu = new QMenu(this);
    auto* group = new QActionGroup(this);
    group->setExclusive(true);
    ui_.ShowControlButton = ui_.MirrorDisplayFramePopupMenu->addAction("Show Control Panel");
    ui_.HideControlButton = ui_.MirrorDisplayFramePopupMenu->addAction("Hide Control Panel");
    for (QAction* a : {ui_.ShowControlButton, ui_.HideControlButton}) {
        a->setCheckable(true);
        group->addAction(a);
    }
    ui_.HideControlButton->setChecked(true);
    ui_.LegendPanel->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui_.LegendPanel, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        ui_.MirrorDisplayFramePopupMenu->popup(ui_.LegendPanel->mapToGlobal(p));
    });
    connect(ui_.ShowControlButton, &QAction::triggered, this, [this] { ShowControlButtonClick(); });
    connect(ui_.HideControlButton, &QAction::triggered, this, [this] { HideControlButtonClick(); });
}

// The boxes keep their pictures; a paint event draws the present voltages.
void TMirrorDisplayFrame::ConnectPaintBoxes() {
    ui_.MirrorPaintBox->onPaint = [this] {
        InsidePaint scope(insidePaint_);
        PaintMap();
    };
    ui_.AuxilaryPaintBox->onPaint = ui_.MirrorPaintBox->onPaint;
    ui_.LegendPaintBox->onPaint = [this] { PaintLegend(); };
    ui_.MirrorPaintBox->installEventFilter(this);
    ui_.AuxilaryPaintBox->installEventFilter(this);
    ui_.MirrorPaintBox->onResize = [this] { Relayout(); };
    ui_.AuxilaryPaintBox->onResize = [this] { Relayout(); };
    ui_.LegendPaintBox->onResize = [this] { PaintLegend(); };
    connect(ui_.MirrorPaintBox, &PaintBox::mouseReleased, this,
            [this](int x, int y, Qt::MouseButton b, Qt::KeyboardModifiers) {
                MirrorPaintBoxMouseUp(b, x, y);
            });
    connect(ui_.AuxilaryPaintBox, &PaintBox::mouseReleased, this,
            [this](int x, int y, Qt::MouseButton b, Qt::KeyboardModifiers) {
                AuxilaryPaintBoxMouseUp(b, x, y);
            });
}

// Control panel events, after each edit frame has taken its entry over
// (Enter or leaving the box, not every key: a half-typed number must not
// reset every actuator to the previous Set All value).
void TMirrorDisplayFrame::ConnectControls() {
    connect(ui_.ChannelIntegerEdit, &NumericEditFrame::valueCommitted, this, [this] {
        if (HasValidMirror())
            SelectChannel(ui_.ChannelIntegerEdit->GetValue());
    });
    connect(ui_.VoltageFloatBar, &NumericEditFrame::valueCommitted, this,
            [this] { ApplyVoltageBar(); });
    connect(ui_.SetAllFloatEdit, &NumericEditFrame::valueCommitted, this, [this] { ApplySetAll(); });
    connect(ui_.StepSizeFloatEdit, &NumericEditFrame::valueCommitted, this,
            [this] { ApplyStepEdit(); });

    connect(ui_.ZeroAllButon, &QPushButton::clicked, this, [this] { ZeroAllButonClick(); });
    connect(ui_.PatternEditButton, &QPushButton::clicked, this, [this] { PatternEditButtonClick(); });
}

TMirrorDisplayFrame::~TMirrorDisplayFrame() = default;

bool TMirrorDisplayFrame::HasValidMirror() const {
    return Mirror && Mirror->IsValid();
}

bool TMirrorDisplayFrame::SetMirror(MirrorClass* mirror) {
    if (!mirror) {
        Display.reset();
        paintedMap_.clear();
        Mirror = nullptr;
        // Show an empty map rather than the last mirror's.
        for (PaintBox* box : {ui_.MirrorPaintBox, ui_.AuxilaryPaintBox})
            box->Canvas().Resize(box->width(), box->height());
        ShowBoxes();
        return false;
    }
    if (!mirror->IsValid())
        return false;
    Mirror = mirror;
    Display.reset();
    paintedMap_.clear();
    DriverClass* driver = Mirror->GetDriver();
    {
        WriteLock lock(Mirror->GetLock());
        Display = std::make_unique<MirrorDisplayClass>(
            ui_.MirrorPaintBox->Canvas(), ui_.AuxilaryPaintBox->Canvas(), ui_.LegendPaintBox->Canvas(),
            Mirror->GetInfo()->Model.get(),
            driver->GetMinVoltage(), driver->GetMaxVoltage());
    }
    LastWidth = ui_.MirrorPaintBox->Canvas().Width();
    LastHeight = ui_.MirrorPaintBox->Canvas().Height();
    UpdateLimits();
    ui_.ChannelIntegerEdit->SetWrap(true);
    ui_.ChannelIntegerEdit->SetValue(ui_.ChannelIntegerEdit->GetMaximum());
    ui_.SetAllFloatEdit->SetWrap(false);
    SelectChannel(ui_.ChannelIntegerEdit->GetMaximum());
    if (preferredStep_)
        Mirror->SetStepSize(std::clamp(*preferredStep_, 0.0, Mirror->GetMaxVoltage()));
    ApplyStep(Mirror->GetStepSize());
    // "Device | driver", or the device alone when the driver has no name
    // (no dangling bar).
    const std::string driverName = driver->GetName();
    MirrorCaption = QString::fromStdString(Mirror->GetInfo()->DeviceName +
                                           (driverName.empty() ? "" : " | " + driverName));
    ShowMirrorCaption();
    ShowBoxes();
    return true;
}

void TMirrorDisplayFrame::ShowBoxes() {
    if (insidePaint_)
        return;
    ui_.MirrorPaintBox->update();
    ui_.AuxilaryPaintBox->update();
    ui_.LegendPaintBox->update();
}

bool TMirrorDisplayFrame::PaintMap() {
    if (!HasValidMirror())
        return false;
    if (!Display)
        return true;
    const int w = ui_.MirrorPaintBox->Canvas().Width(), h = ui_.MirrorPaintBox->Canvas().Height();
    if (w != LastWidth || h != LastHeight) {
        LastWidth = w;
        LastHeight = h;
        Relayout();
    }
    // A hidden map is drawn when it is shown again.
    if (!ui_.MirrorPaintBox->isVisible())
        return true;
    WriteLock lock(Mirror->GetLock());
    std::string state = MapState();
    if (state == paintedMap_)
        return true;
    Display->Paint(true);
    paintedMap_ = std::move(state);
    return true;
}

std::string TMirrorDisplayFrame::MapState() const {
    std::string state;
    for (PaintBox* box : {ui_.MirrorPaintBox, ui_.AuxilaryPaintBox}) {
        const ImageCanvas& c = box->Canvas();
        state += std::to_string(c.Width()) + 'x' + std::to_string(c.Height()) + '@' +
                 std::to_string(c.PixelRatio()) + ';';
    }
    for (const ActuatorDisplayClass* a = Display->ListOfActuators.first; a; a = a->next) {
        if (a->VoltageText)
            state += *a->VoltageText;
        state += '\0' + std::to_string(a->Colour ? *a->Colour : -1) + ';';
    }
    return state;
}

bool TMirrorDisplayFrame::Refresh() {
    const bool result = PaintMap();
    // The voltage box follows what the mirror holds (others set voltages
    // too: a pattern, the floor rule), unless the user is typing in it.
    if (HasValidMirror() && ui_.VoltageFloatBar->EditColour() != PendingEditColour)
        ui_.VoltageFloatBar->SetValue(Mirror->GetVoltage(CurrentChannel));
    ShowBoxes();
    return result;
}

bool TMirrorDisplayFrame::Relayout() {
    if (!Mirror)
        return false;
    if (!Mirror->IsValid())
        return true;
    DriverClass* driver = Mirror->GetDriver();
    paintedMap_.clear();
    if (Display) {
        WriteLock lock(Mirror->GetLock());
        Display->Layout(Mirror->GetInfo()->Model.get(), driver->GetMinVoltage(),
                        driver->GetMaxVoltage());
    }
    DrawVoltageLegend(ui_.LegendPaintBox->Canvas(), driver->GetMinVoltage(), driver->GetMaxVoltage());
    ShowBoxes();
    return true;
}

void TMirrorDisplayFrame::PaintLegend() {
    if (!HasValidMirror() || !Mirror->GetDriver())
        return;
    DriverClass* driver = Mirror->GetDriver();
    DrawVoltageLegend(ui_.LegendPaintBox->Canvas(), driver->GetMinVoltage(), driver->GetMaxVoltage());
}

void TMirrorDisplayFrame::UpdateLimits() {
    if (!HasValidMirror())
        return;
    const double limit = Mirror->GetLimitVoltage(), highest = Mirror->GetMaxVoltage();
    ui_.SetAllFloatEdit->SetMinimum(0);
    ui_.SetAllFloatEdit->SetMaximum(limit);
    ui_.StepSizeFloatEdit->SetMinimum(0);
    ui_.StepSizeFloatEdit->SetMaximum(highest);
    ui_.ChannelIntegerEdit->SetMinimum(1);
    ui_.ChannelIntegerEdit->SetMaximum(Mirror->GetActuatorCount());
    // The membrane's own electrode is held to the limit; compare channels,
    // not a display number with a channel.
    const DmActuatorInfoClass* current =
        Mirror->GetInfo()->Model->FindByDisplayIndex(CurrentChannel);
    const bool surface = current && current->Channel == Mirror->GetSurfaceChannel();
    ui_.VoltageFloatBar->SetMinimum(0);
    ui_.VoltageFloatBar->SetMaximum(surface ? limit : highest);
    // Values chosen for an earlier mirror are brought within this one's limits.
    ui_.SetAllFloatEdit->SetValue(std::clamp(ui_.SetAllFloatEdit->GetValue(), 0.0, limit));
    ui_.StepSizeFloatEdit->SetValue(std::clamp(ui_.StepSizeFloatEdit->GetValue(), 0.0, highest));
}

void TMirrorDisplayFrame::ApplyStep(double step) {
    if (!HasValidMirror())
        return;
    Step = step;
    ui_.StepSizeFloatEdit->SetMinimum(0);
    ui_.StepSizeFloatEdit->SetMaximum(Mirror->GetMaxVoltage());
    ui_.StepSizeFloatEdit->SetWrap(true);
    ui_.StepSizeFloatEdit->SetStep(1.0);
    ui_.StepSizeFloatEdit->SetValue(step);
}

void TMirrorDisplayFrame::SelectChannel(int n) {
    if (!HasValidMirror())
        return;
    CurrentChannel = n;
    ui_.ChannelIntegerEdit->SetValue(n);
    ui_.VoltageFloatBar->SetMinimum(0);
    ui_.VoltageFloatBar->SetMaximum(Mirror->GetModelActuators() < n ? Mirror->GetLimitVoltage()
                                                                : Mirror->GetMaxVoltage());
    ui_.VoltageFloatBar->SetWrap(false);
    ui_.VoltageFloatBar->SetValue(Mirror->GetVoltage(n));
}

void TMirrorDisplayFrame::ShowControls(bool flag) {
    ui_.ControlPanel->setVisible(flag);
    (flag ? ui_.ShowControlButton : ui_.HideControlButton)->setChecked(true);
}

void TMirrorDisplayFrame::SetPatternForm(PatternBrowserInterface* form) {
    PatternForm = form;
    ui_.PatternEditButtonPanel->setVisible(true);
}

void TMirrorDisplayFrame::ClickActuator(int displayIndex, Qt::MouseButton button) {
    const double v = Mirror->GetVoltage(displayIndex);
    double requested = 0;
    if (button == Qt::LeftButton)
        requested = v + Step;
    else if (button == Qt::RightButton)
        requested = v - Step;
    emit voltagesAboutToChange(QString("Pad %1").arg(displayIndex), displayIndex);
    Mirror->SetVoltageAndSend(displayIndex, requested);
    Refresh();
    SelectChannel(displayIndex);
    emit voltagesChanged();
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
    ui_.VoltageFloatBar->SetValue(Mirror->GetVoltage(CurrentChannel));
    Refresh();
    emit voltagesChanged();
}

void TMirrorDisplayFrame::ApplyVoltageBar() {
    if (!HasValidMirror())
        return;
    emit voltagesAboutToChange(QString("Pad %1 Voltage").arg(CurrentChannel), 0);
    Mirror->SetVoltageAndSend(CurrentChannel, ui_.VoltageFloatBar->GetValue());
    ShowVoltages();
}

void TMirrorDisplayFrame::ZeroAllButonClick() {
    if (!HasValidMirror())
        return;
    emit voltagesAboutToChange("Zero All", 0);
    Mirror->ZeroAll();
    ShowVoltages();
}

void TMirrorDisplayFrame::ApplySetAll() {
    if (!HasValidMirror())
        return;
    emit voltagesAboutToChange("Set All", 0);
    Mirror->SetAllActuators(ui_.SetAllFloatEdit->GetValue());
    ShowVoltages();
}

void TMirrorDisplayFrame::ApplyStepEdit() {
    if (!HasValidMirror())
        return;
    const double step = ui_.StepSizeFloatEdit->GetValue();
    ApplyStep(step);
    Mirror->SetStepSize(step);
    preferredStep_ = step;
}

void TMirrorDisplayFrame::SetPreferredStep(double volts) {
    if (!std::isfinite(volts) || volts < 0)
        return;
    preferredStep_ = volts;
    if (HasValidMirror()) {
        Mirror->SetStepSize(std::clamp(volts, 0.0, Mirror->GetMaxVoltage()));
        ApplyStep(Mirror->GetStepSize());
    } else {
        Step = volts;
        ui_.StepSizeFloatEdit->SetMaximum(kCeilingVoltage);
        ui_.StepSizeFloatEdit->SetValue(std::min(volts, kCeilingVoltage));
    }
}

double TMirrorDisplayFrame::GetSetAllValue() const {
    return ui_.SetAllFloatEdit->GetValue();
}

void TMirrorDisplayFrame::SetSetAllValue(double volts) {
    if (!std::isfinite(volts))
        return;
    // Without a mirror the box takes anything up to the driver's ceiling; a
    // mirror set later brings it within its own limit.
    if (!HasValidMirror()) {
        ui_.SetAllFloatEdit->SetMaximum(kCeilingVoltage);
        ui_.SetAllFloatEdit->SetWrap(false);
    }
    ui_.SetAllFloatEdit->SetValue(
        std::clamp(volts, ui_.SetAllFloatEdit->GetMinimum(), ui_.SetAllFloatEdit->GetMaximum()));
}

void TMirrorDisplayFrame::PatternEditButtonClick() {
    if (!PatternForm)
        return;
    PatternForm->SetActiveMirror(HasValidMirror() ? Mirror : nullptr);
    PatternForm->ShowBrowser();
}

void TMirrorDisplayFrame::ShowControlButtonClick() {
    ui_.ShowControlButton->setChecked(true);
    ShowControls(ui_.ShowControlButton->isChecked());
}

void TMirrorDisplayFrame::HideControlButtonClick() {
    ui_.HideControlButton->setChecked(true);
    ShowControls(ui_.ShowControlButton->isChecked());
}

void TMirrorDisplayFrame::ShowMirrorCaption() {
    ui_.MirrorLabel->setText(
        ui_.MirrorLabel->fontMetrics().elidedText(MirrorCaption, Qt::ElideRight, ui_.MirrorLabel->width()));
    ui_.MirrorLabel->setToolTip(MirrorCaption);
}

QString TMirrorDisplayFrame::PadToolTip(int x, int y, bool auxiliary) const {
    if (!HasValidMirror() || !Display)
        return {};
    const ActuatorDisplayClass* pad =
        auxiliary ? Display->FindNearestAuxiliary(x, y) : Display->FindAt(x, y);
    if (!pad)
        return {};
    const DmActuatorInfoClass* info =
        Mirror->GetInfo()->Model->FindByDisplayIndex(pad->DisplayIndex);
    QString text = QString("Pad %1").arg(pad->DisplayIndex);
    if (info)
        text += QString(", channel %1").arg(info->Channel);
    return text + QString(": %1 V").arg(Mirror->GetVoltage(pad->DisplayIndex), 0, 'f', 1);
}

bool TMirrorDisplayFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip &&
        (watched == ui_.MirrorPaintBox || watched == ui_.AuxilaryPaintBox)) {
        auto* help = static_cast<QHelpEvent*>(event);
        auto* box = static_cast<PaintBox*>(watched);
        const QPoint at = help->pos() - box->CanvasRect().topLeft();
        const QString tip = PadToolTip(at.x(), at.y(), watched == ui_.AuxilaryPaintBox);
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, box);
        return true;
    }
    if (watched == ui_.MirrorLabel && event->type() == QEvent::Resize)
        ShowMirrorCaption();
    if (watched == ui_.BottomControlPanel && event->type() == QEvent::Resize)
        ui_.StepSizeEditPanel->setFixedWidth(
            std::max(0, (ui_.BottomControlPanel->width() - ui_.ZeroAllButonPanel->width()) / 2));
    return QWidget::eventFilter(watched, event);
}

} // namespace ostrander

// The turbulence correction window; see TurbulenceForm.h.
#include "forms/TurbulenceForm.h"

#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "model/EngineSession.h"
#include "model/PhaseScreen.h"
#include "model/pictures/AnalysisPictures.h"
#include "toolkit/qt/PaintBox.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>

namespace ostrander {

namespace {

constexpr const char* kApplyWhat = "Apply Turbulence Fit";

std::string Figure(const char* format, double value) {
    char text[48];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The screen's figures for the line under the maps.
std::string ScreenText(const ScreenCorrection& c, uint64_t seed) {
    std::string text = "Screen " + std::to_string(c.screen + 1) + " at D/r0 = " +
                       Figure("%g", c.dOverR0) + ", seed " + std::to_string(seed) + ": W " +
                       Figure("%.1f", c.inputRms * 1e9) + " nm RMS, residual " +
                       Figure("%.1f", c.residualRms * 1e9) + " nm RMS, Strehl " +
                       Figure("%.3f", c.strehl) + " (Marechal " + Figure("%.3f", c.marechal) + ")";
    if (c.padsAtBounds > 0)
        text += ", " + std::to_string(c.padsAtBounds) + " pads at a bound";
    if (c.meanRuleActive)
        text += ", mean-voltage limit reached";
    if (!std::isnan(c.pullInFactor))
        text += ", pull-in factor " + Figure("%.2f", c.pullInFactor);
    if (c.snapDown)
        text += ", snap-down";
    text += c.saturated ? "; saturated" : "; not saturated";
    if (c.volts.empty())
        text += " (no fit: nothing to apply)";
    return text;
}

// The grid less its mean over the beam.
std::vector<double> PistonRemoved(const std::vector<double>& values, const EngineGrid& g) {
    std::vector<double> out = values;
    double sum = 0.0;
    std::size_t count = 0;
    for (int i = 0; i < g.n; ++i)
        for (int j = 0; j < g.n; ++j)
            if (g.InBeam(i, j)) {
                sum += values[g.Index(i, j)];
                ++count;
            }
    if (count > 0)
        for (double& v : out)
            v -= sum / static_cast<double>(count);
    return out;
}

void DrawHint(PaintBox* box, const std::string& text) {
    Canvas& c = box->Canvas();
    c.SetBrushStyle(BrushStyle::Solid);
    c.SetBrushColor(clWhite);
    c.FillRect({0, 0, c.Width(), c.Height()});
    c.SetBrushStyle(BrushStyle::Clear);
    c.SetFontColor(clGray);
    c.TextOut(8, 8, text);
    box->update();
}

} // namespace

// The thread and what it works on. Only the thread touches the study once
// it runs; requests and the stop go through the mutex and the flag.
struct TTurbulenceForm::Runner {
    struct ScreenRequest {
        uint64_t seed = 1;
        double dOverR0 = 1.0;
        int index = 0;
    };

    std::unique_ptr<TurbulenceStudy> study;
    EngineGrid grid;
    uint64_t generation = 0;
    std::atomic<bool> cancel{false};
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<ScreenRequest> requests;
    bool stepping = false;
    std::thread thread;

    ~Runner() {
        Stop();
        if (thread.joinable())
            thread.join();
    }
    void Stop() {
        {
            std::lock_guard lock(mutex);
            cancel = true;
        }
        wake.notify_all();
    }
    void Ask(const ScreenRequest& request) {
        {
            std::lock_guard lock(mutex);
            requests.push_back(request);
        }
        wake.notify_all();
    }

    // The thread: the bias search, then screens asked for first and the
    // study's screens between them, until stopped. Answers go to the form's
    // thread as queued calls; the form outlives the thread (it joins it).
    void Run(TTurbulenceForm* form) {
        const CancelCheck cancelled = [this] { return cancel.load(); };
        const auto post = [form](auto call) {
            QMetaObject::invokeMethod(form, std::move(call), Qt::QueuedConnection);
        };
        const uint64_t gen = generation;
        TurbulenceStudy& s = *study;
        const TurbulenceStudy::Status prepared = s.Prepare(cancelled);
        post([form, gen, prepared, problem = s.Problem(), bias = s.Bias()] {
            form->Prepared(gen, prepared, problem, bias);
        });
        std::optional<PhaseScreenGenerator> generator;
        uint64_t generatorSeed = 0;
        int generated = 0;
        while (prepared == TurbulenceStudy::Status::Ready) {
            std::optional<ScreenRequest> request;
            bool step = false;
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [&] {
                    return cancel.load() || !requests.empty() ||
                           (stepping && s.GetStatus() == TurbulenceStudy::Status::Ready);
                });
                if (cancel.load())
                    break;
                if (!requests.empty()) {
                    request = requests.front();
                    requests.pop_front();
                }
                step = stepping && s.GetStatus() == TurbulenceStudy::Status::Ready;
            }
            if (request) {
                // Screen k of the seed, scaled to the D/r0 as the study scales
                // its screens: the study's own screen k at that D/r0.
                if (!generator || generatorSeed != request->seed || request->index < generated) {
                    PhaseScreenSettings settings;
                    settings.n = grid.n;
                    settings.dx = grid.dx;
                    settings.r0 = s.BeamDiameter();
                    settings.wavelength = s.Settings().wavelength;
                    settings.outerScale = s.Settings().outerScale;
                    generator.emplace(settings, request->seed);
                    generatorSeed = request->seed;
                    generated = 0;
                }
                std::vector<double> base;
                while (generated <= request->index) {
                    base = generator->Next();
                    ++generated;
                }
                const double scale = std::pow(request->dOverR0, 5.0 / 6.0);
                for (double& v : base)
                    v *= scale;
                std::optional<ScreenCorrection> c = s.CorrectWavefront(base, cancelled);
                if (!c)
                    break;
                c->dOverR0 = request->dOverR0;
                c->screen = request->index;
                post([form, gen, c = std::move(*c)]() mutable { form->ScreenReady(gen, std::move(c)); });
                continue;
            }
            if (step) {
                if (!s.Step(cancelled))
                    break;
                post([form, gen, done = s.Done(), total = s.TotalScreens(), points = s.Points()]() mutable {
                    form->Stepped(gen, done, total, std::move(points));
                });
                if (s.GetStatus() == TurbulenceStudy::Status::Finished)
                    post([form, gen, fitting = s.FittingCoefficient()] {
                        form->Ended(gen, TurbulenceStudy::Status::Finished, fitting);
                    });
            }
        }
        const TurbulenceStudy::Status last = s.GetStatus();
        post([form, gen, last, self = this] {
            if (last != TurbulenceStudy::Status::Finished)
                form->Ended(gen, last == TurbulenceStudy::Status::Ready ? TurbulenceStudy::Status::Cancelled
                                                                        : last,
                            std::nullopt);
            // The thread is past its last use of the runner: it can be joined.
            auto& list = form->stopping_;
            for (auto it = list.begin(); it != list.end(); ++it)
                if (it->get() == self) {
                    list.erase(it);
                    break;
                }
        });
    }
};

TTurbulenceForm::TTurbulenceForm(EngineSession& session, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session) {
    setObjectName("TurbulenceForm");
    setWindowTitle("Correct Turbulence");
    run_.mirrors.emplace_back();

    auto* column = new QVBoxLayout(this);
    auto* controls = new QGridLayout();
    column->addLayout(controls);
    DOverR0ListEdit = new QLineEdit("1, 2, 4, 8, 16", this);
    DOverR0ListEdit->setToolTip("The D/r0 values of the study (D the beam diameter), "
                                "separated by commas or spaces");
    ScreensSpin = new QSpinBox(this);
    ScreensSpin->setRange(1, 10000);
    ScreensSpin->setValue(20);
    SeedSpin = new QSpinBox(this);
    SeedSpin->setRange(1, 2147483647);
    SeedSpin->setValue(1);
    SeedSpin->setToolTip("The random screens' seed: the same seed gives the same screens");
    StartButton = new QPushButton("Start Study", this);
    DOverR0Spin = new QDoubleSpinBox(this);
    DOverR0Spin->setRange(0.1, 1000);
    DOverR0Spin->setDecimals(2);
    DOverR0Spin->setValue(8);
    DOverR0Spin->setToolTip("D/r0 of the screens Next Screen shows");
    NextScreenButton = new QPushButton("Next Screen", this);
    ApplyButton = new QPushButton("Apply", this);
    ApplyButton->setToolTip("Sets the shown screen's fitted voltages on the mirror (Undo takes "
                            "them back)");
    ApplyButton->setEnabled(false);
    controls->addWidget(new QLabel("Study D/r0:", this), 0, 0);
    controls->addWidget(DOverR0ListEdit, 0, 1);
    controls->addWidget(new QLabel("Screens per D/r0:", this), 0, 2);
    controls->addWidget(ScreensSpin, 0, 3);
    controls->addWidget(new QLabel("Seed:", this), 0, 4);
    controls->addWidget(SeedSpin, 0, 5);
    controls->addWidget(StartButton, 0, 6);
    controls->addWidget(new QLabel("Screen D/r0:", this), 1, 0);
    controls->addWidget(DOverR0Spin, 1, 1);
    controls->addWidget(NextScreenButton, 1, 2, 1, 2);
    controls->addWidget(ApplyButton, 1, 6);
    controls->setColumnStretch(1, 1);

    ConventionLabel = new QLabel(QString("Convention: ") + kTurbulenceConvention + ".", this);
    ConventionLabel->setWordWrap(true);
    ConventionLabel->setToolTip(kTurbulenceConvention);
    ConventionLabel->setStyleSheet("QLabel { color: #505050; }");
    column->addWidget(ConventionLabel);

    auto* maps = new QHBoxLayout();
    for (PaintBox** box : {&WavefrontMap, &SurfaceMap, &ResidualMap}) {
        *box = new PaintBox(this);
        (*box)->setMinimumSize(220, 190);
        (*box)->onResize = [this] { DrawMaps(); };
        maps->addWidget(*box, 1);
    }
    column->addLayout(maps, 3);
    ScreenLabel = new QLabel(this);
    ScreenLabel->setWordWrap(true);
    column->addWidget(ScreenLabel);
    StrehlPlot = new PaintBox(this);
    StrehlPlot->setMinimumSize(400, 260);
    StrehlPlot->onResize = [this] { DrawPlot(); };
    column->addWidget(StrehlPlot, 4);
    StudyLabel = new QLabel(this);
    StudyLabel->setWordWrap(true);
    column->addWidget(StudyLabel);

    connect(StartButton, &QPushButton::clicked, this, [this] { StartClick(); });
    connect(NextScreenButton, &QPushButton::clicked, this, [this] { NextScreenClick(); });
    connect(ApplyButton, &QPushButton::clicked, this, [this] { ApplyClick(); });
    readyTimer_ = new QTimer(this);
    readyTimer_->setInterval(500);
    connect(readyTimer_, &QTimer::timeout, this, [this] { UpdateState(); });
    resize(980, 860);
}

TTurbulenceForm::~TTurbulenceForm() {
    // Each runner's destructor stops and joins its thread; answers it
    // posted are dropped with this window.
    runner_.reset();
    stopping_.clear();
}

std::optional<std::vector<double>> TTurbulenceForm::ParseDOverR0List(const QString& text) {
    std::vector<double> values;
    for (const QString& part : text.split(QRegularExpression("[,;\\s]+"), Qt::SkipEmptyParts)) {
        bool ok = false;
        const double v = part.toDouble(&ok);
        if (!ok || !std::isfinite(v) || v <= 0)
            return std::nullopt;
        values.push_back(v);
    }
    if (values.empty())
        return std::nullopt;
    return values;
}

bool TTurbulenceForm::Working() const {
    return runner_ && (stepping_ || screenWaiting_);
}

void TTurbulenceForm::Cancel() {
    if (runner_) {
        runner_->Stop();
        stopping_.push_back(std::move(runner_));
    }
    ++generation_;
    if (stepping_ || screenWaiting_)
        StudyLabel->setText(stepping_ ? "Study stopped." : "Stopped.");
    const bool wasStepping = stepping_;
    stepping_ = false;
    screenWaiting_ = false;
    SetStartText();
    UpdateState();
    if (wasStepping)
        emit studyEnded();
}

void TTurbulenceForm::MirrorReleased() {
    Cancel();
    shown_.reset();
    ScreenLabel->clear();
    DrawMaps();
    UpdateState();
}

bool TTurbulenceForm::StartRunner(bool stepping) {
    TurbulenceSettings settings;
    if (stepping) {
        const std::optional<std::vector<double>> list = ParseDOverR0List(DOverR0ListEdit->text());
        if (!list) {
            StudyLabel->setText("The study's D/r0 values must be numbers above 0, separated by "
                                "commas, such as 1, 2, 4, 8, 16.");
            return false;
        }
        settings.dOverR0 = *list;
        settings.screens = ScreensSpin->value();
    } else {
        settings.dOverR0 = {DOverR0Spin->value()};
        settings.screens = 1;
    }
    settings.seed = static_cast<uint64_t>(SeedSpin->value());
    auto runner = std::make_unique<Runner>();
    runner->study = std::make_unique<TurbulenceStudy>(session_, settings);
    const TurbulenceStudy::Status taken = runner->study->TakeMirror();
    const std::optional<EngineGrid> grid = session_.Grid();
    if (taken != TurbulenceStudy::Status::NotPrepared || !grid) {
        StudyLabel->setText(QString::fromStdString("Cannot start: " + runner->study->Problem() + "."));
        return false;
    }
    Cancel();
    runner->grid = *grid;
    runner->generation = ++generation_;
    runner->stepping = stepping;
    grid_ = *grid;
    mirror_ = session_.Snapshot().mirror;
    if (stepping) {
        const TurbulenceStudy& s = *runner->study;
        run_.settings = settings;
        MirrorCorrection m;
        if (const MirrorInfoClass* info = session_.MirrorInfo())
            m.device = info->DeviceName;
        m.model = s.ModelName();
        m.pads = s.Pads();
        m.pitch = s.ActuatorPitch();
        m.diameter = s.BeamDiameter();
        m.grid = *grid;
        run_.mirrors = {m};
        stepping_ = true;
        StudyLabel->setText("Finding the best bias voltage...");
    } else {
        StudyLabel->setText("Finding the best bias voltage for the screens...");
    }
    Runner* r = runner.get();
    runner_ = std::move(runner);
    r->thread = std::thread([r, this] { r->Run(this); });
    SetStartText();
    DrawPlot();
    UpdateState();
    return true;
}

void TTurbulenceForm::StartClick() {
    if (stepping_) {
        Cancel();
        return;
    }
    StartRunner(true);
}

void TTurbulenceForm::NextScreenClick() {
    const uint64_t seed = static_cast<uint64_t>(SeedSpin->value());
    const double d = DOverR0Spin->value();
    if (!runner_ && !StartRunner(false))
        return;
    // Another seed or D/r0 starts again at the first screen.
    if (seed != screenSeed_ || d != screenDOverR0_) {
        screenIndex_ = 0;
        screenSeed_ = seed;
        screenDOverR0_ = d;
    }
    runner_->Ask({seed, d, screenIndex_});
    ++screenIndex_;
    screenWaiting_ = true;
    ScreenLabel->setText("Correcting the next screen...");
    UpdateState();
}

void TTurbulenceForm::ApplyClick() {
    if (!shown_ || shown_->volts.empty())
        return;
    if (!session_.HasMirror() || session_.Snapshot().mirror != mirror_) {
        StudyLabel->setText("The mirror has changed since this screen was fitted: press Next "
                            "Screen for one of this mirror.");
        return;
    }
    // The membrane electrode first, as the fit had it, then the pads.
    const std::vector<double>& volts = shown_->volts;
    VoltageRequest request;
    const int electrode = session_.MembraneElectrode();
    if (electrode >= 1 && electrode <= static_cast<int>(volts.size()))
        request.single.emplace_back(electrode, volts[electrode - 1]);
    for (int k = 1; k <= static_cast<int>(volts.size()); ++k)
        if (k != electrode)
            request.single.emplace_back(k, volts[k - 1]);
    emit voltagesAboutToChange(kApplyWhat);
    const AppliedVoltages applied = session_.ApplyVoltages(request);
    emit voltagesChanged();
    std::string text = "The fitted voltages of screen " + std::to_string(shown_->screen + 1) +
                       " are on the mirror";
    if (!applied.changes.empty())
        text += "; the mirror's rules changed " + std::to_string(applied.changes.size()) + " of them";
    StudyLabel->setText(QString::fromStdString(text + "."));
}

void TTurbulenceForm::Prepared(uint64_t generation, TurbulenceStudy::Status status,
                               const std::string& problem, double bias) {
    if (generation != generation_)
        return;
    if (status != TurbulenceStudy::Status::Ready) {
        StudyLabel->setText(QString::fromStdString("Cannot start: " + problem + "."));
        return;
    }
    if (stepping_) {
        run_.mirrors.front().bias = bias;
        run_.mirrors.front().biasFound = true;
        run_.settings.bias = bias;
        StudyLabel->setText(QString::fromStdString("Bias " + Figure("%.1f", bias) +
                                                   " V; correcting the screens..."));
        DrawPlot();
    } else {
        StudyLabel->setText(QString::fromStdString("Bias " + Figure("%.1f", bias) + " V."));
    }
}

void TTurbulenceForm::Stepped(uint64_t generation, int done, int total,
                              std::vector<TurbulencePoint> points) {
    if (generation != generation_)
        return;
    run_.mirrors.front().points = std::move(points);
    StudyLabel->setText(QString::fromStdString(
        "Bias " + Figure("%.1f", run_.mirrors.front().bias) + " V; " + std::to_string(done) +
        " of " + std::to_string(total) + " screens corrected..."));
    DrawPlot();
}

void TTurbulenceForm::ScreenReady(uint64_t generation, ScreenCorrection screen) {
    if (generation != generation_)
        return;
    screenWaiting_ = false;
    shown_ = std::move(screen);
    ScreenLabel->setText(QString::fromStdString(ScreenText(*shown_, screenSeed_)));
    DrawMaps();
    UpdateState();
    emit screenShown();
}

void TTurbulenceForm::Ended(uint64_t generation, TurbulenceStudy::Status status,
                            std::optional<double> fitting) {
    if (generation != generation_)
        return;
    const bool wasStepping = stepping_;
    stepping_ = false;
    if (status == TurbulenceStudy::Status::Finished) {
        std::string text = "Study finished: " + std::to_string(run_.mirrors.front().points.size()) +
                           " D/r0 values, bias " + Figure("%.1f", run_.mirrors.front().bias) + " V";
        if (fitting)
            text += ", fitting coefficient a_F = " + Figure("%.3f", *fitting);
        StudyLabel->setText(QString::fromStdString(text + "."));
    } else {
        // The thread has ended: a Next Screen starts another.
        if (runner_ && runner_->generation == generation) {
            stopping_.push_back(std::move(runner_));
        }
        screenWaiting_ = false;
    }
    SetStartText();
    UpdateState();
    if (wasStepping)
        emit studyEnded();
}

void TTurbulenceForm::SetStartText() {
    StartButton->setText(stepping_ ? "Stop" : "Start Study");
}

void TTurbulenceForm::UpdateState() {
    const bool ready = session_.HasMirror() && session_.ResultsValid() && !session_.IsRunning();
    StartButton->setEnabled(ready || stepping_);
    NextScreenButton->setEnabled(ready && !screenWaiting_);
    ApplyButton->setEnabled(ready && shown_ && !shown_->volts.empty() &&
                            session_.Snapshot().mirror == mirror_);
    if (!ready && !Working()) {
        StudyLabel->setText(session_.HasMirror()
                                ? "Waiting for the mirror's influence functions..."
                                : "No mirror is loaded: load one first (File > Load Mirror...).");
        readyWaiting_ = true;
    } else if (readyWaiting_) {
        StudyLabel->setText("Ready: Next Screen corrects a screen, Start Study draws the Strehl "
                            "ratio against D/r0.");
        readyWaiting_ = false;
    }
}

void TTurbulenceForm::DrawMaps() {
    if (!shown_ || !shown_->kept || !grid_) {
        for (PaintBox* box : {WavefrontMap, SurfaceMap, ResidualMap})
            DrawHint(box, box == WavefrontMap ? "Next Screen shows a screen here." : "");
        return;
    }
    const KeptScreen& k = *shown_->kept;
    const EngineGrid& g = *grid_;
    const std::vector<double> w = PistonRemoved(k.wavefront, g);
    const std::vector<double> h = PistonRemoved(k.surface, g);
    // One scale for the three, even about zero.
    double peak = 0.0;
    for (const std::vector<double>* values : {&w, &h, &k.residual})
        if (values->size() == g.Points())
            for (int i = 0; i < g.n; ++i)
                for (int j = 0; j < g.n; ++j)
                    if (g.InBeam(i, j))
                        peak = std::max(peak, std::fabs((*values)[g.Index(i, j)]));
    if (!(peak > 0))
        peak = 1e-9;
    const struct {
        PaintBox* box;
        const std::vector<double>* values;
        const char* title;
    } maps[] = {{WavefrontMap, &w, "Screen W (nm, piston removed)"},
                {SurfaceMap, &h, "Mirror surface change h (nm)"},
                {ResidualMap, &k.residual, "Residual W - 2h (nm)"}};
    for (const auto& m : maps) {
        BeamMapInput input;
        input.values = m.values;
        input.grid = g;
        input.low = -peak;
        input.high = peak;
        input.title = m.title;
        DrawBeamMap(m.box->Canvas(), input);
        m.box->update();
    }
}

void TTurbulenceForm::DrawPlot() {
    if (run_.settings.dOverR0.empty()) {
        DrawHint(StrehlPlot, "Start Study draws the Strehl ratio against D/r0 here.");
        return;
    }
    DrawStrehlPlot(StrehlPlot->Canvas(), run_);
    StrehlPlot->update();
}

void TTurbulenceForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    readyWaiting_ = true;
    UpdateState();
    readyTimer_->start();
    DrawMaps();
    DrawPlot();
}

void TTurbulenceForm::hideEvent(QHideEvent* event) {
    readyTimer_->stop();
    // A closed window leaves nothing running.
    Cancel();
    QWidget::hideEvent(event);
}

} // namespace ostrander

// Grid, deflection geometry, pupil tools and far field of the engine. The
// parts that read or set mirror voltages are in DMModelMainRun.cpp.
#include "model/DMModelMain.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "model/ComplexFFT.h"
#include "model/DMModelLocal.h"
#include "model/MainData.h"
#include "model/MembraneModel.h"
#include "model/ModelHost.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace ostrander {

DMModelMain::DMModelMain(MainData& data, DMModelLocal& local, ModelHost& host)
    : data_(data), local_(local), host_(host) {
    data_.Reset();
}

DMInfoClass* DMModelMain::RefreshModel() {
    if (!local_.MirrorInfo || !local_.MirrorInfo->Model)
        return nullptr;
    data_.DmInfo = local_.MirrorInfo->Model.get();
    data_.GridSize = GridSizeFor(*data_.DmInfo);
    return data_.DmInfo;
}

int32_t DMModelMain::GridSizeFor(const DMInfoClass& dm) const {
    const MembraneModelInfo* info = model_ ? FindMembraneModel(model_->Name()) : nullptr;
    if (!info || !info->takesFinerGrid)
        return kGridSize;
    if (local_.GridSamples > 0)
        return local_.GridSamples;
    if (dm.GridSamples > 0 && EngineGridSizeProblem(dm.GridSamples).empty())
        return dm.GridSamples;
    return kGridSize;
}

double DMModelMain::GridStep(const DMInfoClass& dm) const {
    return EngineStep(dm.Diameter_m, data_.GridSize, data_.GridFill);
}

void DMModelMain::EnsureSurface() {
    if (data_.Surface.empty() || data_.GridRows != data_.GridSize)
        data_.AllocateSurface(data_.GridSize);
}

void DMModelMain::PrepareGrid() {
    if (!RefreshModel())
        return;
    data_.AllocateSurface(data_.GridSize);
}

bool DMModelMain::LiesBetween(double a, double b, double c) {
    if (b > c)
        return a - c > -1e-7 && b - a > -1e-7;
    return a - b > -1e-7 && c - a > -1e-7;
}

double DMModelMain::EdgeDistance(double px, double py, double rhoA, double thetaA, double R) {
    const double rhoP = std::sqrt(px * px + py * py);
    const double thetaP = (px == 0.0 && py == 0.0) ? 0.0 : std::atan2(py, px);
    return EdgeDistanceFrom(rhoP * std::cos(thetaP), rhoP * std::sin(thetaP),
                            rhoA * std::cos(thetaA), rhoA * std::sin(thetaA), R);
}

double DMModelMain::EdgeDistanceFrom(double px, double py, double ax, double ay, double R) {
    const double s = std::fabs(px - ax) > 1e-6 ? (py - ay) / (px - ax) : 10000000.0;
    const double c0 = ay - ax * s;
    const double B = 2 * s * c0;
    const double C = s * s + 1;
    const double disc = B * B - 4 * C * (c0 * c0 - R * R);
    const double root = std::sqrt(disc);
    const double x1 = (-B + root) / (2 * C);
    const double y1 = c0 + s * x1;
    const double x2 = (-B - root) / (2 * C);
    const double y2 = c0 + s * x2;
    // On a line taken as vertical the crossings lie within a few 1e-10 of
    // the actuator's x, so a point up to 1e-6 to the side can never pass the
    // x test; the side of the crossing is then told by y alone.
    const bool vertical = !(std::fabs(px - ax) > 1e-6);
    double xe = x2, ye = y2;
    if ((vertical || LiesBetween(px, ax, x1)) && LiesBetween(py, ay, y1)) {
        xe = x1;
        ye = y1;
    }
    return std::sqrt((ax - xe) * (ax - xe) + (ay - ye) * (ay - ye));
}

void DMModelMain::ClearBeyondPupil() {
    DMInfoClass* dm = RefreshModel();
    if (!dm || data_.Surface.empty() || data_.GridRows != data_.GridSize)
        return;
    const int32_t n = data_.GridSize;
    const double dx = GridStep(*dm);
    const double rp = dm->Diameter_m * local_.BeamFraction / 2;
    const double rEdge = dm->Diameter_m / 2;
    for (int32_t i = 0; i < n; ++i) {
        const double x = (i - n / 2) * dx;
        for (int32_t j = 0; j < n; ++j) {
            const double y = (j - n / 2) * dx;
            const double r = std::sqrt(x * x + y * y);
            if (r >= rp && r < rEdge)
                data_.Surface[i][j] = 0.0;
        }
    }
}


const DMModelMain::PupilTable& DMModelMain::Pupil(const DMInfoClass& dm) {
    const int32_t n = data_.GridSize;
    if (pupil_.valid && pupil_.n == n && pupil_.diameter == dm.Diameter_m &&
        pupil_.beamFraction == local_.BeamFraction && pupil_.gridFill == data_.GridFill)
        return pupil_;
    pupil_ = PupilTable{};
    pupil_.n = n;
    pupil_.diameter = dm.Diameter_m;
    pupil_.beamFraction = local_.BeamFraction;
    pupil_.gridFill = data_.GridFill;
    pupil_.valid = true;
    const double dx = GridStep(dm);
    const double rp = dm.Diameter_m * local_.BeamFraction / 2;
    for (int32_t i = 0; i < n; ++i) {
        const double x = (i - n / 2) * dx;
        for (int32_t j = 0; j < n; ++j) {
            const double y = (j - n / 2) * dx;
            const double rho = std::sqrt(x * x + y * y) / rp;
            const double theta = (x == 0.0 && y == 0.0) ? 0.0 : std::atan2(y, x);
            if (rho < 1.0)
                pupil_.points.push_back({i, j, rho, theta});
            if (rp > 0 && std::sqrt(x * x + y * y) < dm.Diameter_m / 2)
                pupil_.membranePoints.push_back({i, j, rho, theta});
        }
    }
    return pupil_;
}

const std::vector<double>& DMModelMain::TermValues(const DMInfoClass& dm, int term) {
    const PupilTable& pupil = Pupil(dm);
    // Low terms (orders up to 7) are kept; any other is evaluated afresh.
    constexpr int kCachedTerms = 36;
    std::vector<double>* values = &termScratch_;
    if (term < kCachedTerms) {
        if (static_cast<int>(pupil_.terms.size()) <= term)
            pupil_.terms.resize(kCachedTerms);
        values = &pupil_.terms[term];
        if (!values->empty() || pupil.points.empty())
            return *values;
    }
    values->clear();
    int n = 0, m = 0;
    ZernikeIndex(term, n, m);
    values->reserve(pupil.points.size());
    for (const PupilPoint& p : pupil.points)
        values->push_back(ZernikeValue(n, m, p.rho, p.theta));
    return *values;
}

double DMModelMain::FitZernikeTerm(int term) {
    DMInfoClass* dm = RefreshModel();
    if (!dm || term < 0 || data_.Surface.empty() || data_.GridRows != data_.GridSize)
        return 0.0;
    const PupilTable& pupil = Pupil(*dm);
    const std::vector<double>& z = TermValues(*dm, term);
    double szz = 0.0, szw = 0.0;
    for (std::size_t q = 0; q < pupil.points.size(); ++q) {
        szz += z[q] * z[q];
        szw += z[q] * data_.Surface[pupil.points[q].i][pupil.points[q].j];
    }
    return szz > 0 ? szw / szz : 0.0;
}

void DMModelMain::RemoveZernikeTerm(int term, double a) {
    DMInfoClass* dm = RefreshModel();
    if (!dm || term < 0 || data_.Surface.empty() || data_.GridRows != data_.GridSize)
        return;
    const PupilTable& pupil = Pupil(*dm);
    const std::vector<double>& z = TermValues(*dm, term);
    for (std::size_t q = 0; q < pupil.points.size(); ++q)
        data_.Surface[pupil.points[q].i][pupil.points[q].j] -= a * z[q];
}

void DMModelMain::RemoveZernikeTermOverMembrane(int term, double a) {
    DMInfoClass* dm = RefreshModel();
    if (!dm || term < 0 || data_.Surface.empty() || data_.GridRows != data_.GridSize)
        return;
    Pupil(*dm);
    const std::vector<PupilPoint>& points = pupil_.membranePoints;
    // The four low terms the far field removes are kept evaluated.
    constexpr int kCachedTerms = 6;
    std::vector<double> scratch;
    std::vector<double>* values = &scratch;
    if (term < kCachedTerms) {
        if (static_cast<int>(pupil_.membraneTerms.size()) <= term)
            pupil_.membraneTerms.resize(kCachedTerms);
        values = &pupil_.membraneTerms[term];
    }
    if (values->size() != points.size()) {
        values->clear();
        int n = 0, m = 0;
        ZernikeIndex(term, n, m);
        values->reserve(points.size());
        for (const PupilPoint& p : points)
            values->push_back(ZernikeValue(n, m, p.rho, p.theta));
    }
    for (std::size_t q = 0; q < points.size(); ++q)
        data_.Surface[points[q].i][points[q].j] -= a * (*values)[q];
}

void DMModelMain::PupilStatistics(double& min, double& max, double& rms) {
    DMInfoClass* dm = RefreshModel();
    if (!dm || data_.Surface.empty() || data_.GridRows != data_.GridSize)
        return;
    const int32_t n = data_.GridSize;
    min = max = data_.Surface[n / 2][n / 2];
    const PupilTable& pupil = Pupil(*dm);
    double sum = 0.0;
    for (const PupilPoint& p : pupil.points) {
        const double v = data_.Surface[p.i][p.j];
        min = std::min(min, v);
        max = std::max(max, v);
        sum += v;
    }
    const auto count = static_cast<double>(pupil.points.size());
    const double mean = count > 0 ? sum / count : sum;
    double s = 0.0;
    for (const PupilPoint& p : pupil.points) {
        const double d = data_.Surface[p.i][p.j] - mean;
        s += d * d;
    }
    rms = (s > 0 && count > 0) ? std::sqrt(s / count) : s;
}

FarFieldStatus DMModelMain::CorrectSurface() {
    if (!RefreshModel())
        return FarFieldStatus::NoMirror;
    if (data_.Surface.empty() || data_.GridRows != data_.GridSize)
        return FarFieldStatus::NoSurface;
    // Tilt, always; piston and the chosen part of the focus on request.
    // Each is fitted over the beam and taken off the whole membrane, so the
    // corrected surface has no step at the beam's edge. With the focus
    // removed only the beam is shown: the ring beyond it is then cleared
    // (after the fits, which look at the beam alone).
    double c = FitZernikeTerm(1);
    RemoveZernikeTermOverMembrane(1, c);
    c = FitZernikeTerm(2);
    RemoveZernikeTermOverMembrane(2, c);
    if (local_.RemoveFocus) {
        const double c0 = FitZernikeTerm(0);
        RemoveZernikeTermOverMembrane(0, c0);
        const double c4 = FitZernikeTerm(4);
        RemoveZernikeTermOverMembrane(4, c4 - c4 * local_.FocusAdjust);
        ClearBeyondPupil();
    }
    return FarFieldStatus::Done;
}

FarFieldStatus DMModelMain::ComputeFarField() {
    if (const FarFieldStatus corrected = CorrectSurface(); corrected != FarFieldStatus::Done)
        return corrected;
    DMInfoClass* dm = RefreshModel();
    const int32_t n = data_.GridSize;
    int p = static_cast<int>(std::floor(std::log(static_cast<double>(n)) / std::log(2.0) + 2));
    p = std::max(p, 8);
    const int32_t size = 1 << p;
    // The buffer is refilled from scratch below, so one of the right size is
    // kept rather than reallocated on every pass.
    if (data_.FarField.empty() || data_.FarFieldSize != size)
        data_.AllocateFarField(size);

    const double dx = GridStep(*dm);

    float* field = data_.FarField.data();
    std::fill(field, field + 2 * static_cast<std::size_t>(size + 1) * (size + 1), 0.0f);

    if (amplitudeN_ != n || amplitudeDiameter_ != dm->Diameter_m ||
        amplitude_.size() != static_cast<std::size_t>(n) * n) {
        amplitude_.assign(static_cast<std::size_t>(n) * n, 0.0);
        for (int32_t i = 0; i < n; ++i) {
            const double x = (i - n / 2) * dx;
            for (int32_t j = 0; j < n; ++j) {
                const double y = (j - n / 2) * dx;
                const double rho = std::sqrt(x * x + y * y);
                amplitude_[static_cast<std::size_t>(i) * n + j] =
                    std::exp(-(rho / kBeamRadius) * (rho / kBeamRadius));
            }
        }
        amplitudeN_ = n;
        amplitudeDiameter_ = dm->Diameter_m;
    }

    const double wavelength =
        std::isfinite(local_.Wavelength) && local_.Wavelength > 0 ? local_.Wavelength : kWavelength;
    const double k = 6.283185307179586 / wavelength;
    const int32_t off = (size - n) / 2;
    for (int32_t i = 0; i < n; ++i) {
        const double* row = data_.Surface[i];
        const double* amplitude = &amplitude_[static_cast<std::size_t>(i) * n];
        float* out = field + data_.FarFieldIndex(off + i, off);
        for (int32_t j = 0; j < n; ++j) {
            const double phi = k * 2 * row[j];
            out[2 * j] = static_cast<float>(amplitude[j] * std::cos(phi));
            out[2 * j + 1] = static_cast<float>(-amplitude[j] * std::sin(phi));
        }
    }

    const int dims[] = {size, size};
    ComplexFFT(field, dims, 2, 1);

    // Centre the spectrum: swap the quadrants diagonally.
    const int32_t half = size / 2;
    for (int32_t r = 1; r <= half; ++r) {
        float* a = field + data_.FarFieldIndex(r, 1);
        float* b = field + data_.FarFieldIndex(r + half, 1 + half);
        float* c1 = field + data_.FarFieldIndex(r + half, 1);
        float* d = field + data_.FarFieldIndex(r, 1 + half);
        std::swap_ranges(a, a + 2 * half, b);
        std::swap_ranges(c1, c1 + 2 * half, d);
    }
    ++data_.FarFieldGeneration;

    host_.DrawFarFieldPictures();
    return FarFieldStatus::Done;
}

} // namespace ostrander

#pragma once
// The exact linear membrane model: T lap(w) = -p on the clamped membrane,
// w = 0 on the rim, T = stress x thickness, p = eps0 (V_pad - V_surface)^2 /
// (2 d^2) over each pad. A disc or ring pad wholly inside a round membrane
// is solved in closed form (the uniformly loaded disc and its image in the
// rim); every other pad by finite differences on the engine grid, the matrix
// factored once when the model is made. Deflections in metres, negative
// towards the electrodes, on the engine grid (row-major, element i * n + j).
//
// A made model is not changed by any call, so one model may serve several
// threads at once (hand a worker a std::shared_ptr<const ExactMembrane>).
// Make one per influence run: the finite-difference factorisation happens in
// the constructor, each Influence() is then one closed form or one solve.
#include "model/MembraneGeometry.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ostrander {

class MembraneFiniteDifference;

// Asked between steps of a long computation; true stops it.
using CancelCheck = std::function<bool()>;

class ExactMembrane {
public:
    enum class Method {
        Automatic,        // closed form where it exists, finite differences elsewhere
        FiniteDifference, // finite differences for every pad
    };

    ExactMembrane(MembraneGeometry geometry, EngineGrid grid, Method method = Method::Automatic);
    ~ExactMembrane();
    ExactMembrane(const ExactMembrane&) = delete;
    ExactMembrane& operator=(const ExactMembrane&) = delete;

    // False (with the reason in Problem()) when the geometry cannot be solved;
    // then every deflection is 0.
    bool IsValid() const { return problem_.empty(); }
    const std::string& Problem() const { return problem_; }

    const MembraneGeometry& Geometry() const { return geometry_; }
    const EngineGrid& Grid() const { return grid_; }
    int PadCount() const { return static_cast<int>(geometry_.pads.size()); }
    bool InClosedForm(int index) const;

    // Deflection of pad `index` alone with V_pad - V_surface = volts. An index
    // without a pad (or out of range) gives a flat grid.
    std::vector<double> Influence(int index, double volts) const;
    // Every pad's influence at `volts`, by model index. False (and `out`
    // emptied) when cancelled.
    bool InfluenceFunctions(double volts, std::vector<std::vector<double>>& out,
                            const CancelCheck& cancelled = {}) const;

    // Pressure drive of each pad, eps0 (V_k - V_surface)^2 / 2 in N/m^2 x m^2,
    // from voltages by model index (the surface electrode's entry is its voltage;
    // a missing entry counts as 0 V).
    std::vector<double> PadDrive(const std::vector<double>& volts) const;
    // The linear surface for these voltages.
    std::vector<double> LinearSurface(const std::vector<double>& volts) const;

    // The load on each finite-difference node for these pad drives: the sum
    // of drive x the share of the node's cell the pad covers (every pad,
    // including those solved in closed form).
    std::vector<double> NodeLoad(const std::vector<double>& drive) const;
    // The finite-difference membrane, for the nonlinear solve; null when invalid.
    const MembraneFiniteDifference* Discretisation() const { return fd_.get(); }

    static constexpr double kEpsilon0 = 8.854e-12; // F/m

private:
    struct Factor;
    // Adds the deflection of `pad` under pressure `pressure` (Pa) to `z`
    // (positive towards the electrode) in closed form.
    void AddClosedForm(const MembranePad& pad, double pressure, std::vector<double>& z) const;

    MembraneGeometry geometry_;
    EngineGrid grid_;
    std::string problem_;
    std::vector<bool> closedForm_;
    std::unique_ptr<MembraneFiniteDifference> fd_;
    std::unique_ptr<Factor> factor_; // only when some pad needs finite differences
    std::vector<std::vector<std::pair<int, double>>> coverage_; // cell shares of each pad
};

} // namespace ostrander

#pragma once
// The measured model: influence functions a lab measured on its own mirror
// (an interferometer or a wavefront sensor), already resampled onto the
// engine grid, take the place of computed ones. Each run step sums the
// measured functions under the mirror's voltages, and synthesis scales the
// stored functions by the declared response law: quadratic in the voltage
// (the membrane's pressure, (V - V_surface)^2) or linear in the command.
// Nothing here computes a membrane, so there is no pull-in.
#include "model/MembraneModel.h"

#include <memory>
#include <string>
#include <vector>

namespace ostrander {

// How a measured function scales with its actuator's command.
enum class ResponseLaw { Quadratic, Linear };

// Measured influence functions on an engine grid: plane k - 1 (display
// number k) holds the deflection in metres per volt squared (quadratic) or
// per unit of command (linear), element (i, j) with i along x at
// [((k - 1) n + i) n + j]. A membrane electrode's plane is zero.
struct MeasuredInfluence {
    std::string source; // where the functions came from, for messages
    ResponseLaw law = ResponseLaw::Quadratic;
    int n = 0;          // engine samples per side
    double dx = 0.0;    // m, engine spacing the planes were resampled onto
    int actuators = 0;  // planes
    std::vector<double> planes;
    // The mirror's measured surface with no voltage (m, engine layout, n x
    // n), added to every synthesised surface; empty for none.
    std::vector<double> flat;
};

// What the programs say in place of a pull-in factor with this model.
inline constexpr const char* kMeasuredPullIn = "Pull-in: not known for measured influence functions";

// "quadratic" or "linear".
const char* ResponseLawName(ResponseLaw law);

class MeasuredMembraneModel final : public MembraneModel {
public:
    static constexpr std::string_view kName = "measured";
    std::string_view Name() const override { return kName; }
    // Any pad shape once functions are given: they are measured, not computed.
    RunStart CheckActuators(const DMInfoClass& model) const override;
    void ComputeSurface(DMModelMain& engine) override;
    SynthesisStatus Synthesize(DMModelMain& engine) override;

    void SetInfluence(std::shared_ptr<const MeasuredInfluence> influence) {
        influence_ = std::move(influence);
    }
    const std::shared_ptr<const MeasuredInfluence>& Influence() const { return influence_; }
    // Why the functions cannot drive the engine's present mirror and grid
    // (none given, another grid or actuator count); empty when they can.
    std::string Problem(DMModelMain& engine) const;

private:
    std::shared_ptr<const MeasuredInfluence> influence_;
};

} // namespace ostrander

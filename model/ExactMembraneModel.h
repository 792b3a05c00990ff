#pragma once
// The exact membrane model as a session's membrane model: each run step
// solves the energised pad on the engine grid (ExactMembrane), and synthesis
// scales the stored functions by the force itself, (V - V_surface)^2 /
// V_run^2. The solver is made once per influence run and kept for the
// nonlinear equilibrium, which a worker may compute from a shared copy.
#include "model/ExactMembrane.h"
#include "model/MembraneModel.h"

#include <memory>
#include <vector>

namespace ostrander {

class ExactMembraneModel final : public MembraneModel {
public:
    static constexpr std::string_view kName = "exact";
    std::string_view Name() const override { return kName; }
    // Every pad shape: rectangles of any aspect, rings and quarter rings.
    RunStart CheckActuators(const DMInfoClass& model) const override;
    void ComputeSurface(DMModelMain& engine) override;
    SynthesisStatus Synthesize(DMModelMain& engine) override;

    // The solver for the engine's present mirror and grid, made when the
    // geometry changed since the last one; null without a mirror.
    std::shared_ptr<const ExactMembrane> Membrane(DMModelMain& engine);
    std::shared_ptr<const ExactMembrane> PullInMembrane(DMModelMain& engine) override {
        return Membrane(engine);
    }

private:
    struct Key {
        const void* model = nullptr;
        double diameter = 0, stress = 0, thickness = 0, separation = 0, dx = 0;
        int n = 0;
        bool operator==(const Key&) const = default;
    };
    std::shared_ptr<const ExactMembrane> membrane_;
    Key key_;
};

} // namespace ostrander

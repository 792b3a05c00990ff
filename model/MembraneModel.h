#pragma once
// The membrane model a session computes with: the deflection of one
// actuator alone during the influence-function run, and the surface for any
// voltages rebuilt from the stored influence functions. "classic" is the
// analytic model of DMModelMain; further models plug in here and feed the
// same corrections, far field and pictures.
#include "model/EngineStatus.h"

#include <memory>
#include <string_view>

namespace ostrander {

class DMInfoClass;
class DMModelMain;

class MembraneModel {
public:
    virtual ~MembraneModel() = default;
    // The name the user chooses the model by.
    virtual std::string_view Name() const = 0;
    // Whether the model can compute these actuators: Started when it can,
    // otherwise the refusal (RectangularPads, RingPads). Asked before a run.
    virtual RunStart CheckActuators(const DMInfoClass& model) const = 0;
    // The deflection (m) under the mirror's present voltages into the
    // engine's Surface, a fresh N x N grid.
    virtual void ComputeSurface(DMModelMain& engine) = 0;
    // Surface for the mirror's present voltages, from the influence functions.
    virtual SynthesisStatus Synthesize(DMModelMain& engine) = 0;
};

// The analytic model: DMModelMain's own deflection and weighted-sum synthesis.
class ClassicMembraneModel final : public MembraneModel {
public:
    static constexpr std::string_view kName = "classic";
    std::string_view Name() const override { return kName; }
    // Round pads, and rectangular ones only when square.
    RunStart CheckActuators(const DMInfoClass& model) const override;
    void ComputeSurface(DMModelMain& engine) override;
    SynthesisStatus Synthesize(DMModelMain& engine) override;
};

// The model of that name; null for a name no model has.
std::unique_ptr<MembraneModel> MakeMembraneModel(std::string_view name);

} // namespace ostrander

#pragma once
// The membrane model a session computes with: the deflection of one
// actuator alone during the influence-function run, and the surface for any
// voltages rebuilt from the stored influence functions, and the registry of
// the models. Every model feeds the same corrections, far field and pictures.
#include "model/EngineStatus.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ostrander {

class DMInfoClass;
class DMModelMain;
class ExactMembrane;

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
    // The solver of the nonlinear equilibrium for the engine's present mirror
    // and grid; null for a model that computes no pull-in.
    virtual std::shared_ptr<const ExactMembrane> PullInMembrane(DMModelMain&) { return nullptr; }
};

// The models a session can compute with, registered once: the name the
// user chooses a model by (on the command line and in files), the label a
// window shows, what the model can do, and how to make one.
struct MembraneModelInfo {
    std::string_view name;
    std::string_view label;
    // Computes the nonlinear equilibrium and so the pull-in factor.
    bool computesPullIn = false;
    // Computes ring and quarter-ring pads.
    bool computesRings = false;
    std::unique_ptr<MembraneModel> (*make)() = nullptr;
    // Computes on a finer grid than the standard one when asked.
    bool takesFinerGrid = false;
};

// Every model, the default ("classic") first.
const std::vector<MembraneModelInfo>& MembraneModels();
// The model of that name; null for a name no model has.
const MembraneModelInfo* FindMembraneModel(std::string_view name);
// The model of that name, made; null for a name no model has.
std::unique_ptr<MembraneModel> MakeMembraneModel(std::string_view name);
// The names, as "classic, exact", for messages.
std::string MembraneModelNames();

} // namespace ostrander

#pragma once
// The analytic membrane model: DMModelMain's own deflection of one pad and
// its weighted-sum synthesis, as the program was first designed.
#include "model/MembraneModel.h"

namespace ostrander {

class ClassicMembraneModel final : public MembraneModel {
public:
    static constexpr std::string_view kName = "classic";
    std::string_view Name() const override { return kName; }
    // Round pads, and rectangular ones only when square.
    RunStart CheckActuators(const DMInfoClass& model) const override;
    void ComputeSurface(DMModelMain& engine) override;
    SynthesisStatus Synthesize(DMModelMain& engine) override;
};

} // namespace ostrander

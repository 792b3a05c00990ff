#pragma once
// What makes a mirror description impossible to simulate, checked once before
// any influence-function run (the window, every ostrander-cli command): a
// membrane of no size, no tension or no gap, numbers that are not finite, an
// actuator type no model knows, a declared actuator count far above the pads
// the file describes, or no pad on the membrane at all.
#include <string>

namespace ostrander {

class DMInfoClass;

// The first problem, as a sentence for a message box or an error line; empty
// when the description can be simulated.
std::string MirrorModelProblem(const DMInfoClass& model);

} // namespace ostrander

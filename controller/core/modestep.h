// One step of a mode-button function (mode, filter, AGC, attenuator, noise
// blanker) on a receiver: the driver names the next value the receiver
// offers and the step sets it, so the receiver moves whether the driver's
// "next" only answers or also sets. The receiver's report of the new value
// then updates the caption, as any other change does.
#pragma once

#include <cstdint>

#include "interfaces/ireceiverdriver.h"

namespace tessaly {

enum class StepFunction { Mode = 0, Filter = 1, Agc = 2, Attenuator = 3, NoiseBlanker = 4 };

// False when the receiver offers no next value (nothing is sent then).
bool stepFunction(quorvin::IReceiverDriver& driver, std::int16_t receiver, StepFunction function);

}  // namespace tessaly

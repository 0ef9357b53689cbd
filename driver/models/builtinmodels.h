// The model drivers built into the library register here.
#pragma once

namespace quorvin {

// Registers every built-in model driver with the model registry. The
// library calls it once, before the first object is created.
void registerBuiltinModels();

}  // namespace quorvin

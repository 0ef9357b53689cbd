// Registration of the built-in model drivers. No model driver is built in
// yet: a configuration naming one loads no instance for it.
#include "builtinmodels.h"

#include "driver/core/modelregistry.h"

namespace quorvin {

void registerBuiltinModels() {}

}  // namespace quorvin

// Creates the keyer implementation for a version number.
#pragma once

#include <memory>

#include "keyers/base_cm.h"

namespace cmatte {

// Version 2 is the L*a*b* keyer; every other value the version-1 keyer.
std::unique_ptr<base_cm> create_keyer(int algVersion, int gpuPriority);

}  // namespace cmatte

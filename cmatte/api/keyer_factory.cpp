#include "api/keyer_factory.h"

#include "keyers/v1/ver1_cm.h"
#include "keyers/v2/ver2_cm.h"

namespace cmatte {

std::unique_ptr<base_cm> create_keyer(int algVersion, int gpuPriority) {
    if (algVersion == 2) return std::make_unique<ver2_cm>(gpuPriority);
    return std::make_unique<ver1_cm>(gpuPriority);
}

}  // namespace cmatte

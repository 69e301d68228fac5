#include "keyer_factory.h"

#include "gpu_runtime/gpu_print.h"
#include "ver2_cm.h"

namespace cmatte {

std::unique_ptr<base_cm> create_keyer(int algVersion, int gpuPriority) {
  if (algVersion == 2) return std::make_unique<ver2_cm>(gpuPriority);
  gpurt::gpu_print("Error @ColorMatting(version %d keyer not available):%d\n", algVersion, -1);
  return nullptr;
}

}  // namespace cmatte

#include "gpu_runtime/platform_choice.h"

#include <algorithm>

namespace gpurt {

PlatformChoice choose_platform(const std::vector<std::string>& platformNames, int gpuPriority,
                               const std::vector<std::string>& intelNames) {
    int intel = -1, nvidia = -1, other = -1;
    for (int i = 0; i < static_cast<int>(platformNames.size()); ++i) {
        const std::string& name = platformNames[i];
        if (std::find(intelNames.begin(), intelNames.end(), name) != intelNames.end())
            intel = i;
        else if (name == "NVIDIA CUDA")
            nvidia = i;
        else
            other = i;
    }

    PlatformChoice choice{static_cast<int>(platformNames.size()) - 1, nullptr};
    if (gpuPriority == kPreferIntel) {
        if (intel >= 0) choice = {intel, "GPU: PRIORITY select Intel-HD-Grsphics\n"};
    } else if (gpuPriority == kPreferNvidia) {
        if (nvidia >= 0) choice = {nvidia, "GPU: PRIORITY select NVIDIA CUDA\n"};
    } else if (other >= 0) {
        choice = {other, "GPU: PRIORITY select Others\n"};
    }
    return choice;
}

}  // namespace gpurt

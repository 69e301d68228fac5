// Which OpenCL platform a processing object uses, from the platform names in
// enumeration order and the caller's preference. Pure, so it can be checked
// against made-up machines.
#pragma once

#include <string>
#include <vector>

namespace gpurt {

enum GpuPriority { kPreferIntel = 0, kPreferNvidia = 1 };  // anything else: prefer other platforms

struct PlatformChoice {
    int index;                 // into the enumeration; -1 when there is no platform
    const char* priorityLine;  // line to print, or nullptr when the preference found nothing
};

// Names are compared whole and case-sensitively; the last platform of a class wins.
PlatformChoice choose_platform(const std::vector<std::string>& platformNames, int gpuPriority,
                               const std::vector<std::string>& intelNames);

}  // namespace gpurt

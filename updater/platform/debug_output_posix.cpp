#include <cstdio>

#include "OVDebugOutput.h"

namespace OVLogging {
namespace platform {

void writeDebugOutput(const char* utf8Text) { std::fputs(utf8Text, stderr); }

}  // namespace platform
}  // namespace OVLogging

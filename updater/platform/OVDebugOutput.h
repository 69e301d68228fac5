#pragma once

// The platform's debugger output channel: OutputDebugString on Windows,
// standard error elsewhere.

namespace OVLogging {
namespace platform {

// Writes UTF-8 text as it is; no line end is added.
void writeDebugOutput(const char* utf8Text);

}  // namespace platform
}  // namespace OVLogging

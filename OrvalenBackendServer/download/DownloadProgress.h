#pragma once

#include <cstdint>

namespace Orvalen {

// Percentage of a download from libcurl's totals of the current transfer
// (dltotal, dlnow), the length the file had when the transfer started and the
// expected size of the whole file (-1 or 0 when unknown: the transfer's own
// total counts instead). Always within 0 to 100.
double downloadPercent(int64_t dltotal, int64_t dlnow, int64_t resumeOffset, int64_t expectedSize);

}  // namespace Orvalen

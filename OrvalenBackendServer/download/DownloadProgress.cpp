#include "download/DownloadProgress.h"

#include <algorithm>

namespace Orvalen {

double downloadPercent(int64_t dltotal, int64_t dlnow, int64_t resumeOffset, int64_t expectedSize) {
    double percent;
    if (dltotal == 0) {
        percent = resumeOffset == expectedSize ? 100.0 : 0.0;
    } else if (dlnow < dltotal) {
        const int64_t whole = expectedSize > 0 ? expectedSize : resumeOffset + dltotal;
        percent = static_cast<double>(dlnow + resumeOffset) / static_cast<double>(whole) * 100.0;
    } else {
        percent = dlnow == dltotal ? 100.0 : 0.0;
    }
    return std::min(100.0, std::max(0.0, percent));
}

}  // namespace Orvalen

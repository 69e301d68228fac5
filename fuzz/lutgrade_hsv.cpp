// Adjustment lists into the table builder: as text through the adjustment
// list reader (first byte even), or as raw entries with any bit patterns,
// not-a-number and infinities included (first byte odd).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tables/OrvalenQcom3DLUT.h"
#include "tables/adjustment_list.h"

// Undefined arithmetic or indexing in the builder must stop the run.
extern "C" const char* __ubsan_default_options() { return "halt_on_error=1:print_stacktrace=1"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::vector<Chi3dlutRgbcmyInfo> entries;
    if (data[0] & 1) {
        constexpr std::size_t kMostEntries = 8;  // enough for interplay, cheap per run
        entries.resize(std::min((size - 1) / sizeof(Chi3dlutRgbcmyInfo), kMostEntries));
        if (!entries.empty())
            std::memcpy(entries.data(), data + 1, entries.size() * sizeof(Chi3dlutRgbcmyInfo));
    } else {
        std::string error;
        if (!lutgrade::parse_adjustments(
                std::string(reinterpret_cast<const char*>(data + 1), size - 1), entries, error))
            return 0;
        if (entries.size() > 8) entries.resize(8);
    }
    Orvalen::OrvalenQcom3DLUT builder;
    builder.build(entries.data(), static_cast<unsigned>(entries.size()));
    return 0;
}

// File names taken from download URLs sent by the backend: whatever the URL,
// the name must stay a plain name inside the download directory.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "download/DownloadNaming.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Every name is logged; libFuzzer reports on stderr.
    return std::freopen("/dev/null", "w", stdout) ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string url(reinterpret_cast<const char*>(data), size);
    const std::string name = Orvalen::fileNameFromUrl(url);
    if (name.find_first_of("/\\:") != std::string::npos) std::abort();
    if (!Orvalen::isUsableFileName(name)) return 0;
    if (name.find_first_not_of('.') == std::string::npos) std::abort();
    if (Orvalen::localFilePath("downloads", name) != "downloads/" + name) std::abort();
    return 0;
}

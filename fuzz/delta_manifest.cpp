// The manifest of a delta package, read from the downloaded archive: any bytes
// must be read or refused, never crash; what is read must stay below the
// installation and be written back to the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "delta/DeltaManifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    delta::Manifest manifest;
    std::string error;
    if (!delta::readManifest(text, manifest, error)) {
        if (error.empty()) std::abort();
        return 0;
    }
    for (const delta::FileRecord& file : manifest.files) {
        const std::string path = "/" + file.path + "/";
        if (path.find("//") != std::string::npos || path.find("/../") != std::string::npos ||
            path.find("/./") != std::string::npos || path.find('\\') != std::string::npos) {
            std::abort();
        }
    }
    if (delta::writeManifest(manifest) != text) std::abort();
    return 0;
}

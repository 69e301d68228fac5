#pragma once

// The client's side of a delta package: from the installed old tree and the
// extracted package, write every file the new tree changes or adds into a
// staging folder, checking each input and each output against the manifest.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "delta/DeltaManifest.h"

namespace delta {

struct RebuildPlaces {
    std::filesystem::path installation;   // the old tree, read only
    std::filesystem::path extracted;      // the package: manifest, file/, patch/
    std::filesystem::path staging;        // receives changed and added files
    std::function<void()> afterEachFile;  // called after each file staged, when set
};

struct RebuildCount {
    size_t kept = 0;     // "same" files found as the manifest says
    size_t patched = 0;  // rebuilt from the old file and a patch
    size_t whole = 0;    // taken whole from the package
};

// False at the first problem, with one line in error: an installed file that
// is missing, not a plain file or not the bytes the manifest expects (a
// locally modified file), a package file that is missing or does not hash as
// listed, a patch that does not apply or whose output does not hash as
// listed. Files whose name is in skippedNames are left out wherever they sit.
// Peak memory: one old file, its patch and its new file.
bool rebuild(const RebuildPlaces& places, const Manifest& manifest,
             const std::vector<std::string>& skippedNames, RebuildCount& count, std::string& error);

}  // namespace delta

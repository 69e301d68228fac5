#include "delta/DeltaRebuild.h"

#include <algorithm>
#include <system_error>

#include "OrvalenBackendServer/OrvalenPackageSignature.h"
#include "delta/DeltaFiles.h"
#include "delta/DeltaPatch.h"
#include "platform/journal_records.h"

namespace fs = std::filesystem;

namespace delta {

namespace {

bool skipped(const std::string& path, const std::vector<std::string>& names) {
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return std::find(names.begin(), names.end(), name) != names.end();
}

// A plain file reached through real folders only.
bool plainFileBelow(const fs::path& base, const std::string& relative, fs::path& file) {
    const fs::path path = OVPlatform::journal::relativePath(relative);
    file = base / path;
    std::error_code ec;
    return OVPlatform::journal::reachableWithoutLinks(base, path) &&
           fs::symlink_status(file, ec).type() == fs::file_type::regular;
}

bool hashMatches(const fs::path& file, uint64_t size, const std::string& sha256) {
    uint64_t foundSize = 0;
    std::string found;
    return Orvalen::hashPackageFile(file.string(), foundSize, found) && foundSize == size &&
           found == sha256;
}

class Rebuilder {
public:
    Rebuilder(const RebuildPlaces& places, RebuildCount& count) : mPlaces(places), mCount(count) {}

    bool keep(const FileRecord& file, std::string& error) {
        fs::path installed;
        if (!plainFileBelow(mPlaces.installation, file.path, installed) ||
            !hashMatches(installed, file.size, file.sha256)) {
            error = "the installed " + file.path + " is missing or not the expected file";
            return false;
        }
        ++mCount.kept;
        return true;
    }

    bool takeWhole(const FileRecord& file, std::string& error) {
        fs::path stored;
        if (!plainFileBelow(mPlaces.extracted / kWholeFolder, file.path, stored) ||
            !hashMatches(stored, file.size, file.sha256)) {
            error = "the package's copy of " + file.path + " is missing or not the listed file";
            return false;
        }
        const fs::path target = mPlaces.staging / OVPlatform::journal::relativePath(file.path);
        std::error_code ec;
        fs::create_directories(target.parent_path(), ec);
        fs::rename(stored, target, ec);
        if (ec) {
            error = "cannot stage " + file.path + ": " + ec.message();
            return false;
        }
        ++mCount.whole;
        return true;
    }

    bool patch(const FileRecord& file, std::string& error) {
        fs::path installed;
        fs::path patchFile;
        std::string oldBytes;
        std::string patchBytes;
        if (!plainFileBelow(mPlaces.installation, file.path, installed) ||
            !readWholeFile(installed, file.oldSize, oldBytes) || oldBytes.size() != file.oldSize ||
            sha256Of(oldBytes) != file.oldSha256) {
            error = "the installed " + file.path + " is missing or not the file the patch expects";
            return false;
        }
        // A patch is never larger than its new file plus zstd's frame.
        if (!plainFileBelow(mPlaces.extracted / kPatchFolder, file.path, patchFile) ||
            !readWholeFile(patchFile, file.size + (1 << 16), patchBytes)) {
            error = "the patch of " + file.path + " is missing or too large";
            return false;
        }
        std::string newBytes;
        std::string why;
        if (!applyPatch(oldBytes, patchBytes, size_t(file.size), newBytes, why)) {
            error = file.path + ": " + why;
            return false;
        }
        if (sha256Of(newBytes) != file.sha256) {
            error = "the rebuilt " + file.path + " does not hash as listed";
            return false;
        }
        const fs::path target = mPlaces.staging / OVPlatform::journal::relativePath(file.path);
        if (!writeWholeFile(target, newBytes) || !hashMatches(target, file.size, file.sha256)) {
            error = "cannot write the rebuilt " + file.path + " to staging";
            return false;
        }
        ++mCount.patched;
        return true;
    }

private:
    const RebuildPlaces& mPlaces;
    RebuildCount& mCount;
};

}  // namespace

bool rebuild(const RebuildPlaces& places, const Manifest& manifest,
             const std::vector<std::string>& skippedNames, RebuildCount& count,
             std::string& error) {
    count = RebuildCount();
    Rebuilder rebuilder(places, count);
    // Every kept file first: a locally modified installation is found
    // before any patch work.
    for (const FileRecord& file : manifest.files) {
        if (file.kind == FileKind::Same && !skipped(file.path, skippedNames) &&
            !rebuilder.keep(file, error)) {
            return false;
        }
    }
    for (const FileRecord& file : manifest.files) {
        if (file.kind == FileKind::Same || skipped(file.path, skippedNames)) continue;
        const bool made = file.kind == FileKind::Whole ? rebuilder.takeWhole(file, error)
                                                       : rebuilder.patch(file, error);
        if (!made) return false;
        if (places.afterEachFile) places.afterEachFile();
    }
    return true;
}

}  // namespace delta

// update-delta: makes the delta package of a release, the files that changed
// between two trees as zstd patches against the old files (see kHelp).
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "delta/DeltaFiles.h"
#include "delta/DeltaManifest.h"
#include "delta/DeltaPatch.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

const char kHelp[] =
    R"(update-delta: makes delta packages for the updater.

  update-delta make --from OLD_DIR --to NEW_DIR -o OUT.7z
                    [--from-version NAME] [--to-version NAME] [--full FULL.7z]
      Compares the release trees OLD_DIR and NEW_DIR and writes the delta
      package OUT.7z (7z must be on PATH). The versions default to the base
      names of the two folders. With --full, the full package of NEW_DIR is
      named so that the sizes can be compared. Prints the sizes when done.

The package is a 7-Zip archive holding:
  delta.manifest   the manifest (below)
  file/<path>      a file of the new tree, whole: added files, and changed
                   files whose patch would not be smaller
  patch/<path>     a zstd frame that rebuilds <path> of the new tree with the
                   old tree's <path> as its reference (zstd's patch-from, long
                   distance matching, window over both files)

The manifest is UTF-8 text, one record a line, each line ending in a line
feed:
  update-delta 1
  from <version name of OLD_DIR>
  to <version name of NEW_DIR>
  same <size> <sha256> <path>        unchanged: the installed file is kept
  whole <size> <sha256> <path>       in file/<path>
  patch <size> <sha256> <old size> <old sha256> <path>   in patch/<path>
There is one file record for every file of the new tree; sizes are decimal
bytes, SHA-256 is lower-case hex, paths are relative and "/" separated. The
updater checks every installed file the manifest names (kept or patched)
and every file it writes against these hashes, and uses the full package
when one does not match. A file that only OLD_DIR holds is not named: it is
left as it is on install, as a full package leaves it.

Exit status: 0 done, 2 bad arguments, unreadable trees or unwritable output.
)";

constexpr int kBadUse = 2;

int fail(const std::string& message) {
    std::fprintf(stderr, "update-delta: %s\n", message.c_str());
    return kBadUse;
}

// Every plain file below root by its "/" separated relative path; false,
// naming it, for anything else (a link, a device).
bool listTree(const fs::path& root, std::map<std::string, fs::path>& files, std::string& error) {
    std::error_code ec;
    if (!fs::is_directory(root, ec)) {
        error = root.string() + " is not a folder";
        return false;
    }
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::file_type type = it->symlink_status(ec).type();
        if (type == fs::file_type::directory) continue;
        const std::string relative = it->path().lexically_relative(root).generic_string();
        if (type != fs::file_type::regular) {
            error = it->path().string() + " is not a plain file or folder";
            return false;
        }
        files[relative] = it->path();
    }
    if (ec) error = "cannot list " + root.string() + ": " + ec.message();
    return !ec;
}

int run7z(const fs::path& folder, const fs::path& archive) {
    const std::string archivePath = fs::absolute(archive).string();
    std::vector<std::string> args = {"7z", "a", "-t7z", "-bd", "-bso0", "-bsp0", archivePath, "."};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = 0;
    const int started = posix_spawnp(&pid, "7z", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

struct Options {
    fs::path from, to, out, full;
    std::string fromVersion, toVersion;
};

bool readOptions(int argc, char** argv, Options& options, std::string& error) {
    std::map<std::string, std::string> given;
    for (int i = 2; i < argc; i += 2) {
        const std::string name = argv[i];
        if (name != "--from" && name != "--to" && name != "-o" && name != "--from-version" &&
            name != "--to-version" && name != "--full") {
            error = "unknown option " + name;
            return false;
        }
        if (i + 1 >= argc) {
            error = "option " + name + " needs a value";
            return false;
        }
        given[name] = argv[i + 1];
    }
    for (const char* name : {"--from", "--to", "-o"}) {
        if (given.count(name) == 0) {
            error = std::string("missing ") + name;
            return false;
        }
    }
    options.from = given["--from"];
    options.to = given["--to"];
    options.out = given["-o"];
    options.full = given["--full"];
    options.fromVersion = given.count("--from-version")
                              ? given["--from-version"]
                              : fs::absolute(options.from).filename().string();
    options.toVersion = given.count("--to-version") ? given["--to-version"]
                                                    : fs::absolute(options.to).filename().string();
    return true;
}

class DeltaMaker {
public:
    explicit DeltaMaker(const fs::path& work) : mWork(work) {}

    // Adds the record of one new-tree file and what the package stores for it.
    bool add(const std::string& path, const fs::path& newFile, const fs::path* oldFile,
             delta::Manifest& manifest, std::string& error) {
        std::string newBytes;
        if (!delta::readWholeFile(newFile, UINT64_MAX, newBytes)) {
            error = "cannot read " + newFile.string();
            return false;
        }
        delta::FileRecord record;
        record.path = path;
        record.size = newBytes.size();
        record.sha256 = delta::sha256Of(newBytes);
        std::string stored = newBytes;
        record.kind = delta::FileKind::Whole;
        std::string oldBytes;
        if (oldFile != nullptr) {
            if (!delta::readWholeFile(*oldFile, UINT64_MAX, oldBytes)) {
                error = "cannot read " + oldFile->string();
                return false;
            }
            if (oldBytes == newBytes) {
                record.kind = delta::FileKind::Same;
            } else if (oldBytes.size() <= delta::kLargestPatchedFile &&
                       newBytes.size() <= delta::kLargestPatchedFile) {
                const std::string patch = delta::makePatch(oldBytes, newBytes);
                if (!patch.empty() && patch.size() < newBytes.size()) {
                    record.kind = delta::FileKind::Patch;
                    record.oldSize = oldBytes.size();
                    record.oldSha256 = delta::sha256Of(oldBytes);
                    stored = patch;
                }
            }
        }
        manifest.files.push_back(record);
        if (record.kind == delta::FileKind::Same) return true;
        const char* folder =
            record.kind == delta::FileKind::Patch ? delta::kPatchFolder : delta::kWholeFolder;
        if (!delta::writeWholeFile(mWork / folder / fs::path(path), stored)) {
            error = "cannot write into " + mWork.string();
            return false;
        }
        return true;
    }

private:
    fs::path mWork;
};

uintmax_t sizeOf(const fs::path& file) {
    std::error_code ec;
    const uintmax_t size = fs::file_size(file, ec);
    return ec ? 0 : size;
}

int make(int argc, char** argv) {
    Options options;
    std::string error;
    if (!readOptions(argc, argv, options, error)) return fail(error);
    std::map<std::string, fs::path> oldFiles;
    std::map<std::string, fs::path> newFiles;
    if (!listTree(options.from, oldFiles, error) || !listTree(options.to, newFiles, error)) {
        return fail(error);
    }
    std::string workTemplate = fs::absolute(options.out).string() + ".work-XXXXXX";
    if (::mkdtemp(&workTemplate[0]) == nullptr) {
        return fail("cannot make a work folder beside " + options.out.string());
    }
    const fs::path work = workTemplate;
    delta::Manifest manifest;
    manifest.fromVersion = options.fromVersion;
    manifest.toVersion = options.toVersion;
    DeltaMaker maker(work);
    uintmax_t treeBytes = 0;
    int status = 0;
    for (const auto& file : newFiles) {
        const auto old = oldFiles.find(file.first);
        if (!maker.add(file.first, file.second, old == oldFiles.end() ? nullptr : &old->second,
                       manifest, error)) {
            status = fail(error);
            break;
        }
        treeBytes += manifest.files.back().size;
    }
    // The manifest must read back as the updater reads it: this refuses a
    // path or version the format cannot carry.
    const std::string text = delta::writeManifest(manifest);
    delta::Manifest check;
    if (status == 0 && !delta::readManifest(text, check, error)) status = fail(error);
    if (status == 0 && !delta::writeWholeFile(work / delta::kManifestName, text)) {
        status = fail("cannot write the manifest");
    }
    const fs::path partial = options.out.string() + ".partial";
    std::error_code ec;
    fs::remove(partial, ec);
    if (status == 0 && run7z(work, partial) != 0)
        status = fail("7z could not write " + partial.string());
    if (status == 0) {
        fs::rename(partial, options.out, ec);
        if (ec) status = fail("cannot rename " + partial.string() + ": " + ec.message());
    }
    fs::remove_all(work, ec);
    fs::remove(partial, ec);
    if (status != 0) return status;

    size_t counts[3] = {0, 0, 0};
    for (const delta::FileRecord& file : manifest.files) ++counts[int(file.kind)];
    const uintmax_t deltaBytes = sizeOf(options.out);
    std::printf("%s -> %s: %zu files, %zu unchanged, %zu patched, %zu whole\n",
                manifest.fromVersion.c_str(), manifest.toVersion.c_str(), manifest.files.size(),
                counts[int(delta::FileKind::Same)], counts[int(delta::FileKind::Patch)],
                counts[int(delta::FileKind::Whole)]);
    std::printf("new tree: %ju bytes\n", treeBytes);
    if (!options.full.empty()) {
        const uintmax_t fullBytes = sizeOf(options.full);
        std::printf("full package: %ju bytes\n", fullBytes);
        std::printf("delta package: %ju bytes (%.1f%% of the full package)\n", deltaBytes,
                    fullBytes ? 100.0 * double(deltaBytes) / double(fullBytes) : 0.0);
    } else {
        std::printf("delta package: %ju bytes (%.1f%% of the new tree)\n", deltaBytes,
                    treeBytes ? 100.0 * double(deltaBytes) / double(treeBytes) : 0.0);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "make") return make(argc, argv);
    const bool help = command == "--help" || command == "-h" || command == "help";
    if (help) std::fputs(kHelp, stdout);
    if (help) return 0;
    return fail(command.empty() ? "no command given (update-delta --help shows it)"
                                : "unknown command '" + command + "'");
}

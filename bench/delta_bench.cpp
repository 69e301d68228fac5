// A delta release against the full package: an installation of 300
// incompressible DLL-like files of 0.5 MB and two of 8 MB (about 166 MB); the
// release edits 4 KB in 5% of the small files and 64 KB in each large one,
// and adds three files of 300 KB. Prints the package sizes, the time to make
// the delta (update-delta make), the time to apply it (7z extracts the delta,
// then the updater's rebuild and checks) against 7z extracting the full
// package, and the rebuild's peak memory.
//   delta_bench [FOLDER]   (default: a new folder in $TMPDIR or /tmp, removed at the end)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "delta/DeltaFiles.h"
#include "delta/DeltaManifest.h"
#include "delta/DeltaRebuild.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kSmallFiles = 300;
constexpr size_t kSmallSize = 512 * 1024;
constexpr size_t kLargeSize = 8 << 20;
constexpr size_t kAddedSize = 300 * 1024;

struct Noise {
    uint64_t state;
    std::string bytes(size_t size) {
        std::string out(size, '\0');
        for (char& c : out) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            c = char(state >> 32);
        }
        return out;
    }
};

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Run {
    bool ok = false;
    double seconds = 0;
    long peakKiB = 0;
};

// Runs a child to its end: a program with arguments, or a function.
template <typename Child>
Run timed(Child child) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) std::_Exit(child());
    int status = 0;
    struct rusage usage {};
    Run run;
    run.ok = pid > 0 && wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status) &&
             WEXITSTATUS(status) == 0;
    run.seconds = secondsSince(start);
    run.peakKiB = usage.ru_maxrss;
    return run;
}

Run program(const std::vector<std::string>& args, const fs::path& folder) {
    return timed([&] {
        if (chdir(folder.c_str()) != 0) return 127;
        if (!freopen("/dev/null", "w", stdout)) return 127;
        std::vector<char*> argv;
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        return 127;
    });
}

bool put(const fs::path& file, const std::string& bytes) {
    return delta::writeWholeFile(file, bytes);
}

bool makeTrees(const fs::path& root) {
    Noise noise{0x9e3779b97f4a7c15ull};
    const fs::path oldTree = root / "1.3.0";
    const fs::path newTree = root / "1.4.0";
    for (size_t i = 0; i < kSmallFiles; ++i) {
        const std::string name = "bin/module" + std::to_string(i) + ".dll";
        std::string bytes = noise.bytes(kSmallSize);
        if (!put(oldTree / name, bytes)) return false;
        if (i % 20 == 7) bytes.replace(100000 + i * 97, 4096, noise.bytes(4096));  // 5%
        if (!put(newTree / name, bytes)) return false;
    }
    for (const char* name : {"lib/codec.dll", "lib/engine.dll"}) {
        std::string bytes = noise.bytes(kLargeSize);
        if (!put(oldTree / name, bytes)) return false;
        bytes.replace(3 << 20, 65536, noise.bytes(65536));
        if (!put(newTree / name, bytes)) return false;
    }
    for (const char* name : {"plugins/a.dll", "plugins/b.dll", "res/c.pak"}) {
        if (!put(newTree / name, noise.bytes(kAddedSize))) return false;
    }
    return true;
}

uintmax_t treeBytes(const fs::path& root) {
    uintmax_t bytes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) bytes += entry.file_size();
    }
    return bytes;
}

bool sameTrees(const fs::path& a, const fs::path& b) {
    std::string x, y;
    for (const auto& entry : fs::recursive_directory_iterator(b)) {
        if (!entry.is_regular_file()) continue;
        const fs::path other = a / entry.path().lexically_relative(b);
        if (!delta::readWholeFile(entry.path(), UINT64_MAX, y) ||
            !delta::readWholeFile(other, UINT64_MAX, x) || x != y) {
            return false;
        }
    }
    return true;
}

int fail(const char* what) {
    std::fprintf(stderr, "delta_bench: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const bool own = argc < 2;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/delta-bench-XXXXXX";
    const fs::path root = own ? fs::path(mkdtemp(&pattern[0])) : fs::path(argv[1]);
    fs::create_directories(root);
    if (!makeTrees(root)) return fail("cannot write the trees");
    const uintmax_t installed = treeBytes(root / "1.3.0");

    const Run full = program({"7z", "a", "-bd", (root / "full.7z").string(), "."}, root / "1.4.0");
    const Run make = program({UPDATE_DELTA, "make", "--from", (root / "1.3.0").string(), "--to",
                              (root / "1.4.0").string(), "-o", (root / "delta.7z").string()},
                             root);
    if (!full.ok || !make.ok) return fail("7z or update-delta failed");
    const uintmax_t fullBytes = fs::file_size(root / "full.7z");
    const uintmax_t deltaBytes = fs::file_size(root / "delta.7z");

    const Run extractFull =
        program({"7z", "x", "-bd", "-y", "-o" + (root / "full-out").string(), "full.7z"}, root);
    const Run extractDelta =
        program({"7z", "x", "-bd", "-y", "-o" + (root / "delta-out").string(), "delta.7z"}, root);
    const Run rebuild = timed([&] {
        std::string text;
        delta::Manifest manifest;
        std::string error;
        delta::RebuildCount count;
        if (!delta::readWholeFile(root / "delta-out" / delta::kManifestName, 16 << 20, text) ||
            !delta::readManifest(text, manifest, error) ||
            !delta::rebuild({root / "1.3.0", root / "delta-out", root / "staging", {}}, manifest,
                            {}, count, error)) {
            std::fprintf(stderr, "delta_bench: %s\n", error.c_str());
            return 1;
        }
        return 0;
    });
    if (!extractFull.ok || !extractDelta.ok || !rebuild.ok) return fail("applying failed");
    // The staged files over the old tree give the new one.
    fs::copy(root / "staging", root / "1.3.0",
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    if (!sameTrees(root / "1.3.0", root / "1.4.0")) return fail("the rebuilt tree differs");

    std::printf("installation: %.1f MB in %zu files\n", double(installed) / 1e6, kSmallFiles + 2);
    std::printf("package: delta %ju bytes, full %ju bytes, ratio %.2f%%\n", deltaBytes, fullBytes,
                100.0 * double(deltaBytes) / double(fullBytes));
    std::printf("make: update-delta %.2f s (peak %ld MiB), 7z full package %.2f s\n", make.seconds,
                make.peakKiB / 1024, full.seconds);
    std::printf("apply: delta %.2f s (7z %.2f s + rebuild %.2f s), full extraction %.2f s\n",
                extractDelta.seconds + rebuild.seconds, extractDelta.seconds, rebuild.seconds,
                extractFull.seconds);
    std::printf("rebuild peak memory: %ld MiB (largest file %zu MiB, installation %.0f MiB)\n",
                rebuild.peakKiB / 1024, kLargeSize >> 20, double(installed) / (1 << 20));
    if (own) fs::remove_all(root);
    return 0;
}

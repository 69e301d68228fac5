#include "frame_output.h"

#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#define dup _dup
#define dup2 _dup2
#define fdopen _fdopen
#define unlink _unlink
#else
#include <unistd.h>
#endif

namespace frametool {
namespace {

// The .part file being written, for the signal handler to remove.
char gPartial[4096];

extern "C" void remove_partial_and_die(int signal) {
    if (gPartial[0]) unlink(gPartial);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void watch_partial(const std::string& partial) {
    if (partial.size() >= sizeof gPartial) return;
    std::memcpy(gPartial, partial.c_str(), partial.size() + 1);
    std::signal(SIGINT, remove_partial_and_die);
    std::signal(SIGTERM, remove_partial_and_die);
}

void forget_partial() { gPartial[0] = '\0'; }

// The tool named in the line an abort prints.
const char* gTool = "";

void say(const char* text) {
#if defined(_WIN32)
    const int written = _write(2, text, static_cast<unsigned>(std::strlen(text)));
#else
    const ssize_t written = ::write(2, text, std::strlen(text));
#endif
    (void)written;  // nothing to do about a failed write here
}

// An OpenCL runtime may abort instead of returning an error: PoCL does so
// when it cannot link a kernel, for one because the linker ld is not on
// PATH. The tool then ends as on any other failure, with one line and
// status 1, and leaves no .part file behind.
extern "C" void report_abort(int) {
    if (gPartial[0]) unlink(gPartial);
    say("\n");
    say(gTool);
    say(": stopped: the OpenCL runtime or the library aborted, most likely because a kernel "
        "could not be built (PoCL needs the linker ld on PATH)\n");
    _exit(1);
}

// The path with every symlink followed, also when the last one points to
// nothing yet (the target is then created).
std::string follow_links(std::string path) {
#if !defined(_WIN32)
    for (int hop = 0; hop < 40; ++hop) {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) break;
        char link[4096];
        const ssize_t n = readlink(path.c_str(), link, sizeof link - 1);
        if (n <= 0) break;
        link[n] = '\0';
        const std::size_t slash = path.rfind('/');
        path = link[0] == '/' || slash == std::string::npos ? std::string(link)
                                                            : path.substr(0, slash + 1) + link;
    }
#endif
    return path;
}

// Moves the finished file over the target; std::rename does not replace an
// existing file on Windows.
bool replace_file(const std::string& from, const std::string& to) {
#if defined(_WIN32)
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

}  // namespace

void report_aborts(const char* tool) {
    gTool = tool;
    std::signal(SIGABRT, report_abort);
}

int keep_stdout_for_frames() {
    std::fflush(stdout);
    const int frameFd = dup(1);
    dup2(2, 1);
#if defined(_WIN32)
    _setmode(frameFd, _O_BINARY);  // no line-end translation of frame bytes
#endif
    return frameFd;
}

std::FILE* open_frame_input(const std::string& path) {
    if (path != "-") return std::fopen(path.c_str(), "rb");
#if defined(_WIN32)
    // Standard input starts in text mode, which ends at the first 0x1A byte.
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    return stdin;
}

FrameOutput::FrameOutput(const char* tool, const std::string& path, int frameFd)
    : mTool(tool), mPath(path) {
    if (!to_file()) {
        mFile = fdopen(frameFd, "wb");
        if (!mFile) std::fprintf(stderr, "%s: cannot write standard output\n", mTool);
        return;
    }
    mTarget = follow_links(mPath);
    struct stat info {};
    const bool exists = stat(mTarget.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode)) {
        std::fprintf(stderr, "%s: cannot write %s: it is a directory\n", mTool, mPath.c_str());
        return;
    }
    // Only a regular file can be replaced by a rename; a FIFO or a device is
    // written in place, so that it stays what it is.
    if (!exists || S_ISREG(info.st_mode)) mPartial = mTarget + ".part";
    const std::string& written = mPartial.empty() ? mTarget : mPartial;
    mFile = std::fopen(written.c_str(), "wb");
    if (!mFile) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", mTool, written.c_str(),
                     std::strerror(errno));
        return;
    }
    if (!mPartial.empty()) watch_partial(mPartial);
}

FrameOutput::~FrameOutput() {
    if (mFile) finish(1);
}

bool FrameOutput::write(const void* bytes, std::size_t size, long frameNumber) {
    if (std::fwrite(bytes, 1, size, mFile) == size) return true;
    std::fprintf(stderr, "\n%s: cannot write frame %ld\n", mTool, frameNumber);
    return false;
}

int FrameOutput::finish(int status) {
    if (!mFile) return 1;
    if (std::fclose(mFile) != 0) status = 1;
    mFile = nullptr;
    if (mPartial.empty()) return status;
    if (status == 0 && !replace_file(mPartial, mTarget)) {
        std::fprintf(stderr, "%s: cannot rename %s to %s\n", mTool, mPartial.c_str(),
                     mTarget.c_str());
        status = 1;
    }
    if (status != 0) std::remove(mPartial.c_str());
    forget_partial();
    return status;
}

void progress(long frames, std::chrono::steady_clock::time_point start, bool last) {
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "\rframes: %ld  fps: %.1f%s", frames, s > 0 ? frames / s : 0.0,
                 last ? "\n" : "");
    std::fflush(stderr);
}

}  // namespace frametool

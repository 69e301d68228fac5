// Where a frame tool writes its frames: standard output, kept apart from
// everything printed, or a path. A symlink is followed to its target first; a
// regular file or a new one is written as OUT.part and renamed to OUT only
// when every frame was complete (SIGINT and SIGTERM remove the .part file);
// anything else that is not a directory (a FIFO, a device) is written
// straight. A directory is refused. Also the progress line on standard error.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>

namespace frametool {

// Keeps a descriptor on standard output for frames and sends everything
// printed afterwards (library diagnostics included) to standard error.
int keep_stdout_for_frames();

// From now on an abort ends the tool with one line on standard error and
// status 1, and removes the .part file. An OpenCL runtime may abort instead
// of returning an error (PoCL does when it cannot link a kernel), and its
// compiler may put in handlers of its own while building the library's
// programs, so call this after the library object is set up, before the
// first frame.
void report_aborts(const char* tool);

// The frames to read: the file at path, or standard input for "-"; binary
// either way. nullptr when the file cannot be opened.
std::FILE* open_frame_input(const std::string& path);

class FrameOutput {
public:
    // path "-" writes to frameFd. Prints "<tool>: cannot write ..." on failure.
    FrameOutput(const char* tool, const std::string& path, int frameFd);
    ~FrameOutput();
    FrameOutput(const FrameOutput&) = delete;
    FrameOutput& operator=(const FrameOutput&) = delete;

    bool ok() const { return mFile != nullptr; }
    bool to_file() const { return mPath != "-"; }
    // Writes one frame; prints and returns false when that fails.
    bool write(const void* bytes, std::size_t size, long frameNumber);
    // Closes; a .part file is renamed when status is 0 and removed otherwise.
    // Returns the final status.
    int finish(int status);

private:
    const char* mTool;
    std::string mPath;     // as given
    std::string mTarget;   // mPath with symlinks followed
    std::string mPartial;  // mTarget.part, or empty when written straight
    std::FILE* mFile = nullptr;
};

// "\rframes: N  fps: F" on standard error; a newline when last.
void progress(long frames, std::chrono::steady_clock::time_point start, bool last);

}  // namespace frametool

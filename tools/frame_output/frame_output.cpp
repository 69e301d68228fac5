#include "frame_output.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#define dup _dup
#define dup2 _dup2
#define fdopen _fdopen
#else
#include <unistd.h>
#endif

namespace frametool {

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
    : tool_(tool), path_(path), partial_(path + ".part") {
  file_ = to_file() ? std::fopen(partial_.c_str(), "wb") : fdopen(frameFd, "wb");
  if (!file_) std::fprintf(stderr, "%s: cannot write %s\n", tool_, to_file() ? partial_.c_str() : "standard output");
}

FrameOutput::~FrameOutput() {
  if (file_) finish(1);
}

bool FrameOutput::write(const void* bytes, std::size_t size, long frameNumber) {
  if (std::fwrite(bytes, 1, size, file_) == size) return true;
  std::fprintf(stderr, "\n%s: cannot write frame %ld\n", tool_, frameNumber);
  return false;
}

int FrameOutput::finish(int status) {
  if (!file_) return 1;
  if (std::fclose(file_) != 0) status = 1;
  file_ = nullptr;
  if (!to_file()) return status;
  if (status == 0 && std::rename(partial_.c_str(), path_.c_str()) != 0) {
    std::fprintf(stderr, "%s: cannot rename %s to %s\n", tool_, partial_.c_str(), path_.c_str());
    status = 1;
  }
  if (status != 0) std::remove(partial_.c_str());
  return status;
}

void progress(long frames, std::chrono::steady_clock::time_point start, bool last) {
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fprintf(stderr, "\rframes: %ld  fps: %.1f%s", frames, s > 0 ? frames / s : 0.0, last ? "\n" : "");
  std::fflush(stderr);
}

}  // namespace frametool

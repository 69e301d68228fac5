// lutgrade-cli: grades raw video frames through a .cube or .3dl table.
//
//   lutgrade-cli --lut FILE --size WxH --format nv12|i420|yuy2
//                [--lut-size N] [--gpu-priority N] [-i IN] [-o OUT]
//
// IN and OUT default to "-" (standard input and output), so it sits in a pipe:
//   ffmpeg -i in.mp4 -f rawvideo -pix_fmt nv12 - |
//     lutgrade-cli --lut look.cube --size 1920x1080 --format nv12 |
//     ffmpeg -f rawvideo -pix_fmt nv12 -s 1920x1080 -i - out.mp4
// The library's diagnostics go to standard error, so frames on standard
// output stay clean. A file output is written under a temporary name and
// renamed only when every frame was complete.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "lutgrade/Lut3D.h"

#if defined(_WIN32)
#include <io.h>
#define dup _dup
#define dup2 _dup2
#define fdopen _fdopen
#else
#include <unistd.h>
#endif

namespace {

constexpr int kMaxSide = 16384;

struct Options {
  std::string lut, input = "-", output = "-", format;
  int width = 0, height = 0, lutSize = 33, gpuPriority = 0;
};

int usage(const char* why) {
  std::fprintf(stderr,
               "lutgrade-cli: %s\n"
               "usage: lutgrade-cli --lut FILE --size WxH --format nv12|i420|yuy2\n"
               "                    [--lut-size N] [--gpu-priority N] [-i IN] [-o OUT]\n",
               why);
  return 2;
}

bool parse_int(const char* text, int& value) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < -1000000 || v > 1000000) return false;
  value = static_cast<int>(v);
  return true;
}

bool parse_size(const std::string& text, int& w, int& h) {
  const auto x = text.find('x');
  return x != std::string::npos && parse_int(text.substr(0, x).c_str(), w) && parse_int(text.substr(x + 1).c_str(), h);
}

// 0 when parsed, else the exit status.
int parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return usage(("missing value after " + arg).c_str());
    const char* value = argv[++i];
    if (arg == "--lut") {
      o.lut = value;
    } else if (arg == "--size") {
      if (!parse_size(value, o.width, o.height)) return usage("--size wants WxH, e.g. 1920x1080");
    } else if (arg == "--format") {
      o.format = value;
    } else if (arg == "--lut-size") {
      if (!parse_int(value, o.lutSize)) return usage("--lut-size wants a number");
    } else if (arg == "--gpu-priority") {
      if (!parse_int(value, o.gpuPriority)) return usage("--gpu-priority wants a number");
    } else if (arg == "-i" || arg == "--input") {
      o.input = value;
    } else if (arg == "-o" || arg == "--output") {
      o.output = value;
    } else {
      return usage(("unknown option " + arg).c_str());
    }
  }
  if (o.lut.empty()) return usage("--lut is required");
  if (o.format != "nv12" && o.format != "i420" && o.format != "yuy2")
    return usage("--format must be nv12, i420 or yuy2");
  if (o.width < 4 || o.width % 4 != 0 || o.height < 2 || o.height % 2 != 0)
    return usage("--size: the width must be a multiple of 4 and the height a multiple of 2");
  if (o.width > kMaxSide || o.height > kMaxSide) return usage("--size: at most 16384 pixels a side");
  if (o.lutSize < 2 || o.lutSize > 256) return usage("--lut-size must be 2 to 256");
  return 0;
}

class Grader {
 public:
  Grader(Lut3D& lut, const Options& o) : lut_(lut), o_(o) {
    const std::size_t pixels = static_cast<std::size_t>(o.width) * o.height;
    frame_.resize(o.format == "yuy2" ? pixels * 2 : pixels * 3 / 2);
  }
  std::vector<unsigned char>& frame() { return frame_; }

  void grade() {
    const int w = o_.width, h = o_.height;
    unsigned char* y = frame_.data();
    const std::size_t pixels = static_cast<std::size_t>(w) * h;
    if (o_.format == "nv12") {
      lut_.exec_3DLut_NV12(w, h, y, y + pixels, y, y + pixels);
    } else if (o_.format == "i420") {
      unsigned char* u = y + pixels;
      unsigned char* v = u + pixels / 4;
      lut_.exec_3DLut_I420(w, h, y, u, v, y, u, v);
    } else {
      lut_.exec_3DLut_YUY2(w, h, y, y);
    }
  }

 private:
  Lut3D& lut_;
  const Options& o_;
  std::vector<unsigned char> frame_;
};

void progress(long frames, std::chrono::steady_clock::time_point start, bool last) {
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fprintf(stderr, "\rframes: %ld  fps: %.1f%s", frames, s > 0 ? frames / s : 0.0, last ? "\n" : "");
  std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (const int status = parse(argc, argv, o)) return status;

  // Frames may go to standard output: keep a handle on it for them and send
  // everything printed (the library's diagnostics included) to standard error.
  std::fflush(stdout);
  const int frameFd = dup(1);
  dup2(2, 1);

  std::FILE* in = o.input == "-" ? stdin : std::fopen(o.input.c_str(), "rb");
  if (!in) {
    std::fprintf(stderr, "lutgrade-cli: cannot open %s\n", o.input.c_str());
    return 1;
  }
  const bool toFile = o.output != "-";
  const std::string partial = o.output + ".part";
  std::FILE* out = toFile ? std::fopen(partial.c_str(), "wb") : fdopen(frameFd, "wb");
  if (!out) {
    std::fprintf(stderr, "lutgrade-cli: cannot write %s\n", toFile ? partial.c_str() : "standard output");
    return 1;
  }

  Lut3D lut(o.gpuPriority);
  if (lut.load_filter_of_cube_3dl_file(o.lut.c_str(), o.lutSize) != 0) {
    std::fprintf(stderr, "lutgrade-cli: cannot load the table %s\n", o.lut.c_str());
    if (toFile) std::remove(partial.c_str());
    return 1;
  }

  Grader grader(lut, o);
  std::vector<unsigned char>& frame = grader.frame();
  const auto start = std::chrono::steady_clock::now();
  auto lastReport = start;
  long frames = 0;
  int status = 0;
  for (;;) {
    const std::size_t got = std::fread(frame.data(), 1, frame.size(), in);
    if (got == 0) break;
    if (got < frame.size()) {
      std::fprintf(stderr, "\nlutgrade-cli: the input ends inside frame %ld (%zu of %zu bytes)\n", frames + 1, got,
                   frame.size());
      status = 1;
      break;
    }
    grader.grade();
    if (std::fwrite(frame.data(), 1, frame.size(), out) != frame.size()) {
      std::fprintf(stderr, "\nlutgrade-cli: cannot write frame %ld\n", frames + 1);
      status = 1;
      break;
    }
    ++frames;
    if (toFile && std::chrono::steady_clock::now() - lastReport > std::chrono::milliseconds(500)) {
      progress(frames, start, false);
      lastReport = std::chrono::steady_clock::now();
    }
  }
  if (std::ferror(in)) {
    std::fprintf(stderr, "lutgrade-cli: cannot read %s\n", o.input.c_str());
    status = 1;
  }
  if (std::fclose(out) != 0) status = 1;
  if (toFile) {
    progress(frames, start, true);
    if (status == 0 && std::rename(partial.c_str(), o.output.c_str()) != 0) {
      std::fprintf(stderr, "lutgrade-cli: cannot rename %s to %s\n", partial.c_str(), o.output.c_str());
      status = 1;
    }
    if (status != 0) std::remove(partial.c_str());
  }
  return status;
}

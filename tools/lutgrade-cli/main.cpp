// lutgrade-cli: grades raw video frames through a table file (.cube, .3dl,
// .csp, .spi3d, .spi1d, .itx), or through a table generated from colour adjustments.
//
//   lutgrade-cli (--lut FILE | --hsv FILE) --size WxH --format nv12|i420|yuy2
//                [--lut-size N] [--strength S] [--gpu-priority N] [-i IN] [-o OUT]
//                [--write-cube OUT]
//   lutgrade-cli (--lut FILE | --hsv FILE) --write-cube OUT [--lut-size N] [--strength S]
//
// IN and OUT default to "-" (standard input and output), so it sits in a pipe:
//   ffmpeg -i in.mp4 -f rawvideo -pix_fmt nv12 - |
//     lutgrade-cli --lut look.cube --size 1920x1080 --format nv12 |
//     ffmpeg -f rawvideo -pix_fmt nv12 -s 1920x1080 -i - out.mp4
// The library's diagnostics go to standard error, so frames on standard
// output stay clean. A regular file output is written under a temporary name
// and renamed only when every frame was complete; a FIFO or a device is
// written straight (see frame_output.h). Empty input is an error.
//
// --hsv reads an adjustment list (see lutgrade/tables/adjustment_list.h) and grades with the
// 17-point table generated from it. --write-cube saves the table the frames
// would be graded with: the generated 17-point table, or the file's table
// resampled to --lut-size points, both at --strength (0 to 1, default 1:
// how much of the table applies). Without --size, --format, -i or -o it only
// writes the table.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cube_writer.h"
#include "frame_output.h"
#include "lutgrade/Lut3D.h"
#include "tables/adjustment_list.h"
#include "tables/table_resample.h"
#include "tables/table_source.h"

namespace {

constexpr int kMaxSide = 16384;

struct Options {
    std::string lut, hsv, writeCube, input = "-", output = "-", format;
    int width = 0, height = 0, lutSize = 33, gpuPriority = 0;
    float strength = 1.0f;
    bool lutSizeGiven = false;
    bool grade = false;  // frames are graded (not only a table written)
};

const char kUsage[] =
    "usage: lutgrade-cli (--lut FILE | --hsv FILE) --size WxH --format nv12|i420|yuy2\n"
    "                    [--lut-size N] [--strength S] [--gpu-priority N] [-i IN] [-o OUT]\n"
    "                    [--write-cube OUT]\n"
    "       lutgrade-cli (--lut FILE | --hsv FILE) --write-cube OUT [--lut-size N] [--strength "
    "S]\n";

int usage(const char* why) {
    std::fprintf(stderr, "lutgrade-cli: %s\n%s", why, kUsage);
    return 2;
}

// Exit status -1 asks main to exit 0 after --help.
constexpr int kHelped = -1;

bool parse_int(const char* text, int& value) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < -1000000 || v > 1000000) return false;
    value = static_cast<int>(v);
    return true;
}

bool parse_strength(const char* text, float& value) {
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(v >= 0.0 && v <= 1.0)) return false;
    value = static_cast<float>(v);
    return true;
}

bool parse_size(const std::string& text, int& w, int& h) {
    const auto x = text.find('x');
    return x != std::string::npos && parse_int(text.substr(0, x).c_str(), w) &&
           parse_int(text.substr(x + 1).c_str(), h);
}

// 0 when parsed, else the exit status.
int parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return kHelped;
        }
        if (i + 1 >= argc) return usage(("missing value after " + arg).c_str());
        const char* value = argv[++i];
        if (arg == "--lut") {
            o.lut = value;
        } else if (arg == "--hsv") {
            o.hsv = value;
        } else if (arg == "--write-cube") {
            o.writeCube = value;
        } else if (arg == "--size") {
            if (!parse_size(value, o.width, o.height))
                return usage("--size wants WxH, e.g. 1920x1080");
        } else if (arg == "--format") {
            o.format = value;
        } else if (arg == "--lut-size") {
            if (!parse_int(value, o.lutSize))
                return usage("--lut-size wants a whole number from 2 to 256");
            o.lutSizeGiven = true;
        } else if (arg == "--strength") {
            if (!parse_strength(value, o.strength))
                return usage("--strength wants a number from 0 to 1");
        } else if (arg == "--gpu-priority") {
            if (!parse_int(value, o.gpuPriority))
                return usage(
                    "--gpu-priority wants a whole number (0 Intel, 1 NVIDIA, another value any "
                    "other platform)");
        } else if (arg == "-i" || arg == "--input") {
            o.input = value;
            o.grade = true;
        } else if (arg == "-o" || arg == "--output") {
            o.output = value;
            o.grade = true;
        } else {
            return usage(("unknown option " + arg).c_str());
        }
    }
    if (o.lut.empty() == o.hsv.empty()) return usage("give one table: --lut FILE or --hsv FILE");
    if (!o.hsv.empty() && o.lutSizeGiven)
        return usage("--lut-size goes with --lut; generated tables have 17 points");
    if (o.lutSize < 2 || o.lutSize > 256) return usage("--lut-size must be 2 to 256");
    o.grade = o.grade || o.writeCube.empty() || o.width != 0 || o.height != 0 || !o.format.empty();
    if (!o.grade) return 0;
    if (o.format != "nv12" && o.format != "i420" && o.format != "yuy2")
        return usage("--format must be nv12, i420 or yuy2");
    if (o.width < 4 || o.width % 4 != 0 || o.height < 2 || o.height % 2 != 0)
        return usage("--size: the width must be a multiple of 4 and the height a multiple of 2");
    if (o.width > kMaxSide || o.height > kMaxSide)
        return usage("--size: at most 16384 pixels a side");
    return 0;
}

class Grader {
public:
    Grader(Lut3D& lut, const Options& o) : mLut(lut), mO(o) {
        const std::size_t pixels = static_cast<std::size_t>(o.width) * o.height;
        mFrame.resize(o.format == "yuy2" ? pixels * 2 : pixels * 3 / 2);
    }
    std::vector<unsigned char>& frame() { return mFrame; }

    void grade() {
        const int w = mO.width, h = mO.height;
        unsigned char* y = mFrame.data();
        const std::size_t pixels = static_cast<std::size_t>(w) * h;
        if (mO.format == "nv12") {
            mLut.exec_3DLut_NV12(w, h, y, y + pixels, y, y + pixels);
        } else if (mO.format == "i420") {
            unsigned char* u = y + pixels;
            unsigned char* v = u + pixels / 4;
            mLut.exec_3DLut_I420(w, h, y, u, v, y, u, v);
        } else {
            mLut.exec_3DLut_YUY2(w, h, y, y);
        }
    }

private:
    Lut3D& mLut;
    const Options& mO;
    std::vector<unsigned char> mFrame;
};

// The table file resampled to --lut-size; empty, after a line with the
// reason, when the file yields no table.
std::vector<float> checked_table(const Options& o) {
    lutgrade::TableFile file = lutgrade::table_from_file(o.lut.c_str(), o.lutSize);
    if (file.table.empty())
        std::fprintf(stderr, "lutgrade-cli: cannot load the table %s: %s\n", o.lut.c_str(),
                     file.reason.c_str());
    return file.table;
}

// Saves the table the frames would be graded with.
int write_table(const Options& o, std::vector<Chi3dlutRgbcmyInfo> adjustments) {
    int edge = o.lutSize;
    std::vector<float> table;
    if (o.hsv.empty()) {
        table = checked_table(o);
    } else {
        edge = 17;
        table = lutgrade::table_from_adjustments(adjustments.data(),
                                                 static_cast<unsigned>(adjustments.size()));
    }
    if (table.empty()) return 1;
    lutgrade::blend_towards_identity(table, edge, o.strength);
    std::string error;
    if (!lutcli::write_cube_file(o.writeCube, table, edge, error)) {
        std::fprintf(stderr, "lutgrade-cli: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

int grade_frames(const Options& o, std::vector<Chi3dlutRgbcmyInfo>& adjustments, int frameFd) {
    std::FILE* in = frametool::open_frame_input(o.input);
    if (!in) {
        std::fprintf(stderr, "lutgrade-cli: cannot open %s\n", o.input.c_str());
        return 1;
    }
    frametool::FrameOutput out("lutgrade-cli", o.output, frameFd);
    if (!out.ok()) return 1;
    const bool toFile = out.to_file();
    // The reader's reason, before the library's own lines.
    if (o.hsv.empty() && checked_table(o).empty()) return out.finish(1);

    Lut3D lut(o.gpuPriority);
    lut.set_strength(o.strength);
    const int loaded = o.hsv.empty()
                           ? lut.load_filter_of_cube_3dl_file(o.lut.c_str(), o.lutSize)
                           : lut.load_filter_from_HSV(adjustments.data(),
                                                      static_cast<unsigned>(adjustments.size()), 0);
    if (loaded != 0) {
        std::fprintf(stderr,
                     "lutgrade-cli: cannot load the table %s: the library returned %d (its reason "
                     "is above)\n",
                     o.hsv.empty() ? o.lut.c_str() : o.hsv.c_str(), loaded);
        return out.finish(1);
    }

    frametool::report_aborts("lutgrade-cli");
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
            std::fprintf(stderr,
                         "\nlutgrade-cli: the input ends inside frame %ld (%zu of %zu bytes)\n",
                         frames + 1, got, frame.size());
            status = 1;
            break;
        }
        grader.grade();
        if (!out.write(frame.data(), frame.size(), frames + 1)) {
            status = 1;
            break;
        }
        ++frames;
        if (toFile &&
            std::chrono::steady_clock::now() - lastReport > std::chrono::milliseconds(500)) {
            frametool::progress(frames, start, false);
            lastReport = std::chrono::steady_clock::now();
        }
    }
    if (std::ferror(in)) {
        std::fprintf(stderr, "lutgrade-cli: cannot read %s\n", o.input.c_str());
        status = 1;
    } else if (status == 0 && frames == 0) {
        std::fprintf(stderr, "lutgrade-cli: the input holds no frame\n");
        status = 1;
    }
    if (toFile) frametool::progress(frames, start, true);
    return out.finish(status);
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (const int status = parse(argc, argv, o)) return status == kHelped ? 0 : status;

    const int frameFd = frametool::keep_stdout_for_frames();

    std::vector<Chi3dlutRgbcmyInfo> adjustments;
    std::string error;
    if (!o.hsv.empty() && !lutgrade::read_adjustment_file(o.hsv, adjustments, error)) {
        std::fprintf(stderr, "lutgrade-cli: %s\n", error.c_str());
        return 1;
    }
    if (!o.writeCube.empty())
        if (const int status = write_table(o, adjustments)) return status;
    return o.grade ? grade_frames(o, adjustments, frameFd) : 0;
}

// cmatte-cli: keys raw camera frames over a raw background into raw frames.
//
//   cmatte-cli --size WxH --format nv12|i420|yuy2 -b BACKGROUND
//              [--key green|blue|digital-green|CODE] [--version N] [--coff F]
//              [--similar F] [--calibrate] [--gpu-priority N] [-i CAMERA] [-o OUT]
//              [--refine] [--detail-keep] [--unmix] [--spill S] [--spill-range PX]
//              [--levels LO,HI] [--garbage X,Y,W,H] [--holdout X,Y,W,H]
//
// CAMERA and OUT default to "-" (standard input and output), so it sits in a
// pipe. BACKGROUND is a raw file of the same format and size: a stream of
// frames used one per camera frame, whose last frame stays once it ends (a
// one-frame file is a still background). The library's diagnostics and the
// progress line (frames and frames per second) go to standard error. A
// regular file output is written under a temporary name and renamed only
// when every frame was complete; a FIFO or a device is written straight (see
// frame_output.h). Empty camera input is an error. --key defaults to green
// (code 2); --version (1 or 2) to 2; version 1 keys NV12 and YUY2 only.
// --coff lies above 0 and at most 4.25. --similar (0 to 1) and --calibrate
// are for the version-1 keyer: the calibration runs on the first frame and its result is printed as
// "cmatte-cli: calibrated similarity S" on standard error. The refinements
// (--refine and the options after it, see --help) are for the version-2
// keyer; with --version 1 they are refused.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cmatte/ColorMatting.h"
#include "frame_output.h"

namespace {

constexpr int kMaxSide = 16384;
// Beyond this factor the threshold of every key code passes 255 and nothing is keyed.
constexpr float kMaxCoff = 4.25f;

struct Options {
    std::string camera = "-", background, output = "-", format;
    int width = 0, height = 0, key = 2, version = 2, gpuPriority = 0;
    float coff = 1.0f, similar = 0.0f;
    bool similarGiven = false, calibrate = false;
    // Version 2's refinements; any of them given counts as refining.
    bool refine = false, detailKeep = false, unmix = false, spillGiven = false;
    bool levelsGiven = false;
    float spill = 1.0f, clipBlack = 0.0f, clipWhite = 1.0f;
    long spillRange = 0;
    long garbage[4] = {}, holdout[4] = {};  // x, y, w, h; w 0 for none
    bool refined() const {
        return refine || detailKeep || unmix || spillGiven || levelsGiven || garbage[2] > 0 ||
               holdout[2] > 0;
    }
};

const char kUsage[] =
    "usage: cmatte-cli --size WxH --format nv12|i420|yuy2 -b BACKGROUND\n"
    "                  [--key green|blue|digital-green|1-3] [--version 1|2] [--coff F]\n"
    "                  [--similar F] [--calibrate] [--gpu-priority N] [-i CAMERA] [-o OUT]\n"
    "                  [--refine] [--detail-keep] [--unmix] [--spill S] [--spill-range PX]\n"
    "                  [--levels LO,HI] [--garbage X,Y,W,H] [--holdout X,Y,W,H]\n";

const char kOptions[] =
    "  --size WxH            frame size: width a multiple of 4, height of 2, at most 16384\n"
    "  --format F            nv12, i420 or yuy2 (version 1: nv12 or yuy2)\n"
    "  -b, --background FILE background frames; the last one stays when they run out\n"
    "  -i, --input FILE      camera frames (default - : standard input)\n"
    "  -o, --output FILE     keyed frames (default - : standard output)\n"
    "  --key K               green (default), blue, digital-green or a code from 1 to 3\n"
    "  --version N           keyer version 1 or 2 (default 2)\n"
    "  --gpu-priority N      0 Intel, 1 NVIDIA, another number any other platform\n"
    "  --coff F              version 2: threshold factor above 0, at most 4.25 (default 1)\n"
    "  --similar F           version 1: similarity threshold from 0 to 1\n"
    "  --calibrate           version 1: calibrate the similarity on the first frame\n"
    "  --refine              version 2: the recommended refinements (detail keep, unmix)\n"
    "  --detail-keep         version 2: keep detail close to the key colour inside the subject\n"
    "  --unmix               version 2: remove the local backdrop colour from edges\n"
    "  --spill S             version 2: edge spill removal strength 0 to 4 (default 1)\n"
    "  --spill-range PX      version 2: also despill opaque pixels up to PX (0-8) from the edge\n"
    "  --levels LO,HI        version 2: matte clip black and white, 0 <= LO < HI <= 1\n"
    "  --garbage X,Y,W,H     version 2: everything outside this rectangle is backdrop\n"
    "  --holdout X,Y,W,H     version 2: everything inside this rectangle is subject\n";

int fail(const std::string& why) {
    std::fprintf(stderr, "cmatte-cli: %s\n%s", why.c_str(), kUsage);
    return 2;
}

// Exit status -1 asks main to exit 0 after --help.
constexpr int kHelped = -1;

bool to_long(const std::string& text, long& v) {
    char* end = nullptr;
    v = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && v > -1000000 && v < 1000000;
}

bool to_float(const std::string& text, float& v) {
    char* end = nullptr;
    v = std::strtof(text.c_str(), &end);
    return !text.empty() && *end == '\0' && std::isfinite(v);
}

bool to_key(const std::string& text, int& key) {
    long v = 0;
    if (text == "green")
        key = 2;
    else if (text == "blue")
        key = 3;
    else if (text == "digital-green")
        key = 1;
    else if (to_long(text, v) && v >= 1 && v <= 3)
        key = static_cast<int>(v);
    else
        return false;
    return true;
}

// X,Y,W,H with X, Y from 0 and W, H above 0.
bool to_rect(const std::string& text, long r[4]) {
    std::size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = i < 3 ? text.find(',', at) : text.size();
        if (comma == std::string::npos || !to_long(text.substr(at, comma - at), r[i])) return false;
        at = comma + 1;
    }
    return r[0] >= 0 && r[1] >= 0 && r[2] > 0 && r[3] > 0;
}

int parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::fputs(kOptions, stdout);
            return kHelped;
        }
        if (arg == "--calibrate" || arg == "--refine" || arg == "--detail-keep" ||
            arg == "--unmix") {
            (arg == "--calibrate" ? o.calibrate
             : arg == "--refine"  ? o.refine
             : arg == "--unmix"   ? o.unmix
                                  : o.detailKeep) = true;
            continue;
        }
        if (i + 1 >= argc) return fail("missing value after " + arg);
        const std::string value = argv[++i];
        long n = 0;
        if (arg == "--size") {
            const auto x = value.find('x');
            long w = 0, h = 0;
            if (x == std::string::npos || !to_long(value.substr(0, x), w) ||
                !to_long(value.substr(x + 1), h))
                return fail("--size wants WxH, e.g. 1920x1080");
            o.width = static_cast<int>(w);
            o.height = static_cast<int>(h);
        } else if (arg == "--format") {
            o.format = value;
        } else if (arg == "--key") {
            if (!to_key(value, o.key))
                return fail("--key wants green, blue, digital-green or a code from 1 to 3");
        } else if (arg == "--version") {
            if (!to_long(value, n) || (n != 1 && n != 2)) return fail("--version must be 1 or 2");
            o.version = static_cast<int>(n);
        } else if (arg == "--gpu-priority") {
            if (!to_long(value, n))
                return fail(
                    "--gpu-priority wants a whole number (0 Intel, 1 NVIDIA, another value any "
                    "other platform)");
            o.gpuPriority = static_cast<int>(n);
        } else if (arg == "--coff") {
            if (!to_float(value, o.coff) || !(o.coff > 0.0f) || o.coff > kMaxCoff)
                return fail("--coff must be a number above 0 and at most 4.25");
        } else if (arg == "--similar") {
            if (!to_float(value, o.similar)) return fail("--similar wants a number");
            o.similarGiven = true;
        } else if (arg == "--spill") {
            if (!to_float(value, o.spill) || o.spill < 0.0f || o.spill > 4.0f)
                return fail("--spill must lie from 0 to 4");
            o.spillGiven = true;
        } else if (arg == "--spill-range") {
            if (!to_long(value, o.spillRange) || o.spillRange < 0 || o.spillRange > 8)
                return fail("--spill-range must be a whole number from 0 to 8");
            o.spillGiven = true;
        } else if (arg == "--levels") {
            const auto comma = value.find(',');
            if (comma == std::string::npos || !to_float(value.substr(0, comma), o.clipBlack) ||
                !to_float(value.substr(comma + 1), o.clipWhite) || !(o.clipBlack >= 0.0f) ||
                !(o.clipBlack < o.clipWhite) || !(o.clipWhite <= 1.0f))
                return fail("--levels wants LO,HI with 0 <= LO < HI <= 1");
            o.levelsGiven = true;
        } else if (arg == "--garbage" || arg == "--holdout") {
            if (!to_rect(value, arg == "--garbage" ? o.garbage : o.holdout))
                return fail(arg + " wants X,Y,W,H: whole numbers, W and H above 0");
        } else if (arg == "-i" || arg == "--input") {
            o.camera = value;
        } else if (arg == "-b" || arg == "--background") {
            o.background = value;
        } else if (arg == "-o" || arg == "--output") {
            o.output = value;
        } else {
            return fail("unknown option " + arg);
        }
    }
    if (o.format != "nv12" && o.format != "i420" && o.format != "yuy2")
        return fail("--format must be nv12, i420 or yuy2");
    if (o.width < 4 || o.width % 4 != 0 || o.height < 2 || o.height % 2 != 0)
        return fail("--size: the width must be a multiple of 4 and the height a multiple of 2");
    if (o.width > kMaxSide || o.height > kMaxSide)
        return fail("--size: at most 16384 pixels a side");
    for (const long* r : {o.garbage, o.holdout})
        if (r[2] > 0 && (r[0] + r[2] > o.width || r[1] + r[3] > o.height))
            return fail("--garbage and --holdout must lie inside the frame");
    if (o.version == 1 && o.refined())
        return fail(
            "--refine, --detail-keep, --unmix, --spill, --spill-range, --levels, --garbage and "
            "--holdout apply to the version-2 keyer only");
    if (o.version == 1 && o.format == "i420")
        return fail("version 1 keys NV12 and YUY2 frames; use --version 2 for I420");
    // The similarity is compared with a closeness from 0 to 1 for every key code.
    if (o.similarGiven && (o.similar < 0.0f || o.similar > 1.0f))
        return fail("--similar must lie from 0 to 1");
    if (o.background.empty()) return fail("give the background frames with -b FILE");
    if (o.background == "-" && o.camera == "-")
        return fail("camera and background cannot both be standard input");
    return 0;
}

// Frame planes laid out one after another in one buffer.
struct FrameBuffer {
    FrameBuffer(const Options& o) : w(o.width), h(o.height), format(o.format) {
        const std::size_t pixels = static_cast<std::size_t>(w) * h;
        bytes.resize(format == "yuy2" ? pixels * 2 : pixels * 3 / 2);
    }
    unsigned char* plane(int i) {
        const std::size_t pixels = static_cast<std::size_t>(w) * h;
        return bytes.data() + (i == 0 ? 0 : i == 1 ? pixels : pixels + pixels / 4);
    }
    int w, h;
    std::string format;
    std::vector<unsigned char> bytes;
};

void key(ColorMatting& cm, FrameBuffer& cam, FrameBuffer& bg, FrameBuffer& out) {
    const int w = cam.w, h = cam.h;
    if (cam.format == "nv12")
        cm.exec_ColorMatting_NV12(w, h, cam.plane(0), cam.plane(1), bg.plane(0), bg.plane(1),
                                  out.plane(0), out.plane(1));
    else if (cam.format == "i420")
        cm.exec_ColorMatting_I420(w, h, cam.plane(0), cam.plane(1), cam.plane(2), bg.plane(0),
                                  bg.plane(1), bg.plane(2), out.plane(0), out.plane(1),
                                  out.plane(2));
    else
        cm.exec_ColorMatting_YUY2(w, h, cam.plane(0), bg.plane(0), out.plane(0));
}

// Reads a whole frame: 1 read, 0 at a clean end, -1 on a cut-off frame.
int read_frame(std::FILE* f, FrameBuffer& frame) {
    const std::size_t got = std::fread(frame.bytes.data(), 1, frame.bytes.size(), f);
    if (got == frame.bytes.size()) return 1;
    return got == 0 && !std::ferror(f) ? 0 : -1;
}

void report_calibration(float similar) {
    std::fprintf(stderr, "cmatte-cli: calibrated similarity %.4f\n", similar);
}

int run(const Options& o, int frameFd) {
    std::FILE* cam = frametool::open_frame_input(o.camera);
    if (!cam) return std::fprintf(stderr, "cmatte-cli: cannot open %s\n", o.camera.c_str()), 1;
    std::FILE* bgFile = frametool::open_frame_input(o.background);
    if (!bgFile)
        return std::fprintf(stderr, "cmatte-cli: cannot open %s\n", o.background.c_str()), 1;
    // The output is checked (a directory is refused) before any frame is read.
    frametool::FrameOutput out("cmatte-cli", o.output, frameFd);
    if (!out.ok()) return 1;
    FrameBuffer camFrame(o), bgFrame(o), outFrame(o);
    if (read_frame(bgFile, bgFrame) != 1) {
        std::fprintf(stderr, "cmatte-cli: %s holds no whole %dx%d %s frame\n", o.background.c_str(),
                     o.width, o.height, o.format.c_str());
        return out.finish(1);
    }

    ColorMatting cm(o.version, o.gpuPriority);
    if (!cm.ready) {
        std::fprintf(stderr, "cmatte-cli: keyer version %d could not be set up\n", o.version);
        return out.finish(1);
    }
    cm.setParams_KeyColor(o.key);
    cm.setParams_v2_coff_thres(o.coff);
    if (o.similarGiven) cm.setParams_v1_Similar(o.similar);
    if (o.calibrate) cm.setParams_v1_Cal_Similar(report_calibration);
    if (o.refine) cm.setParams_v2_refine(1);
    if (o.detailKeep) cm.setParams_v2_detail_keep(1);
    if (o.unmix) cm.setParams_v2_unmix(1);
    if (o.spillGiven) cm.setParams_v2_spill(o.spill, static_cast<int>(o.spillRange));
    if (o.levelsGiven) cm.setParams_v2_levels(o.clipBlack, o.clipWhite);
    for (auto [r, setter] : {std::pair{o.garbage, &ColorMatting::setParams_v2_garbage},
                             std::pair{o.holdout, &ColorMatting::setParams_v2_holdout}})
        if (r[2] > 0)
            (cm.*setter)(static_cast<int>(r[0]), static_cast<int>(r[1]), static_cast<int>(r[2]),
                         static_cast<int>(r[3]));
    if (o.version == 2 && (o.calibrate || o.similarGiven))
        std::fprintf(stderr,
                     "cmatte-cli: --similar and --calibrate apply to the version-1 keyer only\n");

    frametool::report_aborts("cmatte-cli");
    const auto start = std::chrono::steady_clock::now();
    auto lastReport = start;
    long frames = 0;
    int status = 0;
    bool bgEnded = false;
    for (;;) {
        const int got = read_frame(cam, camFrame);
        if (got == 0) break;
        if (got < 0) {
            std::fprintf(stderr, "\ncmatte-cli: the camera input ends inside frame %ld\n",
                         frames + 1);
            status = 1;
            break;
        }
        if (frames > 0 && !bgEnded) {
            const int bgGot =
                read_frame(bgFile, bgFrame);  // keeps the last frame once the stream ends
            if (bgGot < 0) {
                std::fprintf(stderr, "\ncmatte-cli: the background ends inside frame %ld\n",
                             frames + 1);
                status = 1;
                break;
            }
            bgEnded = bgGot == 0;
        }
        std::fill(outFrame.bytes.begin(), outFrame.bytes.end(), 0);
        key(cm, camFrame, bgFrame, outFrame);
        if (!out.write(outFrame.bytes.data(), outFrame.bytes.size(), frames + 1)) {
            status = 1;
            break;
        }
        ++frames;
        if (std::chrono::steady_clock::now() - lastReport > std::chrono::milliseconds(500)) {
            frametool::progress(frames, start, false);
            lastReport = std::chrono::steady_clock::now();
        }
    }
    frametool::progress(frames, start, true);
    if (status == 0 && frames == 0) {
        std::fprintf(stderr, "cmatte-cli: the camera input holds no frame\n");
        status = 1;
    }
    return out.finish(status);
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (const int status = parse(argc, argv, o)) return status == kHelped ? 0 : status;
    return run(o, frametool::keep_stdout_for_frames());
}

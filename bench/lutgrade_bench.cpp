// lutgrade against ffmpeg's lut3d filter (tetrahedral) on the same frames and
// the same 33-point table, for NV12, I420 and YUY2 at 720p, 1080p and 2160p.
//   lutgrade_bench [--quick]
// Frames come from ffmpeg's testsrc2. ffmpeg's rate is taken between a
// one-frame run and a long run, so its start-up does not count; ours times
// whole frame calls (uploads, kernel, read-backs) after a warm-up. Runs of
// the two alternate, so a busy machine slows both alike; the medians of five
// are printed.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "lutgrade/Lut3D.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Format {
    const char* name;
    const char* ffmpegPixFmt;
    double bytesPerPixel;
};

struct Size {
    int w, h, frames;  // frames per timed run
};

double seconds_since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

void write_cube(const std::string& path, int n) {
    std::ofstream out(path);
    out << "TITLE \"bench look\"\nLUT_3D_SIZE " << n << "\n";
    char line[80];
    for (int b = 0; b < n; ++b)
        for (int g = 0; g < n; ++g)
            for (int r = 0; r < n; ++r) {
                const double R = r / double(n - 1), G = g / double(n - 1), B = b / double(n - 1);
                std::snprintf(line, sizeof line, "%.6f %.6f %.6f\n",
                              std::pow(R, 0.8) * 0.95 + 0.05 * G, 0.9 * G + 0.08 * B + 0.02,
                              std::pow(B, 1.3) * 0.85 + 0.1 * R);
                out << line;
            }
}

std::vector<unsigned char> read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

constexpr int kRuns = 5;

// Frames per second of ffmpeg grading `frames` frames looped from `raw`.
double ffmpeg_fps(const std::string& raw, const Format& f, const Size& s, const std::string& cube,
                  const std::string& via) {
    auto timed = [&](int frames) {
        const std::string chain = (via.empty() ? "" : "format=" + via + ",") +
                                  "lut3d=file=" + cube + ":interp=tetrahedral";
        const std::string cmd = "ffmpeg -nostdin -v error -f rawvideo -pix_fmt " +
                                std::string(f.ffmpegPixFmt) + " -s " + std::to_string(s.w) + "x" +
                                std::to_string(s.h) + " -stream_loop -1 -i " + raw + " -frames:v " +
                                std::to_string(frames) + " -vf " + chain + " -pix_fmt " +
                                f.ffmpegPixFmt + " -f null -";
        const auto t = Clock::now();
        if (!run(cmd)) return -1.0;
        return seconds_since(t);
    };
    const double one = timed(1), many = timed(s.frames + 1);
    if (one < 0 || many < 0) return 0;
    return s.frames / std::max(many - one, 1e-6);
}

// Frames per second of our runs, one entry per run.
std::vector<double> ours_fps(Lut3D& lut, const std::vector<unsigned char>& frames, const Format& f,
                             const Size& s, const std::function<void()>& between) {
    const std::size_t pixels = static_cast<std::size_t>(s.w) * s.h;
    const std::size_t frameBytes = static_cast<std::size_t>(pixels * f.bytesPerPixel);
    const std::size_t count = frames.size() / frameBytes;
    std::vector<unsigned char> out(frameBytes);
    auto grade = [&](std::size_t i) {
        const unsigned char* in = &frames[(i % count) * frameBytes];
        const std::string name = f.name;
        if (name == "nv12") {
            lut.exec_3DLut_NV12(s.w, s.h, in, in + pixels, out.data(), out.data() + pixels);
        } else if (name == "i420") {
            lut.exec_3DLut_I420(s.w, s.h, in, in + pixels, in + pixels * 5 / 4, out.data(),
                                out.data() + pixels, out.data() + pixels * 5 / 4);
        } else {
            lut.exec_3DLut_YUY2(s.w, s.h, in, out.data());
        }
    };
    for (int i = 0; i < 3; ++i) grade(i);
    std::vector<double> rates;
    for (int run = 0; run < kRuns; ++run) {
        const auto t = Clock::now();
        for (int i = 0; i < s.frames; ++i) grade(i);
        rates.push_back(s.frames / seconds_since(t));
        between();
    }
    return rates;
}

void print(std::FILE* report, const std::string& label, double ours, double peer) {
    std::fprintf(report, "%s: ours %.1f fps, peer %.1f fps, ratio %.2f\n", label.c_str(), ours,
                 peer, peer > 0 ? ours / peer : 0.0);
    std::fflush(report);
}

}  // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::string(argv[1]) == "--quick";
    char folder[] = "/tmp/lutgrade-bench-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    const std::string dir = folder;
    const std::string cube = dir + "/look.cube";
    write_cube(cube, 33);

    const Format formats[] = {
        {"nv12", "nv12", 1.5}, {"i420", "yuv420p", 1.5}, {"yuy2", "yuyv422", 2.0}};
    std::vector<Size> sizes = {{1280, 720, 120}, {1920, 1080, 60}, {3840, 2160, 15}};
    if (quick) sizes = {{1920, 1080, 30}};

    // The library prints its set-up lines on standard output: send them to
    // /dev/null and keep the original standard output for the results.
    std::fflush(stdout);
    std::FILE* report = fdopen(dup(1), "w");
    if (!report || !std::freopen("/dev/null", "w", stdout)) return 1;
    Lut3D lut(0);
    if (lut.load_filter_of_cube_3dl_file(cube.c_str(), 33) != 0) {
        std::fprintf(report, "cannot load %s\n", cube.c_str());
        return 1;
    }

    for (const Size& s : sizes)
        for (const Format& f : formats) {
            const std::string raw = dir + "/" + f.name + std::to_string(s.w) + ".raw";
            if (!run("ffmpeg -nostdin -v error -f lavfi -i testsrc2=s=" + std::to_string(s.w) +
                     "x" + std::to_string(s.h) + ":r=25 -frames:v 4 -pix_fmt " + f.ffmpegPixFmt +
                     " -f rawvideo -y " + raw)) {
                std::fprintf(report, "ffmpeg could not make the test frames\n");
                return 1;
            }
            // ffmpeg's fastest route we found for NV12 is 32-bit float planar RGB,
            // where its lut3d has SIMD code; shown beside its default route.
            const bool alsoFloat = std::string(f.name) == "nv12" && s.h == 1080;
            std::vector<double> peer, peerFloat;
            const std::vector<double> ours = ours_fps(lut, read_all(raw), f, s, [&] {
                peer.push_back(ffmpeg_fps(raw, f, s, cube, ""));
                if (alsoFloat) peerFloat.push_back(ffmpeg_fps(raw, f, s, cube, "gbrpf32le"));
            });
            const std::string label =
                std::string(f.name) + " " + std::to_string(s.w) + "x" + std::to_string(s.h);
            print(report, label, median(ours), median(peer));
            if (alsoFloat)
                print(report, label + " (ffmpeg via gbrpf32le)", median(ours), median(peerFloat));
            std::remove(raw.c_str());
        }
    std::remove(cube.c_str());
    rmdir(folder);
    return 0;
}

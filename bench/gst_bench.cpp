// The GStreamer elements lutgrade and cmatte against our two tools on the
// same raw 1080p NV12 files, in one run:
//   gst_bench [--quick]          (--quick: 30 frames, medians of 3; else 90 frames, of 5)
//   filesrc ! rawvideoparse ! lutgrade ! fakesink sync=false  vs  lutgrade-cli -o /dev/null
//   two filesrc ! rawvideoparse branches ! cmatte ! fakesink  vs  cmatte-cli -b BG -o /dev/null
// and the lutgrade pipeline once more on a file whose rows are padded to a
// wider stride (rawvideoparse plane-strides), where the element grades
// through a packed copy, against the packed file: its staged-frames count
// must equal the frames there and be 0 on the packed file.
// Both sides read the file and discard the graded frames: the tool writes to
// /dev/null (no copy), the pipeline ends in fakesink; both still read every
// frame back from the device. Each side is timed as a whole job (the tool's
// process; the pipeline from gst_parse_launch through PLAYING to EOS and back
// to NULL) on N frames and on a few, and its rate is the difference in
// frames over the difference in time, so start-up (OpenCL set-up, table
// loading, plugin loading) and the slower first frames (kernel builds,
// buffer pools filling) count on neither side; CPU time (all threads) per
// frame likewise.
// Runs alternate; medians are printed. The element's overhead is its time
// per frame over the tool's, less one. Exit status 1 when a run failed or a
// frame count was wrong.
// The camera frames are the green test scene (textured subject, soft rim,
// hair, noise) repeated; the background is one frame, repeated by both.
#include <gst/gst.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "key_scene.h"
#include "result_rows.h"

namespace {

using Clock = std::chrono::steady_clock;
using bench::row;
using testframes::Frame;

bool failed = false;  // a run failed, a file was not written or a count was wrong: exit status 1

constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kPaddedStride = 2048;  // bytes per row of both NV12 planes in the padded file
constexpr int kFew = 4;              // frames of the short run

double seconds_since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// `frames` copies of f, each plane's rows padded to `stride` bytes when it
// is not 0.
void write_frames(const std::string& path, const Frame& f, int frames, int stride = 0) {
    std::ofstream out(path, std::ios::binary);
    const std::vector<char> pad(stride > 0 ? stride - f.w : 0, 0);
    for (int i = 0; i < frames; ++i)
        for (const auto& plane : f.planes) {
            if (stride == 0) {
                out.write(reinterpret_cast<const char*>(plane.data()),
                          static_cast<std::streamsize>(plane.size()));
                continue;
            }
            for (std::size_t at = 0; at < plane.size(); at += f.w) {  // NV12: rows of w bytes
                out.write(reinterpret_cast<const char*>(plane.data() + at), f.w);
                out.write(pad.data(), static_cast<std::streamsize>(pad.size()));
            }
        }
    out.close();
    if (!out) {
        std::fprintf(stderr, "gst_bench: cannot write %s\n", path.c_str());
        failed = true;
    }
}

// CPU seconds (user and system, all threads) of this process or of its
// waited-for children.
double cpu_seconds(int who) {
    rusage u{};
    getrusage(who, &u);
    const auto s = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

// Wall and CPU seconds of one run; wall is negative when it failed.
struct Run {
    double seconds = -1, cpu = 0;
    guint64 staged = 0;  // the element's staged-frames
    guint64 frames = 0;  // buffers that reached the sink
};

Run run_command(const std::string& command) {
    Run run;
    const double cpu = cpu_seconds(RUSAGE_CHILDREN);
    const auto t = Clock::now();
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    const double s = seconds_since(t);
    run.cpu = cpu_seconds(RUSAGE_CHILDREN) - cpu;
    if (status != 0) std::fprintf(stderr, "gst_bench: failed (%d): %s\n", status, command.c_str());
    if (status == 0) run.seconds = s;
    return run;
}

GstPadProbeReturn count_buffer(GstPad*, GstPadProbeInfo*, gpointer count) {
    ++*static_cast<guint64*>(count);
    return GST_PAD_PROBE_OK;
}

// Runs a pipeline with an element named "element" and a sink named "sink"
// from parsing to EOS and back to NULL.
Run run_pipeline(const std::string& description) {
    Run run;
    const double cpu = cpu_seconds(RUSAGE_SELF);
    const auto t = Clock::now();
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    if (!pipeline || error) {
        std::fprintf(stderr, "gst_bench: %s: %s\n", description.c_str(),
                     error ? error->message : "does not parse");
        g_clear_error(&error);
        if (pipeline) gst_object_unref(pipeline);
        return run;
    }
    GstElement* element = gst_bin_get_by_name(GST_BIN(pipeline), "element");
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    GstPad* sinkPad = gst_element_get_static_pad(sink, "sink");
    guint64 frames = 0;
    gst_pad_add_probe(sinkPad, GST_PAD_PROBE_TYPE_BUFFER, count_buffer, &frames, nullptr);
    gst_object_unref(sinkPad);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* message = gst_bus_timed_pop_filtered(
        bus, GST_CLOCK_TIME_NONE, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool ok = GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
    if (!ok) {
        GError* e = nullptr;
        gst_message_parse_error(message, &e, nullptr);
        std::fprintf(stderr, "gst_bench: %s: %s\n", description.c_str(), e->message);
        g_clear_error(&e);
    }
    gst_message_unref(message);
    gst_object_unref(bus);
    g_object_get(element, "staged-frames", &run.staged, nullptr);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(element);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    run.frames = frames;
    if (ok) run.seconds = seconds_since(t);
    run.cpu = cpu_seconds(RUSAGE_SELF) - cpu;
    return run;
}

std::string raw_source(const std::string& file, int stride = 0) {
    std::string s = "filesrc location=" + file +
                    " ! rawvideoparse format=nv12 width=" + std::to_string(kWidth) +
                    " height=" + std::to_string(kHeight) + " framerate=30/1";
    if (stride > 0)
        s += " plane-strides=<" + std::to_string(stride) + "," + std::to_string(stride) +
             "> plane-offsets=<0," + std::to_string(stride * kHeight) +
             "> frame-size=" + std::to_string(stride * kHeight * 3 / 2);
    return s;
}

// A pipeline or a tool's command, on a file of n frames and on one of kFew.
struct Job {
    bool pipeline;
    std::string many, few;
};

Run run_job(const Job& j, bool many) {
    const std::string& what = many ? j.many : j.few;
    return j.pipeline ? run_pipeline(what) : run_command(what);
}

// One side's medians.
struct Side {
    double fps = 0;      // frames per second between the n-frame and the short run
    double cpuMs = 0;    // CPU milliseconds per frame, likewise
    double whole = 0;    // seconds of the n-frame run
    guint64 staged = 0;  // of the last n-frame run
    guint64 frames = 0;  // likewise
    bool ok = true;

    void add(const Run& many, const Run& few, int n) {
        ok = ok && many.seconds > 0 && few.seconds > 0;
        fpsRuns.push_back(many.seconds > few.seconds ? (n - kFew) / (many.seconds - few.seconds)
                                                     : 0);
        cpuRuns.push_back((many.cpu - few.cpu) * 1000 / (n - kFew));
        wholeRuns.push_back(many.seconds);
        staged = many.staged;
        frames = many.frames;
        fps = median(fpsRuns);
        cpuMs = median(cpuRuns);
        whole = median(wholeRuns);
    }

private:
    std::vector<double> fpsRuns, cpuRuns, wholeRuns;
};

struct Figures {
    Side a, b;
};

// Two jobs side by side, their runs alternating.
Figures measure(const Job& a, const Job& b, int n, int repeats) {
    // Warm-up: the plugin registry, the OpenCL platform, the kernel cache.
    run_job(a, false);
    run_job(b, false);
    Figures f;
    for (int r = 0; r < repeats; ++r) {
        const Run aMany = run_job(a, true), bMany = run_job(b, true);
        const Run aFew = run_job(a, false), bFew = run_job(b, false);
        f.a.add(aMany, aFew, n);
        f.b.add(bMany, bFew, n);
    }
    return f;
}

// Time per frame of a over b, less one, in percent.
double overhead_percent(double a, double b) { return b > 0 ? (a / b - 1) * 100 : 0; }

void print(const char* name, const Side& e, const Side& t, int n) {
    row("%s 1080p NV12, %d frames: element %.1f frames/s, tool %.1f frames/s, element overhead "
        "%+.1f%% (goal at most 5%%); CPU per frame element %.1f ms, tool %.1f ms (%+.1f%%); "
        "whole runs element %.2f s, tool %.2f s; frames out %llu, staged %llu%s\n",
        name, n, e.fps, t.fps, overhead_percent(t.fps, e.fps), e.cpuMs, t.cpuMs,
        overhead_percent(e.cpuMs, t.cpuMs), e.whole, t.whole,
        static_cast<unsigned long long>(e.frames), static_cast<unsigned long long>(e.staged),
        e.ok && t.ok ? "" : " (A RUN FAILED)");
    failed = failed || !e.ok || !t.ok || e.frames != static_cast<guint64>(n) || e.staged != 0;
}

void lutgrade(const std::string& dir, const Frame& camera, int n, int repeats) {
    // The table: a small adjustment list made into a 33-point .cube by the tool.
    const std::string list = dir + "/look.hsv", table = dir + "/look.cube";
    std::ofstream(list) << "130 0 0 90 0 0 -12 1\n20 0 0 45 0.07 0.03 0 1\n";
    run_command(std::string(LUTGRADE_CLI) + " --hsv " + list + " --write-cube " + dir +
                "/look17.cube");
    run_command(std::string(LUTGRADE_CLI) + " --lut " + dir + "/look17.cube --lut-size 33" +
                " --write-cube " + table);

    const std::string many = dir + "/frames.nv12", few = dir + "/few.nv12",
                      paddedMany = dir + "/padded.nv12", paddedFew = dir + "/padded-few.nv12";
    write_frames(many, camera, n);
    write_frames(few, camera, kFew);
    write_frames(paddedMany, camera, n, kPaddedStride);
    write_frames(paddedFew, camera, kFew, kPaddedStride);

    const std::string grade =
        " ! lutgrade name=element location=" + table + " ! fakesink name=sink sync=false";
    const std::string tool = std::string(LUTGRADE_CLI) + " --lut " + table +
                             " --size 1920x1080 --format nv12 -o /dev/null -i ";
    const Job packed{true, raw_source(many) + grade, raw_source(few) + grade};
    const Figures f = measure(packed, {false, tool + many, tool + few}, n, repeats);
    print("lutgrade", f.a, f.b, n);

    // The padded file against the packed one, both through the element.
    const Figures p = measure({true, raw_source(paddedMany, kPaddedStride) + grade,
                               raw_source(paddedFew, kPaddedStride) + grade},
                              packed, n, repeats);
    const auto count = [](guint64 v) { return static_cast<unsigned long long>(v); };
    const bool expected = p.a.ok && p.b.ok && p.a.staged == count(n) && p.a.frames == count(n) &&
                          p.b.staged == 0 && p.b.frames == count(n);
    failed = failed || !expected;
    row("lutgrade 1080p NV12 rows padded to %d bytes, %d frames: element %.1f frames/s, on the "
        "packed file %.1f frames/s (%+.1f%%); CPU per frame %.1f ms, packed %.1f ms (%+.1f%%); "
        "staged-frames %llu of %llu frames out, packed run %llu of %llu: %s\n",
        kPaddedStride, n, p.a.fps, p.b.fps, overhead_percent(p.b.fps, p.a.fps), p.a.cpuMs,
        p.b.cpuMs, overhead_percent(p.a.cpuMs, p.b.cpuMs), count(p.a.staged), count(p.a.frames),
        count(p.b.staged), count(p.b.frames), expected ? "as expected" : "UNEXPECTED");
    for (const std::string& f : {many, few, paddedMany, paddedFew}) std::remove(f.c_str());
}

void cmatte(const std::string& dir, const Frame& camera, const Frame& background, int n,
            int repeats) {
    const std::string many = dir + "/camera.nv12", few = dir + "/camera-few.nv12",
                      bg = dir + "/background.nv12";
    write_frames(many, camera, n);
    write_frames(few, camera, kFew);
    write_frames(bg, background, 1);
    const auto pipeline = [&](const std::string& cam) {
        return "cmatte name=element ! fakesink name=sink sync=false " + raw_source(cam) +
               " ! element.sink " + raw_source(bg) + " ! element.background";
    };
    const std::string tool =
        std::string(CMATTE_CLI) + " --size 1920x1080 --format nv12 -o /dev/null -b " + bg + " -i ";
    const Figures f = measure({true, pipeline(many), pipeline(few)},
                              {false, tool + many, tool + few}, n, repeats);
    print("cmatte", f.a, f.b, n);
    for (const std::string& file : {many, few, bg}) std::remove(file.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    bool quick = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--quick") {
            quick = true;
        } else {
            std::fprintf(stderr, "usage: gst_bench [--quick]\n");
            return 2;
        }
    }
    const int frames = quick ? 30 : 90, repeats = quick ? 3 : 5;
    if (!bench::take_stdout_for_rows()) return 1;
    char dirTemplate[] = "/tmp/gst_bench.XXXXXX";
    const char* dir = mkdtemp(dirTemplate);
    if (!dir) return 1;
    // Our plugin from the build tree, and a registry of our own.
    setenv("GST_PLUGIN_PATH", GST_PLUGIN_DIR, 1);
    setenv("GST_REGISTRY", (std::string(dir) + "/registry.bin").c_str(), 1);
    gst_init(nullptr, nullptr);

    const testframes::KeyScene scene =
        testframes::make_key_scene(kWidth, kHeight, testframes::Backdrop::kGreen, 5);
    const Frame camera = testframes::to_frame(scene.camera, testframes::Layout::kNV12),
                background = testframes::to_frame(scene.background, testframes::Layout::kNV12);
    // Other work on the machine skews the rates far more than the CPU times.
    double load[2] = {};
    getloadavg(load, 1);
    lutgrade(dir, camera, frames, repeats);
    cmatte(dir, camera, background, frames, repeats);
    getloadavg(load + 1, 1);
    row("machine: %ld cores, load average %.1f before, %.1f after\n", sysconf(_SC_NPROCESSORS_ONLN),
        load[0], load[1]);
    std::system((std::string("rm -rf ") + dir).c_str());
    return failed ? 1 : 0;
}

#include "element_common.h"

namespace gstvideo {

const char kFrameCaps[] =
    "video/x-raw, format = (string) { NV12, I420, YUY2 }, width = (int) [ 4, 16384 ], "
    "height = (int) [ 2, 16384 ], framerate = (fraction) [ 0/1, 2147483647/1 ]";

GParamSpec* gpu_priority_spec() {
    return g_param_spec_int(
        "gpu-priority", "GPU preference",
        "OpenCL platform to prefer: 0 Intel, 1 NVIDIA, another number any other", -1000000, 1000000,
        0, kPlayingFlags);
}

GParamSpec* staged_frames_spec() {
    return g_param_spec_uint64("staged-frames", "Staged frames",
                               "Frames with padded rows that went through a packed copy", 0,
                               G_MAXUINT64, 0, kReadOnlyFlags);
}

}  // namespace gstvideo

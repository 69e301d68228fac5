// What the two elements share: the caps they take and the properties both have.
#pragma once

#include <gst/gst.h>

namespace gstvideo {

// NV12, I420 and YUY2 of the sizes the libraries take.
extern const char kFrameCaps[];

// Read-write, changeable while playing; and read-only.
constexpr GParamFlags kPlayingFlags = static_cast<GParamFlags>(
    G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_PLAYING);
constexpr GParamFlags kReadOnlyFlags =
    static_cast<GParamFlags>(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS);

// "gpu-priority" and the read-only "staged-frames".
GParamSpec* gpu_priority_spec();
GParamSpec* staged_frames_spec();

}  // namespace gstvideo

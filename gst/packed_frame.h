// Frames as the GPU libraries take them: each plane's rows packed one after
// another. A GStreamer frame whose planes are already packed is used as it
// is; one with padded rows goes through a packed copy, which is counted.
#pragma once

#include <gst/video/video.h>

#include <cstdint>
#include <vector>

namespace gstvideo {

// The layouts both libraries take.
enum class Layout { kNV12, kI420, kYUY2 };

// false for any other format.
bool layout_of(GstVideoFormat format, Layout& layout);

// Whether a width and height suit the libraries: the width a multiple of 4,
// the height of 2, sides from 4 x 2 up to 16384.
bool size_fits(int width, int height);

// The planes of one frame as packed rows.
class PackedFrame {
public:
    // Points at the frame's planes when they are packed; otherwise at a
    // packed staging copy, filled from the frame when copyIn is true.
    void bind(Layout layout, GstVideoFrame* frame, bool copyIn);
    // A frame of Y 16 and chroma 128 (limited-range black) in staging.
    void bind_black(Layout layout, int width, int height);
    unsigned char* plane(int i) const { return planes_[i]; }
    unsigned char* const* planes() const { return planes_; }
    bool staged() const { return staged_; }
    // Copies the staging planes into the frame's padded rows; a no-op when
    // the frame's own planes were used.
    void write_back(GstVideoFrame* frame) const;

private:
    void stage(Layout layout, int width, int height);
    Layout layout_ = Layout::kNV12;
    int width_ = 0, height_ = 0;
    std::vector<unsigned char> staging_;
    unsigned char* planes_[3] = {};
    bool staged_ = false;
};

}  // namespace gstvideo

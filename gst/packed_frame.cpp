#include "packed_frame.h"

#include <algorithm>
#include <cstring>

namespace gstvideo {
namespace {

constexpr int kMaxSide = 16384;

int plane_count(Layout layout) {
    return layout == Layout::kYUY2 ? 1 : layout == Layout::kNV12 ? 2 : 3;
}

// Bytes in one packed row of plane i, and its rows.
std::size_t row_bytes(Layout layout, int width, int i) {
    if (layout == Layout::kYUY2) return static_cast<std::size_t>(width) * 2;
    return layout == Layout::kI420 && i > 0 ? width / 2 : width;
}

int rows(Layout layout, int height, int i) {
    return layout != Layout::kYUY2 && i > 0 ? height / 2 : height;
}

}  // namespace

bool layout_of(GstVideoFormat format, Layout& layout) {
    switch (format) {
        case GST_VIDEO_FORMAT_NV12:
            layout = Layout::kNV12;
            return true;
        case GST_VIDEO_FORMAT_I420:
            layout = Layout::kI420;
            return true;
        case GST_VIDEO_FORMAT_YUY2:
            layout = Layout::kYUY2;
            return true;
        default:
            return false;
    }
}

bool size_fits(int width, int height) {
    return width >= 4 && width % 4 == 0 && height >= 2 && height % 2 == 0 && width <= kMaxSide &&
           height <= kMaxSide;
}

void PackedFrame::stage(Layout layout, int width, int height) {
    layout_ = layout;
    width_ = width;
    height_ = height;
    std::size_t total = 0;
    for (int i = 0; i < plane_count(layout); ++i)
        total += row_bytes(layout, width, i) * rows(layout, height, i);
    staging_.resize(total);
    unsigned char* at = staging_.data();
    for (int i = 0; i < 3; ++i) {
        planes_[i] = i < plane_count(layout) ? at : nullptr;
        if (i < plane_count(layout)) at += row_bytes(layout, width, i) * rows(layout, height, i);
    }
    staged_ = true;
}

void PackedFrame::bind(Layout layout, GstVideoFrame* frame, bool copyIn) {
    const int width = GST_VIDEO_FRAME_WIDTH(frame), height = GST_VIDEO_FRAME_HEIGHT(frame);
    bool packed = true;
    for (int i = 0; i < plane_count(layout); ++i)
        packed = packed && static_cast<std::size_t>(GST_VIDEO_FRAME_PLANE_STRIDE(frame, i)) ==
                               row_bytes(layout, width, i);
    if (packed) {
        layout_ = layout;
        width_ = width;
        height_ = height;
        for (int i = 0; i < 3; ++i)
            planes_[i] = i < plane_count(layout)
                             ? static_cast<unsigned char*>(GST_VIDEO_FRAME_PLANE_DATA(frame, i))
                             : nullptr;
        staged_ = false;
        return;
    }
    stage(layout, width, height);
    if (!copyIn) return;
    for (int i = 0; i < plane_count(layout); ++i) {
        const auto* src = static_cast<const unsigned char*>(GST_VIDEO_FRAME_PLANE_DATA(frame, i));
        const std::size_t stride = GST_VIDEO_FRAME_PLANE_STRIDE(frame, i),
                          bytes = row_bytes(layout, width, i);
        for (int r = 0; r < rows(layout, height, i); ++r)
            std::memcpy(planes_[i] + r * bytes, src + r * stride, bytes);
    }
}

void PackedFrame::bind_black(Layout layout, int width, int height) {
    stage(layout, width, height);
    if (layout == Layout::kYUY2) {
        for (std::size_t i = 0; i < staging_.size(); i += 2) {
            staging_[i] = 16;
            staging_[i + 1] = 128;
        }
        return;
    }
    const std::size_t luma = static_cast<std::size_t>(width) * height;
    std::fill(staging_.begin(), staging_.begin() + luma, 16);
    std::fill(staging_.begin() + luma, staging_.end(), 128);
}

void PackedFrame::write_back(GstVideoFrame* frame) const {
    if (!staged_) return;
    for (int i = 0; i < plane_count(layout_); ++i) {
        auto* dst = static_cast<unsigned char*>(GST_VIDEO_FRAME_PLANE_DATA(frame, i));
        const std::size_t stride = GST_VIDEO_FRAME_PLANE_STRIDE(frame, i),
                          bytes = row_bytes(layout_, width_, i);
        for (int r = 0; r < rows(layout_, height_, i); ++r)
            std::memcpy(dst + r * stride, planes_[i] + r * bytes, bytes);
    }
}

}  // namespace gstvideo

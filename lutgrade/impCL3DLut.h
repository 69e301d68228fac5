// OpenCL implementation of base_lut: one device context, the colour table on
// the device, and per-layout frame images re-created when the frame size changes.
#pragma once

#include "base_lut.h"
#include "gpu_runtime/device_context.h"
#include "gpu_runtime/frame_images.h"

class impCL3DLut : public base_lut {
 public:
  // Kernel handles, in creation order.
  enum Kernel { kNV12 = 0, kYUY2 = 1, kI420 = 2 };
  static constexpr int kMinEdge = 2;
  static constexpr int kMaxEdge = 256;

  explicit impCL3DLut(int gpuPriority);
  ~impCL3DLut() override;

  int initOpenCL() override;
  int setLutImage(int n, const unsigned char* table) override;
  void runNV12(int w, int h, const unsigned char* srcY, const unsigned char* srcUV, unsigned char* dstY,
               unsigned char* dstUV) override;
  void runI420(int w, int h, const unsigned char* srcY, const unsigned char* srcU, const unsigned char* srcV,
               unsigned char* dstY, unsigned char* dstU, unsigned char* dstV) override;
  void runYUY2(int w, int h, const unsigned char* src, unsigned char* dst) override;

  // Whether a table of edge n is accepted (range and device memory).
  bool table_edge_supported(int n) const;

  // Frame images of one layout and the frame size they were made for.
  template <class Images>
  struct LayoutImages {
    int w = 0;
    int h = 0;
    Images in;
    Images out;
  };

  const gpurt::DeviceContext& device_context() const { return dc_; }
  int table_edge() const { return tableEdge_; }
  cl_mem table() const { return table_; }
  const LayoutImages<gpurt::Nv12Images>& nv12_images() const { return nv12_; }
  const LayoutImages<gpurt::I420Images>& i420_images() const { return i420_; }
  const LayoutImages<gpurt::Yuy2Images>& yuy2_images() const { return yuy2_; }

 private:
  template <class Images, class Create>
  void ensure_frame_images(LayoutImages<Images>& set, int w, int h, Create create);
  cl_command_queue queue() const { return dc_.queues[0]; }
  cl_kernel kernel(Kernel k) const;

  gpurt::DeviceContext dc_;
  int tableEdge_ = 0;
  cl_mem table_ = nullptr;
  LayoutImages<gpurt::Nv12Images> nv12_;
  LayoutImages<gpurt::I420Images> i420_;
  LayoutImages<gpurt::Yuy2Images> yuy2_;
};

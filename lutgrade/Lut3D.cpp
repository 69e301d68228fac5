#include "lutgrade/Lut3D.h"

#include "OrvalenQcom3DLUT.h"
#include "gpu_runtime/gpu_print.h"
#include "impCL3DLut.h"
#include "table_source.h"

Lut3D::Lut3D(int gpuPriority) : impl_(new impCL3DLut(gpuPriority)) { impl_->initOpenCL(); }

Lut3D::~Lut3D() { delete impl_; }

void Lut3D::exec_3DLut_NV12(int w, int h, const unsigned char* srcY, const unsigned char* srcUV, unsigned char* dstY,
                            unsigned char* dstUV) {
  if (impl_) impl_->runNV12(w, h, srcY, srcUV, dstY, dstUV);
}

void Lut3D::exec_3DLut_I420(int w, int h, const unsigned char* srcY, const unsigned char* srcU,
                            const unsigned char* srcV, unsigned char* dstY, unsigned char* dstU, unsigned char* dstV) {
  if (impl_) impl_->runI420(w, h, srcY, srcU, srcV, dstY, dstU, dstV);
}

void Lut3D::exec_3DLut_YUY2(int w, int h, const unsigned char* src, unsigned char* dst) {
  if (impl_) impl_->runYUY2(w, h, src, dst);
}

int Lut3D::load_filter_of_cube_3dl_file(const char* path, int lutSize) {
  if (lutSize < impCL3DLut::kMinEdge || lutSize > impCL3DLut::kMaxEdge) {
    gpurt::gpu_print("Error @load_filter_of_cube_3dl_file(lutSize=%d):%d\n", lutSize, -1);
    return -1;
  }
  const std::vector<std::uint8_t> table = lutgrade::table_from_file(path, lutSize);
  return impl_->setLutImage(lutSize, table.empty() ? nullptr : table.data());
}

// Each entry costs a reset of about 46 thousand grid floats and a pass over
// all 4913 table points; a count beyond any real adjustment list is refused
// rather than ground through.
int Lut3D::load_filter_from_HSV(Chi3dlutRgbcmyInfo* entries, unsigned int count, int) {
  if ((!entries && count > 0) || count > kMaxAdjustments) {
    gpurt::gpu_print("Error @load_filter_from_HSV(count=%u):%d\n", count, -1);
    return -1;
  }
  const std::vector<std::uint8_t> table = lutgrade::table_from_adjustments(entries, count);
  return impl_->setLutImage(Orvalen::OrvalenQcom3DLUT::kEdge, table.data());
}

void Lut3D::getLutInfoRange(LutInfoRange& range, Chi3dlutModeInfo mode) { Orvalen::fill_lut_info_range(range, mode); }

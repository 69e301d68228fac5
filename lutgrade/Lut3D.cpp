#include "lutgrade/Lut3D.h"

#include "gpu_runtime/gpu_print.h"
#include "impCL3DLut.h"
#include "table_file_reader.h"
#include "table_resample.h"

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
  const lutgrade::TableFormat format = lutgrade::table_format_of(path);
  lutgrade::ParsedTable parsed;
  std::vector<unsigned char> table;
  if (format != lutgrade::TableFormat::kNone && lutgrade::read_table_file(path, format, parsed))
    table = lutgrade::resample_table(parsed.rgb, parsed.edge, lutSize);
  return impl_->setLutImage(lutSize, table.empty() ? nullptr : table.data());
}

void Lut3D::getLutInfoRange(LutInfoRange& range, Chi3dlutModeInfo mode) {
  const bool absolute = mode == CHI3DLUT_MODE_ABSOLUTE;
  range.maxSaturation = absolute ? 1.0f : 0.3f;
  range.maxValue = absolute ? 1.0f : 0.15f;
  range.minSaturation = absolute ? 0.0f : -0.3f;
  range.minValue = absolute ? 0.0f : -0.15f;
}

// The version-2 keyer: key channel in CIE L*a*b*, automatic Otsu threshold
// steadied over frames, guided-filter matte at quarter resolution, blend.
#pragma once

#include <array>
#include <cstdint>

#include "base_cm.h"
#include "gpu_runtime/device_context.h"
#include "gpu_runtime/frame_images.h"
#include "key_threshold.h"
#include "ver2_geometry.h"

class ver2_cm : public base_cm {
 public:
  // Kernels in creation order (the launched ones are named).
  enum Kernel {
    kNv12CalLabA = 1,
    kNv12CalLabB = 2,
    kYuy2CalLabA = 4,
    kYuy2CalLabB = 5,
    kI420CalLabA = 6,
    kI420CalLabB = 7,
    kNv12Blend = 8,
    kYuy2Blend = 9,
    kI420Blend = 10,
    kStatHist = 11,
    kAccmHist = 12,
    kDownSample44 = 13,
    kDownSample22 = 14,
    kUpSample44SpeedUp = 16,
    kSegment = 18,
    kDiv = 19,
    kMul2 = 23,
    kMulAdd = 24,
    kMulSub = 25,
    kGaussBlur = 30,
    kBoxR8X = 38,
    kBoxR8Y = 39,
    kKernelCount = 41,
  };
  static constexpr int kTableSize = 512;

  // Planes of the guided filter at quarter size.
  enum QuarterPlane { Kq, Mq, KK, KM, meanK, meanM, meanKK, meanKM, varK, covKM, a, b, meanA, meanB, scratch, kQuarterPlanes };

  // Frame-size working planes and histogram buffers of one layout.
  struct WorkingSet {
    cl_mem K = nullptr, S = nullptr, M = nullptr, A8 = nullptr, half = nullptr, quarter = nullptr, Af = nullptr;
    cl_mem histRows = nullptr, histTotal = nullptr;
  };
  template <class Images>
  struct LayoutSet {
    int w = 0, h = 0;
    Images cam, bg, out;
    WorkingSet work;
  };

  explicit ver2_cm(int gpuPriority);
  ~ver2_cm() override;

  int initOpenCL() override;
  void setKeyColor(int code) override { keyColor_ = code; }
  void setSimilar(float) override {}
  void requestSimilarCalibration(void (*)(float)) override {}
  void setCoffThres(float coff) override { coffThres_ = coff; }
  void runNV12(int w, int h, const unsigned char* camY, const unsigned char* camUV, const unsigned char* bgY,
               const unsigned char* bgUV, unsigned char* outY, unsigned char* outUV) override;
  void runI420(int w, int h, const unsigned char* camY, const unsigned char* camU, const unsigned char* camV,
               const unsigned char* bgY, const unsigned char* bgU, const unsigned char* bgV, unsigned char* outY,
               unsigned char* outU, unsigned char* outV) override;
  void runYUY2(int w, int h, const unsigned char* cam, const unsigned char* bg, unsigned char* out) override;

  // For checks.
  const gpurt::DeviceContext& device_context() const { return dc_; }
  int key_color() const { return keyColor_; }
  float coff_thres() const { return coffThres_; }
  const cmatte::ThresholdHistory& threshold_history() const { return history_; }
  const std::array<std::uint32_t, 256>& last_histogram() const { return histogram_; }
  int last_threshold() const { return lastThreshold_; }
  const LayoutSet<gpurt::Nv12Images>& nv12_set() const { return nv12_; }
  const LayoutSet<gpurt::Yuy2Images>& yuy2_set() const { return yuy2_; }
  const LayoutSet<gpurt::I420Images>& i420_set() const { return i420_; }
  cl_command_queue queue() const { return dc_.queues[0]; }

 private:
  template <class Images, class Create>
  bool prepare_frame(LayoutSet<Images>& set, int w, int h, Create create);
  void create_quarter_planes(const cmatte::Ver2Geometry& g);
  void release_quarter_planes();
  void create_working_set(WorkingSet& work, int w, int h);
  static void release_working_set(WorkingSet& work);
  cl_kernel kernel(int k) const;

  // Steps 3 to 7 of a frame after the key conversion: threshold,
  // segmentation, guided filter, smoothing.
  void matte_from_key(WorkingSet& work, int w, int h);
  int keyHistogramThreshold(WorkingSet& work, int w, int h);
  void guided_filter(WorkingSet& work, int w, int h);
  void box(cl_mem src, cl_mem dst);
  int launch(int k, cmatte::Grid grid, const char* failureMessage);

  gpurt::DeviceContext dc_;
  float linearisation_[kTableSize] = {};
  float lab_[kTableSize] = {};
  cl_mem linImage_ = nullptr;
  cl_mem labImage_ = nullptr;
  float coffThres_ = 1.0f;
  int keyColor_ = 0;
  int frameW_ = 0, frameH_ = 0;
  cmatte::Ver2Geometry geometry_{};
  cmatte::ThresholdHistory history_;
  cl_mem quarter_[kQuarterPlanes] = {};
  cl_mem Ga_ = nullptr, Gb_ = nullptr;  // per object, so objects of different frame sizes can alternate
  LayoutSet<gpurt::Nv12Images> nv12_;
  LayoutSet<gpurt::Yuy2Images> yuy2_;
  LayoutSet<gpurt::I420Images> i420_;
  std::array<std::uint32_t, 256> histogram_{};
  int lastThreshold_ = 0;
};

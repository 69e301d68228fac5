// The version-1 keyer: closeness of each pixel's chroma to the key colour,
// a matte under one similarity threshold, blend; on request the threshold
// is calibrated once on the next frame by a bounded least-squares search
// over a half-size copy of it.
#pragma once

#include <vector>

#include "base_cm.h"
#include "gpu_runtime/device_context.h"
#include "gpu_runtime/frame_images.h"
#include "similarity_search.h"

class ver1_cm : public base_cm, public cmatte::SimilarityEvaluator {
 public:
  // Kernels in creation order.
  enum Kernel {
    kNv12Distance,
    kYuy2Distance,
    kGaussBlur,
    kNv12Blend,
    kYuy2Blend,
    kNv12SubSample,
    kYuy2SubSample,
    kNv12Stat,
    kYuy2Stat,
    kKernelCount
  };
  enum Layout { kNv12 = 0, kYuy2 = 1 };

  // Similarity, its calibration bounds and the matte's smoothness for a key code.
  struct KeyConstants {
    float similar, lower, upper, smooth;
  };
  static KeyConstants key_constants(int keyColor);

  // The half-size copy of the frame being calibrated and what its
  // evaluations read back. Sizes of the images are rounded up to whole
  // texels; evaluations count the width x height positions.
  struct CalibrationSet {
    int width = 0, height = 0;
    gpurt::Nv12Images half;
    cl_mem hsv = nullptr;
    gpurt::Yuy2Images halfYuy2;
    cl_mem alpha = nullptr, matte = nullptr, stats = nullptr;
    std::vector<unsigned char> alphaArray, statArray;
  };

  template <class Images>
  struct LayoutSet {
    int w = 0, h = 0;
    Images cam, bg, out;
  };

  explicit ver1_cm(int gpuPriority);
  ~ver1_cm() override;

  int initOpenCL() override;
  void setKeyColor(int code) override;
  void setSimilar(float similar) override { similar_ = similar; }
  void requestSimilarCalibration(void (*callback)(float)) override;
  void setCoffThres(float) override {}
  void runNV12(int w, int h, const unsigned char* camY, const unsigned char* camUV, const unsigned char* bgY,
               const unsigned char* bgUV, unsigned char* outY, unsigned char* outUV) override;
  void runI420(int, int, const unsigned char*, const unsigned char*, const unsigned char*, const unsigned char*,
               const unsigned char*, const unsigned char*, unsigned char*, unsigned char*, unsigned char*) override {}
  void runYUY2(int w, int h, const unsigned char* cam, const unsigned char* bg, unsigned char* out) override;

  // Error sums of the calibration frame's matte at one similarity (e0 .. e4).
  void evaluateSimilarity(float similar, float smooth, float e[5]) override;

  // For checks.
  const gpurt::DeviceContext& device_context() const { return dc_; }
  int key_color() const { return keyColor_; }
  float similar() const { return similar_; }
  float similar_lower() const { return similarLower_; }
  float similar_upper() const { return similarUpper_; }
  float smooth() const { return smooth_; }
  bool calibration_requested() const { return calibRequest_ != 0; }
  float calibrated_similar() const { return calibratedSimilar_; }
  const CalibrationSet& calibration_set() const { return calib_; }

 private:
  template <class Images, class Create>
  void prepare_frame(LayoutSet<Images>& set, int w, int h, Create create);
  void create_calibration_set(int w, int h);
  void release_calibration_set();
  cl_kernel kernel(Kernel k) const;
  cl_command_queue queue_a() const { return dc_.queues[0]; }
  cl_command_queue queue_b() const { return dc_.queues[1]; }
  cl_int smooth_alpha(cl_command_queue q, cl_mem alpha, int w, int h, float similar, float smooth, cl_mem matte,
                      bool frame);
  void calibrate(Layout layout, int w, int h);

  gpurt::DeviceContext dc_;
  int frameW_ = 0, frameH_ = 0;
  int keyColor_ = 2;
  int calibRequest_ = 0;
  Layout calibLayout_ = kNv12;
  float calibratedSimilar_ = 0.0f;
  float similar_ = 0.4f, similarLower_ = 0.35f, similarUpper_ = 0.5f, smooth_ = 10.0f;
  void (*callback_)(float) = nullptr;
  LayoutSet<gpurt::Nv12Images> nv12_;
  LayoutSet<gpurt::Yuy2Images> yuy2_;
  cl_mem alpha_ = nullptr, matte_ = nullptr;  // closeness and matte of the frame
  CalibrationSet calib_;
};

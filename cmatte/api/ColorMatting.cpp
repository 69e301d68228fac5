#include "cmatte/ColorMatting.h"

#include <algorithm>
#include <cmath>

#include "api/keyer_factory.h"
#include "gpu_runtime/frame_limits.h"

namespace {

// Builds the keyer for the object's version and priority; ready reflects its set-up.
void build_keyer(ColorMatting& cm) {
    cm.alg = cmatte::create_keyer(cm.algVersion, cm.gpuPriority).release();
    cm.ready = cm.alg && cm.alg->initOpenCL() == 0 ? 1 : 0;
}

}  // namespace

ColorMatting::ColorMatting(int algVersion, int gpuPriority)
    : gpuPriority(gpuPriority),
      algVersion(algVersion),
      reserved(0),
      ready(0),
      libVersion(2000),
      alg(nullptr) {
    build_keyer(*this);
}

ColorMatting::~ColorMatting() {
    ready = 0;
    delete alg;
}

int ColorMatting::getVersion() { return libVersion; }

int ColorMatting::switchAlgVersion(int newVersion, int newPriority) {
    if (newVersion == algVersion) return 1;
    algVersion = newVersion;
    ready = 0;
    delete alg;
    alg = nullptr;
    gpuPriority = newPriority;
    build_keyer(*this);
    return ready ? 0 : -1;
}

void ColorMatting::setParams_KeyColor(int code) {
    if (ready) alg->setKeyColor(code);
}

void ColorMatting::setParams_v1_Similar(float similar) {
    if (ready) alg->setSimilar(similar);
}

void ColorMatting::setParams_v1_Cal_Similar(void (*callback)(float)) {
    if (ready) alg->requestSimilarCalibration(callback);
}

void ColorMatting::setParams_v2_coff_thres(float coff) {
    if (ready) alg->setCoffThres(coff);
}

// The keyer's refinements when it has them, else null (the setters are then no-ops).
static cmatte::Refinements* refinements_of(ColorMatting& cm) {
    return cm.ready ? cm.alg->refinements() : nullptr;
}

void ColorMatting::setParams_v2_refine(int on) {
    if (cmatte::Refinements* r = refinements_of(*this)) r->detailKeep = r->unmix = on != 0;
}

void ColorMatting::setParams_v2_detail_keep(int on) {
    if (cmatte::Refinements* r = refinements_of(*this)) r->detailKeep = on != 0;
}

void ColorMatting::setParams_v2_unmix(int on) {
    if (cmatte::Refinements* r = refinements_of(*this)) r->unmix = on != 0;
}

void ColorMatting::setParams_v2_spill(float strength, int rangePixels) {
    cmatte::Refinements* r = refinements_of(*this);
    if (!r || std::isnan(strength)) return;
    r->spillStrength = std::clamp(strength, 0.0f, cmatte::Refinements::kMaxSpillStrength);
    r->spillRange = std::clamp(rangePixels, 0, cmatte::Refinements::kMaxSpillRange);
}

void ColorMatting::setParams_v2_levels(float clipBlack, float clipWhite) {
    cmatte::Refinements* r = refinements_of(*this);
    if (!r || !(clipBlack >= 0.0f && clipBlack < clipWhite && clipWhite <= 1.0f)) return;
    r->clipBlack = clipBlack;
    r->clipWhite = clipWhite;
}

void ColorMatting::setParams_v2_garbage(int x, int y, int w, int h) {
    if (cmatte::Refinements* r = refinements_of(*this)) r->garbage = {x, y, w, h};
}

void ColorMatting::setParams_v2_holdout(int x, int y, int w, int h) {
    if (cmatte::Refinements* r = refinements_of(*this)) r->holdout = {x, y, w, h};
}

void ColorMatting::exec_ColorMatting_NV12(int w, int h, const unsigned char* camY,
                                          const unsigned char* camUV, const unsigned char* bgY,
                                          const unsigned char* bgUV, unsigned char* outY,
                                          unsigned char* outUV) {
    if (ready && gpurt::frame_within_limit("exec_ColorMatting_NV12", w, h))
        alg->runNV12(w, h, camY, camUV, bgY, bgUV, outY, outUV);
}

void ColorMatting::exec_ColorMatting_YUY2(int w, int h, const unsigned char* cam,
                                          const unsigned char* bg, unsigned char* out) {
    if (ready && gpurt::frame_within_limit("exec_ColorMatting_YUY2", w, h))
        alg->runYUY2(w, h, cam, bg, out);
}

void ColorMatting::exec_ColorMatting_I420(int w, int h, const unsigned char* camY,
                                          const unsigned char* camU, const unsigned char* camV,
                                          const unsigned char* bgY, const unsigned char* bgU,
                                          const unsigned char* bgV, unsigned char* outY,
                                          unsigned char* outU, unsigned char* outV) {
    if (ready && gpurt::frame_within_limit("exec_ColorMatting_I420", w, h))
        alg->runI420(w, h, camY, camU, camV, bgY, bgU, bgV, outY, outU, outV);
}

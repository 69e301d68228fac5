// The interface ColorMatting forwards to; one implementation per keyer version.
#pragma once

#include "keyers/refinements.h"

class base_cm {
public:
    virtual ~base_cm() = default;  // implementations release their OpenCL objects
    virtual int initOpenCL() = 0;
    virtual void setKeyColor(int code) = 0;
    virtual void setSimilar(float similar) = 0;
    virtual void requestSimilarCalibration(void (*callback)(float)) = 0;
    virtual void setCoffThres(float coff) = 0;
    // The keyer's refinements to change in place; null for a keyer without them.
    virtual cmatte::Refinements* refinements() { return nullptr; }
    virtual void runNV12(int w, int h, const unsigned char* camY, const unsigned char* camUV,
                         const unsigned char* bgY, const unsigned char* bgUV, unsigned char* outY,
                         unsigned char* outUV) = 0;
    virtual void runI420(int w, int h, const unsigned char* camY, const unsigned char* camU,
                         const unsigned char* camV, const unsigned char* bgY,
                         const unsigned char* bgU, const unsigned char* bgV, unsigned char* outY,
                         unsigned char* outU, unsigned char* outV) = 0;
    virtual void runYUY2(int w, int h, const unsigned char* cam, const unsigned char* bg,
                         unsigned char* out) = 0;
};

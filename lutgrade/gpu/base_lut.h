// The implementation interface behind Lut3D.
#pragma once

class base_lut {
public:
    virtual ~base_lut() = default;

    // Builds the device context; 0 on success.
    virtual int initOpenCL() = 0;
    // Makes table (n*n*n entries of R, G, B, 1.0 full scale; red fastest) the current one.
    virtual int setLutImage(int n, const float* table) = 0;
    // 0 (identity) to 1 (the table as loaded); applies from the next frame.
    virtual void setStrength(float strength) = 0;
    virtual void runNV12(int w, int h, const unsigned char* srcY, const unsigned char* srcUV,
                         unsigned char* dstY, unsigned char* dstUV) = 0;
    virtual void runI420(int w, int h, const unsigned char* srcY, const unsigned char* srcU,
                         const unsigned char* srcV, unsigned char* dstY, unsigned char* dstU,
                         unsigned char* dstV) = 0;
    virtual void runYUY2(int w, int h, const unsigned char* src, unsigned char* dst) = 0;
};

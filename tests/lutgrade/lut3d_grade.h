// Grades an NV12 frame through a Lut3D into fresh zeroed planes.
#pragma once

#include "cpu_reference.h"
#include "lutgrade/Lut3D.h"

namespace lutref {

inline Nv12 grade_with(Lut3D& lut, const Nv12& in, int w, int h) {
    Nv12 out{Bytes(in.y.size(), 0), Bytes(in.uv.size(), 0)};
    lut.exec_3DLut_NV12(w, h, in.y.data(), in.uv.data(), out.y.data(), out.uv.data());
    return out;
}

}  // namespace lutref

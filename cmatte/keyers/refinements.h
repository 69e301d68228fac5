// Opt-in refinements of the version-2 keyer. The defaults leave its output as
// it is without them; the recommended set is what --refine switches on.
#pragma once

namespace cmatte {

// A rectangle in frame pixels; an empty one (w or h 0) is no rectangle.
struct FrameRect {
    int x = 0, y = 0, w = 0, h = 0;
    bool empty() const { return w <= 0 || h <= 0; }
};

struct Refinements {
    // Pixels between the threshold and the lower edge of the backdrop's
    // histogram peak stay subject unless a clear backdrop pixel lies near.
    bool detailKeep = false;
    // Composite by removing the local backdrop colour from the camera instead
    // of mixing camera and background.
    bool unmix = false;
    float spillStrength = 1.0f;  // 0 off, 1 the keyer's own, up to 4 stronger
    int spillRange = 0;          // pixels from the edge where opaque pixels are despilled too
    float clipBlack = 0.0f, clipWhite = 1.0f;  // matte levels
    FrameRect garbage;                         // outside it is backdrop
    FrameRect holdout;                         // inside it is subject

    static constexpr float kMaxSpillStrength = 4.0f;
    static constexpr int kMaxSpillRange = 8;

    bool changes_matte() const {
        return clipBlack > 0.0f || clipWhite < 1.0f || !garbage.empty() || !holdout.empty();
    }
    bool changes_blend() const { return unmix || spillStrength != 1.0f || spillRange > 0; }
};

}  // namespace cmatte

// Synthetic green- or blue-screen scenes with known ground truth: a textured
// subject with soft and fine edges over an unevenly lit backdrop with sensor
// noise, and a colourful new background.
#pragma once

#include <vector>

#include "yuv_frames.h"

namespace testframes {

enum class Backdrop { kGreen, kBlue };

struct KeyScene {
    Picture camera;            // subject over the backdrop, with noise
    Picture background;        // what replaces the backdrop
    Picture truth;             // subject over the background by the true alpha
    std::vector<float> alpha;  // true alpha per pixel, 1 = subject
};

KeyScene make_key_scene(int w, int h, Backdrop backdrop, unsigned seed);

// Pixels whose true alpha is 0 or 1 within `margin` pixels all around.
enum class Region { kBackdrop, kSubject, kEdge };
std::vector<Region> classify(const KeyScene& s, int margin);

}  // namespace testframes

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

// A w x h scene with every picture and the alpha allocated, to be filled in.
KeyScene sized_key_scene(int w, int h);

// The hard scenes: pale-green detail on a green screen, green spill on soft
// rims, hair and a motion-blurred arm, the spill scene with sensor noise and
// compression blocks, an unevenly lit backdrop with the subject's shadow, and
// denim on a blue screen. Key colour 3 for denim, 2 for the others.
enum class HardScene { kPaleDetail, kSpillRim, kHair, kNoisy, kUneven, kDenim };
constexpr HardScene kHardScenes[] = {HardScene::kPaleDetail, HardScene::kSpillRim,
                                     HardScene::kHair,       HardScene::kNoisy,
                                     HardScene::kUneven,     HardScene::kDenim};
KeyScene make_hard_scene(int w, int h, HardScene kind, unsigned seed);
const char* hard_scene_name(HardScene kind);

// Pixels whose true alpha is 0 or 1 within `margin` pixels all around.
enum class Region { kBackdrop, kSubject, kEdge };
std::vector<Region> classify(const KeyScene& s, int margin);

}  // namespace testframes

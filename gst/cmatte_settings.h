// The cmatte element's properties as the keyer takes them, and the texts of
// those given in the command-line tool's notation.
#pragma once

#include <string>

class ColorMatting;

namespace gstvideo {

// Key colour codes of the library.
enum KeyCode { kDigitalGreen = 1, kGreen = 2, kBlue = 3 };

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;  // w 0: none
    bool inside(int width, int height) const {
        return w == 0 || (x + w <= width && y + h <= height);
    }
};

struct KeyerSettings {
    int version = 2, gpuPriority = 0, key = kGreen;
    float coff = 1.0f;
    float similar = -1.0f;  // below 0: the key colour's own
    bool refine = false, detailKeep = false, unmix = false;
    float spill = 1.0f;
    int spillRange = 0;
    float clipBlack = 0.0f, clipWhite = 1.0f;
    Rect garbage, holdout;
};

// Parts of the settings that changed since the keyer last took them.
enum Changed : unsigned {
    kKeyerChanged = 1,  // version or GPU preference: a new keyer
    kKeyChanged = 2,    // key colour or similarity
    kCoffChanged = 4,
    kRefineChanged = 8,  // any refinement
};

// Gives the keyer the parts of s that changed.
void apply_settings(ColorMatting& keyer, const KeyerSettings& s, unsigned changed);

// "LO,HI" with 0 <= LO < HI <= 1; empty text: 0,1.
bool parse_levels(const char* text, float& black, float& white);
// "X,Y,W,H" with X, Y from 0 and W, H above 0; empty text: no rectangle.
bool parse_rect(const char* text, Rect& rect);
std::string levels_text(float black, float white);
std::string rect_text(const Rect& rect);

}  // namespace gstvideo

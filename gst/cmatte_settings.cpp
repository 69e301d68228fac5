#include "cmatte_settings.h"

#include <cstdio>

#include "cmatte/ColorMatting.h"

namespace gstvideo {

void apply_settings(ColorMatting& keyer, const KeyerSettings& s, unsigned changed) {
    // A new keyer starts from its defaults: everything is given again.
    if (changed & kKeyerChanged) changed = ~0u;
    if (changed & kKeyChanged) {
        keyer.setParams_KeyColor(s.key);  // also restores the key's own similarity
        if (s.similar >= 0.0f) keyer.setParams_v1_Similar(s.similar);
    }
    if (changed & kCoffChanged) keyer.setParams_v2_coff_thres(s.coff);
    if (changed & kRefineChanged) {
        keyer.setParams_v2_detail_keep(s.refine || s.detailKeep);
        keyer.setParams_v2_unmix(s.refine || s.unmix);
        keyer.setParams_v2_spill(s.spill, s.spillRange);
        keyer.setParams_v2_levels(s.clipBlack, s.clipWhite);
        keyer.setParams_v2_garbage(s.garbage.x, s.garbage.y, s.garbage.w, s.garbage.h);
        keyer.setParams_v2_holdout(s.holdout.x, s.holdout.y, s.holdout.w, s.holdout.h);
    }
}

bool parse_levels(const char* text, float& black, float& white) {
    if (!text || !*text) {
        black = 0.0f;
        white = 1.0f;
        return true;
    }
    float lo = 0.0f, hi = 0.0f;
    int end = 0;
    if (std::sscanf(text, "%f,%f%n", &lo, &hi, &end) != 2 || text[end] != '\0' ||
        !(lo >= 0.0f && lo < hi && hi <= 1.0f))
        return false;
    black = lo;
    white = hi;
    return true;
}

bool parse_rect(const char* text, Rect& rect) {
    if (!text || !*text) {
        rect = Rect{};
        return true;
    }
    Rect r;
    int end = 0;
    if (std::sscanf(text, "%d,%d,%d,%d%n", &r.x, &r.y, &r.w, &r.h, &end) != 4 ||
        text[end] != '\0' || r.x < 0 || r.y < 0 || r.w <= 0 || r.h <= 0)
        return false;
    rect = r;
    return true;
}

std::string levels_text(float black, float white) {
    if (black == 0.0f && white == 1.0f) return "";
    char text[64];
    std::snprintf(text, sizeof text, "%g,%g", black, white);
    return text;
}

std::string rect_text(const Rect& rect) {
    if (rect.w == 0) return "";
    char text[64];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d", rect.x, rect.y, rect.w, rect.h);
    return text;
}

}  // namespace gstvideo

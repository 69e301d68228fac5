// The HSV conversions the table builder shifts colours with (single precision).
#pragma once

namespace lutgrade {

struct Hsv {
    float h;  // degrees, 0..360
    float s;  // 0..1
    float v;  // 0..1
};

// Hexcone HSV of r, g, b (0..1), branch-free; tiny terms keep greys and
// black away from a division by zero (their hue and saturation are 0).
Hsv hsv_of_rgb(float r, float g, float b);

// RGB (0..1) of a hue given as a fraction of a turn (0..1), s and v 0..1.
void rgb_of_hsv(float hueTurns, float s, float v, float (&rgb)[3]);

}  // namespace lutgrade

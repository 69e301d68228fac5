# Sourced by demo steps that grade with the demo's "warm look".

# A warm look: lifted reds, cooler shadows, a little more saturation. With
# shaper=1 it is the same look behind a square-root 1D shaper: the 3D table is
# indexed by the shaped values, so each point undoes the shaper first.
warm_look() {
  awk -v n="$1" -v shaper="$2" 'BEGIN {
  print "TITLE \"Warm Look\""
  if (shaper) {
    print "LUT_1D_SIZE 1024"; print "LUT_1D_INPUT_RANGE 0 1"; print "LUT_3D_INPUT_RANGE 0 1"
  }
  print "LUT_3D_SIZE " n
  if (shaper) for (i = 0; i < 1024; i++) { v = sqrt(i / 1023); printf "%.6f %.6f %.6f\n", v, v, v }
  for (b = 0; b < n; b++) for (g = 0; g < n; g++) for (r = 0; r < n; r++) {
    R = r / (n - 1); G = g / (n - 1); B = b / (n - 1)
    if (shaper) { R = R * R; G = G * G; B = B * B }
    R = R ^ 0.85 * 1.04; G = G ^ 0.97; B = B ^ 1.12 * 0.92
    L = 0.2126 * R + 0.7152 * G + 0.0722 * B
    R = L + (R - L) * 1.25; G = L + (G - L) * 1.25; B = L + (B - L) * 1.25
    printf "%.6f %.6f %.6f\n", (R < 0 ? 0 : R > 1 ? 1 : R), (G < 0 ? 0 : G > 1 ? 1 : G), (B < 0 ? 0 : B > 1 ? 1 : B)
  }
}'
}

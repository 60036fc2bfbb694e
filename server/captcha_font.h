// The captcha's digits as strokes: each digit has a few shapes, each a set
// of polylines in a unit box (x 0 to 1 rightwards, y 0 to 1 downwards). The
// picture bends, turns and places them; drawn upright they are the font a
// reader of the picture would start from.
#pragma once

#include <vector>

namespace tolvar::server {

struct FontPoint {
    double x = 0, y = 0;
};
using Polyline = std::vector<FontPoint>;
using DigitShape = std::vector<Polyline>;

// The shapes of `digit` ('0' to '9'); empty for any other character.
const std::vector<DigitShape> &digit_shapes(char digit);

}  // namespace tolvar::server

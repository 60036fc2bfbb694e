#include "server/captcha_font.h"

#include <array>
#include <cmath>

namespace tolvar::server {

namespace {

// Points of an elliptic arc from `from` to `to` degrees (0: right, 90: down).
Polyline arc(double cx, double cy, double rx, double ry, double from, double to) {
    Polyline points;
    int steps = std::max(3, static_cast<int>(std::abs(to - from) / 20));
    for (int i = 0; i <= steps; ++i) {
        double a = (from + (to - from) * i / steps) * M_PI / 180;
        points.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
    }
    return points;
}

Polyline joined(Polyline a, const Polyline &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::array<std::vector<DigitShape>, 10> make_font() {
    std::array<std::vector<DigitShape>, 10> f;
    f[0] = {{arc(0.5, 0.5, 0.42, 0.48, 0, 360)},
            {arc(0.5, 0.5, 0.4, 0.48, 0, 360), {{0.25, 0.8}, {0.75, 0.2}}}};
    f[1] = {{{{0.2, 0.25}, {0.55, 0.0}, {0.55, 1.0}}},
            {{{0.2, 0.25}, {0.55, 0.0}, {0.55, 1.0}}, {{0.2, 1.0}, {0.9, 1.0}}}};
    f[2] = {{joined(arc(0.5, 0.3, 0.42, 0.28, 180, 390), {{0.05, 1.0}, {0.95, 1.0}})},
            {joined(arc(0.5, 0.28, 0.4, 0.26, 200, 400), {{0.1, 0.95}, {0.5, 0.9}, {0.95, 1.0}})}};
    f[3] = {{arc(0.5, 0.27, 0.4, 0.25, 200, 450), arc(0.5, 0.74, 0.45, 0.26, 270, 520)},
            {{{0.1, 0.0}, {0.9, 0.0}, {0.45, 0.42}}, arc(0.5, 0.7, 0.43, 0.3, 250, 520)}};
    f[4] = {{{{0.72, 1.0}, {0.72, 0.0}, {0.05, 0.7}, {0.95, 0.7}}},
            {{{0.45, 0.0}, {0.1, 0.65}, {0.95, 0.65}}, {{0.72, 0.3}, {0.72, 1.0}}}};
    f[5] = {{joined({{0.9, 0.0}, {0.2, 0.0}, {0.15, 0.45}}, arc(0.5, 0.68, 0.42, 0.32, 220, 500))},
            {joined({{0.85, 0.05}, {0.25, 0.0}, {0.2, 0.5}}, arc(0.52, 0.7, 0.4, 0.3, 230, 510))}};
    f[6] = {{joined(arc(0.6, 0.6, 0.45, 0.6, 290, 170), arc(0.5, 0.72, 0.4, 0.28, 170, 530))},
            {{{0.75, 0.0}, {0.15, 0.65}}, arc(0.5, 0.72, 0.38, 0.28, 0, 360)}};
    f[7] = {{{{0.05, 0.0}, {0.95, 0.0}, {0.35, 1.0}}},
            {{{0.05, 0.0}, {0.95, 0.0}, {0.35, 1.0}}, {{0.35, 0.5}, {0.8, 0.5}}}};
    f[8] = {{arc(0.5, 0.26, 0.35, 0.25, 0, 360), arc(0.5, 0.73, 0.43, 0.27, 0, 360)},
            {arc(0.5, 0.28, 0.4, 0.27, 0, 360), arc(0.5, 0.74, 0.38, 0.25, 0, 360)}};
    f[9] = {{arc(0.5, 0.3, 0.4, 0.29, 0, 360), {{0.9, 0.3}, {0.85, 0.7}, {0.4, 1.0}}},
            {arc(0.5, 0.3, 0.4, 0.29, 0, 360), {{0.9, 0.3}, {0.9, 1.0}}}};
    return f;
}

}  // namespace

const std::vector<DigitShape> &digit_shapes(char digit) {
    static const std::array<std::vector<DigitShape>, 10> font = make_font();
    static const std::vector<DigitShape> none;
    if (digit < '0' || digit > '9') return none;
    return font[digit - '0'];
}

}  // namespace tolvar::server

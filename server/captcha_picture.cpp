#include "server/captcha_picture.h"

#include <gd.h>

#include <cmath>
#include <functional>
#include <memory>

#include "server/captcha_font.h"
#include "server/random.h"

namespace tolvar::server {

namespace {

struct ImageDeleter {
    void operator()(gdImage *image) const { gdImageDestroy(image); }
};

// Random numbers for the picture's shapes and noise, from the system's
// random source: a reader cannot predict one picture from another.
class Dice {
public:
    int roll(int sides) { return static_cast<int>(next() % static_cast<unsigned>(sides)); }
    double between(double low, double high) { return low + (high - low) * (next() % 10001) / 10000.0; }

private:
    unsigned next() {
        if (at_ + 8 > bytes_.size()) {
            bytes_ = random_hex(64);
            at_ = 0;
        }
        unsigned value = static_cast<unsigned>(std::stoul(bytes_.substr(at_, 8), nullptr, 16));
        at_ += 8;
        return value;
    }
    std::string bytes_;
    size_t at_ = 0;
};

// Ink colours: digits, lines and dots alike take theirs from here, so a
// colour tells a reader nothing about what is a digit.
constexpr int palette[][3] = {{30, 60, 160}, {160, 30, 40}, {30, 120, 50}, {110, 40, 140}, {150, 90, 20}, {20, 110, 120}};
constexpr int palette_size = sizeof palette / sizeof palette[0];

// A gentle wave that bends every stroke drawn through it, across and along
// the picture, so that no stroke stays straight where a template expects it.
struct Wave {
    double across, across_period, across_phase, along, along_period, along_phase;

    explicit Wave(Dice &dice)
        : across(dice.between(0.8, 1.6)), across_period(dice.between(18, 30)), across_phase(dice.between(0, 2 * M_PI)),
          along(dice.between(0.8, 1.6)), along_period(dice.between(24, 40)), along_phase(dice.between(0, 2 * M_PI)) {}

    FontPoint bend(FontPoint p) const {
        return {p.x + across * std::sin(2 * M_PI * p.y / across_period + across_phase),
                p.y + along * std::sin(2 * M_PI * p.x / along_period + along_phase)};
    }
};

// Picks the colour of each piece of a stroke: the same colour on and on, or
// now and then another of the palette.
using Inks = std::function<int()>;

// A polyline in picture coordinates, bent by the wave piece by piece (no
// piece longer than two pixels, so straight strokes bend too).
void draw_bent(gdImage *im, const Polyline &line, const Wave &wave, const Inks &inks, int thickness) {
    gdImageSetThickness(im, thickness);
    FontPoint last{};
    for (size_t i = 0; i < line.size(); ++i) {
        int pieces = 1;
        if (i > 0) pieces = std::max(1, static_cast<int>(std::hypot(line[i].x - line[i - 1].x, line[i].y - line[i - 1].y) / 2));
        for (int k = 1; k <= pieces; ++k) {
            FontPoint p = line[i];
            if (i > 0) {
                double t = static_cast<double>(k) / pieces;
                p = {line[i - 1].x + (line[i].x - line[i - 1].x) * t, line[i - 1].y + (line[i].y - line[i - 1].y) * t};
            }
            FontPoint q = wave.bend(p);
            if (i > 0)
                gdImageLine(im, static_cast<int>(std::lround(last.x)), static_cast<int>(std::lround(last.y)),
                            static_cast<int>(std::lround(q.x)), static_cast<int>(std::lround(q.y)), inks());
            last = q;
            if (i == 0) break;
        }
    }
    gdImageSetThickness(im, 1);
}

// One digit: a shape of the font with its points moved a little, sheared,
// turned and scaled, drawn around (cx, cy) through the wave, its colour
// changing along its strokes.
void draw_digit(gdImage *im, char digit, double cx, double cy, const Inks &inks, const Wave &wave, Dice &dice) {
    const auto &shapes = digit_shapes(digit);
    if (shapes.empty()) return;
    const DigitShape &shape = shapes[dice.roll(static_cast<int>(shapes.size()))];
    double width = dice.between(8, 11.5), height = dice.between(13.5, 18.5);
    double shear = dice.between(-0.3, 0.3), angle = dice.between(-22, 22) * M_PI / 180;
    double c = std::cos(angle), s = std::sin(angle);
    for (const Polyline &line : shape) {
        Polyline placed;
        for (const FontPoint &point : line) {
            double u = (point.x + dice.between(-0.08, 0.08) - 0.5) * width;
            double v = (point.y + dice.between(-0.06, 0.06) - 0.5) * height;
            u += shear * v;
            placed.push_back({cx + u * c - v * s, cy + u * s + v * c});
        }
        draw_bent(im, placed, wave, inks, 2);
    }
}

}  // namespace

std::string captcha_png(std::string_view code) {
    std::unique_ptr<gdImage, ImageDeleter> image(gdImageCreate(captcha_width, captcha_height));
    if (!image) return {};
    gdImage *im = image.get();
    Dice dice;
    // The first colour is the background: light, a little different each time.
    gdImageColorAllocate(im, 236 + dice.roll(16), 236 + dice.roll(16), 236 + dice.roll(16));
    int ink[palette_size];
    for (int i = 0; i < palette_size; ++i) ink[i] = gdImageColorAllocate(im, palette[i][0], palette[i][1], palette[i][2]);
    auto any_ink = [&] { return ink[dice.roll(palette_size)]; };
    int current = any_ink();
    Inks changing = [&] {
        if (dice.roll(100) < 8) current = any_ink();
        return current;
    };
    Wave wave(dice);

    // Short strokes and dots behind the digits.
    for (int i = 0; i < 6; ++i) {
        int x = dice.roll(captcha_width), y = dice.roll(captcha_height);
        gdImageLine(im, x, y, x + dice.roll(7) - 3, y + dice.roll(7) - 3, any_ink());
    }
    for (int i = 0; i < 30; ++i) gdImageSetPixel(im, dice.roll(captcha_width), dice.roll(captcha_height), any_ink());

    // The digits' spacing and the group's place vary, so no digit has a
    // place of its own.
    double step = dice.between(10.5, 13.5);
    double group = step * static_cast<double>(code.size());
    double left = dice.between(3, std::max(3.0, captcha_width - 3 - group));
    for (size_t i = 0; i < code.size(); ++i) {
        double cx = left + step * (i + 0.5) + dice.between(-1.5, 1.5);
        double cy = captcha_height / 2.0 + dice.between(-2, 2);
        current = any_ink();
        draw_digit(im, code[i], cx, cy, changing, wave, dice);
    }

    // Two thin lines across the digits, bent with them.
    for (int i = 0; i < 2; ++i) {
        current = any_ink();
        draw_bent(im, {{-2, 5.0 + dice.roll(18)}, {captcha_width + 2.0, 5.0 + dice.roll(18)}}, wave, changing, 1);
    }

    int size = 0;
    void *png = gdImagePngPtr(im, &size);
    if (!png) return {};
    std::string bytes(static_cast<const char *>(png), static_cast<size_t>(size));
    gdFree(png);
    return bytes;
}

}  // namespace tolvar::server

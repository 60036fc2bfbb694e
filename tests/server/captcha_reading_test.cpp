// A reader of captcha pictures as an attacker would write one: templates of
// the service's own font drawn upright, matched against the picture's ink in
// four slots, once over all ink and once colour by colour. On pictures with
// the digits upright in fixed places, one colour each, it reads nearly all;
// on the service's pictures it must read under 5% (the rates are printed).
#include <gd.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <random>

#include "server/captcha_font.h"
#include "server/captcha_picture.h"
#include "server/random.h"

using namespace tolvar::server;

namespace {

struct ImageDeleter {
    void operator()(gdImage *image) const { gdImageDestroy(image); }
};
using Image = std::unique_ptr<gdImage, ImageDeleter>;

// Ink pixels of a picture, by palette index (-1: background).
struct Ink {
    int width = 0, height = 0;
    std::vector<int> colour;
    bool at(int x, int y, int only) const {
        int c = colour[y * width + x];
        return c >= 0 && (only < 0 || c == only);
    }
};

Ink ink_of(gdImage *im) {
    Ink ink{gdImageSX(im), gdImageSY(im), {}};
    std::map<int, int> count;
    for (int y = 0; y < ink.height; ++y)
        for (int x = 0; x < ink.width; ++x) ++count[gdImageGetPixel(im, x, y)];
    int background = 0, most = -1;
    for (auto [c, n] : count)
        if (n > most) background = c, most = n;
    for (int y = 0; y < ink.height; ++y)
        for (int x = 0; x < ink.width; ++x) {
            int c = gdImageGetPixel(im, x, y);
            ink.colour.push_back(c == background ? -1 : c);
        }
    return ink;
}

Ink ink_of_png(const std::string &png) {
    Image im(gdImageCreateFromPngPtr(static_cast<int>(png.size()), const_cast<char *>(png.data())));
    return im ? ink_of(im.get()) : Ink{};
}

// The font's shape drawn upright, centred on (cx, cy), 2 pixels wide.
void draw_upright(gdImage *im, const DigitShape &shape, double cx, double cy, int colour) {
    const double width = 9.5, height = 16;
    gdImageSetThickness(im, 2);
    for (const Polyline &line : shape)
        for (size_t i = 1; i < line.size(); ++i)
            gdImageLine(im, int(std::lround(cx + (line[i - 1].x - 0.5) * width)),
                        int(std::lround(cy + (line[i - 1].y - 0.5) * height)),
                        int(std::lround(cx + (line[i].x - 0.5) * width)),
                        int(std::lround(cy + (line[i].y - 0.5) * height)), colour);
    gdImageSetThickness(im, 1);
}

struct Template {
    char digit;
    std::vector<std::pair<int, int>> on;  // pixels, from the top left of its box
    int width = 0, height = 0;
};

std::vector<Template> font_templates() {
    std::vector<Template> templates;
    for (char d = '0'; d <= '9'; ++d)
        for (const DigitShape &shape : digit_shapes(d)) {
            Image im(gdImageCreate(20, 24));
            gdImageColorAllocate(im.get(), 255, 255, 255);
            int black = gdImageColorAllocate(im.get(), 0, 0, 0);
            draw_upright(im.get(), shape, 10, 12, black);
            Ink ink = ink_of(im.get());
            Template t{d, {}, 0, 0};
            int left = 99, top = 99, right = -1, bottom = -1;
            for (int y = 0; y < ink.height; ++y)
                for (int x = 0; x < ink.width; ++x)
                    if (ink.at(x, y, -1)) left = std::min(left, x), top = std::min(top, y),
                                          right = std::max(right, x), bottom = std::max(bottom, y);
            for (int y = top; y <= bottom; ++y)
                for (int x = left; x <= right; ++x)
                    if (ink.at(x, y, -1)) t.on.emplace_back(x - left, y - top);
            t.width = right - left + 1, t.height = bottom - top + 1;
            templates.push_back(t);
        }
    return templates;
}

// Sums of ink over rectangles of the picture, for one colour or all.
struct InkSums {
    int width;
    std::vector<int> sum;
    InkSums(const Ink &ink, int only) : width(ink.width + 1), sum((ink.width + 1) * (ink.height + 1), 0) {
        for (int y = 0; y < ink.height; ++y)
            for (int x = 0; x < ink.width; ++x)
                at(x + 1, y + 1) = at(x, y + 1) + at(x + 1, y) - at(x, y) + ink.at(x, y, only);
    }
    int &at(int x, int y) { return sum[y * width + x]; }
    int box(int x, int y, int w, int h) { return at(x + w, y + h) - at(x, y + h) - at(x + w, y) + at(x, y); }
};

// The digit whose template fits the ink best with its centre in [x0, x1):
// cosine similarity of the template and the ink inside its box.
std::pair<char, double> best_digit(const Ink &ink, int only, InkSums &sums, int x0, int x1,
                                   const std::vector<Template> &templates) {
    char best = '?';
    double best_score = -1;
    for (const Template &t : templates)
        for (int oy = 0; oy + t.height <= ink.height; ++oy)
            for (int ox = std::max(0, x0 - t.width / 2); ox + t.width / 2 < x1 && ox + t.width <= ink.width; ++ox) {
                int in_box = sums.box(ox, oy, t.width, t.height);
                if (in_box == 0) continue;
                int hits = 0;
                for (auto [x, y] : t.on) hits += ink.at(ox + x, oy + y, only);
                double score = hits / std::sqrt(double(t.on.size()) * in_box);
                if (score > best_score) best_score = score, best = t.digit;
            }
    return {best, best_score};
}

// The code read from four equal slots across the picture; `by_colour` tries
// each ink colour alone and keeps the best fit per slot.
std::string read_code(const Ink &ink, bool by_colour, const std::vector<Template> &templates) {
    std::vector<int> colours = {-1};
    if (by_colour) {
        colours.clear();
        for (int c : ink.colour)
            if (c >= 0 && std::find(colours.begin(), colours.end(), c) == colours.end()) colours.push_back(c);
    }
    std::vector<InkSums> sums;
    for (int c : colours) sums.emplace_back(ink, c);
    std::string code;
    const double step = (ink.width - 8) / 4.0;
    for (int slot = 0; slot < 4; ++slot) {
        int x0 = int(4 + step * slot), x1 = int(4 + step * (slot + 1));
        std::pair<char, double> best{'?', -1};
        for (size_t i = 0; i < colours.size(); ++i) {
            auto found = best_digit(ink, colours[i], sums[i], x0, x1, templates);
            if (found.second > best.second) best = found;
        }
        code += best.first;
    }
    return code;
}

// The digits upright in fixed places, each in a colour of its own, on a
// clean background: what a matcher is built for.
std::string plain_picture(const std::string &code) {
    Image im(gdImageCreate(captcha_width, captcha_height));
    gdImageColorAllocate(im.get(), 240, 244, 236);
    const int ink[] = {gdImageColorAllocate(im.get(), 20, 40, 140), gdImageColorAllocate(im.get(), 140, 20, 30),
                       gdImageColorAllocate(im.get(), 20, 110, 40), gdImageColorAllocate(im.get(), 90, 30, 120)};
    for (size_t i = 0; i < code.size(); ++i)
        draw_upright(im.get(), digit_shapes(code[i])[i % digit_shapes(code[i]).size()], 4 + 12.5 * (i + 0.5), 14,
                     ink[i]);
    int size = 0;
    void *png = gdImagePngPtr(im.get(), &size);
    std::string bytes(static_cast<const char *>(png), static_cast<size_t>(size));
    gdFree(png);
    return bytes;
}

double reading_rate(int pictures, bool by_colour, std::string (*picture)(const std::string &)) {
    static const std::vector<Template> templates = font_templates();
    int read = 0;
    for (int i = 0; i < pictures; ++i) {
        std::string code = random_digits(4);
        read += read_code(ink_of_png(picture(code)), by_colour, templates) == code;
    }
    return double(read) / pictures;
}

std::string service_picture(const std::string &code) { return captcha_png(code); }

}  // namespace

TEST(CaptchaReading, ATemplateMatcherOfTheServicesFontReadsUnderFivePercentOfItsPictures) {
    const int pictures = 400;
    double plain_all = reading_rate(100, false, plain_picture), plain_colour = reading_rate(100, true, plain_picture);
    double all = reading_rate(pictures, false, service_picture), colour = reading_rate(pictures, true, service_picture);
    std::printf("template matcher reading rate: upright pictures %.0f%% (all ink), %.0f%% (colour by colour);"
                " service pictures %.1f%% (all ink), %.1f%% (colour by colour) of %d\n",
                plain_all * 100, plain_colour * 100, all * 100, colour * 100, pictures);
    // The matcher works: it reads the font where nothing hides it.
    EXPECT_GT(plain_all, 0.9);
    EXPECT_GT(plain_colour, 0.9);
    EXPECT_LT(all, 0.05);
    EXPECT_LT(colour, 0.05);
}

TEST(CaptchaReading, PicturesAreSmallPngsOfTheBoxsSizeWithEnoughInkButNotTooMuch) {
    std::map<int, int> colours_seen;
    for (int i = 0; i < 50; ++i) {
        std::string png = captcha_png(random_digits(4));
        ASSERT_EQ("\x89PNG\r\n\x1a\n", png.substr(0, 8));
        EXPECT_LT(png.size(), 1024u);
        Image im(gdImageCreateFromPngPtr(static_cast<int>(png.size()), png.data()));
        ASSERT_TRUE(im);
        EXPECT_EQ(captcha_width, gdImageSX(im.get()));
        EXPECT_EQ(captcha_height, gdImageSY(im.get()));
        Ink ink = ink_of(im.get());
        int inked = 0;
        for (int c : ink.colour) inked += c >= 0;
        // Enough ink for four digits, not so much that they drown.
        EXPECT_GT(inked, 150);
        EXPECT_LT(inked, captcha_width * captcha_height / 2);
    }
}

#include "server/captcha_picture.h"

#include <gd.h>
#include <gdfontg.h>

#include <memory>

#include "server/random.h"

namespace tolvar::server {

namespace {

struct ImageDeleter {
    void operator()(gdImage *image) const { gdImageDestroy(image); }
};

// Random small numbers for the picture's jitter and noise (not secret).
class Dice {
public:
    Dice() : bytes_(random_hex(64)) {}
    int roll(int sides) {
        if (at_ + 2 > bytes_.size()) at_ = 0;
        int value = std::stoi(bytes_.substr(at_, 2), nullptr, 16);  // 0-255
        at_ += 2;
        return value % sides;
    }

private:
    std::string bytes_;
    size_t at_ = 0;
};

}  // namespace

std::string captcha_png(std::string_view code) {
    std::unique_ptr<gdImage, ImageDeleter> image(gdImageCreate(captcha_width, captcha_height));
    if (!image) return {};
    gdImage *im = image.get();
    Dice dice;
    gdImageColorAllocate(im, 240, 244, 236);  // the first colour is the background
    int noise = gdImageColorAllocate(im, 190, 200, 215);
    int border = gdImageColorAllocate(im, 150, 160, 170);
    const int ink[] = {gdImageColorAllocate(im, 20, 40, 140), gdImageColorAllocate(im, 140, 20, 30),
                       gdImageColorAllocate(im, 20, 110, 40), gdImageColorAllocate(im, 90, 30, 120)};

    for (int i = 0; i < 3; ++i)
        gdImageLine(im, dice.roll(captcha_width), dice.roll(captcha_height), dice.roll(captcha_width),
                    dice.roll(captcha_height), noise);
    for (int i = 0; i < 30; ++i) gdImageSetPixel(im, dice.roll(captcha_width), dice.roll(captcha_height), noise);

    gdFont *font = gdFontGetGiant();  // 9 x 15 pixels per digit
    const int gap = 4;
    int text_width = static_cast<int>(code.size()) * (font->w + gap) - gap;
    int x = (captcha_width - text_width) / 2;
    for (size_t i = 0; i < code.size(); ++i) {
        int y = (captcha_height - font->h) / 2 - 3 + dice.roll(7);
        int colour = ink[i % 4];
        gdImageChar(im, font, x, y, static_cast<unsigned char>(code[i]), colour);
        gdImageChar(im, font, x + 1, y, static_cast<unsigned char>(code[i]), colour);  // bold
        x += font->w + gap;
    }
    gdImageRectangle(im, 0, 0, captcha_width - 1, captcha_height - 1, border);

    int size = 0;
    void *png = gdImagePngPtr(im, &size);
    if (!png) return {};
    std::string bytes(static_cast<const char *>(png), static_cast<size_t>(size));
    gdFree(png);
    return bytes;
}

}  // namespace tolvar::server

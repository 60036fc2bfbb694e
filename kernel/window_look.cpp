#include "kernel/window_look.h"

#include <cmath>

namespace tolvar::kernel {

QFont layout_default_font() {
    // "宋体" is substituted by the installed CJK font, so every glyph comes from one face.
    QFont font(QString::fromUtf8("宋体"));
    font.setPixelSize(kDefaultGuiFontPixels);
    font.setWeight(QFont::Normal);
    font.setStyle(QFont::StyleNormal);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

QPalette layout_palette() {
    // The system colours of a light Windows desktop.
    const QColor face(0xF0, 0xF0, 0xF0), white(Qt::white), black(Qt::black);
    const QColor light(0xE3, 0xE3, 0xE3), shadow(0xA0, 0xA0, 0xA0), dark_shadow(0x69, 0x69, 0x69);
    const QColor grey_text(0x6D, 0x6D, 0x6D);  // readable on the face colour
    QPalette p(black, face, white, shadow, light, black, white, white, face);
    p.setColor(QPalette::Shadow, dark_shadow);
    p.setColor(QPalette::AlternateBase, QColor(0xF7, 0xF7, 0xF7));
    p.setColor(QPalette::Highlight, QColor(0x00, 0x78, 0xD7));
    p.setColor(QPalette::HighlightedText, white);
    p.setColor(QPalette::Link, QColor(0x00, 0x66, 0xCC));
    p.setColor(QPalette::LinkVisited, QColor(0x80, 0x00, 0x80));
    p.setColor(QPalette::ToolTipBase, QColor(0xFF, 0xFF, 0xE1));
    p.setColor(QPalette::ToolTipText, black);
    p.setColor(QPalette::PlaceholderText, grey_text);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, grey_text);
    p.setColor(QPalette::Disabled, QPalette::Base, face);
    p.setColor(QPalette::Disabled, QPalette::Highlight, shadow);
    return p;
}

namespace {

double linear(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double luminance(const QColor &c) {
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

// How far a colour's value may drop and still be the colour it was.
constexpr double kLargestDarkening = 0.20;

}  // namespace

double contrast_ratio(const QColor &a, const QColor &b) {
    double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor legible_text_color(const QColor &color, const QColor &background) {
    if (contrast_ratio(color, background) >= kReadableContrast) return color;
    // Only a colour lighter than its background can be helped by darkening.
    if (luminance(color) > luminance(background)) return color;
    int hue = color.hsvHue(), saturation = color.hsvSaturation(), value = color.value();
    int lowest = static_cast<int>(std::ceil(value * (1.0 - kLargestDarkening)));
    for (int v = value - 1; v >= lowest; --v) {
        QColor darker = QColor::fromHsv(hue, saturation, v);
        if (contrast_ratio(darker, background) >= kReadableContrast) return darker;
    }
    return color;
}

}  // namespace tolvar::kernel

// The look the window's layout was drawn for, whatever the desktop: one font
// of the Windows default GUI size in pixels for every control whose layout
// names none, and a light palette (light grey window, white edit boxes and
// lists, black text), against which the layout's own text colours are shown.
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

namespace tolvar::kernel {

// Character height of the Windows default GUI font (9 pt at 96 dpi) in pixels.
inline constexpr int kDefaultGuiFontPixels = 12;

// The font of controls whose layout gives none: the default GUI face of a
// Chinese Windows, at kDefaultGuiFontPixels, never the desktop's point size.
QFont layout_default_font();

// The light palette the layout's colours assume.
QPalette layout_palette();

// WCAG contrast ratio of two colours (1 to 21).
double contrast_ratio(const QColor &a, const QColor &b);

// Normal text needs this contrast to its background.
inline constexpr double kReadableContrast = 4.5;

// The layout's text colour as shown on `background`: the colour itself when it
// reads at kReadableContrast; otherwise the same hue and saturation made just
// dark enough, as long as that keeps the colour a user would name (its value
// lowered by at most a fifth); failing that, the colour itself.
QColor legible_text_color(const QColor &color, const QColor &background);

}  // namespace tolvar::kernel

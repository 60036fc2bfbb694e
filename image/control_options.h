// The option block of a control record. Every control kind uses the same block
// (fields a kind does not use stay at their defaults):
//   text          zero-ended GBK: caption, initial content
//   pages         u32 count, then zero-ended GBK page titles (tab control)
//   text colour   u32 COLORREF (0x00BBGGRR), 0xFF000000 = default
//   back colour   u32 COLORREF, 0xFF000000 = default
//   font          u32 length: 0 for the default font, or 60 and a LOGFONT
//   max length    u32, 0 = unlimited
//   multi-line    u32, 0 or 1
//   border        u32 border style (0 none, 1 sunken, 5 thin)
//   label style   u32 (0 plain, 5 thin sunken frame)
//   alignment     u32 (0 left, 1 centre, 2 right)
//   interval      u32 milliseconds (timer; 0 stopped)
//   picture       u32 length, then the picture file's bytes
//   name          zero-ended GBK: what a screen reader calls a control that
//                 shows no caption of its own (empty: its caption)
//   enter button  u32 control id of the button that Return in this edit box
//                 presses, 0 for none
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "abi/win32.h"

namespace tolvar::image {

inline constexpr uint32_t kDefaultColor = CLR_DEFAULT;
inline constexpr uint32_t kLogFontSize = 60;

// A Windows LOGFONTA: the fields the layout sets.
struct LogFont {
    int32_t height = 0;  // negative: character height in pixels
    int32_t weight = 400;
    uint8_t charset = 0;
    std::string face;    // at most 31 bytes

    bool operator==(const LogFont &) const = default;
};

struct ControlOptions {
    std::string text;
    std::vector<std::string> pages;
    uint32_t text_color = kDefaultColor;
    uint32_t back_color = kDefaultColor;
    std::optional<LogFont> font;
    uint32_t max_length = 0;
    uint32_t multiline = 0;
    uint32_t border = 0;
    uint32_t label_style = 0;
    uint32_t alignment = 0;
    uint32_t interval = 0;
    std::vector<uint8_t> picture;
    std::string accessible_name;
    uint32_t enter_button = 0;

    bool operator==(const ControlOptions &) const = default;
};

std::vector<uint8_t> write_control_options(const ControlOptions &options);
std::optional<ControlOptions> read_control_options(std::span<const uint8_t> block);

}  // namespace tolvar::image

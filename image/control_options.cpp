#include "image/control_options.h"

#include "image/byte_io.h"

namespace tolvar::image {

namespace {
constexpr uint32_t kMaxPages = 256;
constexpr size_t kFaceSize = 32;
}  // namespace

std::vector<uint8_t> write_control_options(const ControlOptions &o) {
    ByteWriter w;
    w.text(o.text);
    w.u32(static_cast<uint32_t>(o.pages.size()));
    for (const auto &p : o.pages) w.text(p);
    w.u32(o.text_color);
    w.u32(o.back_color);
    if (o.font) {
        w.u32(kLogFontSize);
        w.i32(o.font->height);
        w.zeros(12);  // width, escapement, orientation
        w.i32(o.font->weight);
        w.zeros(3);  // italic, underline, strike-out
        w.raw(std::string(1, static_cast<char>(o.font->charset)));
        w.zeros(4);  // precisions, quality, pitch and family
        std::string face = o.font->face.substr(0, kFaceSize - 1);
        face.resize(kFaceSize, '\0');
        w.raw(face);
    } else {
        w.u32(0);
    }
    for (uint32_t v : {o.max_length, o.multiline, o.border, o.label_style, o.alignment, o.interval}) w.u32(v);
    w.counted(o.picture);
    w.text(o.accessible_name);
    w.u32(o.enter_button);
    return std::move(w.bytes());
}

std::optional<ControlOptions> read_control_options(std::span<const uint8_t> block) {
    ByteReader r(block);
    ControlOptions o;
    o.text = r.text();
    uint32_t pages = r.u32();
    if (!r.ok() || pages > kMaxPages) return std::nullopt;
    for (uint32_t i = 0; i < pages; ++i) o.pages.push_back(r.text());
    o.text_color = r.u32();
    o.back_color = r.u32();
    uint32_t font_size = r.u32();
    if (font_size == kLogFontSize) {
        LogFont f;
        f.height = r.i32();
        r.skip(12);
        f.weight = r.i32();
        r.skip(3);
        auto charset = r.raw(1);
        f.charset = charset.empty() ? 0 : charset[0];
        r.skip(4);
        auto face = r.raw(kFaceSize);
        if (!face.empty())
            f.face.assign(reinterpret_cast<const char *>(face.data()),
                          strnlen(reinterpret_cast<const char *>(face.data()), kFaceSize));
        o.font = f;
    } else if (font_size != 0) {
        return std::nullopt;
    }
    for (uint32_t *v : {&o.max_length, &o.multiline, &o.border, &o.label_style, &o.alignment, &o.interval})
        *v = r.u32();
    o.picture = r.counted();
    o.accessible_name = r.text();
    o.enter_button = r.u32();
    if (!r.ok() || r.remaining() != 0) return std::nullopt;
    return o;
}

}  // namespace tolvar::image

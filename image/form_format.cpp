#include "image/form_format.h"

#include "image/byte_io.h"
#include "abi/tolvar_abi.h"

namespace tolvar::image {

namespace {

constexpr uint32_t kMaxObjects = 65536;

std::vector<uint8_t> write_record(const FormObject &o) {
    ByteWriter w;
    w.u32(0);  // length, patched
    w.u32(o.type_id);
    w.zeros(20);
    w.text(o.name);
    w.text("");  // comment
    w.u32(0);
    if (o.is_menu_item()) {
        w.u32(o.level);
        w.u32(o.hidden);
        w.text(o.caption);
        w.i32(o.handler);
        w.zeros(16);
    } else {
        w.i32(o.left);
        w.i32(o.top);
        w.i32(o.width);
        w.i32(o.height);
        w.u32(0);
        w.u32(o.parent);
        w.u32(static_cast<uint32_t>(o.children.size()));
        for (uint32_t c : o.children) w.u32(c);
        w.u32(4);
        w.u32(0);
        w.u32(0);
        w.text("");  // tag
        w.u32(o.flags);
        w.u32(0);
        w.u32(static_cast<uint32_t>(o.bindings.size()));
        for (const auto &b : o.bindings) {
            w.i32(b.event);
            w.u32(b.code_offset);
        }
        w.raw(o.options);
    }
    w.put_u32(0, static_cast<uint32_t>(w.size()));
    return std::move(w.bytes());
}

bool read_counted(ByteReader &r, std::vector<uint32_t> &out) {
    uint32_t n = r.u32();
    if (!r.ok() || n > r.remaining() / 4) return false;
    out.resize(n);
    for (auto &v : out) v = r.u32();
    return r.ok();
}

std::optional<FormObject> read_record(std::span<const uint8_t> record, uint32_t id) {
    ByteReader r(record);
    FormObject o;
    o.id = id;
    r.u32();  // length, already checked
    o.type_id = r.u32();
    r.skip(20);
    o.name = r.text();
    r.text();
    r.u32();
    if (o.is_menu_item()) {
        o.level = r.u32();
        o.hidden = r.u32();
        o.caption = r.text();
        o.handler = r.i32();
        r.skip(16);
        if (!r.ok() || r.remaining() != 0) return std::nullopt;
        return o;
    }
    o.left = r.i32();
    o.top = r.i32();
    o.width = r.i32();
    o.height = r.i32();
    r.u32();
    o.parent = r.u32();
    if (!read_counted(r, o.children)) return std::nullopt;
    r.skip(12);
    r.text();
    o.flags = r.u32();
    r.u32();
    uint32_t n = r.u32();
    if (!r.ok() || n > r.remaining() / 8) return std::nullopt;
    o.bindings.resize(n);
    for (auto &b : o.bindings) {
        b.event = r.i32();
        b.code_offset = r.u32();
    }
    if (!r.ok()) return std::nullopt;
    auto rest = r.raw(r.remaining());
    o.options.assign(rest.begin(), rest.end());
    return o;
}

}  // namespace

bool FormObject::is_menu_item() const { return type_id == TOLVAR_TYPE_ID_MENU_ITEM; }

const FormObject *Form::find(uint32_t id) const {
    for (const auto &o : objects)
        if (o.id == id) return &o;
    return nullptr;
}

std::vector<uint8_t> write_form(const Form &form) {
    std::vector<std::vector<uint8_t>> records;
    for (const auto &o : form.objects) records.push_back(write_record(o));
    ByteWriter w;
    w.u32(kFormLead0);
    w.u32(form.window_id);
    w.u32(form.opaque1);
    w.u32(form.opaque2);
    w.u32(kFormLead4);
    w.u32(0);
    w.u32(0);
    w.u32(static_cast<uint32_t>(form.objects.size()));
    size_t length_at = w.size();
    w.u32(0);
    for (const auto &o : form.objects) w.u32(o.id);
    uint32_t offset = 0;
    for (const auto &r : records) {
        w.u32(offset);
        offset += static_cast<uint32_t>(r.size());
    }
    for (const auto &r : records) w.raw(r);
    w.put_u32(length_at, static_cast<uint32_t>(w.size() - length_at - 4));
    return std::move(w.bytes());
}

std::optional<Form> read_form(std::span<const uint8_t> data, std::string &error) {
    ByteReader r(data);
    Form form;
    uint32_t lead0 = r.u32();
    form.window_id = r.u32();
    form.opaque1 = r.u32();
    form.opaque2 = r.u32();
    uint32_t lead4 = r.u32();
    r.skip(8);
    uint32_t count = r.u32();
    uint32_t length = r.u32();
    if (!r.ok() || lead0 != kFormLead0 || lead4 != kFormLead4) {
        error = "form: bad leading values";
        return std::nullopt;
    }
    if (length > r.remaining() || count > kMaxObjects || count > length / 8) {
        error = "form: object table runs past the form data";
        return std::nullopt;
    }
    std::vector<uint32_t> ids(count), offsets(count);
    for (auto &id : ids) id = r.u32();
    for (auto &o : offsets) o = r.u32();
    size_t records_at = r.pos();
    size_t records_end = records_at - 8ull * count + length;
    if (records_end < records_at) {
        error = "form: object table runs past the form data";
        return std::nullopt;
    }
    auto records = data.subspan(records_at, records_end - records_at);
    for (uint32_t i = 0; i < count; ++i) {
        if (offsets[i] > records.size() || records.size() - offsets[i] < 8) {
            error = "form: record " + std::to_string(i) + " lies outside the form data";
            return std::nullopt;
        }
        uint32_t len = load_u32(records.data() + offsets[i]);
        if (len < 8 || len > records.size() - offsets[i]) {
            error = "form: record " + std::to_string(i) + " length runs past the form data";
            return std::nullopt;
        }
        auto object = read_record(records.subspan(offsets[i], len), ids[i]);
        if (!object) {
            error = "form: record " + std::to_string(i) + " is malformed";
            return std::nullopt;
        }
        form.objects.push_back(std::move(*object));
    }
    return form;
}

std::vector<uint8_t> write_window_options(const WindowOptions &options) {
    ByteWriter w;
    w.text(options.title);
    w.counted(options.icon);
    w.counted(options.background);
    return std::move(w.bytes());
}

std::optional<WindowOptions> read_window_options(std::span<const uint8_t> block) {
    ByteReader r(block);
    WindowOptions o;
    o.title = r.text();
    o.icon = r.counted();
    o.background = r.counted();
    if (!r.ok()) return std::nullopt;
    return o;
}

}  // namespace tolvar::image

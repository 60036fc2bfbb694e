#include "tools/image_dump.h"

#include <iconv.h>

#include <cstdio>
#include <string>

#include "image/form_format.h"
#include "abi/tolvar_abi.h"

namespace tolvar::image {

namespace {

// GBK text of the image shown as UTF-8; bytes that do not convert become '?'.
std::string shown(const std::string &gbk) {
    iconv_t cd = iconv_open("UTF-8", "GBK");
    if (cd == (iconv_t)-1) return gbk;
    std::string out;
    char buf[256];
    char *in = const_cast<char *>(gbk.data());
    size_t in_left = gbk.size();
    while (in_left > 0) {
        char *o = buf;
        size_t o_left = sizeof buf;
        size_t r = iconv(cd, &in, &in_left, &o, &o_left);
        out.append(buf, o - buf);
        if (r == (size_t)-1 && errno != E2BIG) {
            out += '?';
            ++in;
            --in_left;
        }
    }
    iconv_close(cd);
    std::string escaped;
    for (char c : out) {
        if (c == '\r') escaped += "\\r";
        else if (c == '\n') escaped += "\\n";
        else escaped += c;
    }
    return escaped;
}

std::string hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", v);
    return buf;
}

void dump_window(const ReadImage &read, std::ostream &out) {
    std::string error;
    auto form = read_form(read.image.sections[kForm].data, error);
    if (!form) {
        out << "form: not readable: " << error << "\n";
        return;
    }
    out << "form: window " << hex(form->window_id) << ", " << form->objects.size() << " objects\n";
    for (const auto &o : form->objects) {
        out << "  " << hex(o.id) << " type " << hex(o.type_id) << " \"" << shown(o.name) << "\"";
        if (o.is_menu_item()) {
            out << " menu level " << o.level << (o.hidden ? " hidden" : "") << " caption \"" << shown(o.caption)
                << "\"\n";
            continue;
        }
        out << " at " << o.left << "," << o.top << " size " << o.width << "x" << o.height << " parent "
            << hex(o.parent) << " flags " << o.flags << " bindings " << o.bindings.size() << "\n";
        if (o.type_id == TOLVAR_TYPE_ID_WINDOW) {
            if (auto w = read_window_options(o.options))
                out << "    title \"" << shown(w->title) << "\" icon " << w->icon.size() << " bytes\n";
        }
    }
}

}  // namespace

void dump_image(const ReadImage &read, std::ostream &out) {
    const Image &image = read.image;
    const ImageLayout &layout = read.layout;
    out << "header\n";
    out << "  magic               WJ\\0\\0\n";
    out << "  first section       " << hex(layout.first_section) << "\n";
    out << "  0x28 0x2C 0x30 0x34 " << hex(image.field28) << " " << hex(image.field2c) << " "
        << hex(image.field30) << " " << hex(image.field34) << "\n";
    out << "  DLL commands        " << image.dll_commands.size() << "\n";
    out << "  start routine       " << hex(image.start_offset);
    if (auto *r = read.code.record_at(image.start_offset)) out << " (" << r->name << ")";
    out << "\n";

    out << "DLL commands\n";
    for (size_t i = 0; i < image.dll_commands.size(); ++i) {
        std::string lib = dll_library_name(image, i);
        out << "  " << i << "\t" << (image.dll_commands[i].library_offset ? "\"" + lib + "\"" : "(none)") << "\t"
            << dll_function_name(image, i) << "\n";
    }

    out << "support libraries (" << layout.library_list_size << " bytes)\n";
    for (size_t i = 0; i < image.libraries.size(); ++i) {
        const auto &l = image.libraries[i];
        out << "  " << i << "\t" << l.name << "\t" << l.identifier << "\t" << l.major << "." << l.minor << "\t"
            << shown(l.description) << "\n";
    }

    out << "sections\n";
    for (size_t i = 0; i < image.sections.size(); ++i) {
        const Section &s = image.sections[i];
        uint32_t by_kind[kRelocationKinds] = {};
        for (uint32_t e : s.relocations) ++by_kind[relocation_kind(e)];
        out << "  " << s.name << "\theader " << hex(layout.header_offsets[i]) << " flags " << hex(s.flags)
            << " size " << s.memory_size << " stored " << s.data.size() << " at "
            << (s.stored ? hex(layout.data_offsets[i]) : std::string("none")) << " relocations "
            << s.relocations.size() << " (kind 0: " << by_kind[0] << ", 1: " << by_kind[1] << ", 2: " << by_kind[2]
            << ", 3: " << by_kind[3] << ")\n";
    }
    out << "  @reloc1\theader " << hex(layout.header_offsets[kReloc1]) << " flags " << hex(image.reloc1_flags)
        << " size " << layout.reloc1_declared_size << " occupied " << layout.reloc1_occupied_size << "\n";
    for (size_t g = 0; g < kReloc1Groups; ++g)
        out << "    group " << g + 1 << ": " << image.reloc1_groups[g].size() << " marked constants\n";

    out << "routines (" << read.code.records.size() << " records)\n";
    for (const auto &r : read.code.records) out << "  " << hex(r.offset) << "\t" << r.name << "\n";
    dump_window(read, out);
}

}  // namespace tolvar::image

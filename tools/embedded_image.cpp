#include "tools/embedded_image.h"

#include <elf.h>

#include <cstring>
#include <string_view>

namespace tolvar::image {

namespace {

template <class T>
bool read_at(const std::vector<uint8_t> &file, uint64_t offset, T &out) {
    if (offset > file.size() || sizeof(T) > file.size() - offset) return false;
    std::memcpy(&out, file.data() + offset, sizeof(T));
    return true;
}

bool section(const std::vector<uint8_t> &file, const Elf64_Ehdr &eh, uint32_t index, Elf64_Shdr &out) {
    return index < eh.e_shnum && read_at(file, eh.e_shoff + uint64_t(index) * sizeof(Elf64_Shdr), out);
}

}  // namespace

std::optional<std::vector<uint8_t>> embedded_image(const std::vector<uint8_t> &file) {
    constexpr std::string_view kSymbol = "tolvar_program_image";
    Elf64_Ehdr eh;
    if (!read_at(file, 0, eh) || std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64 ||
        eh.e_shentsize != sizeof(Elf64_Shdr))
        return std::nullopt;
    for (uint32_t i = 0; i < eh.e_shnum; ++i) {
        Elf64_Shdr symbols, strings;
        if (!section(file, eh, i, symbols) || (symbols.sh_type != SHT_DYNSYM && symbols.sh_type != SHT_SYMTAB)) continue;
        if (!section(file, eh, symbols.sh_link, strings)) continue;
        for (uint64_t at = 0; at + sizeof(Elf64_Sym) <= symbols.sh_size; at += sizeof(Elf64_Sym)) {
            Elf64_Sym sym;
            if (!read_at(file, symbols.sh_offset + at, sym) || sym.st_name >= strings.sh_size) break;
            uint64_t name_at = strings.sh_offset + sym.st_name;
            if (name_at >= file.size()) break;
            std::string_view name(reinterpret_cast<const char *>(file.data() + name_at),
                                  strnlen(reinterpret_cast<const char *>(file.data() + name_at), file.size() - name_at));
            Elf64_Shdr holder;
            if (name != kSymbol || !section(file, eh, sym.st_shndx, holder) || holder.sh_type == SHT_NOBITS) continue;
            uint64_t offset = holder.sh_offset + (sym.st_value - holder.sh_addr);
            if (sym.st_value < holder.sh_addr || offset > file.size() || sym.st_size > file.size() - offset)
                return std::nullopt;
            return std::vector<uint8_t>(file.begin() + static_cast<std::ptrdiff_t>(offset),
                                        file.begin() + static_cast<std::ptrdiff_t>(offset + sym.st_size));
        }
    }
    return std::nullopt;
}

}  // namespace tolvar::image

#include "kernel/elf_symbols.h"

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

// The ELF header of this library, as the linker provides it.
extern "C" const ElfW(Ehdr) __ehdr_start __attribute__((visibility("hidden")));

namespace tolvar::kernel {

namespace {

// A read-only mapping of a whole file.
struct MappedFile {
    const uint8_t *data = nullptr;
    size_t size = 0;
    ~MappedFile() {
        if (data) munmap(const_cast<uint8_t *>(data), size);
    }
    bool map(const std::string &path, std::string &error) {
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            error = std::strerror(errno);
            return false;
        }
        struct stat st {};
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
            close(fd);
            error = "not a regular file";
            return false;
        }
        size = static_cast<size_t>(st.st_size);
        void *p = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        close(fd);
        if (p == MAP_FAILED) {
            error = std::strerror(errno);
            return false;
        }
        data = static_cast<const uint8_t *>(p);
        return true;
    }
    // `count` records of type T at `offset`, when they lie inside the file.
    template <class T>
    const T *records(uint64_t offset, uint64_t count) const {
        if (offset > size || count > (size - offset) / sizeof(T) || offset % alignof(T) != 0) return nullptr;
        return reinterpret_cast<const T *>(data + offset);
    }
};

}  // namespace

std::optional<std::set<std::string>> exported_functions(const std::string &path, std::string &error) {
    MappedFile file;
    if (!file.map(path, error)) return std::nullopt;
    const auto *header = file.records<ElfW(Ehdr)>(0, 1);
    // Magic, class, byte order and version; the OS/ABI byte may differ.
    if (!header || std::memcmp(header->e_ident, __ehdr_start.e_ident, EI_VERSION + 1) != 0 ||
        header->e_machine != __ehdr_start.e_machine || header->e_type != ET_DYN ||
        header->e_shentsize != sizeof(ElfW(Shdr))) {
        error = "not a shared object of this machine";
        return std::nullopt;
    }
    const auto *sections = file.records<ElfW(Shdr)>(header->e_shoff, header->e_shnum);
    if (!sections) {
        error = "its section table is damaged";
        return std::nullopt;
    }
    std::set<std::string> names;
    for (size_t i = 0; i < header->e_shnum; ++i) {
        const ElfW(Shdr) &table = sections[i];
        if (table.sh_type != SHT_DYNSYM) continue;
        if (table.sh_link >= header->e_shnum || table.sh_entsize != sizeof(ElfW(Sym))) break;
        const ElfW(Shdr) &strings = sections[table.sh_link];
        const auto *symbols = file.records<ElfW(Sym)>(table.sh_offset, table.sh_size / sizeof(ElfW(Sym)));
        const char *text = file.records<char>(strings.sh_offset, strings.sh_size);
        if (!symbols || !text || strings.sh_size == 0) break;
        for (size_t s = 0; s < table.sh_size / sizeof(ElfW(Sym)); ++s) {
            const ElfW(Sym) &sym = symbols[s];
            unsigned type = ELF64_ST_TYPE(sym.st_info), binding = ELF64_ST_BIND(sym.st_info);
            unsigned visibility = ELF64_ST_VISIBILITY(sym.st_other);
            if (sym.st_shndx == SHN_UNDEF || (type != STT_FUNC && type != STT_GNU_IFUNC)) continue;
            if ((binding != STB_GLOBAL && binding != STB_WEAK) ||
                (visibility != STV_DEFAULT && visibility != STV_PROTECTED))
                continue;
            if (sym.st_name >= strings.sh_size) continue;
            const char *name = text + sym.st_name;
            names.emplace(name, strnlen(name, strings.sh_size - sym.st_name));
        }
        return names;
    }
    error = "it has no readable dynamic symbol table";
    return std::nullopt;
}

}  // namespace tolvar::kernel

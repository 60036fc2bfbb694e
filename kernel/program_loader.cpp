#include "kernel/program_loader.h"

#include <dlfcn.h>

#include "kernel/support_libraries.h"

namespace tolvar::kernel {

Program::~Program() { release_dll_binding(dlls); }

tolvar_routine Program::routine_at(uint64_t address) const {
    auto it = routines.find(static_cast<uint32_t>(address));
    return address <= UINT32_MAX && it != routines.end() ? it->second : nullptr;
}

namespace {

std::string version_text(uint32_t version) {
    return std::to_string(TOLVAR_ABI_MAJOR_OF(version)) + "." + std::to_string(TOLVAR_ABI_MINOR_OF(version));
}

bool bind_routines(Program &p, std::string &error) {
    void *self = dlopen(nullptr, RTLD_NOW);
    auto *version = self ? static_cast<const uint32_t *>(dlsym(self, "tolvar_program_abi_version")) : nullptr;
    if (!version) {
        error = "the program does not say which interface version it was built for";
        return false;
    }
    if (!tolvar_abi_compatible(*version, TOLVAR_ABI_VERSION)) {
        error = "the program was built for interface version " + version_text(*version) +
                ", this kernel has version " + version_text(TOLVAR_ABI_VERSION);
        return false;
    }
    for (const auto &record : p.read.code.records) {
        void *fn = self ? dlsym(self, record.name.c_str()) : nullptr;
        if (!fn) {
            error = "routine \"" + record.name + "\" is not in the program";
            return false;
        }
        p.routines[p.block.program.code_data + record.offset] = reinterpret_cast<tolvar_routine>(fn);
    }
    p.start = p.routines.at(p.block.program.code_data + p.read.image.start_offset);
    return true;
}

bool read_window_form(Program &p, std::string &error) {
    auto form = image::read_form(p.read.image.sections[image::kForm].data, error);
    if (!form) return false;
    for (const auto &o : form->objects) {
        for (const auto &b : o.bindings)
            if (!p.read.code.record_at(b.code_offset)) {
                error = "form: a binding of \"" + o.name + "\" names no routine";
                return false;
            }
        if (o.is_menu_item() && o.handler != -1 && !p.read.code.record_at(static_cast<uint32_t>(o.handler))) {
            error = "form: menu item \"" + o.name + "\" names no routine";
            return false;
        }
    }
    const image::FormObject *window = form->find(TOLVAR_WINDOW_OBJECT);
    if (!window || window->type_id != TOLVAR_TYPE_ID_WINDOW || !image::read_window_options(window->options)) {
        error = "form: no readable window record";
        return false;
    }
    p.form = std::move(*form);
    return true;
}

}  // namespace

std::unique_ptr<Program> load_program(std::span<const uint8_t> bytes, const tolvar_services &services,
                                      const std::string &stand_in_folder, std::string &error) {
    auto result = image::read_image(bytes);
    if (!result.read) {
        error = "the program image is invalid: " + result.error;
        return nullptr;
    }
    auto p = std::make_unique<Program>();
    p->read = std::move(*result.read);
    if (!read_window_form(*p, error)) return nullptr;

    std::vector<std::pair<std::string, std::string>> commands;
    for (size_t i = 0; i < p->read.image.dll_commands.size(); ++i)
        commands.emplace_back(image::dll_library_name(p->read.image, i), image::dll_function_name(p->read.image, i));
    auto dlls = bind_dll_commands(stand_in_folder, commands, error);
    if (!dlls) return nullptr;
    p->dlls = std::move(*dlls);
    if (!find_support_libraries(p->read.image.libraries, error)) return nullptr;

    p->block = image::load_block(p->read, services);
    if (!bind_routines(*p, error)) return nullptr;
    return p;
}

}  // namespace tolvar::kernel

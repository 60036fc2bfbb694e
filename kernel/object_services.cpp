#include "kernel/object_services.h"

#include <dlfcn.h>

#include <QByteArray>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "abi/dispatch.h"
#include "abi/win32.h"
#include "kernel/kernel_state.h"
#include "kernel/services.h"
#include "kernel/values.h"
#include "platform/ascii.h"

namespace tolvar::kernel {

namespace {

// The stand-in that holds a class: what the registry's ProgID entries say on Windows.
const char *class_library(const char *progid) {
    return platform::ascii_lower(progid) == "vbscript.regexp" ? "vbscript.so" : nullptr;
}

// A stand-in of the kernel's folder, opened on first use and kept open: the
// objects it made may live as long as the program.
void *stand_in(const char *file) {
    static std::map<std::string, void *> opened;
    void *&handle = opened[file];
    if (!handle) handle = dlopen((state().stand_in_folder + "/" + file).c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle;
}

// Texts cross to objects as COM's do: through the system's ANSI code page.
struct CodePages {
    int (*to_wide)(UINT, DWORD, LPCSTR, int, LPWSTR, int) = nullptr;
    int (*to_multibyte)(UINT, DWORD, LPCWSTR, int, LPSTR, int, LPCSTR, BOOL *) = nullptr;
};
const CodePages &code_pages() {
    static CodePages c = [] {
        CodePages pages;
        if (void *kernel32 = stand_in("kernel32.so")) {
            pages.to_wide = reinterpret_cast<decltype(pages.to_wide)>(dlsym(kernel32, "MultiByteToWideChar"));
            pages.to_multibyte = reinterpret_cast<decltype(pages.to_multibyte)>(dlsym(kernel32, "WideCharToMultiByte"));
        }
        return pages;
    }();
    return c;
}

std::vector<uint16_t> wide(const char *gbk) {
    const CodePages &c = code_pages();
    if (!gbk || !*gbk || !c.to_wide) return {};
    int need = c.to_wide(CP_ACP, 0, gbk, -1, nullptr, 0);
    std::vector<uint16_t> units(static_cast<size_t>(need > 0 ? need : 1), 0);
    if (need > 0) c.to_wide(CP_ACP, 0, gbk, -1, units.data(), need);
    units.pop_back();  // the terminating zero
    return units;
}

QByteArray narrow(const uint16_t *units, uint32_t length) {
    const CodePages &c = code_pages();
    if (!units || length == 0 || !c.to_multibyte) return {};
    int n = static_cast<int>(length);
    int need = c.to_multibyte(CP_ACP, 0, units, n, nullptr, 0, nullptr, nullptr);
    QByteArray out(need > 0 ? need : 0, '\0');
    if (need > 0) c.to_multibyte(CP_ACP, 0, units, n, out.data(), need, nullptr, nullptr);
    return out;
}

// The references the program holds, by object: a reference it does not hold
// is a program error, as a released COM pointer would be on Windows.
std::unordered_map<tolvar_dispatch *, uint32_t> &held() {
    static std::unordered_map<tolvar_dispatch *, uint32_t> references;
    return references;
}

tolvar_arg hand_out(tolvar_dispatch *object) {
    ++held()[object];
    return tolvar_pointer_arg(object, TOLVAR_TYPE_OBJECT);
}

tolvar_dispatch *object_arg(const tolvar_arg &a) {
    if (a.type != TOLVAR_TYPE_OBJECT) return nullptr;
    auto *object = static_cast<tolvar_dispatch *>(tolvar_arg_pointer(a));
    if (object && !held().count(object)) stop_with_runtime_error(TOLVAR_ERROR_WRONG_TYPE);
    return object;
}

tolvar_arg error_value(int32_t code) { return {static_cast<uint32_t>(code), 0, TOLVAR_TYPE_ERROR}; }

// A variant the kernel received: its text freed, its object released.
struct Received {
    tolvar_variant v{};
    Received() = default;
    Received(const Received &) = delete;
    Received &operator=(const Received &) = delete;
    ~Received() {
        if (v.type == TOLVAR_VT_BSTR) std::free(v.text);
        if (v.type == TOLVAR_VT_DISPATCH && v.object) v.object->methods->release(v.object);
    }
};

tolvar_arg value_of(Received &r) {
    switch (r.v.type) {
        case TOLVAR_VT_BSTR: return text_value_gbk(narrow(r.v.text, r.v.text_length));
        case TOLVAR_VT_I4: return int_value(r.v.number);
        case TOLVAR_VT_BOOL: return bool_value(r.v.number != 0);
        case TOLVAR_VT_R8: {
            uint64_t bits;
            std::memcpy(&bits, &r.v.real, sizeof bits);
            return {static_cast<uint32_t>(bits), static_cast<uint32_t>(bits >> 32), TOLVAR_TYPE_DOUBLE};
        }
        case TOLVAR_VT_DISPATCH: {
            if (!r.v.object) return no_value();
            tolvar_dispatch *object = r.v.object;
            r.v.object = nullptr;  // its reference goes to the program
            return hand_out(object);
        }
        default: return no_value();
    }
}

// Arguments for an object, with the UTF-16 texts they point to.
struct Arguments {
    std::vector<std::vector<uint16_t>> texts;
    std::vector<tolvar_variant> values;

    explicit Arguments(const tolvar_arg *args, int32_t count) {
        texts.reserve(static_cast<size_t>(count));
        for (int32_t k = 0; k < count; ++k) {
            const tolvar_arg &a = args[k];
            tolvar_variant v{};
            switch (a.type) {
                case TOLVAR_TYPE_TEXT:
                    texts.push_back(wide(static_cast<const char *>(tolvar_arg_pointer(a))));
                    v.type = TOLVAR_VT_BSTR;
                    v.text = texts.back().data();
                    v.text_length = static_cast<uint32_t>(texts.back().size());
                    break;
                case TOLVAR_TYPE_INT:
                    v.type = TOLVAR_VT_I4;
                    v.number = static_cast<int32_t>(a.low);
                    break;
                case TOLVAR_TYPE_BOOL:
                    v.type = TOLVAR_VT_BOOL;
                    v.number = a.low ? -1 : 0;
                    break;
                case TOLVAR_TYPE_DOUBLE: {
                    uint64_t bits = uint64_t{a.high} << 32 | a.low;
                    v.type = TOLVAR_VT_R8;
                    std::memcpy(&v.real, &bits, sizeof bits);
                    break;
                }
                case TOLVAR_TYPE_OBJECT:
                    v.object = object_arg(a);
                    v.type = v.object ? TOLVAR_VT_DISPATCH : TOLVAR_VT_EMPTY;
                    break;
                default: break;  // omitted: empty
            }
            values.push_back(v);
        }
    }
};

tolvar_arg invoke(const tolvar_arg *args, int32_t count, uint32_t kind) {
    if (count < 2 || args[1].type != TOLVAR_TYPE_TEXT) return error_value(TOLVAR_E_BAD_ARGUMENT_COUNT);
    tolvar_dispatch *object = object_arg(args[0]);
    if (!object) return error_value(TOLVAR_E_INVALID_ARGUMENT);
    const char *name = static_cast<const char *>(tolvar_arg_pointer(args[1]));
    Arguments arguments(args + 2, count - 2);
    Received result;
    int32_t code = object->methods->invoke(object, name ? name : "", kind, static_cast<uint32_t>(arguments.values.size()),
                                           arguments.values.data(), &result.v);
    if (code != TOLVAR_S_OK) return error_value(code);
    return value_of(result);
}

}  // namespace

bool is_object_command(uint32_t command) {
    return command >= TOLVAR_KCMD_OBJECT_CREATE && command <= TOLVAR_KCMD_OBJECT_CALL;
}

tolvar_arg object_command(uint32_t command, int32_t count, const tolvar_arg *args) {
    if (count < 1) return error_value(TOLVAR_E_BAD_ARGUMENT_COUNT);
    switch (command) {
        case TOLVAR_KCMD_OBJECT_CREATE: {
            auto *progid = args[0].type == TOLVAR_TYPE_TEXT ? static_cast<const char *>(tolvar_arg_pointer(args[0])) : nullptr;
            const char *library = progid ? class_library(progid) : nullptr;
            void *handle = library ? stand_in(library) : nullptr;
            auto create = handle ? reinterpret_cast<tolvar_create_object_fn>(dlsym(handle, "tolvar_create_object")) : nullptr;
            tolvar_dispatch *object = create ? create(progid) : nullptr;
            return object ? hand_out(object) : error_value(TOLVAR_E_NO_OBJECT);
        }
        case TOLVAR_KCMD_OBJECT_ADD_REF: {
            tolvar_dispatch *object = object_arg(args[0]);
            if (!object) return no_value();
            object->methods->add_ref(object);
            return hand_out(object);
        }
        case TOLVAR_KCMD_OBJECT_RELEASE: {
            tolvar_dispatch *object = object_arg(args[0]);
            if (!object) return no_value();
            if (--held()[object] == 0) held().erase(object);
            object->methods->release(object);
            return no_value();
        }
        case TOLVAR_KCMD_OBJECT_PUT:
            if (count != 3) return error_value(TOLVAR_E_BAD_ARGUMENT_COUNT);
            return invoke(args, count, TOLVAR_INVOKE_PUT);
        case TOLVAR_KCMD_OBJECT_GET: return invoke(args, count, TOLVAR_INVOKE_GET);
        case TOLVAR_KCMD_OBJECT_CALL: return invoke(args, count, TOLVAR_INVOKE_METHOD);
        default: return error_value(TOLVAR_E_MEMBER_NOT_FOUND);
    }
}

}  // namespace tolvar::kernel

#include "tests/fuzz/program_objects.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "abi/dispatch.h"
#include "abi/win32.h"

// The stand-ins' exports linked into the target.
extern "C" tolvar_dispatch *tolvar_create_object(const char *progid) noexcept;
extern "C" int MultiByteToWideChar(UINT, DWORD, LPCSTR, int, LPWSTR, int) noexcept;
extern "C" int WideCharToMultiByte(UINT, DWORD, LPCWSTR, int, LPSTR, int, LPCSTR, BOOL *) noexcept;

namespace tolvar::fuzz {

namespace {

[[noreturn]] void fail(const char *what) {
    std::fprintf(stderr, "program kernel: %s\n", what);
    std::abort();
}

std::unordered_map<tolvar_dispatch *, uint32_t> g_held;  // object -> references the program holds

tolvar_arg hand_out(tolvar_dispatch *object) {
    ++g_held[object];
    return tolvar_pointer_arg(object, TOLVAR_TYPE_OBJECT);
}

tolvar_dispatch *object_of(const tolvar_arg &a) {
    if (a.type != TOLVAR_TYPE_OBJECT) return nullptr;
    auto *object = static_cast<tolvar_dispatch *>(tolvar_arg_pointer(a));
    if (object && !g_held.count(object)) fail("the program used an object reference it does not hold");
    return object;
}

tolvar_arg error_value(int32_t code) { return {static_cast<uint32_t>(code), 0, TOLVAR_TYPE_ERROR}; }
tolvar_arg none() { return {0, 0, TOLVAR_TYPE_NONE}; }

std::vector<uint16_t> wide(const char *gbk) {
    if (!gbk || !*gbk) return {};
    int need = MultiByteToWideChar(CP_ACP, 0, gbk, -1, nullptr, 0);
    if (need <= 0) fail("a text the code page does not take");
    std::vector<uint16_t> units(static_cast<size_t>(need));
    MultiByteToWideChar(CP_ACP, 0, gbk, -1, units.data(), need);
    units.pop_back();  // the terminating zero
    return units;
}

std::string narrow(const uint16_t *units, uint32_t length) {
    if (!units || length == 0) return {};
    int n = static_cast<int>(length);
    int need = WideCharToMultiByte(CP_ACP, 0, units, n, nullptr, 0, nullptr, nullptr);
    std::string out(need > 0 ? static_cast<size_t>(need) : 0, '\0');
    if (need > 0) WideCharToMultiByte(CP_ACP, 0, units, n, out.data(), need, nullptr, nullptr);
    return out;
}

// A result variant, its text freed and its object released unless handed on.
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

tolvar_arg value_of(Received &r, TextBlock text_block) {
    switch (r.v.type) {
        case TOLVAR_VT_BSTR: {
            std::string text = narrow(r.v.text, r.v.text_length);
            return text_block(text.data(), static_cast<uint32_t>(text.size()));
        }
        case TOLVAR_VT_I4: return {static_cast<uint32_t>(r.v.number), r.v.number < 0 ? ~0u : 0u, TOLVAR_TYPE_INT};
        case TOLVAR_VT_BOOL: return {r.v.number != 0 ? 1u : 0u, 0, TOLVAR_TYPE_BOOL};
        case TOLVAR_VT_R8: {
            uint64_t bits;
            std::memcpy(&bits, &r.v.real, sizeof bits);
            return {static_cast<uint32_t>(bits), static_cast<uint32_t>(bits >> 32), TOLVAR_TYPE_DOUBLE};
        }
        case TOLVAR_VT_DISPATCH: {
            if (!r.v.object) return none();
            tolvar_dispatch *object = r.v.object;
            r.v.object = nullptr;
            return hand_out(object);
        }
        default: return none();
    }
}

tolvar_arg invoke(const tolvar_arg *args, int32_t count, uint32_t kind, TextBlock text_block) {
    if (count < 2 || args[1].type != TOLVAR_TYPE_TEXT) return error_value(TOLVAR_E_BAD_ARGUMENT_COUNT);
    tolvar_dispatch *object = object_of(args[0]);
    if (!object) return error_value(TOLVAR_E_INVALID_ARGUMENT);
    std::vector<std::vector<uint16_t>> texts;
    std::vector<tolvar_variant> values;
    texts.reserve(static_cast<size_t>(count));
    for (int32_t k = 2; k < count; ++k) {
        const tolvar_arg &a = args[k];
        tolvar_variant v{};
        if (a.type == TOLVAR_TYPE_TEXT) {
            texts.push_back(wide(static_cast<const char *>(tolvar_arg_pointer(a))));
            v.type = TOLVAR_VT_BSTR;
            v.text = texts.back().data();
            v.text_length = static_cast<uint32_t>(texts.back().size());
        } else if (a.type == TOLVAR_TYPE_INT || a.type == TOLVAR_TYPE_BOOL) {
            v.type = a.type == TOLVAR_TYPE_INT ? TOLVAR_VT_I4 : TOLVAR_VT_BOOL;
            v.number = a.type == TOLVAR_TYPE_INT ? static_cast<int32_t>(a.low) : (a.low ? -1 : 0);
        } else if (a.type == TOLVAR_TYPE_DOUBLE) {
            uint64_t bits = uint64_t{a.high} << 32 | a.low;
            v.type = TOLVAR_VT_R8;
            std::memcpy(&v.real, &bits, sizeof bits);
        } else if (a.type == TOLVAR_TYPE_OBJECT) {
            v.object = object_of(a);
            v.type = v.object ? TOLVAR_VT_DISPATCH : TOLVAR_VT_EMPTY;
        }
        values.push_back(v);
    }
    auto *name = static_cast<const char *>(tolvar_arg_pointer(args[1]));
    Received result;
    int32_t code = object->methods->invoke(object, name ? name : "", kind, static_cast<uint32_t>(values.size()),
                                           values.data(), &result.v);
    if (code != TOLVAR_S_OK) return error_value(code);
    return value_of(result, text_block);
}

}  // namespace

tolvar_arg object_command(uint32_t command, int32_t count, const tolvar_arg *args, TextBlock text_block) {
    if (count < 1) return error_value(TOLVAR_E_BAD_ARGUMENT_COUNT);
    switch (command) {
        case TOLVAR_KCMD_OBJECT_CREATE: {
            auto *progid = args[0].type == TOLVAR_TYPE_TEXT ? static_cast<const char *>(tolvar_arg_pointer(args[0])) : nullptr;
            tolvar_dispatch *object = progid ? tolvar_create_object(progid) : nullptr;
            return object ? hand_out(object) : error_value(TOLVAR_E_NO_OBJECT);
        }
        case TOLVAR_KCMD_OBJECT_ADD_REF: {
            tolvar_dispatch *object = object_of(args[0]);
            if (!object) return none();
            object->methods->add_ref(object);
            return hand_out(object);
        }
        case TOLVAR_KCMD_OBJECT_RELEASE: {
            tolvar_dispatch *object = object_of(args[0]);
            if (!object) return none();
            if (--g_held[object] == 0) g_held.erase(object);
            object->methods->release(object);
            return none();
        }
        case TOLVAR_KCMD_OBJECT_PUT:
            if (count != 3) return error_value(TOLVAR_E_BAD_ARGUMENT_COUNT);
            return invoke(args, count, TOLVAR_INVOKE_PUT, text_block);
        case TOLVAR_KCMD_OBJECT_GET: return invoke(args, count, TOLVAR_INVOKE_GET, text_block);
        case TOLVAR_KCMD_OBJECT_CALL: return invoke(args, count, TOLVAR_INVOKE_METHOD, text_block);
        default: fail("an unknown object command");
    }
}

uint32_t held_object_references() {
    uint32_t n = 0;
    for (const auto &[object, references] : g_held) n += references;
    return n;
}

}  // namespace tolvar::fuzz

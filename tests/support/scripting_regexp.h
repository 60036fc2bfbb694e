// The RegExp class of the vbscript stand-in, created and called by member
// names as the kernel's object services call it.
#pragma once

#include <dlfcn.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "abi/dispatch.h"

namespace tolvar::test {

class ScriptingRegExp {
public:
    ScriptingRegExp() {
        static void *library = dlopen(TOLVAR_BIN "/vbscript.so", RTLD_NOW | RTLD_LOCAL);
        auto create = library ? reinterpret_cast<tolvar_create_object_fn>(dlsym(library, "tolvar_create_object")) : nullptr;
        object_ = create ? create("VBScript.RegExp") : nullptr;
    }
    ~ScriptingRegExp() { release(object_); }
    bool ready() const { return object_; }

    static tolvar_variant text(const std::u16string &s) {
        tolvar_variant v{};
        v.type = TOLVAR_VT_BSTR;
        v.text = reinterpret_cast<uint16_t *>(const_cast<char16_t *>(s.data()));
        v.text_length = static_cast<uint32_t>(s.size());
        return v;
    }
    static tolvar_variant logical(bool b) {
        tolvar_variant v{};
        v.type = TOLVAR_VT_BOOL;
        v.number = b ? -1 : 0;
        return v;
    }
    static tolvar_variant number(int32_t n) {
        tolvar_variant v{};
        v.type = TOLVAR_VT_I4;
        v.number = n;
        return v;
    }
    static void release(tolvar_dispatch *o) {
        if (o) o->methods->release(o);
    }
    // Calls a member; a text result comes back as a string, an object result in `object`.
    static int32_t invoke(tolvar_dispatch *o, const char *name, uint32_t kind, std::vector<tolvar_variant> args,
                          tolvar_variant &result) {
        return o->methods->invoke(o, name, kind, static_cast<uint32_t>(args.size()), args.data(), &result);
    }
    static std::u16string take_text(tolvar_variant &v) {
        std::u16string s;
        if (v.type == TOLVAR_VT_BSTR) s.assign(reinterpret_cast<char16_t *>(v.text), v.text_length), std::free(v.text);
        return s;
    }

    tolvar_dispatch *object() const { return object_; }

private:
    tolvar_dispatch *object_ = nullptr;
};

}  // namespace tolvar::test

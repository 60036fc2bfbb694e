// A recording fake kernel: the real image is loaded and relocated, the service
// table is the test's own. It records the calls the program makes, keeps track
// of live blocks, and lets a test answer DLL commands and kernel commands.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <set>

#include "image/image_loader.h"
#include "runtime/runtime.h"
#include "tests/support/test_image.h"

namespace tolvar::test {

struct Recorder {
    std::vector<std::string> calls;
    std::set<void *> live;
    std::vector<tolvar_routine> at_end;
    std::function<void()> during_event_loop = [] {};
    std::map<uint32_t, void *> dll_functions;  // by DLL-command index
    image::ReadImage read;
    image::LoadedBlock block;
};
inline Recorder *rec = nullptr;

inline void *routine_named(const std::string &name) { return dlsym(RTLD_DEFAULT, name.c_str()); }

inline std::string hex(uint64_t v) {
    char b[24];
    std::snprintf(b, sizeof b, "0x%llX", static_cast<unsigned long long>(v));
    return b;
}

inline void *fake_allocate(uint32_t size) {
    void *p = std::calloc(1, size ? size : 1);
    rec->live.insert(p);
    rec->calls.push_back("allocate " + std::to_string(size));
    return p;
}
inline void fake_release(void *p) {
    if (!rec->live.erase(p)) {
        rec->calls.push_back("release of an unknown block");
        return;
    }
    std::free(p);
    rec->calls.push_back("release");
}
inline void *fake_resize(void *p, uint32_t size) {
    rec->live.erase(p);
    void *q = std::realloc(p, size);
    rec->live.insert(q);
    return q;
}
// A run-time error stops the program: here the test process, with this status.
inline constexpr int kRunTimeErrorStatus = 3;
inline void fake_error(int32_t code) {
    std::fprintf(stderr, "run-time error %d\n", code);
    std::fflush(stderr);
    std::_Exit(kRunTimeErrorStatus);
}
inline void *fake_dll(uint32_t index) {
    auto it = rec->dll_functions.find(index);
    return it == rec->dll_functions.end() ? nullptr : it->second;
}
inline tolvar_arg fake_library(uint32_t, uint32_t, int32_t, const tolvar_arg *) { return {}; }
// The kernel commands the program's routines need here: a routine's native
// address; the program's requests for pending events and its message boxes
// are recorded.
inline tolvar_arg fake_command(uint32_t command, int32_t count, const tolvar_arg *args) {
    if (command == TOLVAR_KCMD_PROCESS_EVENTS) {
        rec->calls.push_back("process events");
        return {};
    }
    if (command == TOLVAR_KCMD_MESSAGE_BOX && count >= 1) {
        auto *text = static_cast<const char *>(tolvar_arg_pointer(args[0]));
        rec->calls.push_back(std::string("message box ") + (text ? text : ""));
        return {1, 0, TOLVAR_TYPE_INT};
    }
    if (command != TOLVAR_KCMD_ROUTINE_ADDRESS || count < 1) return {};
    auto *record = rec->read.code.record_at(args[0].low - rec->block.program.code_data);
    auto address = reinterpret_cast<uintptr_t>(record ? routine_named(record->name) : nullptr);
    return {static_cast<uint32_t>(address), static_cast<uint32_t>(address >> 32), TOLVAR_TYPE_ADDRESS};
}
inline tolvar_arg fake_get(uint32_t, uint32_t, uint32_t, int32_t) { return {}; }
inline void fake_set(uint32_t, uint32_t, uint32_t, int32_t, tolvar_arg) {}
inline void fake_end() {
    rec->calls.push_back("end");
    for (auto r : rec->at_end) r(0, nullptr);
}
inline int32_t fake_loop(int32_t) {
    rec->calls.push_back("event loop");
    rec->during_event_loop();
    return 0;
}
inline int32_t fake_load_window(uint32_t id) {
    rec->calls.push_back("load window " + hex(id));
    return 1;
}
inline int32_t fake_special(int32_t code, uint64_t argument, uint64_t second) {
    if (code == TOLVAR_SPECIAL_ARRAY_GROWS) {
        rec->calls.push_back("array grows " + std::to_string(argument) + " " + hex(second));
        return 1;
    }
    if (code != TOLVAR_SPECIAL_AT_END) return 0;
    auto *record = rec->read.code.record_at(static_cast<uint32_t>(argument - rec->block.program.code_data));
    if (!record) {
        rec->calls.push_back("at end: no routine at " + hex(argument));
        return 0;
    }
    rec->calls.push_back("at end " + record->name);
    rec->at_end.push_back(reinterpret_cast<tolvar_routine>(routine_named(record->name)));
    return 1;
}

// Loads the test image with the recording services and attaches the program to it.
class RecordingKernel : public ::testing::Test {
protected:
    Recorder recorder;
    void SetUp() override {
        rec = &recorder;
        recorder.read = read_ok(test_image_bytes());
        tolvar_services services{fake_error, fake_dll,     fake_library, fake_command, fake_get,
                                 fake_set,   fake_allocate, fake_resize, fake_release, fake_end,
                                 fake_loop,  fake_load_window, fake_special};
        recorder.block = image::load_block(recorder.read, services);
    }
    void TearDown() override { rec = nullptr; }
    int32_t start() {
        auto address = reinterpret_cast<uintptr_t>(&recorder.block.program);
        tolvar_arg arg{static_cast<uint32_t>(address), static_cast<uint32_t>(address >> 32), TOLVAR_TYPE_ADDRESS};
        return reinterpret_cast<tolvar_routine>(routine_named("tolvar_start"))(1, &arg);
    }
};


}  // namespace tolvar::test

#include "tests/fuzz/program_kernel.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "abi/tolvar_abi.h"
#include "image/image_loader.h"
#include "image/image_reader.h"
#include "image/image_writer.h"
#include "runtime/dll_commands.h"
#include "runtime/runtime.h"
#include "tests/fuzz/program_objects.h"
#include "tools/program_image.h"

namespace tolvar::fuzz {

namespace {

struct Loaded {
    ProgramKernel kernel;
    image::ReadImage read;
    image::LoadedBlock block;
    std::unordered_map<void *, size_t> blocks;  // live block -> size
    std::map<int32_t, std::string> open_files;  // file number -> path
    int32_t last_file = 0;
};
Loaded *g = nullptr;

[[noreturn]] void fail(const char *what) {
    std::fprintf(stderr, "program kernel: %s\n", what);
    std::abort();
}

void *allocate(uint32_t size) {
    void *p = std::calloc(1, size ? size : 1);
    if (!p) fail("out of memory");
    g->blocks[p] = size;
    ++g->kernel.live_blocks;
    g->kernel.allocated_bytes += size;
    return p;
}
void release(void *p) {
    if (!p) return;
    auto it = g->blocks.find(p);
    if (it == g->blocks.end()) fail("the program released a block it does not hold");
    g->blocks.erase(it);
    --g->kernel.live_blocks;
    std::free(p);
}
void *resize(void *p, uint32_t size) {
    if (!p) return allocate(size);
    auto it = g->blocks.find(p);
    if (it == g->blocks.end()) fail("the program resized a block it does not hold");
    size_t before = it->second;
    g->blocks.erase(it);
    void *q = std::realloc(p, size ? size : 1);
    if (!q) fail("out of memory");
    if (size > before) std::memset(static_cast<char *>(q) + before, 0, size - before);
    g->blocks[q] = size;
    g->kernel.allocated_bytes += size;
    return q;
}

tolvar_arg text_value(const std::string &text) {
    auto *block = static_cast<char *>(allocate(static_cast<uint32_t>(text.size() + 1)));
    std::memcpy(block, text.data(), text.size());
    return tolvar_pointer_arg(block, TOLVAR_TYPE_TEXT);
}
tolvar_arg bytes_value(const std::string &bytes) {
    return tolvar_pointer_arg(runtime::new_bytes(bytes.data(), static_cast<uint32_t>(bytes.size())).release(),
                              TOLVAR_TYPE_BYTES);
}
tolvar_arg text_bytes(const char *bytes, uint32_t length) { return text_value(std::string(bytes, length)); }
tolvar_arg int_value(int64_t v) { return {static_cast<uint32_t>(v), static_cast<uint32_t>(v >> 32), TOLVAR_TYPE_INT}; }
tolvar_arg none() { return {0, 0, 0}; }

std::string text_of(const tolvar_arg &a) {
    auto *text = static_cast<const char *>(tolvar_arg_pointer(a));
    return text ? text : "";
}
// A text argument's bytes, or a byte set's.
std::string content_of(const tolvar_arg &a) {
    if (a.type != TOLVAR_TYPE_BYTES) return text_of(a);
    const void *set = tolvar_arg_pointer(a);
    return std::string(reinterpret_cast<const char *>(runtime::bytes_data(set)), runtime::bytes_length(set));
}
// The control a control-reference argument names.
uint32_t control_of(const tolvar_arg &a) { return a.high; }

[[noreturn]] void runtime_error(int32_t code) {
    std::fprintf(stderr, "program kernel: run-time error %d\n", code);
    std::abort();
}

void *dll_command(uint32_t index) {
    if (index >= std::size(runtime::kDllCommands)) fail("no such DLL command");
    void *f = dlsym(RTLD_DEFAULT, runtime::kDllCommands[index].function);
    if (!f) fail("a DLL command the fuzz target does not link");
    return f;
}

tolvar_arg library_command(uint32_t, uint32_t, int32_t, const tolvar_arg *) { fail("a support-library command"); }

tolvar_arg file_command(uint32_t command, int32_t count, const tolvar_arg *args) {
    ProgramKernel &k = g->kernel;
    bool by_number = command == TOLVAR_KCMD_READ_TEXT || command == TOLVAR_KCMD_CLOSE_FILE;
    std::string path = count > 0 && !by_number ? text_of(args[0]) : "";
    auto file = k.files.find(path);
    switch (command) {
        case TOLVAR_KCMD_READ_FILE: return bytes_value(file == k.files.end() ? "" : file->second);
        case TOLVAR_KCMD_FILE_EXISTS: return {file != k.files.end() ? 1u : 0u, 0, TOLVAR_TYPE_BOOL};
        case TOLVAR_KCMD_OPEN_FILE:
            if (file == k.files.end()) return int_value(0);
            g->open_files[++g->last_file] = path;
            return int_value(g->last_file);
        case TOLVAR_KCMD_READ_TEXT: {
            auto open = g->open_files.find(count > 0 ? static_cast<int32_t>(args[0].low) : 0);
            if (open == g->open_files.end()) return text_value("");
            const std::string &content = k.files[open->second];
            return text_value(content.substr(0, content.find('\0')));
        }
        case TOLVAR_KCMD_CLOSE_FILE: g->open_files.erase(count > 0 ? static_cast<int32_t>(args[0].low) : 0); return none();
        case TOLVAR_KCMD_CREATE_FOLDER: return {1, 0, TOLVAR_TYPE_BOOL};
        case TOLVAR_KCMD_WRITE_FILE: {
            std::string content;
            for (int32_t i = 1; i < count; ++i) content += content_of(args[i]);
            k.files[path] = content;
            return {1, 0, TOLVAR_TYPE_BOOL};
        }
        case TOLVAR_KCMD_DELETE_FILE: return {k.files.erase(path) ? 1u : 0u, 0, TOLVAR_TYPE_BOOL};
        default: fail("an unknown file command");
    }
}

tolvar_arg kernel_command(uint32_t command, int32_t count, const tolvar_arg *args) {
    ProgramKernel &k = g->kernel;
    auto list = [&]() -> std::vector<ListItem> & { return k.lists[count > 0 ? control_of(args[0]) : 0]; };
    auto index = [&]() { return count > 1 ? static_cast<int32_t>(args[1].low) : -1; };
    switch (command) {
        case TOLVAR_KCMD_MESSAGE_BOX: k.messages.push_back(count > 0 ? text_of(args[0]) : ""); return int_value(1);
        case TOLVAR_KCMD_APPEND_TEXT: k.texts[control_of(args[0])] += count > 1 ? text_of(args[1]) : ""; return none();
        case TOLVAR_KCMD_LIST_ADD:
            list().push_back({count > 1 ? text_of(args[1]) : "", count > 2 ? static_cast<int32_t>(args[2].low) : 0});
            return none();
        case TOLVAR_KCMD_LIST_CLEAR: list().clear(); return none();
        case TOLVAR_KCMD_LIST_COUNT: return int_value(static_cast<int64_t>(list().size()));
        case TOLVAR_KCMD_LIST_ITEM_TEXT: {
            auto &items = list();
            int32_t i = index();
            return text_value(i >= 0 && static_cast<size_t>(i) < items.size() ? items[i].text : "");
        }
        case TOLVAR_KCMD_LIST_ITEM_VALUE: {
            auto &items = list();
            int32_t i = index();
            return int_value(i >= 0 && static_cast<size_t>(i) < items.size() ? items[i].value : 0);
        }
        case TOLVAR_KCMD_PROGRAM_DIRECTORY: return text_value(kProgramFolder);
        case TOLVAR_KCMD_SET_FOCUS:
        case TOLVAR_KCMD_TIMER_INTERVAL:
        case TOLVAR_KCMD_PROCESS_EVENTS:
        case TOLVAR_KCMD_BUSY_BEGIN:
        case TOLVAR_KCMD_BUSY_END: return none();
        case TOLVAR_KCMD_ROUTINE_ADDRESS: {
            auto *record = count > 0 ? g->read.code.record_at(args[0].low - g->block.program.code_data) : nullptr;
            void *routine = record ? dlsym(RTLD_DEFAULT, record->name.c_str()) : nullptr;
            if (!routine) fail("a routine address that names no routine");
            return tolvar_pointer_arg(routine, TOLVAR_TYPE_ADDRESS);
        }
        default:
            if (command >= TOLVAR_KCMD_OBJECT_CREATE && command <= TOLVAR_KCMD_OBJECT_CALL)
                return object_command(command, count, args, text_bytes);
            if (command >= TOLVAR_KCMD_READ_FILE && command <= TOLVAR_KCMD_DELETE_FILE)
                return file_command(command, count, args);
            fail("a kernel command the fuzz kernel does not serve");
    }
}

tolvar_arg get_property(uint32_t, uint32_t object, uint32_t property, int32_t) {
    if (property == TOLVAR_PROP_TEXT) return text_value(g->kernel.texts[object]);
    if (property == TOLVAR_PROP_PAGE) return int_value(g->kernel.pages[object]);
    return int_value(0);
}
void set_property(uint32_t, uint32_t object, uint32_t property, int32_t, tolvar_arg value) {
    if (property == TOLVAR_PROP_TEXT) g->kernel.texts[object] = text_of(value);
    if (property == TOLVAR_PROP_PAGE) g->kernel.pages[object] = static_cast<int32_t>(value.low);
}

void end_program() {}
int32_t event_loop(int32_t) { return 0; }
int32_t load_window(uint32_t) { return 1; }
int32_t special(int32_t, uint64_t, uint64_t) { return 1; }

}  // namespace

void ProgramKernel::reset() {
    texts.clear();
    lists.clear();
    pages.clear();
    files.clear();
    messages.clear();
    allocated_bytes = 0;
    g->open_files.clear();
}

ProgramKernel &program_kernel() {
    if (g) return g->kernel;
    g = new Loaded;
    program::ProgramSettings settings;
    settings.service_host = "127.0.0.1:9";
    settings.echo_url = "http://127.0.0.1:9/ip.php";
    settings.icon = std::vector<uint8_t>(64, 0x11);
    auto result = image::read_image(image::write_image(program::build_program_image(settings)));
    if (!result.read) fail("the program's own image does not read back");
    g->read = std::move(*result.read);
    static const tolvar_services services{runtime_error, dll_command,  library_command, kernel_command,
                                          get_property,  set_property, allocate,        resize,
                                          release,       end_program,  event_loop,      load_window,
                                          special};
    g->block = image::load_block(g->read, services);
    runtime::attach(&g->block.program);
    return g->kernel;
}

}  // namespace tolvar::fuzz

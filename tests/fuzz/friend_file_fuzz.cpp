// libFuzzer target: the friend file "hao.txt" read when page ③ is entered,
// through the program's own routine on a kernel in this process. The list
// shows exactly the file's entries; each entry comes from one line; entries
// written back the way a refresh writes them read back the same.
#include <string>

#include "runtime/controls.h"
#include "service/friend_file.h"
#include "service/friend_list.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/program_kernel.h"

using namespace tolvar;

// The program's routine run when page 3 is entered (exported, not in a header).
extern "C" int32_t friend_list_load(int32_t, const tolvar_arg *) noexcept;

namespace {

constexpr int32_t kFriendPage = 2;

size_t line_count(std::string_view text) {
    size_t lines = 1;
    for (size_t at = text.find("\r\n"); at != std::string_view::npos; at = text.find("\r\n", at + 2)) ++lines;
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::program_kernel();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string content(reinterpret_cast<const char *>(data), size);
    fuzz::ProgramKernel &kernel = fuzz::program_kernel();
    kernel.reset();
    kernel.files[std::string(fuzz::kProgramFolder) + "/hao.txt"] = content;
    kernel.pages[runtime::选择夹1] = kFriendPage;
    friend_list_load(0, nullptr);
    FUZZ_CHECK(kernel.live_blocks == 0);

    std::string text = service::read_friend_file();
    FUZZ_CHECK(content.starts_with(text));
    auto entries = service::friend_file_entries(text);
    FUZZ_CHECK(entries.size() <= line_count(text));
    const auto &shown = kernel.lists[runtime::列表框1];
    FUZZ_CHECK(shown.size() == entries.size());
    std::string written;
    for (size_t i = 0; i < entries.size(); ++i) {
        FUZZ_CHECK(shown[i].text == entries[i].number && shown[i].value == entries[i].id);
        FUZZ_CHECK(entries[i].number.find(',') == std::string::npos);
        FUZZ_CHECK(entries[i].number.find("\r\n") == std::string::npos);
        written += entries[i].number + "," + std::to_string(entries[i].id) + "\r\n";
    }
    auto again = service::friend_file_entries(written);
    FUZZ_CHECK(again.size() == entries.size());
    for (size_t i = 0; i < again.size(); ++i)
        FUZZ_CHECK(again[i].number == entries[i].number && again[i].id == entries[i].id);
    return 0;
}

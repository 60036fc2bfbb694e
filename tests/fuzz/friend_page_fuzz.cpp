// libFuzzer target: the friend page a refresh fetches, scanned by the
// program's own routine with the regular-expression object on a kernel in
// this process. Every listed friend is an 11-digit number with a 6-digit id,
// the count shown is the engine's, the lines staged for the friend file are
// the listed entries, and the friend file's reader reads them back as listed.
#include <string>

#include "runtime/controls.h"
#include "service/friend_file.h"
#include "service/friend_list.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/program_kernel.h"
#include "tests/fuzz/program_objects.h"

using namespace tolvar;

namespace {

bool digits(const std::string &s, size_t count) {
    return s.size() == count && s.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::program_kernel();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string page(reinterpret_cast<const char *>(data), size);
    fuzz::ProgramKernel &kernel = fuzz::program_kernel();
    kernel.reset();
    int32_t found = service::friend_list_parse(page);
    FUZZ_CHECK(kernel.live_blocks == 0);
    FUZZ_CHECK(fuzz::held_object_references() == 0);
    FUZZ_CHECK(kernel.messages.empty());

    const auto &shown = kernel.lists[runtime::列表框1];
    FUZZ_CHECK(found >= 0 && static_cast<size_t>(found) == shown.size());
    FUZZ_CHECK(shown.size() <= size / 20);  // "dddddd','ddddddddddd" is 20 bytes
    const std::string &count = kernel.texts[runtime::标签19];
    FUZZ_CHECK(count.starts_with("一共有") && count.ends_with("位好友"));
    int32_t counted = std::stoi(count.substr(std::string("一共有").size()));
    FUZZ_CHECK(counted >= found);

    const std::string &staged = kernel.texts[runtime::好友];
    auto entries = service::friend_file_entries(staged);
    FUZZ_CHECK(entries.size() == shown.size());
    for (size_t i = 0; i < shown.size(); ++i) {
        FUZZ_CHECK(digits(shown[i].text, 11));
        FUZZ_CHECK(shown[i].value >= 0 && shown[i].value <= 999999);
        FUZZ_CHECK(entries[i].number == shown[i].text && entries[i].id == shown[i].value);
    }
    return 0;
}

// libFuzzer target: the settings file read at start, through the program's
// own reader on a kernel in this process. Whatever the file holds, the
// referrer number and the title come from it or are the defaults, no block is
// left behind, and a file of a plausible number and a short owner text gives
// back exactly those.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "app/app_content.h"
#include "app/settings_file.h"
#include "runtime/deployment.h"
#include "runtime/globals.h"
#include "runtime/runtime.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/program_kernel.h"

using namespace tolvar;

namespace {

struct Edition {
    std::string number;
    std::string title;
};

Edition read_settings_file(const std::string &content) {
    fuzz::ProgramKernel &kernel = fuzz::program_kernel();
    kernel.reset();
    {
        runtime::Text path = app::settings_path(fuzz::kProgramFolder);
        kernel.files[path.get()] = content;
        app::read_settings(path.get());
    }
    FUZZ_CHECK(kernel.messages.empty());
    // The referrer number is the one block the program keeps.
    FUZZ_CHECK(kernel.live_blocks == 1);
    const char *number = runtime::globals().referrer_number.get();
    FUZZ_CHECK(number != nullptr);
    return {number, kernel.texts[TOLVAR_WINDOW_OBJECT]};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::program_kernel();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string content(reinterpret_cast<const char *>(data), size);
    const std::string default_number = runtime::const_text(runtime::kDefaultNumber);
    const std::string default_title = runtime::const_text(app::kDefaultTitle);
    const std::string prefix = runtime::const_text(app::kEditionTitlePrefix);

    Edition edition = read_settings_file(content);
    if (edition.number == default_number) {
        FUZZ_CHECK(edition.title == default_title || edition.title.starts_with(prefix));
    } else {
        FUZZ_CHECK(content.starts_with(edition.number + "\r\n"));
        FUZZ_CHECK(edition.title.starts_with(prefix));
    }
    FUZZ_CHECK(edition.title.size() <= prefix.size() + size || edition.title == default_title);

    // A file written as an edition's owner writes it reads back as that edition.
    FuzzedDataProvider input(data, size);
    std::string number = "1";
    for (int i = 0; i < 10; ++i) number += static_cast<char>('0' + input.ConsumeIntegralInRange(0, 9));
    std::string owner;
    for (char c : input.ConsumeRandomLengthString(48))
        if (c >= 0x20 && c < 0x7F) owner += c;
    if (number == default_number) return 0;
    Edition written = read_settings_file(number + "\r\n" + owner + "\r\n");
    FUZZ_CHECK(written.number == number);
    FUZZ_CHECK(written.title == prefix + owner);
    return 0;
}

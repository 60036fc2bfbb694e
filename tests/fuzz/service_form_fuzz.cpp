// libFuzzer target: the reference service's reading of what a client sends:
// form bodies and queries, and the Cookie header. A malformed escape refuses
// the whole text; fields written back with every byte escaped, or with only
// the bytes that must be, read back the same; a cookie's value is a piece of
// its header and a header written with a value gives that value back.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "server/form.h"
#include "server/shapes.h"
#include "tests/fuzz/fuzz_check.h"

using namespace tolvar::server;

namespace {

std::string escaped(const std::string &text, bool every_byte) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (every_byte || c == '%' || c == '&' || c == '=') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

void fields_read_back(std::string_view text) {
    auto fields = parse_fields(text);
    if (!fields) return;
    FUZZ_CHECK(fields->size() <= text.size());
    for (bool every_byte : {true, false}) {
        std::string written;
        for (const auto &[name, value] : *fields) {
            if (!written.empty()) written += '&';
            written += escaped(name, every_byte) + "=" + escaped(value, every_byte);
        }
        auto again = parse_fields(written);
        FUZZ_CHECK(again.has_value());
        // A field with an empty name and value is written as "=", which reads back as one.
        FUZZ_CHECK(*again == *fields);
        for (const auto &[name, value] : *fields) FUZZ_CHECK(field(*again, name) != nullptr);
    }
}

void cookies(FuzzedDataProvider &input) {
    std::string name = input.ConsumeRandomLengthString(16);
    std::string value = input.ConsumeRandomLengthString(64);
    std::string header = input.ConsumeRemainingBytesAsString();
    std::string found = cookie_value(header, name);
    FUZZ_CHECK(found.empty() || header.find(found) != std::string::npos);
    if (is_token(found)) FUZZ_CHECK(found.size() == 32);

    bool plain_name = !name.empty() && name != "a" && name != "b" && name.find_first_of(";= ") == std::string::npos;
    bool plain_value = value.find(';') == std::string::npos && (value.empty() || (value.front() != ' ' && value.back() != ' '));
    if (plain_name && plain_value) FUZZ_CHECK(cookie_value("a=1; " + name + "=" + value + "; b=2", name) == value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fields_read_back(std::string_view(reinterpret_cast<const char *>(data), size));
    FuzzedDataProvider input(data, size);
    cookies(input);
    return 0;
}

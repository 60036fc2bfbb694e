// libFuzzer target: the URL splitter of the web access routine. Host, path
// and port of any text stay within it; an address put together from a plain
// host, a port and a path splits back into them.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "tests/fuzz/fuzz_check.h"
#include "web/text_ops.h"
#include "web/url.h"

using namespace tolvar::web;

namespace {

void split_any_text(std::string_view address) {
    std::string host = url_host(address);
    std::string path = url_path(address);
    (void)url_port(address);
    FUZZ_CHECK(host.size() <= address.size());
    FUZZ_CHECK(host.find_first_of("/:") == std::string::npos);
    FUZZ_CHECK(host == ascii_lower(host));
    FUZZ_CHECK(path == "/" || (path[0] == '/' && address.ends_with(path)));
}

void split_built_address(FuzzedDataProvider &input) {
    std::string host;
    for (char c : input.ConsumeRandomLengthString(64)) {
        unsigned char u = static_cast<unsigned char>(c);
        if ((u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '.' || u == '-') host += c;
    }
    if (host.empty()) host = "h";
    bool with_port = input.ConsumeBool();
    uint16_t port = input.ConsumeIntegral<uint16_t>();
    std::string path = "/" + input.ConsumeRemainingBytesAsString();
    std::string address = "http://" + host + (with_port ? ":" + std::to_string(port) : "") + path;
    FUZZ_CHECK(url_host(address) == host);
    FUZZ_CHECK(url_path(address) == path);
    FUZZ_CHECK(url_port(address) == (with_port ? port : 80));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    split_any_text(std::string_view(reinterpret_cast<const char *>(data), size));
    FuzzedDataProvider input(data, size);
    split_built_address(input);
    return 0;
}

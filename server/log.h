// The service's log: ordinary lines (voice codes, calls, messages, errors)
// always, detail lines (captcha codes, every request) with --verbose. Where a
// line goes is the writer's business: console and file in the program, a list
// in the tests.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tolvar::server {

struct Log {
    bool verbose = false;
    std::function<void(const std::string &line)> write;

    void line(std::string_view text) const {
        if (write) write(std::string(text));
    }
    void detail(std::string_view text) const {
        if (verbose) line(text);
    }
};

}  // namespace tolvar::server

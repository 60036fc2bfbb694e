// The service's log: ordinary lines (voice codes, calls, messages, errors)
// always, detail lines (captcha codes, every request) when verbose. Every
// line is made printable first, so nothing a client sends can break a line
// or reach a terminal as an escape. Where a line goes is the writer's
// business: standard error and a file in the program, a list in the tests.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "server/printable.h"

namespace tolvar::server {

struct Log {
    bool verbose = false;
    std::function<void(const std::string &line)> write;

    void line(std::string_view text) const {
        if (write) write(printable(text));
    }
    void detail(std::string_view text) const {
        if (verbose) line(text);
    }
};

}  // namespace tolvar::server

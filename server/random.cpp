#include "server/random.h"

#include <sys/random.h>

#include <cerrno>
#include <stdexcept>
#include <vector>

namespace tolvar::server {

static void fill_random(unsigned char *out, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = getrandom(out + done, size - done, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error("no random source");
        }
        done += static_cast<size_t>(n);
    }
}

std::string random_hex(size_t bytes) {
    static const char digits[] = "0123456789abcdef";
    std::vector<unsigned char> raw(bytes);
    fill_random(raw.data(), raw.size());
    std::string out;
    out.reserve(bytes * 2);
    for (unsigned char b : raw) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::string random_digits(size_t count) {
    std::string out;
    while (out.size() < count) {
        unsigned char raw[16];
        fill_random(raw, sizeof raw);
        for (unsigned char b : raw)
            if (b < 250 && out.size() < count) out += static_cast<char>('0' + b % 10);  // 250 = 25 * 10: no bias
    }
    return out;
}

}  // namespace tolvar::server

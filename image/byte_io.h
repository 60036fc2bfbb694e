// Little-endian reading and writing of bytes, bounds-checked on reading.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar::image {

class ByteWriter {
public:
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    void text(std::string_view s) {  // zero-ended
        raw(s);
        bytes_.push_back(0);
    }
    void raw(std::string_view s) { bytes_.insert(bytes_.end(), s.begin(), s.end()); }
    void raw(std::span<const uint8_t> s) { bytes_.insert(bytes_.end(), s.begin(), s.end()); }
    // A counted block: u32 length, then the bytes.
    void counted(std::span<const uint8_t> s) {
        u32(static_cast<uint32_t>(s.size()));
        raw(s);
    }
    void zeros(size_t n) { bytes_.insert(bytes_.end(), n, 0); }
    void align(size_t n) {
        while (bytes_.size() % n) bytes_.push_back(0);
    }
    void put_u32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
    size_t size() const { return bytes_.size(); }
    std::vector<uint8_t> &bytes() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

inline uint32_t load_u32(const uint8_t *p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void store_u32(uint8_t *p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// A cursor over a span; every read fails cleanly instead of running past the end.
class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes, size_t pos = 0) : bytes_(bytes), pos_(pos) {}

    bool ok() const { return ok_; }
    size_t pos() const { return pos_; }
    size_t remaining() const { return pos_ <= bytes_.size() ? bytes_.size() - pos_ : 0; }

    uint32_t u32() {
        if (!need(4)) return 0;
        uint32_t v = load_u32(bytes_.data() + pos_);
        pos_ += 4;
        return v;
    }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    std::string text() {  // zero-ended; the zero is consumed
        if (!ok_ || pos_ >= bytes_.size()) return fail_text();
        const void *zero = std::memchr(bytes_.data() + pos_, 0, bytes_.size() - pos_);
        if (!zero) return fail_text();
        size_t end = static_cast<const uint8_t *>(zero) - bytes_.data();
        std::string s(reinterpret_cast<const char *>(bytes_.data() + pos_), end - pos_);
        pos_ = end + 1;
        return s;
    }
    std::span<const uint8_t> raw(size_t n) {
        if (!need(n)) return {};
        auto s = bytes_.subspan(pos_, n);
        pos_ += n;
        return s;
    }
    // A counted block: u32 length, then the bytes.
    std::vector<uint8_t> counted() {
        uint32_t n = u32();
        auto s = raw(n);
        return std::vector<uint8_t>(s.begin(), s.end());
    }
    void skip(size_t n) { raw(n); }

private:
    bool need(size_t n) {
        if (!ok_ || remaining() < n) {
            ok_ = false;
            return false;
        }
        return true;
    }
    std::string fail_text() {
        ok_ = false;
        return {};
    }
    std::span<const uint8_t> bytes_;
    size_t pos_;
    bool ok_ = true;
};

// A zero-ended text at `offset` inside `data`, or nothing if it runs off the end.
inline std::optional<std::string> text_at(std::span<const uint8_t> data, uint32_t offset) {
    if (offset >= data.size()) return std::nullopt;
    const void *zero = std::memchr(data.data() + offset, 0, data.size() - offset);
    if (!zero) return std::nullopt;
    return std::string(reinterpret_cast<const char *>(data.data() + offset),
                       static_cast<const uint8_t *>(zero) - (data.data() + offset));
}

}  // namespace tolvar::image

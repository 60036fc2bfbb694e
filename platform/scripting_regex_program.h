// A compiled pattern of the scripting engine's regular expressions: the
// instructions of a backtracking machine, built by the compiler
// (scripting_regex_compile.cpp) and run by the matcher (scripting_regex.cpp).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/scripting_regex.h"

namespace tolvar::platform::regex {

// A set of UTF-16 code units: a bitmap of ASCII and sorted, merged ranges above it.
class CharSet {
public:
    void add(char16_t first, char16_t last);
    void add(const CharSet &other);
    void invert();
    void finish();  // sorts and merges the ranges; call before contains()
    bool contains(char16_t c) const {
        if (c < 128) return (ascii_[c >> 6] >> (c & 63)) & 1;
        size_t lo = 0, hi = ranges_.size();
        while (lo < hi) {
            size_t mid = (lo + hi) / 2;
            if (ranges_[mid].second < c) lo = mid + 1;
            else hi = mid;
        }
        return lo < ranges_.size() && ranges_[lo].first <= c;
    }
    const std::vector<std::pair<char16_t, char16_t>> &ranges() const { return all_; }

private:
    std::vector<std::pair<char16_t, char16_t>> all_;     // every range, as added (merged by finish)
    std::vector<std::pair<char16_t, char16_t>> ranges_;  // the ranges at or above 128
    std::array<uint64_t, 2> ascii_{};
};

enum class Op : uint8_t {
    character,        // x: the code unit
    character_folded, // x: the canonical code unit (ignore case)
    any,              // any code unit but a line terminator
    set,              // x: the set's index; the code unit (canonical with ignore case) is in it
    backreference,    // x: the group
    line_start,       // ^ (after a line terminator too with multi-line)
    line_end,         // $ (before a line terminator too with multi-line)
    word_boundary,
    not_word_boundary,
    split,            // try x, then y
    jump,             // to x
    save,             // register x := the position
    repeat_init,      // counter x := 0
    repeat_loop,      // loop head of repeat x: min, max, greedy; y: the exit
    repeat_begin,     // an iteration of repeat x starts: clears the captures [min, max) of its atom
    repeat_end,       // an iteration of repeat x ends: fails when empty once min is reached; y: the loop head
    simple_repeat,    // the single-unit atom at the next instruction, min to max times, without registers
    look,             // a look-ahead (y: 1 when negative) whose body follows; x: the instruction after it
    look_end,         // the body of a look-ahead matched
    match,
};

struct Instruction {
    Op op;
    bool greedy = true;
    uint32_t x = 0;
    uint32_t y = 0;
    uint32_t min = 0;
    uint32_t max = 0;
};

inline constexpr uint32_t kUnbounded = UINT32_MAX;

struct Program {
    std::vector<Instruction> code;
    std::vector<CharSet> sets;
    std::vector<bool> inverted;  // per set: a class of the form [^...], inverted after folding
    Options options;
    uint32_t captures = 0;     // groups, not counting the whole match
    uint32_t repeats = 0;      // repeat counters
    std::unique_ptr<CharSet> first;  // the code units a match can start with; null when any, or when empty matches

    // Registers: 2 per group and the whole match, then a counter and a start position per repeat.
    uint32_t counter_register(uint32_t repeat) const { return 2 * (captures + 1) + 2 * repeat; }
    uint32_t start_register(uint32_t repeat) const { return counter_register(repeat) + 1; }
    uint32_t registers() const { return 2 * (captures + 1) + 2 * repeats; }
};

std::unique_ptr<Program> compile_pattern(std::u16string_view pattern, Options options, std::string &error);

// The language's canonical form of a code unit for ignore-case comparison.
char16_t canonical(char16_t c);

inline bool line_terminator(char16_t c) { return c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029; }
inline bool word_unit(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_';
}

}  // namespace tolvar::platform::regex

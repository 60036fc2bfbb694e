// The regular expressions of the Windows scripting engine (the RegExp class
// of VBScript and JScript 5): ECMAScript 3 patterns over UTF-16 code units,
// matched by a backtracking matcher of our own that follows the language's
// definition step by step.
//
// What ECMAScript 3 (with the extensions every engine of its time accepted)
// says, and no more: `\A`, `\z`, `\Q` and the other escapes of Perl-style
// engines are the letter itself, `(?i)`, `(?#...)`, `(?>...)`, `(?<name>...)`
// and possessive quantifiers are syntax errors, `\v` is the vertical tab
// alone, CR LF is two characters, `\d \w \s \b` are those of the language (not
// of Unicode's categories), an iteration that matches the empty text ends a
// repetition, and the captures of a group are cleared at each iteration.
//
// A search is bounded: one that would run longer than its time limit, or
// need more backtracking memory than its limit, stops and says so (never
// "no match").
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar::platform::regex {

struct Options {
    bool ignore_case = false;
    bool multiline = false;
};

// How long one call (all the searches of one Execute or Replace) may run, and
// how many backtracking entries it may keep.
struct Limits {
    std::chrono::milliseconds time{2000};
    size_t backtrack_entries = size_t{4} << 20;
};

// One entry of the matcher's backtracking stack.
struct BacktrackEntry {
    uint8_t kind;
    uint32_t pc;
    int32_t a;
    int32_t b;
};

// The state of one call: its deadline and counters, shared by its searches,
// and the matcher's working memory, which its searches reuse.
class Budget {
public:
    explicit Budget(const Limits &limits = {})
        : deadline_(std::chrono::steady_clock::now() + limits.time), entries_(limits.backtrack_entries) {}
    bool expired() const { return std::chrono::steady_clock::now() > deadline_; }
    size_t entries() const { return entries_; }

    std::vector<int32_t> registers;
    std::vector<BacktrackEntry> stack;

private:
    std::chrono::steady_clock::time_point deadline_;
    size_t entries_;
};

enum class Outcome { matched, no_match, too_long };

struct Program;  // the compiled pattern

class Regex {
public:
    // Empty with `error` set when the pattern is not one of the language's.
    static std::shared_ptr<const Regex> compile(std::u16string_view pattern, Options options, std::string &error);
    ~Regex();

    // Groups of the pattern, not counting the whole match.
    uint32_t capture_count() const;

    // The first match at `start` or after it. `captures` gets 2 * (capture_count() + 1)
    // positions, -1 for a group that took no part; [0] and [1] are the whole match.
    Outcome search(std::u16string_view subject, size_t start, std::vector<int32_t> &captures, Budget &budget) const;

private:
    explicit Regex(std::unique_ptr<Program> program);
    std::unique_ptr<Program> program_;
};

}  // namespace tolvar::platform::regex

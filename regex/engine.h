// The scripting engine's RegExp class, standing in over PCRE2 (16-bit, UTF):
// ECMAScript 3 patterns on UTF-16 strings, the IgnoreCase, Multiline and
// Global options, Execute and Replace. Engine and match collections are
// reference counted like the COM objects they stand in for.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar::regex {

// A reference count shared by holders; the last release deletes.
class Counted {
public:
    void add_ref() { ++references_; }
    void release() {
        if (--references_ == 0) delete this;
    }

protected:
    virtual ~Counted() = default;

private:
    int references_ = 1;
};

struct Match {
    size_t index = 0;  // in UTF-16 units
    std::u16string value;
    std::vector<std::optional<std::u16string>> submatches;  // empty: the group took no part
};

struct MatchCollection : Counted {
    std::vector<Match> items;
};

class RegExp : public Counted {
public:
    RegExp() = default;
    bool ignore_case = false;
    bool multiline = false;
    bool global = false;
    std::u16string pattern;

    // A new collection (the caller owns one reference): every match when
    // global, else at most the first. An invalid pattern or a search stopped
    // by the match limit gives the matches found so far.
    MatchCollection *execute(std::u16string_view subject);
    // The source with the matches replaced; $1..$99, $&, $`, $' and $$ are
    // understood in the replacement. Empty for an invalid pattern.
    std::u16string replace(std::u16string_view source, std::u16string_view replacement);
    // True when the pattern compiles.
    bool valid();

private:
    ~RegExp() override;
    struct Compiled;
    Compiled *compiled();
    Compiled *compiled_ = nullptr;
    std::u16string compiled_pattern_;
    int compiled_flags_ = -1;
};

// Guards used by the search: the match limit stops catastrophic backtracking.
inline constexpr unsigned kMatchLimit = 5'000'000;

}  // namespace tolvar::regex

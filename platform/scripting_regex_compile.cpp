// Patterns of the scripting engine's regular expressions: parsed as
// ECMAScript 3 defines them (with the extensions its engines accepted for
// texts that the grammar leaves out: `]`, `{` and `}` as characters, octal
// escapes, a back-reference number above the groups as an octal escape) and
// compiled to the instructions of the backtracking matcher.
#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <array>
#include <limits>
#include <mutex>

#include "platform/scripting_regex_program.h"

namespace tolvar::platform::regex {

void CharSet::add(char16_t first, char16_t last) { all_.emplace_back(first, last); }

void CharSet::add(const CharSet &other) { all_.insert(all_.end(), other.all_.begin(), other.all_.end()); }

void CharSet::invert() {
    finish();
    std::vector<std::pair<char16_t, char16_t>> inverted;
    uint32_t next = 0;
    for (auto [first, last] : all_) {
        if (first > next) inverted.emplace_back(static_cast<char16_t>(next), static_cast<char16_t>(first - 1));
        next = static_cast<uint32_t>(last) + 1;
    }
    if (next <= 0xFFFF) inverted.emplace_back(static_cast<char16_t>(next), char16_t{0xFFFF});
    all_ = std::move(inverted);
}

void CharSet::finish() {
    std::sort(all_.begin(), all_.end());
    std::vector<std::pair<char16_t, char16_t>> merged;
    for (auto range : all_) {
        if (!merged.empty() && static_cast<uint32_t>(range.first) <= static_cast<uint32_t>(merged.back().second) + 1)
            merged.back().second = std::max(merged.back().second, range.second);
        else
            merged.push_back(range);
    }
    all_ = std::move(merged);
    ascii_ = {};
    ranges_.clear();
    for (auto [first, last] : all_) {
        for (uint32_t c = first; c <= last && c < 128; ++c) ascii_[c >> 6] |= uint64_t{1} << (c & 63);
        if (last >= 128) ranges_.emplace_back(std::max<char16_t>(first, 128), last);
    }
}

// Upper case as the language's toUpperCase gives it, kept only when it is a
// single unit and does not turn a character beyond ASCII into one of ASCII.
char16_t canonical(char16_t c) {
    static const std::array<char16_t, 0x10000> table = [] {
        std::array<char16_t, 0x10000> t{};
        for (uint32_t u = 0; u <= 0xFFFF; ++u) {
            UChar in = static_cast<UChar>(u), out[4];
            UErrorCode err = U_ZERO_ERROR;
            int32_t n = u_strToUpper(out, 4, &in, 1, "", &err);
            char16_t upper = U_SUCCESS(err) && n == 1 ? static_cast<char16_t>(out[0]) : static_cast<char16_t>(u);
            t[u] = (u >= 128 && upper < 128) ? static_cast<char16_t>(u) : upper;
        }
        return t;
    }();
    return table[c];
}

namespace {

constexpr int kDeepest = 200;  // groups nested deeper than this are refused

struct Node {
    enum class Kind { empty, unit, any, set, backreference, assertion, group, look, alternation, sequence, repeat };
    Kind kind = Kind::empty;
    char16_t unit = 0;
    uint32_t index = 0;  // set, group (0: not capturing), back-reference
    Op assertion = Op::match;
    bool negative = false;
    uint32_t min = 0, max = 0;
    bool greedy = true;
    uint32_t first_group = 0, end_group = 0;  // the groups inside a repeated atom: [first, end)
    std::vector<Node> kids;
};

CharSet digits() {
    CharSet s;
    s.add(u'0', u'9');
    return s;
}
CharSet word_units() {
    CharSet s;
    s.add(u'a', u'z');
    s.add(u'A', u'Z');
    s.add(u'0', u'9');
    s.add(u'_', u'_');
    return s;
}
// White space and line terminators of ECMAScript 3 (its Zs characters of today).
CharSet space_units() {
    CharSet s;
    for (char16_t c : {u'\t', u'\v', u'\f', u' ', u'\u00A0', u'\u1680', u'\u202F', u'\u205F', u'\u3000', u'\n', u'\r',
                       u'\u2028', u'\u2029'})
        s.add(c, c);
    s.add(0x2000, 0x200A);
    return s;
}

bool hex_digit(char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'); }
uint32_t hex_value(char16_t c) { return c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10; }
bool ascii_letter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

class Parser {
public:
    Parser(std::u16string_view pattern, Program &program) : p_(pattern), program_(program) { count_groups(); }

    bool parse(Node &root) {
        root = disjunction(0);
        if (!failed() && i_ < p_.size()) fail("unmatched ')'");
        return !failed();
    }
    const std::string &error() const { return error_; }
    uint32_t groups() const { return groups_; }

private:
    bool failed() const { return !error_.empty(); }
    void fail(const char *why) {
        if (error_.empty()) error_ = why;
    }
    bool at(char16_t c) const { return i_ < p_.size() && p_[i_] == c; }
    bool at(size_t offset, char16_t c) const { return i_ + offset < p_.size() && p_[i_ + offset] == c; }

    // The number of capturing groups, for telling a back-reference from an octal escape.
    void count_groups() {
        bool in_class = false;
        for (size_t k = 0; k < p_.size(); ++k) {
            char16_t c = p_[k];
            if (c == u'\\') ++k;
            else if (in_class) in_class = c != u']';
            else if (c == u'[') in_class = true;
            else if (c == u'(' && !(k + 1 < p_.size() && p_[k + 1] == u'?')) ++total_groups_;
        }
    }

    Node disjunction(int depth) {
        if (depth > kDeepest) {
            fail("groups nested too deeply");
            return {};
        }
        Node first = alternative(depth);
        if (!at(u'|')) return first;
        Node alt;
        alt.kind = Node::Kind::alternation;
        alt.kids.push_back(std::move(first));
        while (!failed() && at(u'|')) {
            ++i_;
            alt.kids.push_back(alternative(depth));
        }
        return alt;
    }

    Node alternative(int depth) {
        Node seq;
        seq.kind = Node::Kind::sequence;
        while (!failed() && i_ < p_.size() && !at(u'|') && !at(u')')) seq.kids.push_back(term(depth));
        return seq;
    }

    Node term(int depth) {
        if (at(u'^') || at(u'$')) {
            Node n;
            n.kind = Node::Kind::assertion;
            n.assertion = at(u'^') ? Op::line_start : Op::line_end;
            ++i_;
            return n;
        }
        if (at(u'\\') && (at(1, u'b') || at(1, u'B'))) {
            Node n;
            n.kind = Node::Kind::assertion;
            n.assertion = at(1, u'b') ? Op::word_boundary : Op::not_word_boundary;
            i_ += 2;
            return n;
        }
        uint32_t groups_before = groups_;
        Node atom_node = atom(depth);
        if (failed()) return atom_node;
        uint32_t min = 0, max = 0;
        if (!quantifier(min, max)) return atom_node;
        Node repeat;
        repeat.kind = Node::Kind::repeat;
        repeat.min = min;
        repeat.max = max;
        repeat.greedy = true;
        if (at(u'?')) {
            repeat.greedy = false;
            ++i_;
        }
        repeat.first_group = groups_before + 1;
        repeat.end_group = groups_ + 1;
        repeat.kids.push_back(std::move(atom_node));
        return repeat;
    }

    // `{n}`, `{n,}` or `{n,m}` at offset `from`; its end, or 0 when it is none.
    size_t braces(size_t from, uint32_t &min, uint32_t &max) const {
        size_t k = from + 1;
        auto number = [&](uint32_t &value) {
            size_t start = k;
            uint64_t v = 0;
            while (k < p_.size() && p_[k] >= u'0' && p_[k] <= u'9') v = std::min<uint64_t>(v * 10 + (p_[k++] - u'0'), kUnbounded - 1);
            value = static_cast<uint32_t>(v);
            return k > start;
        };
        if (!number(min)) return 0;
        max = min;
        if (k < p_.size() && p_[k] == u',') {
            ++k;
            if (!number(max)) max = kUnbounded;
        }
        if (k >= p_.size() || p_[k] != u'}') return 0;
        return k + 1;
    }

    bool quantifier(uint32_t &min, uint32_t &max) {
        if (at(u'*')) min = 0, max = kUnbounded;
        else if (at(u'+')) min = 1, max = kUnbounded;
        else if (at(u'?')) min = 0, max = 1;
        else if (at(u'{')) {
            size_t end = braces(i_, min, max);
            if (!end) return false;
            if (min > max) {
                fail("numbers out of order in {} quantifier");
                return false;
            }
            i_ = end;
            return true;
        } else {
            return false;
        }
        ++i_;
        return true;
    }

    Node unit_node(char16_t c) {
        Node n;
        n.kind = Node::Kind::unit;
        n.unit = c;
        return n;
    }
    Node set_node(CharSet set, bool inverted = false) {
        Node n;
        n.kind = Node::Kind::set;
        n.index = static_cast<uint32_t>(program_.sets.size());
        program_.sets.push_back(std::move(set));
        program_.inverted.push_back(inverted);
        return n;
    }

    Node atom(int depth) {
        char16_t c = p_[i_];
        switch (c) {
            case u'.': {
                ++i_;
                Node n;
                n.kind = Node::Kind::any;
                return n;
            }
            case u'(': return group(depth);
            case u'[': return character_class();
            case u'\\': return escape();
            case u'*':
            case u'+':
            case u'?':
                fail("nothing to repeat");
                return {};
            case u'{': {
                uint32_t min, max;
                if (braces(i_, min, max)) {
                    fail("nothing to repeat");
                    return {};
                }
                ++i_;
                return unit_node(c);
            }
            default: ++i_; return unit_node(c);
        }
    }

    Node group(int depth) {
        ++i_;
        Node n;
        if (at(u'?')) {
            if (at(1, u':')) {
                n.kind = Node::Kind::group;
            } else if (at(1, u'=') || at(1, u'!')) {
                n.kind = Node::Kind::look;
                n.negative = at(1, u'!');
            } else {
                fail("invalid group");
                return {};
            }
            i_ += 2;
        } else {
            n.kind = Node::Kind::group;
            n.index = ++groups_;
        }
        n.kids.push_back(disjunction(depth + 1));
        if (failed()) return {};
        if (!at(u')')) {
            fail("unterminated group");
            return {};
        }
        ++i_;
        return n;
    }

    // An octal escape of up to three digits whose value stays below 256.
    char16_t octal() {
        uint32_t v = 0;
        for (int n = 0; n < 3 && i_ < p_.size() && p_[i_] >= u'0' && p_[i_] <= u'7'; ++n) {
            uint32_t next = v * 8 + (p_[i_] - u'0');
            if (next > 0377) break;
            v = next;
            ++i_;
        }
        return static_cast<char16_t>(v);
    }

    // The escapes that stand for one code unit, after the backslash; `in_class`
    // adds what a class allows more. False when `\c` has no control letter: the
    // backslash then stands for itself and the `c` is read again.
    bool character_escape(char16_t &unit, bool in_class) {
        char16_t c = p_[i_];
        switch (c) {
            case u'f': unit = u'\f'; break;
            case u'n': unit = u'\n'; break;
            case u'r': unit = u'\r'; break;
            case u't': unit = u'\t'; break;
            case u'v': unit = u'\v'; break;
            case u'c':
                if (i_ + 1 < p_.size() && (ascii_letter(p_[i_ + 1]) ||
                                           (in_class && ((p_[i_ + 1] >= u'0' && p_[i_ + 1] <= u'9') || p_[i_ + 1] == u'_')))) {
                    unit = p_[i_ + 1] % 32;
                    i_ += 2;
                    return true;
                }
                unit = u'\\';
                return true;  // the backslash alone; `c` stays
            case u'x':
                if (i_ + 2 < p_.size() && hex_digit(p_[i_ + 1]) && hex_digit(p_[i_ + 2])) {
                    unit = static_cast<char16_t>(hex_value(p_[i_ + 1]) * 16 + hex_value(p_[i_ + 2]));
                    i_ += 3;
                    return true;
                }
                unit = u'x';
                break;
            case u'u':
                if (i_ + 4 < p_.size() && hex_digit(p_[i_ + 1]) && hex_digit(p_[i_ + 2]) && hex_digit(p_[i_ + 3]) &&
                    hex_digit(p_[i_ + 4])) {
                    unit = static_cast<char16_t>(hex_value(p_[i_ + 1]) << 12 | hex_value(p_[i_ + 2]) << 8 |
                                                 hex_value(p_[i_ + 3]) << 4 | hex_value(p_[i_ + 4]));
                    i_ += 5;
                    return true;
                }
                unit = u'u';
                break;
            default: unit = c; break;  // any other character stands for itself
        }
        ++i_;
        return true;
    }

    // \d \D \s \S \w \W after the backslash.
    bool class_escape(CharSet &set) {
        char16_t c = p_[i_];
        switch (c | 0x20) {
            case u'd': set = digits(); break;
            case u's': set = space_units(); break;
            case u'w': set = word_units(); break;
            default: return false;
        }
        if (c >= u'A' && c <= u'Z') set.invert();
        ++i_;
        return true;
    }

    Node escape() {
        ++i_;
        if (i_ >= p_.size()) {
            fail("\\ at end of pattern");
            return {};
        }
        CharSet set;
        if (class_escape(set)) return set_node(std::move(set));
        char16_t c = p_[i_];
        if (c >= u'1' && c <= u'9') {
            size_t start = i_;
            uint64_t n = 0;
            while (i_ < p_.size() && p_[i_] >= u'0' && p_[i_] <= u'9') n = std::min<uint64_t>(n * 10 + (p_[i_++] - u'0'), UINT32_MAX);
            if (n <= total_groups_) {
                Node b;
                b.kind = Node::Kind::backreference;
                b.index = static_cast<uint32_t>(n);
                return b;
            }
            i_ = start;
            if (c >= u'8') {
                ++i_;
                return unit_node(c);
            }
            return unit_node(octal());
        }
        if (c == u'0') return unit_node(octal());
        char16_t unit;
        character_escape(unit, false);
        return unit_node(unit);
    }

    // One member of a class: a code unit, or a set from a class escape.
    bool class_atom(char16_t &unit, CharSet &set, bool &is_set) {
        is_set = false;
        if (!at(u'\\')) {
            unit = p_[i_++];
            return true;
        }
        ++i_;
        if (i_ >= p_.size()) {
            fail("\\ at end of pattern");
            return false;
        }
        if (class_escape(set)) {
            is_set = true;
            return true;
        }
        char16_t c = p_[i_];
        if (c == u'b') {
            unit = u'\b';
            ++i_;
        } else if (c >= u'0' && c <= u'7') {
            unit = octal();
        } else if (c == u'8' || c == u'9') {
            unit = c;
            ++i_;
        } else {
            character_escape(unit, true);
        }
        return true;
    }

    Node character_class() {
        ++i_;
        bool negated = at(u'^');
        if (negated) ++i_;
        CharSet set;
        while (!failed() && i_ < p_.size() && !at(u']')) {
            char16_t low, high;
            CharSet low_set, high_set;
            bool low_is_set, high_is_set;
            if (!class_atom(low, low_set, low_is_set)) break;
            if (at(u'-') && i_ + 1 < p_.size() && p_[i_ + 1] != u']') {
                ++i_;
                if (!class_atom(high, high_set, high_is_set)) break;
                if (low_is_set || high_is_set) {  // not a range: the members and the '-' itself
                    low_is_set ? set.add(low_set) : set.add(low, low);
                    set.add(u'-', u'-');
                    high_is_set ? set.add(high_set) : set.add(high, high);
                } else if (low > high) {
                    fail("range out of order in character class");
                } else {
                    set.add(low, high);
                }
                continue;
            }
            low_is_set ? set.add(low_set) : set.add(low, low);
        }
        if (failed()) return {};
        if (!at(u']')) {
            fail("unterminated character class");
            return {};
        }
        ++i_;
        // [^...] matches a unit none of whose members is the same when letter case is ignored.
        return set_node(std::move(set), negated);
    }

    std::u16string_view p_;
    Program &program_;
    size_t i_ = 0;
    uint32_t groups_ = 0;
    uint32_t total_groups_ = 0;
    std::string error_;
};

// The code units that canonicalize to a member of `canonical_set`.
CharSet unfolded(const CharSet &canonical_set) {
    CharSet out;
    uint32_t run = 0x10000;
    for (uint32_t c = 0; c <= 0x10000; ++c) {
        bool in = c <= 0xFFFF && canonical_set.contains(canonical(static_cast<char16_t>(c)));
        if (in && run == 0x10000) run = c;
        if (!in && run != 0x10000) {
            out.add(static_cast<char16_t>(run), static_cast<char16_t>(c - 1));
            run = 0x10000;
        }
    }
    out.finish();
    return out;
}

// A set as the matcher compares it: with ignore case, the canonical forms of its members.
CharSet folded(const CharSet &set) {
    CharSet out;
    for (auto [first, last] : set.ranges())
        for (uint32_t c = first; c <= last; ++c) {
            char16_t f = canonical(static_cast<char16_t>(c));
            out.add(f, f);
        }
    out.finish();
    return out;
}

class Compiler {
public:
    explicit Compiler(Program &program) : p_(program) {}

    void emit(const Node &n) {
        switch (n.kind) {
            case Node::Kind::empty: break;
            case Node::Kind::unit:
                if (p_.options.ignore_case) add({Op::character_folded, true, canonical(n.unit)});
                else add({Op::character, true, n.unit});
                break;
            case Node::Kind::any: add({Op::any}); break;
            case Node::Kind::set: add({Op::set, true, n.index}); break;
            case Node::Kind::backreference: add({Op::backreference, true, n.index}); break;
            case Node::Kind::assertion: add({n.assertion}); break;
            case Node::Kind::group:
                if (n.index) add({Op::save, true, 2 * n.index});
                emit(n.kids[0]);
                if (n.index) add({Op::save, true, 2 * n.index + 1});
                break;
            case Node::Kind::look: {
                size_t look = add({Op::look, true, 0, n.negative ? 1u : 0u});
                emit(n.kids[0]);
                add({Op::look_end});
                p_.code[look].x = here();
                break;
            }
            case Node::Kind::alternation: {
                std::vector<size_t> jumps;
                for (size_t k = 0; k + 1 < n.kids.size(); ++k) {
                    size_t split = add({Op::split});
                    p_.code[split].x = here();
                    emit(n.kids[k]);
                    jumps.push_back(add({Op::jump}));
                    p_.code[split].y = here();
                }
                emit(n.kids.back());
                for (size_t j : jumps) p_.code[j].x = here();
                break;
            }
            case Node::Kind::sequence:
                for (const Node &k : n.kids) emit(k);
                break;
            case Node::Kind::repeat: repeat(n); break;
        }
    }

private:
    uint32_t here() const { return static_cast<uint32_t>(p_.code.size()); }
    size_t add(Instruction i) {
        p_.code.push_back(i);
        return p_.code.size() - 1;
    }

    static bool single_unit(const Node &n) {
        return n.kind == Node::Kind::unit || n.kind == Node::Kind::any || n.kind == Node::Kind::set;
    }

    void repeat(const Node &n) {
        const Node &atom = n.kids[0];
        bool no_groups = n.first_group == n.end_group;
        if (n.max == 0) return;
        if (n.min == 1 && n.max == 1 && no_groups) {
            emit(atom);
            return;
        }
        if (single_unit(atom)) {  // never empty, no groups: a plain counted loop
            add({Op::simple_repeat, n.greedy, 0, 0, n.min, n.max});
            emit(atom);
            return;
        }
        uint32_t r = p_.repeats++;
        add({Op::repeat_init, true, r});
        size_t loop = add({Op::repeat_loop, n.greedy, r, 0, n.min, n.max});
        add({Op::repeat_begin, true, r, 0, n.first_group, n.end_group});
        emit(atom);
        add({Op::repeat_end, true, r, static_cast<uint32_t>(loop), n.min});
        p_.code[loop].y = here();
    }

    Program &p_;
};

// What a match can start with: the units of its first character, or `any`.
struct First {
    CharSet set;
    bool any = false;
    bool empty = true;  // can match without consuming
};

First first_of(const Node &n, const Program &p) {
    First f;
    switch (n.kind) {
        case Node::Kind::unit: {
            char16_t u = p.options.ignore_case ? canonical(n.unit) : n.unit;
            f.set.add(u, u);
            f.empty = false;
            break;
        }
        case Node::Kind::any: f.any = true, f.empty = false; break;
        case Node::Kind::set: f.set.add(p.sets[n.index]), f.empty = false; break;
        case Node::Kind::backreference: f.any = true; break;
        case Node::Kind::group: return first_of(n.kids[0], p);
        case Node::Kind::alternation:
            f.empty = false;
            for (const Node &k : n.kids) {
                First g = first_of(k, p);
                f.set.add(g.set);
                f.any |= g.any;
                f.empty |= g.empty;
            }
            break;
        case Node::Kind::sequence:
            for (const Node &k : n.kids) {
                First g = first_of(k, p);
                f.set.add(g.set);
                f.any |= g.any;
                if (!g.empty) {
                    f.empty = false;
                    break;
                }
            }
            break;
        case Node::Kind::repeat:
            if (n.max == 0) break;
            f = first_of(n.kids[0], p);
            f.empty |= n.min == 0;
            break;
        default: break;  // assertions and look-aheads consume nothing
    }
    return f;
}

}  // namespace

std::unique_ptr<Program> compile_pattern(std::u16string_view pattern, Options options, std::string &error) {
    auto program = std::make_unique<Program>();
    program->options = options;
    Node root;
    Parser parser(pattern, *program);
    if (!parser.parse(root)) {
        error = parser.error();
        return nullptr;
    }
    for (size_t k = 0; k < program->sets.size(); ++k) {
        CharSet &s = program->sets[k];
        if (options.ignore_case) s = folded(s);
        if (program->inverted[k]) s.invert();
        s.finish();
    }
    Compiler compiler(*program);
    program->code.push_back({Op::save, true, 0});
    compiler.emit(root);
    program->code.push_back({Op::save, true, 1});
    program->code.push_back({Op::match});
    program->captures = parser.groups();
    First first = first_of(root, *program);
    if (!first.any && !first.empty) {
        first.set.finish();
        program->first = std::make_unique<CharSet>(options.ignore_case ? unfolded(first.set) : first.set);
        program->first->finish();
    }
    return program;
}

}  // namespace tolvar::platform::regex

// The scripting engine's RegExp class (the vbscript stand-in, reached by
// member names as the kernel reaches it) against an independent ECMAScript
// engine: generated patterns and subjects run through Node.js's RegExp and
// through ours; counts, match texts, positions, sub-matches and replacements
// agree.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "tests/support/process.h"
#include "tests/support/scripting_regexp.h"

using namespace tolvar;
using namespace tolvar::test;

namespace {

// Patterns of the ECMAScript 3 subset the scripting engine shares with Node.
// Repeated groups are left out here (repeating a group with a repeated atom
// inside can backtrack exponentially, and Node has no bound on a search); the
// per-iteration rules are tested case by case in windows_meaning_test.cpp.
class PatternMaker {
public:
    explicit PatternMaker(uint32_t seed) : rng_(seed) {}

    std::u16string pattern() {
        groups_ = 0;
        return alternatives(0, true).text;
    }
    std::u16string subject() {
        static const std::u16string letters = u"aabbcAB01  -._\n中文x";
        std::u16string s;
        size_t n = rng_() % 40;
        for (size_t i = 0; i < n; ++i) s += letters[rng_() % letters.size()];
        return s;
    }
    std::u16string replacement() {
        static const char16_t *pieces[] = {u"$1", u"$2", u"$&", u"$`", u"$'", u"$$", u"<", u"-", u"$9", u"$01", u"$10", u"$0"};
        std::u16string s;
        size_t n = rng_() % 4;
        for (size_t i = 0; i < n; ++i) s += pieces[rng_() % std::size(pieces)];
        return s;
    }
    uint32_t next() { return rng_(); }

private:
    struct Piece {
        std::u16string text;
        bool nullable;  // can match the empty text
    };

    Piece alternatives(int depth, bool captures) {
        Piece p = sequence(depth, captures);
        if (rng_() % 5 == 0) {
            Piece q = sequence(depth, captures);
            p = {p.text + u"|" + q.text, p.nullable || q.nullable};
        }
        return p;
    }
    Piece sequence(int depth, bool captures) {
        Piece p{u"", true};
        size_t n = 1 + rng_() % 3;
        for (size_t i = 0; i < n; ++i) {
            Piece t = term(depth, captures);
            p = {p.text + t.text, p.nullable && t.nullable};
        }
        return p;
    }
    Piece term(int depth, bool captures) {
        static const char16_t *atoms[] = {u"a", u"b", u"A", u"0", u"1", u" ", u"-", u"\\.", u"中", u"\\u6587", u"x",
                                          u"\\d", u"\\w", u"\\s", u"\\D", u"\\W", u"\\S", u"[ab]", u"[^a]", u"[a-c]",
                                          u"[0-9A]", u"."};
        static const char16_t *assertions[] = {u"^", u"$", u"\\b", u"\\B"};
        struct Quantifier {
            const char16_t *text;
            bool allows_none;
        };
        static const Quantifier quantifiers[] = {{u"*", true},     {u"+", false},   {u"?", true},   {u"{1,3}", false},
                                                 {u"{2}", false},  {u"{0,}", true}, {u"*?", true},  {u"+?", false},
                                                 {u"??", true},    {u"{1,2}?", false}};
        uint32_t kind = rng_() % 20;
        if (kind < 2) return {assertions[rng_() % std::size(assertions)], true};
        if (kind == 2 && groups_ > 0)
            return {u"\\" + std::u16string(1, static_cast<char16_t>(u'1' + rng_() % groups_)), true};
        if (kind == 3 && depth < 2)
            return {(rng_() % 2 ? u"(?=" : u"(?!") + alternatives(depth + 1, false).text + u")", true};
        Piece atom;
        bool quantifiable = true;
        if (kind < 7 && depth < 2 && captures && groups_ < 9) {
            Piece body = alternatives(depth + 1, true);
            atom = {u"(" + body.text + u")", body.nullable};
            ++groups_;
            quantifiable = false;
        } else if (kind < 9 && depth < 2) {
            Piece body = alternatives(depth + 1, false);
            atom = {u"(?:" + body.text + u")", body.nullable};
            quantifiable = !body.nullable;
        } else {
            atom = {atoms[rng_() % std::size(atoms)], false};
        }
        if (quantifiable && rng_() % 3 == 0) {
            const Quantifier &q = quantifiers[rng_() % std::size(quantifiers)];
            atom = {atom.text + q.text, atom.nullable || q.allows_none};
        }
        return atom;
    }

    std::mt19937 rng_;
    uint32_t groups_ = 0;
};

std::string hex16(const std::u16string &s) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (char16_t c : s)
        for (int shift = 12; shift >= 0; shift -= 4) out += digits[(c >> shift) & 15];
    return out.empty() ? "-" : out;
}

struct Case {
    std::u16string pattern, subject, replacement;
    bool ignore_case, multiline, global;
};

const char kNodeScript[] = R"(const fs = require('fs');
const unhex = h => h === '-' ? '' : String.fromCharCode(...h.match(/.{4}/g).map(x => parseInt(x, 16)));
const hex = s => s.length === 0 ? '-' : [...Array(s.length).keys()].map(i => s.charCodeAt(i).toString(16).padStart(4, '0')).join('');
const out = [];
for (const line of fs.readFileSync(process.argv[2], 'utf8').split('\n')) {
  if (!line) continue;
  const [flags, p, s, r] = line.split('\t');
  const pattern = unhex(p), subject = unhex(s), replacement = unhex(r);
  const f = flags === '-' ? '' : flags;
  let re;
  try { re = new RegExp(pattern, f); } catch (e) { out.push('invalid'); continue; }
  const matches = [];
  if (f.includes('g')) {
    re.lastIndex = 0;
    let m;
    while ((m = re.exec(subject)) !== null) {
      matches.push(m);
      if (m[0].length === 0) re.lastIndex++;
    }
  } else {
    const m = re.exec(subject);
    if (m) matches.push(m);
  }
  const parts = ['count ' + matches.length];
  for (const m of matches)
    parts.push('m ' + m.index + ' ' + hex(m[0]) + m.slice(1).map(g => ' ' + (g === undefined ? 'u' : hex(g))).join(''));
  parts.push('r ' + hex(subject.replace(new RegExp(pattern, f), replacement)));
  out.push(parts.join(' | '));
}
fs.writeFileSync(process.argv[3], out.join('\n') + '\n');
)";

std::string ours(const Case &c) {
    using R = ScriptingRegExp;
    R engine;
    if (!engine.ready()) return "no engine";
    tolvar_variant ignored{};
    R::invoke(engine.object(), "IgnoreCase", TOLVAR_INVOKE_PUT, {R::logical(c.ignore_case)}, ignored);
    R::invoke(engine.object(), "Multiline", TOLVAR_INVOKE_PUT, {R::logical(c.multiline)}, ignored);
    R::invoke(engine.object(), "Global", TOLVAR_INVOKE_PUT, {R::logical(c.global)}, ignored);
    R::invoke(engine.object(), "Pattern", TOLVAR_INVOKE_PUT, {R::text(c.pattern)}, ignored);
    tolvar_variant matches{};
    if (R::invoke(engine.object(), "Execute", TOLVAR_INVOKE_METHOD, {R::text(c.subject)}, matches) != TOLVAR_S_OK)
        return "invalid";
    tolvar_variant count{};
    R::invoke(matches.object, "Count", TOLVAR_INVOKE_GET, {}, count);
    std::string line = "count " + std::to_string(count.number);
    for (int32_t i = 0; i < count.number; ++i) {
        tolvar_variant match{}, index{}, value{}, submatches{}, groups{};
        R::invoke(matches.object, "Item", TOLVAR_INVOKE_GET, {R::number(i)}, match);
        R::invoke(match.object, "FirstIndex", TOLVAR_INVOKE_GET, {}, index);
        R::invoke(match.object, "Value", TOLVAR_INVOKE_GET, {}, value);
        line += " | m " + std::to_string(index.number) + " " + hex16(R::take_text(value));
        R::invoke(match.object, "SubMatches", TOLVAR_INVOKE_GET, {}, submatches);
        R::invoke(submatches.object, "Count", TOLVAR_INVOKE_GET, {}, groups);
        for (int32_t g = 0; g < groups.number; ++g) {
            tolvar_variant group{};
            R::invoke(submatches.object, "Item", TOLVAR_INVOKE_GET, {R::number(g)}, group);
            line += " " + (group.type == TOLVAR_VT_EMPTY ? std::string("u") : hex16(R::take_text(group)));
        }
        R::release(submatches.object);
        R::release(match.object);
    }
    R::release(matches.object);
    tolvar_variant replaced{};
    R::invoke(engine.object(), "Replace", TOLVAR_INVOKE_METHOD, {R::text(c.subject), R::text(c.replacement)}, replaced);
    line += " | r " + hex16(R::take_text(replaced));
    return line;
}

TEST(RegexDifferential, AgreesWithNodeOnGeneratedPatternsAndSubjects) {
    PatternMaker maker(20261208);
    std::vector<Case> cases;
    for (int i = 0; i < 1000; ++i) {
        Case c{maker.pattern(), maker.subject(), maker.replacement(), false, false, false};
        uint32_t flags = maker.next();
        c.ignore_case = flags & 1;
        c.multiline = flags & 2;
        c.global = (flags & 12) != 0;
        cases.push_back(c);
    }
    ScratchDir dir;
    std::string input;
    for (const auto &c : cases) {
        std::string flags = std::string(c.ignore_case ? "i" : "") + (c.multiline ? "m" : "") + (c.global ? "g" : "");
        input += (flags.empty() ? "-" : flags) + "\t" + hex16(c.pattern) + "\t" + hex16(c.subject) + "\t" +
                 hex16(c.replacement) + "\n";
    }
    write_file(dir.path() / "cases.txt", input);
    write_file(dir.path() / "node.js", kNodeScript);
    auto r = run_process({"/usr/bin/node", (dir.path() / "node.js").string(), (dir.path() / "cases.txt").string(),
                          (dir.path() / "results.txt").string()});
    ASSERT_EQ(0, r.status) << r.err;
    std::istringstream results(read_file(dir.path() / "results.txt"));
    size_t compared = 0, with_matches = 0, differences = 0;
    for (const auto &c : cases) {
        std::string expected;
        std::getline(results, expected);
        ASSERT_NE("invalid", expected) << hex16(c.pattern);
        std::string got = ours(c);
        ++compared;
        with_matches += expected.rfind("count 0", 0) != 0;
        if (got != expected && ++differences <= 10)
            ADD_FAILURE() << "pattern " << hex16(c.pattern) << " subject " << hex16(c.subject) << "\n node: " << expected
                          << "\n ours: " << got;
    }
    EXPECT_EQ(1000u, compared);
    EXPECT_GT(with_matches, 400u);  // the generator must produce matches, not only misses
    EXPECT_EQ(0u, differences);
}

}  // namespace

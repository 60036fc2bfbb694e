#include "regex/engine.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

namespace tolvar::regex {

// The compiled pattern with its match data and limits, made again only when
// the pattern or an option changed.
struct RegExp::Compiled {
    pcre2_code *code = nullptr;
    pcre2_match_data *data = nullptr;
    pcre2_match_context *context = nullptr;
    uint32_t captures = 0;
    ~Compiled() {
        pcre2_match_data_free(data);
        pcre2_match_context_free(context);
        pcre2_code_free(code);
    }
};

RegExp::~RegExp() { delete compiled_; }

RegExp::Compiled *RegExp::compiled() {
    int flags = (ignore_case ? 1 : 0) | (multiline ? 2 : 0);
    if (compiled_ && compiled_flags_ == flags && compiled_pattern_ == pattern) return compiled_->code ? compiled_ : nullptr;
    delete compiled_;
    compiled_ = new Compiled;
    compiled_pattern_ = pattern;
    compiled_flags_ = flags;
    // ECMAScript 3 meanings: \u escapes, an unset back-reference matches the
    // empty text, [] matches nothing, $ without multi-line only at the very
    // end, ^ with multi-line also after a final line end, \d \w \s \b ASCII;
    // CR and LF end lines.
    uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_ALT_BSUX | PCRE2_MATCH_UNSET_BACKREF |
                       PCRE2_ALLOW_EMPTY_CLASS | PCRE2_DOLLAR_ENDONLY | PCRE2_ALT_CIRCUMFLEX;
    if (ignore_case) options |= PCRE2_CASELESS;
    if (multiline) options |= PCRE2_MULTILINE;
    pcre2_compile_context *cc = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(cc, PCRE2_NEWLINE_ANYCRLF);
    int error = 0;
    PCRE2_SIZE at = 0;
    compiled_->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), options, &error, &at, cc);
    pcre2_compile_context_free(cc);
    if (!compiled_->code) return nullptr;
    pcre2_jit_compile(compiled_->code, PCRE2_JIT_COMPLETE);
    compiled_->data = pcre2_match_data_create_from_pattern(compiled_->code, nullptr);
    compiled_->context = pcre2_match_context_create(nullptr);
    pcre2_set_match_limit(compiled_->context, kMatchLimit);
    pcre2_pattern_info(compiled_->code, PCRE2_INFO_CAPTURECOUNT, &compiled_->captures);
    return compiled_;
}

bool RegExp::valid() { return compiled() != nullptr; }

namespace {

bool high_surrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool low_surrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Walks the matches as the scripting engine does: from the end of the last
// match, one unit on after an empty one; `visit` returns false to stop.
template <class Visit>
void each_match(pcre2_code *code, pcre2_match_data *data, pcre2_match_context *context, std::u16string_view subject,
                bool global, Visit visit) {
    PCRE2_SIZE offset = 0;
    auto *units = reinterpret_cast<PCRE2_SPTR>(subject.data());
    while (offset <= subject.size()) {
        int rc = pcre2_match(code, units, subject.size(), offset, 0, data, context);
        if (rc < 0) return;  // no more matches, or the limit stopped the search
        PCRE2_SIZE *ov = pcre2_get_ovector_pointer(data);
        if (!visit(ov, rc) || !global) return;
        if (ov[1] > ov[0]) {
            offset = ov[1];
        } else {
            offset = ov[1] + 1;
            if (offset < subject.size() && high_surrogate(subject[offset - 1]) && low_surrogate(subject[offset]))
                ++offset;
        }
    }
}

std::u16string piece(std::u16string_view subject, PCRE2_SIZE from, PCRE2_SIZE to) {
    return std::u16string(subject.substr(from, to - from));
}

}  // namespace

MatchCollection *RegExp::execute(std::u16string_view subject) {
    auto *collection = new MatchCollection;
    Compiled *c = compiled();
    if (!c) return collection;
    each_match(c->code, c->data, c->context, subject, global, [&](PCRE2_SIZE *ov, int rc) {
        Match m;
        m.index = ov[0];
        m.value = piece(subject, ov[0], ov[1]);
        for (uint32_t g = 1; g <= c->captures; ++g) {
            if (static_cast<int>(g) < rc && ov[2 * g] != PCRE2_UNSET)
                m.submatches.emplace_back(piece(subject, ov[2 * g], ov[2 * g + 1]));
            else
                m.submatches.emplace_back(std::nullopt);
        }
        collection->items.push_back(std::move(m));
        return true;
    });
    return collection;
}

std::u16string RegExp::replace(std::u16string_view source, std::u16string_view replacement) {
    Compiled *c = compiled();
    if (!c) return {};
    std::u16string out;
    PCRE2_SIZE copied = 0;
    each_match(c->code, c->data, c->context, source, global, [&](PCRE2_SIZE *ov, int rc) {
        out.append(source.substr(copied, ov[0] - copied));
        auto group = [&](uint32_t g) -> std::u16string_view {
            if (static_cast<int>(g) >= rc || ov[2 * g] == PCRE2_UNSET) return {};
            return source.substr(ov[2 * g], ov[2 * g + 1] - ov[2 * g]);
        };
        for (size_t i = 0; i < replacement.size(); ++i) {
            char16_t ch = replacement[i];
            if (ch != u'$' || i + 1 == replacement.size()) {
                out += ch;
                continue;
            }
            char16_t next = replacement[i + 1];
            if (next == u'$') {
                out += u'$';
                ++i;
            } else if (next == u'&') {
                out.append(source.substr(ov[0], ov[1] - ov[0]));
                ++i;
            } else if (next == u'`') {
                out.append(source.substr(0, ov[0]));
                ++i;
            } else if (next == u'\'') {
                out.append(source.substr(ov[1]));
                ++i;
            } else if (next >= u'0' && next <= u'9') {
                // Two digits when they name a group, else one, else the text as it stands.
                uint32_t one = next - u'0';
                bool two_digits = i + 2 < replacement.size() && replacement[i + 2] >= u'0' && replacement[i + 2] <= u'9';
                uint32_t two = two_digits ? one * 10 + (replacement[i + 2] - u'0') : 0;
                if (two_digits && two >= 1 && two <= c->captures) {
                    out.append(group(two));
                    i += 2;
                } else if (one >= 1 && one <= c->captures) {
                    out.append(group(one));
                    i += 1;
                } else {
                    out += ch;
                }
            } else {
                out += ch;
            }
        }
        copied = ov[1];
        return true;
    });
    out.append(source.substr(std::min<size_t>(copied, source.size())));
    return out;
}

}  // namespace tolvar::regex

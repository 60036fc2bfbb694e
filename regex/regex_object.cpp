#include "regex/regex_object.h"

#include <array>
#include <cstring>

#include "regex/regex_content.h"
#include "runtime/code_pages.h"
#include "runtime/routine.h"
#include "runtime/runtime.h"

using namespace tolvar::regex;

namespace {

// GBK texts to the engine's UTF-16 and back, through the system's code pages.
// The units as the conversion gives them, the terminating zero unit included.
std::vector<uint16_t> units_of(const char *gbk) {
    return tolvar::runtime::to_wide(gbk ? gbk : "", tolvar::runtime::kCodePageGbk);
}

// A view of those units without their zero (PCRE2's 16-bit units are uint16_t
// as well; the engine reads them as char16_t).
std::u16string_view view_of(const std::vector<uint16_t> &units) {
    return {reinterpret_cast<const char16_t *>(units.data()), units.empty() ? 0 : units.size() - 1};
}

std::u16string wide(const char *gbk) { return std::u16string(view_of(units_of(gbk))); }

// A new heap text handed to the caller, who releases it.
char *gbk_text(std::u16string_view units) {
    static std::vector<uint16_t> input;  // with the terminating zero unit; kept for the next text
    input.resize(units.size() + 1);
    if (!units.empty()) std::memcpy(input.data(), units.data(), units.size() * sizeof(char16_t));
    input.back() = 0;
    return tolvar::runtime::new_text(tolvar::runtime::from_wide(input, tolvar::runtime::kCodePageGbk)).release();
}

char *empty_text() { return tolvar::runtime::new_text("").release(); }

template <class T>
void release_ref(T *&reference) {
    if (reference) reference->release();
    reference = nullptr;
}

const Match *match_at(const RegexObject *self, int32_t index) {
    if (!self->matches || index < 1 || static_cast<size_t>(index) > self->matches->items.size()) return nullptr;
    return &self->matches->items[static_cast<size_t>(index) - 1];
}

}  // namespace

// Slot 0: releases both references; the owner frees the object itself.
TOLVAR_ROUTINE(void, regex_destroy, (RegexObject *self)) {
    release_ref(self->matches);
    release_ref(self->engine);
}
TOLVAR_ROUTINE_END

// Slot 1: a new object sharing engine and matches until either side runs
// create or execute.
TOLVAR_ROUTINE(RegexObject *, regex_copy, (const RegexObject *self)) {
    auto *copy = new RegexObject(*self);
    if (copy->engine) copy->engine->add_ref();
    if (copy->matches) copy->matches->add_ref();
    return copy;
}
TOLVAR_ROUTINE_END

// Slot 2: a new engine with the options (true where not given) and the pattern.
TOLVAR_ROUTINE(int32_t, regex_create,
               (RegexObject *self, const char *pattern, OptionalBool ignore_case, OptionalBool multiline,
                OptionalBool global)) {
    release_ref(self->matches);
    release_ref(self->engine);
    self->engine = new RegExp;
    self->match_count = 0;
    self->engine->ignore_case = ignore_case.given ? ignore_case.value : true;
    self->engine->multiline = multiline.given ? multiline.value : true;
    self->engine->global = global.given ? global.value : true;
    self->engine->pattern = wide(pattern);
    return 1;
}
TOLVAR_ROUTINE_END

// Slot 3.
TOLVAR_ROUTINE(char *, regex_pattern, (const RegexObject *self)) {
    return self->engine ? gbk_text(self->engine->pattern) : empty_text();
}
TOLVAR_ROUTINE_END

// Slot 4: the matches and their count stay as they are.
TOLVAR_ROUTINE(char *, regex_replace, (RegexObject *self, const char *source, OptionalText replacement)) {
    if (!self->engine) return empty_text();
    return gbk_text(self->engine->replace(wide(source), wide(replacement.value)));
}
TOLVAR_ROUTINE_END

// Slot 5: replaces the match collection with this search's.
TOLVAR_ROUTINE(int32_t, regex_execute, (RegexObject *self, const char *subject)) {
    if (!self->engine) return 0;
    std::vector<uint16_t> units = units_of(subject);
    MatchCollection *found = self->engine->execute(view_of(units));
    release_ref(self->matches);
    self->matches = found;
    self->match_count = static_cast<int32_t>(found->items.size());
    return self->match_count;
}
TOLVAR_ROUTINE_END

// Slot 6.
TOLVAR_ROUTINE(int32_t, regex_count, (const RegexObject *self)) {
    return self->match_count;
}
TOLVAR_ROUTINE_END

// Slot 7: match `index` from 1; empty outside 1 to count.
TOLVAR_ROUTINE(char *, regex_match_text, (const RegexObject *self, int32_t index)) {
    const Match *m = match_at(self, index);
    return m ? gbk_text(m->value) : empty_text();
}
TOLVAR_ROUTINE_END

// Slot 8: sub-match `sub` (from 1) of match `index`; empty when the group took no part.
TOLVAR_ROUTINE(char *, regex_submatch_text, (const RegexObject *self, int32_t index, int32_t sub)) {
    const Match *m = match_at(self, index);
    if (!m || sub < 1 || static_cast<size_t>(sub) > m->submatches.size() || !m->submatches[sub - 1])
        return empty_text();
    return gbk_text(*m->submatches[static_cast<size_t>(sub) - 1]);
}
TOLVAR_ROUTINE_END

// Slot 9: the number of capture groups, read from the first match.
TOLVAR_ROUTINE(int32_t, regex_submatch_count, (const RegexObject *self)) {
    if (self->match_count == 0 || !self->matches || self->matches->items.empty()) return 0;
    return static_cast<int32_t>(self->matches->items.front().submatches.size());
}
TOLVAR_ROUTINE_END

namespace tolvar::regex {

namespace {

// The operations of a table, resolved once from its image-relative addresses.
template <class Fn>
Fn operation(const RegexObject &object, uint32_t slot) {
    static const uint8_t *resolved_for = nullptr;
    static std::array<void *, kOperationCount> natives{};
    if (resolved_for != object.operations) {
        for (uint32_t i = 0; i < natives.size(); ++i) {
            uint32_t address;
            std::memcpy(&address, object.operations + 4 * i, 4);
            natives[i] = runtime::native_routine_at(address);
        }
        resolved_for = object.operations;
    }
    return reinterpret_cast<Fn>(natives[slot]);
}

std::string take(char *text) { return std::string(runtime::text_view(runtime::Text(text))); }

}  // namespace

RegexObject fresh_regex_object() {
    RegexObject object;
    object.operations = runtime::const_data(kOperationTable);
    return object;
}

void destroy(RegexObject &o) { operation<decltype(&regex_destroy)>(o, 0)(&o); }
RegexObject *copy(const RegexObject &o) { return operation<decltype(&regex_copy)>(o, 1)(&o); }
bool create(RegexObject &o, std::string_view p, OptionalBool ignore_case, OptionalBool multiline, OptionalBool global) {
    std::string text(p);
    return operation<decltype(&regex_create)>(o, 2)(&o, text.c_str(), ignore_case, multiline, global) != 0;
}
std::string pattern(const RegexObject &o) { return take(operation<decltype(&regex_pattern)>(o, 3)(&o)); }
std::string replace(RegexObject &o, std::string_view source, OptionalText replacement) {
    std::string text(source);
    return take(operation<decltype(&regex_replace)>(o, 4)(&o, text.c_str(), replacement));
}
int32_t execute(RegexObject &o, std::string_view subject) {
    std::string text(subject);
    return operation<decltype(&regex_execute)>(o, 5)(&o, text.c_str());
}
int32_t count(const RegexObject &o) { return operation<decltype(&regex_count)>(o, 6)(&o); }
std::string match_text(const RegexObject &o, int32_t match) {
    return take(operation<decltype(&regex_match_text)>(o, 7)(&o, match));
}
std::string submatch_text(const RegexObject &o, int32_t match, int32_t submatch) {
    return take(operation<decltype(&regex_submatch_text)>(o, 8)(&o, match, submatch));
}
int32_t submatch_count(const RegexObject &o) { return operation<decltype(&regex_submatch_count)>(o, 9)(&o); }

}  // namespace tolvar::regex

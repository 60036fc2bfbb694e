#include "regex/regex_object.h"

#include <array>
#include <cstring>

#include "regex/regex_content.h"
#include "runtime/arguments.h"
#include "runtime/routine.h"
#include "runtime/runtime.h"

using namespace tolvar::regex;

using tolvar::runtime::ObjectRef;
using tolvar::runtime::ObjectValue;

namespace {

constexpr char kProgId[] = "VBScript.RegExp";

// A new heap text handed across the operation table; the caller releases it.
char *handed_text(const std::string &text) { return tolvar::runtime::new_text(text).release(); }

tolvar_arg text(const char *t) { return tolvar::runtime::text_arg(t ? t : ""); }

// Match `index` (from 1) of the last search: "Item" with index - 1, a double.
ObjectRef match_at(const RegexObject *self, int32_t index) {
    return tolvar::runtime::get_property(self->matches, "Item", tolvar::runtime::double_arg(static_cast<double>(index) - 1.0))
        .take_object();
}

}  // namespace

// Slot 0: releases both references; the owner frees the object itself.
TOLVAR_ROUTINE(void, regex_destroy, (RegexObject *self)) {
    self->matches.reset();
    self->engine.reset();
}
TOLVAR_ROUTINE_END

// Slot 1: a new object sharing engine and matches until either side runs
// create or execute.
TOLVAR_ROUTINE(RegexObject *, regex_copy, (const RegexObject *self)) {
    return new RegexObject(*self);
}
TOLVAR_ROUTINE_END

// Slot 2: a new engine with the options (true where not given) and the pattern.
TOLVAR_ROUTINE(int32_t, regex_create,
               (RegexObject *self, const char *pattern, OptionalBool ignore_case, OptionalBool multiline,
                OptionalBool global)) {
    self->matches.reset();
    self->engine.reset();
    self->match_count = 0;
    self->engine = tolvar::runtime::create_object(kProgId);
    if (self->engine.empty()) return 0;
    using tolvar::runtime::bool_arg;
    tolvar::runtime::put_property(self->engine, "IgnoreCase", bool_arg(ignore_case.given ? ignore_case.value : true));
    tolvar::runtime::put_property(self->engine, "Multiline", bool_arg(multiline.given ? multiline.value : true));
    tolvar::runtime::put_property(self->engine, "Global", bool_arg(global.given ? global.value : true));
    tolvar::runtime::put_property(self->engine, "Pattern", text(pattern));
    return 1;
}
TOLVAR_ROUTINE_END

// Slot 3.
TOLVAR_ROUTINE(char *, regex_pattern, (const RegexObject *self)) {
    if (self->engine.empty()) return handed_text("");
    return handed_text(tolvar::runtime::get_property(self->engine, "Pattern").text());
}
TOLVAR_ROUTINE_END

// Slot 4: the matches and their count stay as they are.
TOLVAR_ROUTINE(char *, regex_replace, (RegexObject *self, const char *source, OptionalText replacement)) {
    return handed_text(
        tolvar::runtime::call_method(self->engine, "Replace", {text(source), text(replacement.value)}).text());
}
TOLVAR_ROUTINE_END

// Slot 5: replaces the match collection with this search's; -1 when the
// engine could not search.
TOLVAR_ROUTINE(int32_t, regex_execute, (RegexObject *self, const char *subject)) {
    ObjectValue found = tolvar::runtime::call_method(self->engine, "Execute", {text(subject)});
    self->matches = found.take_object();
    if (found.failed() || self->matches.empty()) {
        self->match_count = 0;
        return -1;
    }
    self->match_count = static_cast<int32_t>(tolvar::runtime::get_property(self->matches, "Count").number());
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
    ObjectRef match = match_at(self, index);
    return handed_text(tolvar::runtime::get_property(match, "Value").text());
}
TOLVAR_ROUTINE_END

// Slot 8: sub-match `sub` (from 1) of match `index`; empty when the group took no part.
TOLVAR_ROUTINE(char *, regex_submatch_text, (const RegexObject *self, int32_t index, int32_t sub)) {
    ObjectRef match = match_at(self, index);
    ObjectRef submatches = tolvar::runtime::get_property(match, "SubMatches").take_object();
    return handed_text(
        tolvar::runtime::get_property(submatches, "Item", tolvar::runtime::double_arg(static_cast<double>(sub) - 1.0)).text());
}
TOLVAR_ROUTINE_END

// Slot 9: the number of capture groups, read from the first match.
TOLVAR_ROUTINE(int32_t, regex_submatch_count, (const RegexObject *self)) {
    if (self->match_count == 0) return 0;
    ObjectRef first = tolvar::runtime::get_property(self->matches, "Item", tolvar::runtime::int_arg(0)).take_object();
    ObjectRef submatches = tolvar::runtime::get_property(first, "SubMatches").take_object();
    return static_cast<int32_t>(tolvar::runtime::get_property(submatches, "Count").number());
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

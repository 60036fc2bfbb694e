#include "regex/regex_object.h"

#include <array>
#include <cstring>
#include <new>

#include "regex/regex_content.h"
#include "runtime/arguments.h"
#include "runtime/runtime.h"

using namespace tolvar::regex;

using tolvar::runtime::ObjectRef;
using tolvar::runtime::ObjectValue;

namespace {

constexpr char kProgId[] = "VBScript.RegExp";

char *new_text(const std::string &text) { return tolvar::runtime::new_text(text); }

tolvar_arg text(const char *t) { return tolvar::runtime::text_arg(t ? t : ""); }

// Match `index` (from 1) of the last search: "Item" with index - 1, a double.
ObjectRef match_at(const RegexObject *self, int32_t index) {
    return tolvar::runtime::get_property(self->matches, "Item", tolvar::runtime::double_arg(static_cast<double>(index) - 1.0))
        .take_object();
}

}  // namespace

// Slot 0: releases both references; the owner frees the object itself.
extern "C" void regex_destroy(RegexObject *self) noexcept {
    self->matches.reset();
    self->engine.reset();
}

// Slot 1: a new object sharing engine and matches until either side runs
// create or execute.
extern "C" RegexObject *regex_copy(const RegexObject *self) noexcept { return new (std::nothrow) RegexObject(*self); }

// Slot 2: a new engine with the options (true where not given) and the pattern.
extern "C" int32_t regex_create(RegexObject *self, const char *pattern, OptionalBool ignore_case,
                                OptionalBool multiline, OptionalBool global) noexcept {
    self->matches.reset();
    self->engine.reset();
    self->engine = tolvar::runtime::create_object(kProgId);
    if (self->engine.empty()) return 0;
    self->match_count = 0;
    using tolvar::runtime::bool_arg;
    tolvar::runtime::put_property(self->engine, "IgnoreCase", bool_arg(ignore_case.given ? ignore_case.value : true));
    tolvar::runtime::put_property(self->engine, "Multiline", bool_arg(multiline.given ? multiline.value : true));
    tolvar::runtime::put_property(self->engine, "Global", bool_arg(global.given ? global.value : true));
    tolvar::runtime::put_property(self->engine, "Pattern", text(pattern));
    return 1;
}

// Slot 3.
extern "C" char *regex_pattern(const RegexObject *self) noexcept {
    if (self->engine.empty()) return new_text("");
    return new_text(tolvar::runtime::get_property(self->engine, "Pattern").text());
}

// Slot 4: the matches and their count stay as they are.
extern "C" char *regex_replace(RegexObject *self, const char *source, OptionalText replacement) noexcept {
    return new_text(tolvar::runtime::call_method(self->engine, "Replace", {text(source), text(replacement.value)}).text());
}

// Slot 5: replaces the match collection with this search's; -1 when the
// engine could not search.
extern "C" int32_t regex_execute(RegexObject *self, const char *subject) noexcept {
    ObjectValue found = tolvar::runtime::call_method(self->engine, "Execute", {text(subject)});
    self->matches = found.take_object();
    if (found.failed() || self->matches.empty()) {
        self->match_count = 0;
        return -1;
    }
    self->match_count = static_cast<int32_t>(tolvar::runtime::get_property(self->matches, "Count").number());
    return self->match_count;
}

// Slot 6.
extern "C" int32_t regex_count(const RegexObject *self) noexcept { return self->match_count; }

// Slot 7: match `index` from 1; empty outside 1 to count.
extern "C" char *regex_match_text(const RegexObject *self, int32_t index) noexcept {
    ObjectRef match = match_at(self, index);
    return new_text(tolvar::runtime::get_property(match, "Value").text());
}

// Slot 8: sub-match `sub` (from 1) of match `index`; empty when the group took no part.
extern "C" char *regex_submatch_text(const RegexObject *self, int32_t index, int32_t sub) noexcept {
    ObjectRef match = match_at(self, index);
    ObjectRef submatches = tolvar::runtime::get_property(match, "SubMatches").take_object();
    return new_text(
        tolvar::runtime::get_property(submatches, "Item", tolvar::runtime::double_arg(static_cast<double>(sub) - 1.0)).text());
}

// Slot 9: the number of capture groups, read from the first match.
extern "C" int32_t regex_submatch_count(const RegexObject *self) noexcept {
    if (self->match_count == 0) return 0;
    ObjectRef first = tolvar::runtime::get_property(self->matches, "Item", tolvar::runtime::int_arg(0)).take_object();
    ObjectRef submatches = tolvar::runtime::get_property(first, "SubMatches").take_object();
    return static_cast<int32_t>(tolvar::runtime::get_property(submatches, "Count").number());
}

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

std::string take(char *text) {
    std::string s = text ? text : "";
    runtime::release(text);
    return s;
}

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

// vbscript stand-in: the scripting engine's COM class "VBScript.RegExp" and
// the objects it hands out (match collection, match, sub-matches), reached by
// member names as through IDispatch.
//
//   RegExp:     Pattern, IgnoreCase, Global, Multiline (read and write);
//               Execute(text) -> matches, Replace(text, replacement) -> text, Test(text) -> logical
//   matches:    Count, Item(index from 0) -> match
//   match:      Value, FirstIndex, Length, SubMatches -> sub-matches
//   sub-matches: Count, Item(index from 0) -> text, or empty for a group that took no part
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "abi/dispatch.h"
#include "platform/ascii.h"
#include "platform/scripting_regex.h"
#include "platform/stand_in.h"

namespace {

using namespace tolvar::platform::regex;

class Object;

// What callers hold: the interface, with the object behind it.
struct Interface : tolvar_dispatch {
    Object *object;
};

class Object {
public:
    Object();
    virtual ~Object() = default;
    Object(const Object &) = delete;
    Object &operator=(const Object &) = delete;
    virtual int32_t member(const std::string &name, uint32_t kind, uint32_t count, const tolvar_variant *args,
                           tolvar_variant &result) = 0;
    tolvar_dispatch *interface() { return &interface_; }

private:
    static Object *of(tolvar_dispatch *self) { return static_cast<Interface *>(self)->object; }
    static uint32_t add_ref(tolvar_dispatch *self) noexcept { return ++of(self)->references_; }
    static uint32_t release(tolvar_dispatch *self) noexcept {
        Object *o = of(self);
        uint32_t left = --o->references_;
        if (left == 0) delete o;
        return left;
    }
    // Nothing unwinds into the caller: a failure of our own becomes an error code.
    static int32_t invoke(tolvar_dispatch *self, const char *name, uint32_t kind, uint32_t count,
                          const tolvar_variant *args, tolvar_variant *result) noexcept {
        if (!self || !name || !result || (count && !args)) return TOLVAR_E_INVALID_ARGUMENT;
        *result = tolvar_variant{};
        try {
            return of(self)->member(tolvar::platform::ascii_lower(name), kind, count, args, *result);
        } catch (const std::bad_alloc &) {
            return TOLVAR_E_OUT_OF_MEMORY;
        } catch (...) {
            return TOLVAR_E_INVALID_ARGUMENT;
        }
    }
    static constexpr tolvar_dispatch_methods kMethods{add_ref, release, invoke};

    Interface interface_;
    std::atomic<uint32_t> references_{1};
};

Object::Object() : interface_{{&kMethods}, this} {}

// Variants in and out.
std::u16string text_of(const tolvar_variant &v) {
    if (v.type != TOLVAR_VT_BSTR || !v.text) return {};
    return {reinterpret_cast<const char16_t *>(v.text), v.text_length};
}
bool logical_of(const tolvar_variant &v) {
    return (v.type == TOLVAR_VT_BOOL || v.type == TOLVAR_VT_I4) ? v.number != 0 : v.type == TOLVAR_VT_R8 && v.real != 0;
}
bool index_of(const tolvar_variant &v, size_t &index) {
    double d = v.type == TOLVAR_VT_R8 ? v.real : v.type == TOLVAR_VT_I4 ? v.number : -1;
    if (!(d > -0.5) || d > 2e9) return false;
    index = static_cast<size_t>(std::lround(d));
    return true;
}
void set_text(tolvar_variant &r, std::u16string_view s) {
    r.type = TOLVAR_VT_BSTR;
    r.text = static_cast<uint16_t *>(std::malloc(sizeof(uint16_t) * (s.size() + 1)));
    if (!r.text) throw std::bad_alloc();
    std::memcpy(r.text, s.data(), sizeof(uint16_t) * s.size());
    r.text_length = static_cast<uint32_t>(s.size());
}
void set_number(tolvar_variant &r, int64_t n) {
    r.type = TOLVAR_VT_I4;
    r.number = static_cast<int32_t>(n);
}
void set_logical(tolvar_variant &r, bool b) {
    r.type = TOLVAR_VT_BOOL;
    r.number = b ? -1 : 0;
}
void set_object(tolvar_variant &r, Object *o) {
    r.type = TOLVAR_VT_DISPATCH;
    r.object = o->interface();
}

struct Found {
    size_t index = 0;
    std::u16string value;
    std::vector<std::optional<std::u16string>> groups;
};

class SubMatches final : public Object {
public:
    explicit SubMatches(std::vector<std::optional<std::u16string>> groups) : groups_(std::move(groups)) {}
    int32_t member(const std::string &name, uint32_t, uint32_t count, const tolvar_variant *args,
                   tolvar_variant &result) override {
        if (name == "count") return set_number(result, static_cast<int64_t>(groups_.size())), TOLVAR_S_OK;
        if (name != "item") return TOLVAR_E_MEMBER_NOT_FOUND;
        size_t i = 0;
        if (count != 1) return TOLVAR_E_BAD_ARGUMENT_COUNT;
        if (!index_of(args[0], i) || i >= groups_.size()) return TOLVAR_E_INVALID_ARGUMENT;
        if (groups_[i]) set_text(result, *groups_[i]);
        return TOLVAR_S_OK;
    }

private:
    std::vector<std::optional<std::u16string>> groups_;
};

class Match final : public Object {
public:
    explicit Match(Found found) : found_(std::move(found)) {}
    int32_t member(const std::string &name, uint32_t, uint32_t, const tolvar_variant *, tolvar_variant &result) override {
        if (name == "value") set_text(result, found_.value);
        else if (name == "firstindex") set_number(result, static_cast<int64_t>(found_.index));
        else if (name == "length") set_number(result, static_cast<int64_t>(found_.value.size()));
        else if (name == "submatches") set_object(result, new SubMatches(found_.groups));
        else return TOLVAR_E_MEMBER_NOT_FOUND;
        return TOLVAR_S_OK;
    }

private:
    Found found_;
};

class Matches final : public Object {
public:
    explicit Matches(std::vector<Found> found) : found_(std::move(found)) {}
    int32_t member(const std::string &name, uint32_t, uint32_t count, const tolvar_variant *args,
                   tolvar_variant &result) override {
        if (name == "count") return set_number(result, static_cast<int64_t>(found_.size())), TOLVAR_S_OK;
        if (name != "item") return TOLVAR_E_MEMBER_NOT_FOUND;
        size_t i = 0;
        if (count != 1) return TOLVAR_E_BAD_ARGUMENT_COUNT;
        if (!index_of(args[0], i) || i >= found_.size()) return TOLVAR_E_INVALID_ARGUMENT;
        set_object(result, new Match(found_[i]));
        return TOLVAR_S_OK;
    }

private:
    std::vector<Found> found_;
};

class RegExp final : public Object {
public:
    int32_t member(const std::string &name, uint32_t kind, uint32_t count, const tolvar_variant *args,
                   tolvar_variant &result) override {
        if (kind & TOLVAR_INVOKE_PUT) {
            if (count != 1) return TOLVAR_E_BAD_ARGUMENT_COUNT;
            if (name == "pattern") pattern_ = text_of(args[0]);
            else if (name == "ignorecase") options_.ignore_case = logical_of(args[0]);
            else if (name == "multiline") options_.multiline = logical_of(args[0]);
            else if (name == "global") global_ = logical_of(args[0]);
            else return TOLVAR_E_MEMBER_NOT_FOUND;
            compiled_.reset();
            return TOLVAR_S_OK;
        }
        if (name == "pattern") set_text(result, pattern_);
        else if (name == "ignorecase") set_logical(result, options_.ignore_case);
        else if (name == "multiline") set_logical(result, options_.multiline);
        else if (name == "global") set_logical(result, global_);
        else if (name == "execute" || name == "test") return search(name == "test", count, args, result);
        else if (name == "replace") return replace(count, args, result);
        else return TOLVAR_E_MEMBER_NOT_FOUND;
        return TOLVAR_S_OK;
    }

private:
    int32_t compile() {
        if (compiled_) return TOLVAR_S_OK;
        std::string error;
        compiled_ = Regex::compile(pattern_, options_, error);
        return compiled_ ? TOLVAR_S_OK : TOLVAR_E_PATTERN_SYNTAX;
    }

    // Every match (the first alone without Global), from the end of the last
    // one on, one unit further after an empty one. False when the search had
    // to stop.
    template <class Visit>
    bool each_match(std::u16string_view subject, Visit visit) {
        Budget budget;
        std::vector<int32_t> captures;
        size_t at = 0;
        while (at <= subject.size()) {
            Outcome o = compiled_->search(subject, at, captures, budget);
            if (o == Outcome::too_long) return false;
            if (o == Outcome::no_match) break;
            visit(captures);
            if (!global_) break;
            auto begin = static_cast<size_t>(captures[0]), end = static_cast<size_t>(captures[1]);
            at = end > begin ? end : end + 1;
        }
        return true;
    }

    int32_t search(bool test, uint32_t count, const tolvar_variant *args, tolvar_variant &result) {
        if (count != 1) return TOLVAR_E_BAD_ARGUMENT_COUNT;
        if (int32_t e = compile()) return e;
        std::u16string subject = text_of(args[0]);
        std::vector<Found> found;
        bool completed = each_match(subject, [&](const std::vector<int32_t> &c) {
            Found f;
            f.index = static_cast<size_t>(c[0]);
            f.value = subject.substr(f.index, static_cast<size_t>(c[1] - c[0]));
            for (size_t g = 1; g < c.size() / 2; ++g) {
                if (c[2 * g] < 0 || c[2 * g + 1] < 0) f.groups.emplace_back(std::nullopt);
                else f.groups.emplace_back(subject.substr(static_cast<size_t>(c[2 * g]), static_cast<size_t>(c[2 * g + 1] - c[2 * g])));
            }
            found.push_back(std::move(f));
        });
        if (!completed) return TOLVAR_E_SEARCH_TOO_LONG;
        if (test) set_logical(result, !found.empty());
        else set_object(result, new Matches(std::move(found)));
        return TOLVAR_S_OK;
    }

    // $1..$99, $&, $`, $' and $$ in the replacement; anything else stays as it is.
    int32_t replace(uint32_t count, const tolvar_variant *args, tolvar_variant &result) {
        if (count != 2) return TOLVAR_E_BAD_ARGUMENT_COUNT;
        if (int32_t e = compile()) return e;
        std::u16string source = text_of(args[0]), replacement = text_of(args[1]), out;
        size_t copied = 0;
        uint32_t groups = compiled_->capture_count();
        bool completed = each_match(source, [&](const std::vector<int32_t> &c) {
            auto begin = static_cast<size_t>(c[0]), end = static_cast<size_t>(c[1]);
            out.append(source, copied, begin - copied);
            auto group = [&](uint32_t g) -> std::u16string_view {
                if (c[2 * g] < 0 || c[2 * g + 1] < 0) return {};
                return std::u16string_view(source).substr(static_cast<size_t>(c[2 * g]), static_cast<size_t>(c[2 * g + 1] - c[2 * g]));
            };
            for (size_t i = 0; i < replacement.size(); ++i) {
                char16_t ch = replacement[i];
                char16_t next = i + 1 < replacement.size() ? replacement[i + 1] : 0;
                if (ch != u'$' || !next) {
                    out += ch;
                } else if (next == u'$') {
                    out += u'$', ++i;
                } else if (next == u'&') {
                    out.append(source, begin, end - begin), ++i;
                } else if (next == u'`') {
                    out.append(source, 0, begin), ++i;
                } else if (next == u'\'') {
                    out.append(source, end), ++i;
                } else if (next >= u'0' && next <= u'9') {
                    // Two digits when they name a group, else one, else the text as it stands.
                    uint32_t one = next - u'0';
                    bool two_digits = i + 2 < replacement.size() && replacement[i + 2] >= u'0' && replacement[i + 2] <= u'9';
                    uint32_t two = two_digits ? one * 10 + (replacement[i + 2] - u'0') : 0;
                    if (two_digits && two >= 1 && two <= groups) out.append(group(two)), i += 2;
                    else if (one >= 1 && one <= groups) out.append(group(one)), i += 1;
                    else out += ch;
                } else {
                    out += ch;
                }
            }
            copied = end;
        });
        if (!completed) return TOLVAR_E_SEARCH_TOO_LONG;
        out.append(source, std::min(copied, source.size()));
        set_text(result, out);
        return TOLVAR_S_OK;
    }

    std::u16string pattern_;
    Options options_;
    bool global_ = false;
    std::shared_ptr<const Regex> compiled_;
};

}  // namespace

// A new object of the class `progid`, or null for a class this library does not hold.
STANDIN_FUNCTION(tolvar_dispatch *, tolvar_create_object, (const char *progid)) {
    if (!progid || tolvar::platform::ascii_lower(progid) != "vbscript.regexp") return nullptr;
    return (new RegExp)->interface();
}
STANDIN_FUNCTION_END(nullptr)

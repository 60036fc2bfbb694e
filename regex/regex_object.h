// The regular-expression object: an engine reference, the matches of the last
// search and their count, with ten operations reached through the class's
// operation table in the image's const data (slot order: destroy, copy,
// create, pattern, replace, execute, count, match_text, submatch_text,
// submatch_count). Texts are the program's GBK texts.
//
// The matching is the platform's: the scripting engine's COM class
// "VBScript.RegExp", reached by member names through the kernel's object
// services, as the object reaches it on Windows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/objects.h"

namespace tolvar::regex {

// An optional argument: the value and whether the caller gave it.
struct OptionalBool {
    bool value = false;
    bool given = false;
};
struct OptionalText {
    const char *value = nullptr;
    bool given = false;
};

struct RegexObject {
    const uint8_t *operations = nullptr;  // the class's table of ten operations
    runtime::ObjectRef engine;   // the "VBScript.RegExp" instance
    runtime::ObjectRef matches;  // the collection of the last "Execute"
    int32_t match_count = 0;
};

// A fresh object with the class's operation table and both references empty.
RegexObject fresh_regex_object();

// Calls through the object's operation table. Text results are new heap texts
// of the kernel's allocator; these wrappers hand them back as strings.
void destroy(RegexObject &object);
RegexObject *copy(const RegexObject &object);  // a new object; destroy it, then delete it
bool create(RegexObject &object, std::string_view pattern, OptionalBool ignore_case = {},
            OptionalBool multiline = {}, OptionalBool global = {});
std::string pattern(const RegexObject &object);
std::string replace(RegexObject &object, std::string_view source, OptionalText replacement = {});
// The number of matches; -1 when the engine could not search (no engine, a
// pattern that is not one, or a search it had to give up).
int32_t execute(RegexObject &object, std::string_view subject);
int32_t count(const RegexObject &object);
std::string match_text(const RegexObject &object, int32_t match);
std::string submatch_text(const RegexObject &object, int32_t match, int32_t submatch);
int32_t submatch_count(const RegexObject &object);

}  // namespace tolvar::regex

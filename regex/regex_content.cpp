#include "regex/regex_content.h"

namespace tolvar::regex {

// The operations in slot order; they are also the part's routine records.
const runtime::Constant kOperationTable{
    runtime::ConstantKind::routine_table,
    {},
    {"regex_destroy", "regex_copy", "regex_create", "regex_pattern", "regex_replace", "regex_execute",
     "regex_count", "regex_match_text", "regex_submatch_text", "regex_submatch_count"},
};

namespace {
const runtime::ImageContent kContent{"regex", kOperationTable.routines, {}, {&kOperationTable}};
const runtime::ContentRegistration kRegistration(kContent);
}  // namespace

}  // namespace tolvar::regex

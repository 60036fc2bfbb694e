// Text routines over the program's heap texts (zero-ended GBK; a missing text
// counts as the empty text).
#pragma once

#include <cstdint>
#include <initializer_list>

#include "runtime/owned.h"

namespace tolvar::runtime {

uint32_t text_length(const char *text);
// A new heap text joining the given texts.
Text join(std::initializer_list<const char *> texts);
// 0 when equal bytewise, -1 or 1 otherwise.
int32_t compare(const char *a, const char *b);

}  // namespace tolvar::runtime

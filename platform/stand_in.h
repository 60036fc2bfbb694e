// What every stand-in shares: the Windows types, and how a function is
// exported under its Windows name.
#pragma once

#include "abi/win32.h"

#define STANDIN_EXPORT extern "C" __attribute__((visibility("default")))

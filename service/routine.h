// A routine the kernel calls (an event handler), exported under its own name.
#pragma once

#include <cstdint>

#include "abi/tolvar_abi.h"

#define TOLVAR_SERVICE_ROUTINE(name) extern "C" int32_t name(int32_t, const tolvar_arg *)

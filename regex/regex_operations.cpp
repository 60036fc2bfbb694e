// The regular-expression object's operation table as the image names it, in
// slot order. The object and its engine come with the regular-expression work;
// until then every operation leaves the object alone and gives an empty result.
#include "runtime/tolvar_abi.h"

#define TOLVAR_EMPTY_OPERATION(name) \
    extern "C" int32_t name(int32_t, const tolvar_arg *) { return 0; }

TOLVAR_EMPTY_OPERATION(regex_destroy)
TOLVAR_EMPTY_OPERATION(regex_copy)
TOLVAR_EMPTY_OPERATION(regex_create)
TOLVAR_EMPTY_OPERATION(regex_pattern)
TOLVAR_EMPTY_OPERATION(regex_replace)
TOLVAR_EMPTY_OPERATION(regex_execute)
TOLVAR_EMPTY_OPERATION(regex_count)
TOLVAR_EMPTY_OPERATION(regex_match_text)
TOLVAR_EMPTY_OPERATION(regex_submatch_text)
TOLVAR_EMPTY_OPERATION(regex_submatch_count)

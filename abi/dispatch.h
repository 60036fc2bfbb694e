/*
 * dispatch.h: late-bound objects between the kernel and the platform's
 * stand-ins for COM classes (an object reached by member names, as through
 * IDispatch). The program never sees this: it reaches objects through the
 * kernel's object commands (TOLVAR_KCMD_OBJECT_*), which convert its GBK
 * texts to and from the objects' UTF-16 strings.
 *
 * A stand-in library exports tolvar_create_object; the kernel knows which
 * library holds which ProgID ("VBScript.RegExp": vbscript.so).
 *
 * Ownership:
 *   - An object pointer returned by tolvar_create_object or in a result
 *     variant carries one reference, released with methods->release.
 *   - Argument variants stay the caller's. A result variant is the caller's:
 *     its text is a malloc'd block to free(), its object one reference.
 */
#ifndef TOLVAR_DISPATCH_H
#define TOLVAR_DISPATCH_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Variant types, numbered as COM numbers them. */
#define TOLVAR_VT_EMPTY 0
#define TOLVAR_VT_I4 3
#define TOLVAR_VT_R8 5
#define TOLVAR_VT_BSTR 8
#define TOLVAR_VT_DISPATCH 9
#define TOLVAR_VT_BOOL 11

struct tolvar_dispatch;

typedef struct tolvar_variant {
    uint16_t type;
    int32_t number;              /* VT_I4; VT_BOOL: 0 false, -1 true */
    double real;                 /* VT_R8 */
    uint16_t *text;              /* VT_BSTR: UTF-16 units, not zero-ended */
    uint32_t text_length;
    struct tolvar_dispatch *object; /* VT_DISPATCH */
} tolvar_variant;

/* What invoke does with the member: COM's DISPATCH_* numbers. */
#define TOLVAR_INVOKE_METHOD 1
#define TOLVAR_INVOKE_GET 2
#define TOLVAR_INVOKE_PUT 4

/* Results of invoke, as COM's HRESULTs and the scripting engine's errors. */
#define TOLVAR_S_OK 0
#define TOLVAR_E_MEMBER_NOT_FOUND ((int32_t)0x80020003)   /* DISP_E_MEMBERNOTFOUND */
#define TOLVAR_E_TYPE_MISMATCH ((int32_t)0x80020005)      /* DISP_E_TYPEMISMATCH */
#define TOLVAR_E_BAD_ARGUMENT_COUNT ((int32_t)0x8002000E) /* DISP_E_BADPARAMCOUNT */
#define TOLVAR_E_INVALID_ARGUMENT ((int32_t)0x800A0005)   /* "Invalid procedure call or argument" */
#define TOLVAR_E_OUT_OF_MEMORY ((int32_t)0x8007000E)      /* E_OUTOFMEMORY */
#define TOLVAR_E_PATTERN_SYNTAX ((int32_t)0x800A1399)     /* "Syntax error in regular expression" (5017) */
#define TOLVAR_E_SEARCH_TOO_LONG ((int32_t)0x800A001C)    /* "Out of stack space" (28): a search that
                                                             would not end within the engine's bounds */
#define TOLVAR_E_NO_OBJECT ((int32_t)0x800A01AD)          /* "ActiveX component can't create object" (429) */

typedef struct tolvar_dispatch_methods {
    uint32_t (*add_ref)(struct tolvar_dispatch *self);
    uint32_t (*release)(struct tolvar_dispatch *self);
    /* Reads, writes or calls the member `name` (ASCII, any letter case) with
     * `count` arguments; `result` is set to VT_EMPTY first. */
    int32_t (*invoke)(struct tolvar_dispatch *self, const char *name, uint32_t kind, uint32_t count,
                      const tolvar_variant *args, tolvar_variant *result);
} tolvar_dispatch_methods;

typedef struct tolvar_dispatch {
    const tolvar_dispatch_methods *methods;
} tolvar_dispatch;

/* Export of a stand-in: a new object of the class `progid`, or null. */
typedef tolvar_dispatch *(*tolvar_create_object_fn)(const char *progid);

#ifdef __cplusplus
}
#endif

#endif

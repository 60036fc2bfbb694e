/*
 * tolvar_abi.h: the interface between the Tolvar program and the kernel
 * library (krnln.fnr). Plain C, so that either side can be rebuilt alone.
 *
 * Values:
 *   text      a zero-ended GBK string in a heap block
 *   byte set  a heap block: u32 1, u32 length, then the bytes
 *   array     a heap block: u32 dimension count, one u32 size per dimension,
 *             then the 8-byte element references, 8-byte aligned
 * Heap blocks that cross the boundary are always allocated and released
 * through the allocation slots (0x18 to 0x20) of the service table, whichever
 * side made them. A pointer into the loaded image (a constant) may be passed
 * wherever a text or byte set is read; releasing one is harmless.
 *
 * Ownership, stated once for every pointer that crosses:
 *   - A text or byte set passed as an argument stays the caller's.
 *   - A text, byte set or array returned in a tolvar_arg is the receiver's,
 *     to release through slot 0x20.
 *   - tolvar_program and tolvar_services belong to the kernel and live until
 *     the start routine returns.
 */
#ifndef TOLVAR_ABI_H
#define TOLVAR_ABI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The interface's version: a major and a minor number, packed as
 * (major << 16) | minor into one u32.
 *
 * A minor version adds and changes nothing that exists: new kernel commands,
 * support-library commands, property numbers, type tags, event numbers,
 * run-time error codes or option values, each under a number no earlier
 * version used. A program built for minor m runs on any kernel of the same
 * major with a minor of m or more; it never needs what a later minor adds.
 *
 * A major version is anything else: a slot of the service table, the layout
 * of tolvar_arg, tolvar_program or a value block, the meaning or arguments of
 * an existing number, the ownership of a block, a number reused, removed or
 * renumbered.
 *
 * The kernel writes its version into tolvar_program; the start routine
 * refuses to run on a kernel that tolvar_abi_compatible rejects. The
 * executable exports the program's version as tolvar_program_abi_version,
 * which the kernel checks the same way before it binds a routine. */
#define TOLVAR_ABI_VERSION_MAJOR 1u
#define TOLVAR_ABI_VERSION_MINOR 0u
#define TOLVAR_ABI_VERSION_OF(major, minor) ((uint32_t)(major) << 16 | (uint32_t)(minor))
#define TOLVAR_ABI_VERSION TOLVAR_ABI_VERSION_OF(TOLVAR_ABI_VERSION_MAJOR, TOLVAR_ABI_VERSION_MINOR)
#define TOLVAR_ABI_MAJOR_OF(version) ((uint32_t)(version) >> 16)
#define TOLVAR_ABI_MINOR_OF(version) ((uint32_t)(version) & 0xFFFFu)

/* Whether a program built for version `program` may run on a kernel of
 * version `kernel`: the same major, and a kernel minor no older. */
static inline int tolvar_abi_compatible(uint32_t program, uint32_t kernel) {
    return TOLVAR_ABI_MAJOR_OF(program) == TOLVAR_ABI_MAJOR_OF(kernel) &&
           TOLVAR_ABI_MINOR_OF(program) <= TOLVAR_ABI_MINOR_OF(kernel);
}

/* Type tags of argument triples and of values returned by the kernel. */
#define TOLVAR_TYPE_NONE 0x00000000u
#define TOLVAR_TYPE_BYTE 0x80000101u
#define TOLVAR_TYPE_BOOL 0x80000002u
#define TOLVAR_TYPE_TEXT 0x80000004u
#define TOLVAR_TYPE_BYTES 0x80000005u
#define TOLVAR_TYPE_INT 0x80000301u
#define TOLVAR_TYPE_DOUBLE 0x80000601u
/* Our own tags: a native address, and an array block. */
#define TOLVAR_TYPE_ADDRESS 0x80000801u
#define TOLVAR_TYPE_ARRAY 0x80000901u
/* A reference to a late-bound object (see the object commands), and a failed
 * object command's result: its error code in `low`. */
#define TOLVAR_TYPE_OBJECT 0x80000A01u
#define TOLVAR_TYPE_ERROR 0x80000B01u

/* One argument or result: a 64-bit value (low u32, high u32) and a type tag.
 * An omitted optional argument is the triple (0, 0, 0). A pointer travels as
 * its 64 bits; see tolvar_pointer_arg and tolvar_arg_pointer. */
typedef struct tolvar_arg {
    uint32_t low;
    uint32_t high;
    uint32_t type;
} tolvar_arg;

static inline tolvar_arg tolvar_pointer_arg(const void *pointer, uint32_t type) {
    uint64_t bits = (uint64_t)(uintptr_t)pointer;
    tolvar_arg arg = {(uint32_t)bits, (uint32_t)(bits >> 32), type};
    return arg;
}

static inline void *tolvar_arg_pointer(tolvar_arg arg) {
    return (void *)(uintptr_t)((uint64_t)arg.high << 32 | arg.low);
}

/* Window, control and menu-item ids. A control reference argument is the
 * triple (window id, object id, library type id). */
#define TOLVAR_MAIN_WINDOW 0x52010001u
#define TOLVAR_WINDOW_OBJECT 0x06010000u

/* Library type ids: high half the library's place in the list counted from 1. */
#define TOLVAR_TYPE_ID_WINDOW 0x10001u
#define TOLVAR_TYPE_ID_MENU_ITEM 0x10003u
#define TOLVAR_TYPE_ID_EDIT 0x10005u
#define TOLVAR_TYPE_ID_PICTURE 0x10006u
#define TOLVAR_TYPE_ID_GROUP 0x10009u
#define TOLVAR_TYPE_ID_LABEL 0x1000Au
#define TOLVAR_TYPE_ID_BUTTON 0x1000Bu
#define TOLVAR_TYPE_ID_LIST 0x1000Fu
#define TOLVAR_TYPE_ID_TAB 0x10015u
#define TOLVAR_TYPE_ID_HYPERLINK 0x1001Du
#define TOLVAR_TYPE_ID_TIMER 0x10020u
#define TOLVAR_TYPE_ID_REGEX 0x10030u
#define TOLVAR_TYPE_ID_REGEX_MATCH 0x10031u
#define TOLVAR_TYPE_ID_HTML_VIEW 0x40001u

/* Event numbers of the form's bindings: the kernel runs the routine bound to
 * the event that fired. */
#define TOLVAR_EVENT_MAIN 0           /* created, clicked, content changed, timer fired, chosen */
#define TOLVAR_EVENT_PAGE_CHANGED 2   /* tab control */
#define TOLVAR_EVENT_RIGHT_BUTTON (-4)
#define TOLVAR_EVENT_FOCUS (-7)

/* Option values of the form's control records (the layout's own numbering;
 * the image writer documents the option block itself). */
/* Border style of an edit box or picture box. */
#define TOLVAR_BORDER_NONE 0u
#define TOLVAR_BORDER_SUNKEN 1u /* the sunken client edge (Windows' WS_EX_CLIENTEDGE) */
#define TOLVAR_BORDER_THIN 5u   /* a one-pixel line (Windows' WS_BORDER) */
/* Frame of a label. */
#define TOLVAR_LABEL_PLAIN 0u
#define TOLVAR_LABEL_THIN_SUNKEN 5u /* a thin sunken edge (Windows' WS_EX_STATICEDGE) */
/* Horizontal alignment of a label's caption or an edit box's text: the values
 * of Windows' SS_LEFT, SS_CENTER, SS_RIGHT (and ES_LEFT, ES_CENTER, ES_RIGHT). */
#define TOLVAR_ALIGN_LEFT 0u
#define TOLVAR_ALIGN_CENTRE 1u
#define TOLVAR_ALIGN_RIGHT 2u

/* Property numbers for slots 0x10 and 0x14. */
#define TOLVAR_PROP_DISABLED 0x06
#define TOLVAR_PROP_TEXT 0x08
#define TOLVAR_PROP_PICTURE 0x0A
#define TOLVAR_PROP_ADDRESS 0x0B
#define TOLVAR_PROP_PAGE 0x0C
#define TOLVAR_PROP_CURRENT_ITEM 0x10

/* Run-time error codes for slot 0x00. */
#define TOLVAR_ERROR_INDEX_ABOVE 1
#define TOLVAR_ERROR_INDEX_BELOW 4
#define TOLVAR_ERROR_WRONG_TYPE 5
#define TOLVAR_ERROR_DLL_ARGUMENTS 6
/* Our own: something failed that no input should make fail (memory ran out,
 * an internal fault). Raised in place of an exception that would otherwise
 * leave a routine, a service or an export and unwind into C frames. */
#define TOLVAR_ERROR_UNEXPECTED 7

/* Codes of slot 0x30: (3, routine address, 0) registers a routine to run when
   the program ends; (2, 4, array variable's address) comes before an array is
   grown in place. */
#define TOLVAR_SPECIAL_ARRAY_GROWS 2
#define TOLVAR_SPECIAL_AT_END 3

/* Kernel commands of slot 0x0C, our own numbering.
 *
 * Handlers that run nested: a command marked "nests" below runs other event
 * handlers of the program before it returns (a nested event loop, or an event
 * it raises itself), so the caller must expect the window's state to have
 * changed meanwhile, the window to have been closed included. The others run
 * no handler. */
#define TOLVAR_KCMD_MESSAGE_BOX 1       /* (text) -> int; OK button, the window's title as title.
                                           Nests: a modal box in its own event loop */
#define TOLVAR_KCMD_APPEND_TEXT 2       /* (edit box, text): at the end, whatever the caret.
                                           Nests: runs the box's content-changed handler */
#define TOLVAR_KCMD_SET_FOCUS 3         /* (control). Nests: runs the control's focus handler when
                                           the window is active */
#define TOLVAR_KCMD_LIST_ADD 4          /* (list box, text, integer value) */
#define TOLVAR_KCMD_LIST_CLEAR 5        /* (list box) */
#define TOLVAR_KCMD_LIST_ITEM_TEXT 6    /* (list box, index from 0) -> text; empty outside the list */
#define TOLVAR_KCMD_LIST_ITEM_VALUE 7   /* (list box, index from 0) -> integer; 0 outside the list */
#define TOLVAR_KCMD_LIST_COUNT 8        /* (list box) -> integer */
#define TOLVAR_KCMD_TIMER_INTERVAL 9    /* (timer, milliseconds); 0 stops it */
#define TOLVAR_KCMD_OPEN_HYPERLINK 10   /* (hyperlink box): open its target in the system's handler */
#define TOLVAR_KCMD_POPUP_MENU 11       /* (menu item): pop up that top-level menu at the mouse;
                                           returns at once, the chosen item's handler runs later */
#define TOLVAR_KCMD_DESTROY_WINDOW 12   /* (window): every event loop ends, nested ones included */
#define TOLVAR_KCMD_PROGRAM_DIRECTORY 13 /* () -> text: the program's folder, no trailing separator */
#define TOLVAR_KCMD_PROCESS_EVENTS 14   /* (): let pending window messages run (at most once a
                                           millisecond). Nests: their handlers run */
#define TOLVAR_KCMD_ROUTINE_ADDRESS 15  /* (routine's image-relative address) -> its native address */
/* Files. A path is a GBK text; both "\\" and "/" separate its parts. A file
 * that is missing, unreadable, a folder or larger than 64 MiB reads as absent. */
#define TOLVAR_KCMD_READ_FILE 16     /* (path) -> byte set: the whole file; empty when absent */
#define TOLVAR_KCMD_FILE_EXISTS 17   /* (path) -> logical: a file (not a folder) is there */
#define TOLVAR_KCMD_OPEN_FILE 18     /* (path) -> integer file number; 0 when it cannot be opened */
#define TOLVAR_KCMD_READ_TEXT 19     /* (file number[, most bytes]) -> text: the rest of the file, up to a
                                        zero byte; a positive most-bytes reads no further than that */
#define TOLVAR_KCMD_CLOSE_FILE 20    /* (file number) */
#define TOLVAR_KCMD_CREATE_FOLDER 21 /* (path) -> logical; a folder already there is no error */
#define TOLVAR_KCMD_WRITE_FILE 22    /* (path, byte sets or texts...) -> logical: them one after another as
                                        the file's whole content, replaced at once; a failed write
                                        leaves the file as it was */
#define TOLVAR_KCMD_DELETE_FILE 23   /* (path) -> logical */
/* 24 to 31: more files; 32 to 47: the window's busy state and pictures; 48 to 63: lists and pages. */
/* The busy cursor over the window from a begin to its end; pairs nest. A
 * message box shown meanwhile has the normal cursor. */
#define TOLVAR_KCMD_BUSY_BEGIN 32 /* () */
#define TOLVAR_KCMD_BUSY_END 33   /* () */

/* Late-bound objects, as COM objects are reached by name (64 to 79). An
 * object reference is a TOLVAR_TYPE_OBJECT value; each one the kernel hands
 * out is the receiver's, to release with TOLVAR_KCMD_OBJECT_RELEASE. Texts
 * go to the object as UTF-16 and come back as new GBK texts, converted with
 * the system's ANSI code page. Values: text, integer, logical, double,
 * object, or none for an empty value. A command that fails returns
 * TOLVAR_TYPE_ERROR with the object's error code (abi/dispatch.h) in `low`. */
#define TOLVAR_KCMD_OBJECT_CREATE 64  /* (ProgID text) -> object */
#define TOLVAR_KCMD_OBJECT_ADD_REF 65 /* (object) -> the same object, one reference more */
#define TOLVAR_KCMD_OBJECT_RELEASE 66 /* (object) */
#define TOLVAR_KCMD_OBJECT_PUT 67     /* (object, member name, value) */
#define TOLVAR_KCMD_OBJECT_GET 68     /* (object, member name[, index]) -> value */
#define TOLVAR_KCMD_OBJECT_CALL 69    /* (object, member name, arguments...) -> value */

/* Support-library commands of slot 0x08 (library index, command). */
#define TOLVAR_LIB_IMG_CONVERTER 2
#define TOLVAR_LCMD_TO_BMP 4 /* (byte set) -> byte set: the PNG, GIF, JPEG or BMP picture in it as a BMP;
                                empty when it holds none of them, or one too large to be a picture of the window */
#define TOLVAR_LIB_EAPI 4
#define TOLVAR_LCMD_OPEN_ADDRESS 0xE0 /* (text): open a web address in the system's browser */
#define TOLVAR_LIB_INTERNET 5
#define TOLVAR_LCMD_READ_PAGE 0x1C /* (address text[, most bytes]) -> byte set: the body of a plain GET
                                      of that "http://" address (the scheme may be left out), carrying
                                      the cookies of the wininet stand-in's store; empty on any failure.
                                      A positive most-bytes ends the read there: a longer body gives
                                      its first most-bytes bytes. Nests: the window's events run while
                                      the reply is awaited and between the pieces read */

/* Every program routine is called by the kernel with a count and triples.
 * The start routine gets one argument: the tolvar_program's address
 * (TOLVAR_TYPE_ADDRESS); it returns when the program has ended. */
typedef int32_t (*tolvar_routine)(int32_t count, const tolvar_arg *args);

/* Where the loaded image lies. Offsets count from the block's first byte; an
 * image-relative address (a relocated u32) becomes a pointer by adding block. */
typedef struct tolvar_program {
    uint32_t abi_version; /* TOLVAR_ABI_VERSION of the kernel */
    uint8_t *block;
    uint32_t block_size;
    uint32_t const_data;
    uint32_t form_data;
    uint32_t help_data;
    uint32_t code_data;
    uint32_t var_data;
} tolvar_program;

/* The code data begins with one 4-byte stub per service slot; after loading,
 * stub k holds the block offset of slot k of the table below. The tables the
 * program reads follow the stubs: u32 count, then that many const
 * references (image-relative addresses of constants); u32 count, then the
 * routine references (image-relative addresses of routine records). */
#define TOLVAR_SERVICE_SLOTS 13
#define TOLVAR_CODE_STUBS_SIZE (4 * TOLVAR_SERVICE_SLOTS)

/* The 13 slots. Slot offset s of the 32-bit table is member s / 4 here; a
 * kind-0 relocation of s gives the block offset of that member. */
/* Which slots let the program's event handlers run before they return
 * (nested inside the caller's handler):
 *   0x00 runtime_error    no: it never returns
 *   0x04 dll_command      no: it only finds the function. Of the functions it
 *                         finds, MessageBoxA (a modal box) and HttpSendRequestA
 *                         and InternetReadFile (the wininet stand-in waits for
 *                         the reply in an event loop) nest
 *   0x08 library_command  only TOLVAR_LCMD_READ_PAGE nests
 *   0x0C kernel_command   the commands marked "nests" above
 *   0x10 get_property     no
 *   0x14 set_property     yes for TOLVAR_PROP_TEXT of an edit box (its
 *                         content-changed handler) and TOLVAR_PROP_PAGE of a tab
 *                         control (its page-changed handler); no otherwise
 *   0x18 allocate, 0x1C resize, 0x20 release: no
 *   0x24 end_program      no handler; the routines registered with
 *                         TOLVAR_SPECIAL_AT_END run
 *   0x28 event_loop       yes: every handler runs in it until the window closes
 *   0x2C load_window      yes: the window's created handler runs before it returns
 *   0x30 special          no */
typedef struct tolvar_services {
    void (*runtime_error)(int32_t code);                                           /* 0x00, never returns */
    void *(*dll_command)(uint32_t index);                                          /* 0x04 */
    tolvar_arg (*library_command)(uint32_t library, uint32_t command, int32_t count,
                                  const tolvar_arg *args);                         /* 0x08 */
    tolvar_arg (*kernel_command)(uint32_t command, int32_t count, const tolvar_arg *args); /* 0x0C */
    tolvar_arg (*get_property)(uint32_t window, uint32_t object, uint32_t property,
                               int32_t index);                                     /* 0x10 */
    void (*set_property)(uint32_t window, uint32_t object, uint32_t property, int32_t index,
                         tolvar_arg value);                                        /* 0x14 */
    void *(*allocate)(uint32_t size);                                              /* 0x18, zeroed */
    void *(*resize)(void *block, uint32_t size);                                   /* 0x1C */
    void (*release)(void *block);                                                  /* 0x20 */
    void (*end_program)(void);                                                     /* 0x24 */
    int32_t (*event_loop)(int32_t unused);                                         /* 0x28 */
    int32_t (*load_window)(uint32_t window);                                       /* 0x2C */
    int32_t (*special)(int32_t code, uint64_t first, uint64_t second);             /* 0x30 */
} tolvar_services;

/* Kernel library exports. */
typedef void *(*tolvar_get_new_sock)(int32_t magic); /* GetNewSock(1000) -> run entry */
typedef int32_t (*tolvar_run_entry)(const void *image);
/* RunImage(image, size): load and run an image of known size; 0 on a normal
 * end, non-zero when the image was refused. Used by the run entry and tests. */
typedef int32_t (*tolvar_run_image)(const void *image, uint64_t size);
/* RunImageInFolder(image, size, folder): the same for a program whose folder
 * (UTF-8 path, no trailing separator) is `folder` rather than the executable's. */
typedef int32_t (*tolvar_run_image_in_folder)(const void *image, uint64_t size, const char *folder);

#ifdef __cplusplus
}
#endif

#endif

// `window list`: the program-wide array of window records that a window
// enumeration fills and empties. The list owns its records; a record is
// released in one place, with its two texts.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace tolvar::runtime {

// A window record, a heap block: three integers, then two texts.
struct WindowRecord {
    int32_t handle;
    int32_t process;
    int32_t thread;
    char *title;
    char *class_name;
};

// Releases the record's title, then its class name, then the record.
struct RecordRelease {
    void operator()(WindowRecord *record) const noexcept;
};
using OwnedRecord = std::unique_ptr<WindowRecord, RecordRelease>;

OwnedRecord new_window_record(int32_t handle, int32_t process, int32_t thread, std::string_view title,
                              std::string_view class_name);

// An array block of one dimension whose elements are record references. The
// block is the kernel's representation of an array; this object is the
// variable that holds it, and its address is the variable's address.
class WindowList {
public:
    WindowList() = default;
    WindowList(const WindowList &) = delete;
    WindowList &operator=(const WindowList &) = delete;
    ~WindowList();

    // Holds a fresh heap copy of the image's empty-array constant.
    void start_empty();
    // Announces the growth (slot 0x30, code 2), grows the block in place by one
    // element and puts the record there.
    void append(OwnedRecord record);
    uint32_t count() const;
    // Record `index`, counted from 0; below count().
    const WindowRecord &at(uint32_t index) const;
    // Releases every record; the block is shrunk to hold none.
    void empty();
    // Releases every record and the block itself.
    void release_all();
    // The array block (null before start_empty and after release_all).
    void *block() const { return array_; }

private:
    void release_records();
    void *array_ = nullptr;
};

}  // namespace tolvar::runtime

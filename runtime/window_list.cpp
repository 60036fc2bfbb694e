#include "runtime/window_list.h"

#include <cstring>

#include "runtime/owned.h"
#include "runtime/runtime.h"
#include "runtime/runtime_content.h"

namespace tolvar::runtime {

namespace {
// The dimension count and the one size: the elements follow, 8-byte aligned.
constexpr uint32_t kArrayHeader = 8;
}  // namespace

void RecordRelease::operator()(WindowRecord *record) const noexcept {
    if (!record) return;
    BlockRelease release_block;
    release_block(record->title);
    release_block(record->class_name);
    release_block(record);
}

OwnedRecord new_window_record(int32_t handle, int32_t process, int32_t thread, std::string_view title,
                              std::string_view class_name) {
    OwnedRecord record(static_cast<WindowRecord *>(allocate(sizeof(WindowRecord))));
    record->handle = handle;
    record->process = process;
    record->thread = thread;
    record->title = new_text(title).release();
    record->class_name = new_text(class_name).release();
    return record;
}

WindowList::~WindowList() { release_all(); }

void WindowList::start_empty() {
    release_all();
    array_ = allocate(kArrayHeader);
    std::memcpy(array_, const_data(kEmptyArray), kArrayHeader);
}

uint32_t WindowList::count() const { return array_count(array_); }

const WindowRecord &WindowList::at(uint32_t index) const {
    return *static_cast<const WindowRecord *>(array_elements(array_)[index]);
}

void WindowList::append(OwnedRecord record) {
    uint32_t n = count();
    array_grows(this);
    array_ = resize(array_, static_cast<uint32_t>(kArrayHeader + (n + 1) * sizeof(void *)));
    array_elements(array_)[n] = record.release();
    static_cast<uint32_t *>(array_)[1] = n + 1;
}

void WindowList::release_records() {
    uint32_t n = count();
    void **records = array_elements(array_);
    for (uint32_t i = 0; i < n; ++i) RecordRelease()(static_cast<WindowRecord *>(records[i]));
    static_cast<uint32_t *>(array_)[1] = 0;
}

void WindowList::empty() {
    if (!array_) return;
    release_records();
    array_ = resize(array_, kArrayHeader);
}

void WindowList::release_all() {
    if (!array_) return;
    release_records();
    BlockRelease()(array_);
    array_ = nullptr;
}

}  // namespace tolvar::runtime

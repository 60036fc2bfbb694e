// Late-bound objects (COM objects reached by name) through the kernel's
// object services: an owning reference, and reads, writes and calls of named
// members whose results own what they hold.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "abi/tolvar_abi.h"
#include "runtime/owned.h"

namespace tolvar::runtime {

// One reference to an object; copies share the object, each counted once.
class ObjectRef {
public:
    ObjectRef() = default;
    explicit ObjectRef(void *adopted) : handle_(adopted) {}  // takes over a reference the kernel handed out
    ObjectRef(const ObjectRef &other);
    ObjectRef(ObjectRef &&other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    ObjectRef &operator=(ObjectRef other) noexcept {
        std::swap(handle_, other.handle_);
        return *this;
    }
    ~ObjectRef() { reset(); }

    void reset();
    bool empty() const { return handle_ == nullptr; }
    tolvar_arg arg() const { return tolvar_pointer_arg(handle_, TOLVAR_TYPE_OBJECT); }
    void *handle() const { return handle_; }

private:
    void *handle_ = nullptr;
};

// The value a member gave, owning its text or object until taken.
class ObjectValue {
public:
    explicit ObjectValue(tolvar_arg value);

    bool failed() const { return value_.type == TOLVAR_TYPE_ERROR; }
    int32_t error() const { return failed() ? static_cast<int32_t>(value_.low) : 0; }
    std::string text() const;   // a text, or a number as its decimal text; empty otherwise
    double number() const;      // an integer, double or logical; 0 otherwise
    ObjectRef take_object();    // the object it holds, or an empty reference

private:
    tolvar_arg value_;
    Text text_;        // the text a text value holds
    ObjectRef object_;  // the object an object value holds, until taken
};

inline tolvar_arg bool_arg(bool v) { return {v ? 1u : 0u, 0, TOLVAR_TYPE_BOOL}; }
tolvar_arg double_arg(double v);

// Empty when the class cannot be created.
ObjectRef create_object(const char *progid);
// False when the object refused the value.
bool put_property(const ObjectRef &object, const char *name, tolvar_arg value);
ObjectValue get_property(const ObjectRef &object, const char *name);
ObjectValue get_property(const ObjectRef &object, const char *name, tolvar_arg index);
ObjectValue call_method(const ObjectRef &object, const char *name, std::initializer_list<tolvar_arg> args);

}  // namespace tolvar::runtime

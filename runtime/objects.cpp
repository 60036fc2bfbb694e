#include "runtime/objects.h"

#include <cstring>
#include <utility>
#include <vector>

#include "runtime/arguments.h"
#include "runtime/runtime.h"

namespace tolvar::runtime {

ObjectRef::ObjectRef(const ObjectRef &other) {
    if (other.handle_) handle_ = tolvar_arg_pointer(kernel_command(TOLVAR_KCMD_OBJECT_ADD_REF, {other.arg()}));
}

void ObjectRef::reset() {
    if (handle_) kernel_command(TOLVAR_KCMD_OBJECT_RELEASE, {arg()});
    handle_ = nullptr;
}

ObjectValue::ObjectValue(tolvar_arg value) : value_(value) {
    if (value.type == TOLVAR_TYPE_TEXT) text_ = Text(static_cast<char *>(tolvar_arg_pointer(value)));
    if (value.type == TOLVAR_TYPE_OBJECT) object_ = ObjectRef(tolvar_arg_pointer(value));
}

std::string ObjectValue::text() const {
    if (value_.type == TOLVAR_TYPE_TEXT) return std::string(text_view(text_));
    if (value_.type == TOLVAR_TYPE_INT || value_.type == TOLVAR_TYPE_DOUBLE) {
        double n = number();
        return n == static_cast<double>(static_cast<int64_t>(n)) ? std::to_string(static_cast<int64_t>(n)) : std::to_string(n);
    }
    return {};
}

double ObjectValue::number() const {
    switch (value_.type) {
        case TOLVAR_TYPE_INT: return static_cast<int32_t>(value_.low);
        case TOLVAR_TYPE_BOOL: return value_.low ? -1 : 0;
        case TOLVAR_TYPE_DOUBLE: {
            uint64_t bits = uint64_t{value_.high} << 32 | value_.low;
            double d;
            std::memcpy(&d, &bits, sizeof d);
            return d;
        }
        default: return 0;
    }
}

ObjectRef ObjectValue::take_object() {
    if (value_.type != TOLVAR_TYPE_OBJECT) return {};
    value_ = {0, 0, TOLVAR_TYPE_NONE};
    return std::move(object_);
}

tolvar_arg double_arg(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return {static_cast<uint32_t>(bits), static_cast<uint32_t>(bits >> 32), TOLVAR_TYPE_DOUBLE};
}

ObjectRef create_object(const char *progid) {
    tolvar_arg r = kernel_command(TOLVAR_KCMD_OBJECT_CREATE, {text_arg(progid)});
    return r.type == TOLVAR_TYPE_OBJECT ? ObjectRef(tolvar_arg_pointer(r)) : ObjectRef();
}

bool put_property(const ObjectRef &object, const char *name, tolvar_arg value) {
    return kernel_command(TOLVAR_KCMD_OBJECT_PUT, {object.arg(), text_arg(name), value}).type != TOLVAR_TYPE_ERROR;
}

ObjectValue get_property(const ObjectRef &object, const char *name) {
    return ObjectValue(kernel_command(TOLVAR_KCMD_OBJECT_GET, {object.arg(), text_arg(name)}));
}

ObjectValue get_property(const ObjectRef &object, const char *name, tolvar_arg index) {
    return ObjectValue(kernel_command(TOLVAR_KCMD_OBJECT_GET, {object.arg(), text_arg(name), index}));
}

ObjectValue call_method(const ObjectRef &object, const char *name, std::initializer_list<tolvar_arg> args) {
    std::vector<tolvar_arg> all{object.arg(), text_arg(name)};
    all.insert(all.end(), args.begin(), args.end());
    return ObjectValue(kernel_command(TOLVAR_KCMD_OBJECT_CALL, all.data(), static_cast<int32_t>(all.size())));
}

}  // namespace tolvar::runtime

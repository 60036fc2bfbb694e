#include "kernel/values.h"

#include <cstring>

#include "platform/qt_gbk.h"
#include "kernel/services.h"

namespace tolvar::kernel {

using platform::from_gbk;
using platform::to_gbk;

tolvar_arg no_value() { return {0, 0, TOLVAR_TYPE_NONE}; }

tolvar_arg bool_value(bool v) { return {v ? 1u : 0u, 0, TOLVAR_TYPE_BOOL}; }

tolvar_arg int_value(int64_t v) {
    auto u = static_cast<uint64_t>(v);
    return {static_cast<uint32_t>(u), static_cast<uint32_t>(u >> 32), TOLVAR_TYPE_INT};
}

tolvar_arg text_value(const QString &text) { return text_value_gbk(to_gbk(text)); }

tolvar_arg text_value_gbk(const QByteArray &gbk) {
    auto *block = static_cast<char *>(allocate_block(static_cast<uint32_t>(gbk.size() + 1)));
    std::memcpy(block, gbk.constData(), static_cast<size_t>(gbk.size()) + 1);
    return tolvar_pointer_arg(block, TOLVAR_TYPE_TEXT);
}

tolvar_arg bytes_value(const QByteArray &bytes) {
    auto *block = static_cast<uint8_t *>(allocate_block(static_cast<uint32_t>(8 + bytes.size())));
    uint32_t header[2] = {1, static_cast<uint32_t>(bytes.size())};
    std::memcpy(block, header, 8);
    std::memcpy(block + 8, bytes.constData(), static_cast<size_t>(bytes.size()));
    return tolvar_pointer_arg(block, TOLVAR_TYPE_BYTES);
}

uint64_t value64(const tolvar_arg &a) { return uint64_t(a.high) << 32 | a.low; }

int32_t int_arg(const tolvar_arg &a) { return static_cast<int32_t>(a.low); }

QString text_arg(const tolvar_arg &a) {
    if (a.type == TOLVAR_TYPE_NONE) return {};
    if (a.type != TOLVAR_TYPE_TEXT) stop_with_runtime_error(TOLVAR_ERROR_WRONG_TYPE);
    auto *text = static_cast<const char *>(tolvar_arg_pointer(a));
    return text ? from_gbk(text) : QString();
}

QByteArray bytes_arg(const tolvar_arg &a) {
    if (a.type == TOLVAR_TYPE_NONE) return {};
    if (a.type != TOLVAR_TYPE_BYTES) stop_with_runtime_error(TOLVAR_ERROR_WRONG_TYPE);
    auto *block = static_cast<const uint8_t *>(tolvar_arg_pointer(a));
    if (!block) return {};
    uint32_t length;
    std::memcpy(&length, block + 4, 4);
    return QByteArray(reinterpret_cast<const char *>(block + 8), length);
}

}  // namespace tolvar::kernel

// Values crossing the service table: texts, integers and byte sets in the
// representations the program uses, allocated with the kernel's allocator.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

#include "abi/tolvar_abi.h"

namespace tolvar::kernel {

tolvar_arg int_value(int64_t v);
tolvar_arg text_value(const QString &text);      // a new GBK heap text
tolvar_arg text_value_gbk(const QByteArray &gbk); // a new heap text of these bytes, as they are
tolvar_arg bool_value(bool v);
tolvar_arg bytes_value(const QByteArray &bytes);  // a new byte set
tolvar_arg no_value();

uint64_t value64(const tolvar_arg &a);
int32_t int_arg(const tolvar_arg &a);
QString text_arg(const tolvar_arg &a);        // run-time error 5 unless a text (or omitted)
QByteArray bytes_arg(const tolvar_arg &a);    // run-time error 5 unless a byte set (or omitted)

}  // namespace tolvar::kernel

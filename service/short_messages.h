// Short messages to the friend selected in 列表框1, from page ③.
#pragma once

#include <cstdint>

#include "abi/tolvar_abi.h"

// Every content change of 编辑框5: 标签15 tells how many GBK bytes of the 60
// are left (a negative number past the limit).
extern "C" int32_t sms_counter_update(int32_t count, const tolvar_arg *args);
// 按钮17 and "发短信" of the friend menu: after the login, selection and
// content checks, sends 编辑框5's text to the selected friend.
extern "C" int32_t sms_send(int32_t count, const tolvar_arg *args);

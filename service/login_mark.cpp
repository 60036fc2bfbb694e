// Compiled with -fexec-charset=GBK.
#include "service/login_mark.h"

#include "runtime/controls.h"
#include "runtime/runtime.h"
#include "runtime/text.h"
#include "runtime/window.h"

namespace tolvar::service {

bool logged_in() {
    char *caption = runtime::text_of(runtime::标签1);
    bool marked = runtime::compare(caption, "登录成功！！") == 0;
    runtime::release(caption);
    return marked;
}

}  // namespace tolvar::service

// The login mark: a login counts as done while 标签1's caption is exactly
// "登录成功！！".
#pragma once

namespace tolvar::service {

bool logged_in();

}  // namespace tolvar::service

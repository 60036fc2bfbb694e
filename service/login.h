// The login state: the caption of login_mark_label (标签1) is the login mark
// once a login has succeeded, and stays so until the program ends.
#pragma once

namespace tolvar::service {

// The login mark stands in login_mark_label.
bool logged_in();

}  // namespace tolvar::service

// The login state: the caption of 标签1 is the login mark once a login has
// succeeded, and stays so until the program ends.
#pragma once

namespace tolvar::service {

// The login mark stands in 标签1.
bool logged_in();

}  // namespace tolvar::service

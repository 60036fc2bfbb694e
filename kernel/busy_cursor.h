// The busy cursor over the window while the program waits on an exchange.
// The window stays usable meanwhile, so begins and ends nest.
#pragma once

namespace tolvar::kernel {

void busy_begin();
// Ends the innermost begin; an end without a begin does nothing.
void busy_end();

// While it lives, the normal cursor (over a message box shown during a wait).
class NormalCursorScope {
public:
    NormalCursorScope();
    ~NormalCursorScope();
    NormalCursorScope(const NormalCursorScope &) = delete;
    NormalCursorScope &operator=(const NormalCursorScope &) = delete;

private:
    bool pushed_;
};

}  // namespace tolvar::kernel

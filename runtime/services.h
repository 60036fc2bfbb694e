// The kernel's service table as the program reaches it: through the code data's
// service stubs, which the kernel relocated to the table's slots.
#pragma once

#include "abi/tolvar_abi.h"

namespace tolvar::runtime {

const tolvar_services &services();

}  // namespace tolvar::runtime

// The deployment settings of a build, which the image builder writes into the
// const data from its command line: where the service and the address-echo
// page are, and the referrer number of an unbranded copy.
#pragma once

#include "runtime/image_content.h"

namespace tolvar::runtime {

extern const Constant kServiceHost;    // host[:port] of the service
extern const Constant kEchoUrl;        // address of the address-echo page
extern const Constant kDefaultNumber;  // referrer number of an unbranded copy

}  // namespace tolvar::runtime

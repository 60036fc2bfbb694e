// Free calls placed by the service, and the public-address lookup that each
// call request and each balance query carries.
#pragma once

#include <string>

namespace tolvar::service {

// The caller's Internet address as the address-echo page gives it between
// "<h2>" and "</h2>", blanks around it removed; empty when the page cannot be
// had, lacks the markers, or holds something else than an address there.
std::string public_address_lookup();

}  // namespace tolvar::service

// The service client's exchanges: fresh addresses built from the deployment's
// constants, one call of the web access routine each, the reply as a text.
#pragma once

#include <string>
#include <string_view>

#include "web/web_access.h"

namespace tolvar::service {

// The service host's own name, as the image holds it (host[:port]).
std::string service_host();
// "http://" + the service host + `path`.
std::string service_address(std::string_view path);

// One exchange each. The address is taken by value: the web access routine
// writes the completed address back into the variable it is given.
web::Bytes post_form(std::string address, const std::string &form);
web::Bytes fetch(std::string address);

}  // namespace tolvar::service

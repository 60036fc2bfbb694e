#include "service/exchange.h"

#include "runtime/deployment.h"
#include "runtime/runtime.h"

namespace tolvar::service {

std::string service_host() { return runtime::const_text(runtime::kServiceHost); }

std::string service_address(std::string_view path) { return "http://" + service_host() + std::string(path); }

web::Bytes post_form(std::string address, const std::string &form) {
    return web::网页_访问(address, web::kMethodPost, {}, nullptr, form);
}

web::Bytes fetch(std::string address) { return web::网页_访问(address); }

}  // namespace tolvar::service

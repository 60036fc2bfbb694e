#include "runtime/deployment.h"

namespace tolvar::runtime {

const Constant kServiceHost{ConstantKind::setting, "service_host"};
const Constant kEchoUrl{ConstantKind::setting, "echo_url"};
const Constant kDefaultNumber{ConstantKind::setting, "default_number"};

namespace {
const ImageContent kContent{"deployment", {}, {}, {&kServiceHost, &kEchoUrl, &kDefaultNumber}};
const ContentRegistration kRegistration(kContent);
}  // namespace

}  // namespace tolvar::runtime

// Builds Tolvar's program image from what the program's folders declare they
// hold, the main window's stored form and the deployment settings. The image
// builder writes it at build time; tests build their own (with a loopback
// service host) through the same function.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "image/image_format.h"

namespace tolvar::program {

struct ProgramSettings {
    std::string service_host = "127.0.0.1:8086";             // host[:port] of the service
    std::string echo_url = "http://127.0.0.1:8086/ip.php";   // the address-echo page
    std::string default_number = "13800000000";              // referrer of an unbranded copy
    std::vector<uint8_t> icon;                               // the window's ICO file

    // A setting by the name a constant of the program gives it; throws for an unknown name.
    const std::string &named(std::string_view name) const;
};

// Throws std::runtime_error when the program's declarations do not fit
// together (a part without its place, a binding naming no routine).
image::Image build_program_image(const ProgramSettings &settings);

}  // namespace tolvar::program

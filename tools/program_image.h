// Builds Tolvar's program image from the program table and the deployment
// settings. The image builder writes it at build time; tests build their own
// (with a loopback service host) through the same function.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/image_format.h"

namespace tolvar::program {

struct ProgramSettings {
    std::string service_host = "127.0.0.1:8086";             // host[:port] of the service
    std::string echo_url = "http://127.0.0.1:8086/ip.php";   // the address-echo page
    std::string default_number = "13800000000";              // referrer of an unbranded copy
    std::vector<uint8_t> icon;                               // the window's ICO file
};

image::Image build_program_image(const ProgramSettings &settings);

// The support-library list the program declares, in its order.
std::vector<image::LibraryRecord> declared_libraries();

}  // namespace tolvar::program

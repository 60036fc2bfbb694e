// Build-time tool: writes Tolvar's program image with the deployment settings.
//   tolvar-image-builder --out FILE --icon FILE [--service-host H] [--echo-url U]
//                        [--default-number N]
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "image/image_writer.h"
#include "tools/program_image.h"

int main(int argc, char **argv) {
    tolvar::program::ProgramSettings settings;
    std::string out, icon;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string key = argv[i], value = argv[i + 1];
        if (key == "--out") out = value;
        else if (key == "--icon") icon = value;
        else if (key == "--service-host") settings.service_host = value;
        else if (key == "--echo-url") settings.echo_url = value;
        else if (key == "--default-number") settings.default_number = value;
        else {
            std::fprintf(stderr, "tolvar-image-builder: unknown option %s\n", key.c_str());
            return 2;
        }
    }
    if (out.empty() || icon.empty()) {
        std::fprintf(stderr, "usage: tolvar-image-builder --out FILE --icon FILE [settings]\n");
        return 2;
    }
    std::ifstream in(icon, std::ios::binary);
    settings.icon.assign(std::istreambuf_iterator<char>(in), {});
    if (!in.good() && !in.eof()) {
        std::fprintf(stderr, "tolvar-image-builder: cannot read %s\n", icon.c_str());
        return 1;
    }
    std::vector<uint8_t> bytes;
    try {
        bytes = tolvar::image::write_image(tolvar::program::build_program_image(settings));
    } catch (const std::runtime_error &e) {
        std::fprintf(stderr, "tolvar-image-builder: %s\n", e.what());
        return 1;
    }
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        std::fprintf(stderr, "tolvar-image-builder: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}

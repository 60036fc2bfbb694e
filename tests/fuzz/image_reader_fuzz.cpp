// libFuzzer target: the image reader, the form reader on what it accepts, and
// the reader of an executable's embedded image.
#include <cstddef>
#include <cstdint>

#include "image/control_options.h"
#include "image/form_format.h"
#include "image/image_reader.h"
#include "tools/embedded_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size >= 4 && data[0] == 0x7F && data[1] == 'E' && data[2] == 'L' && data[3] == 'F') {
        tolvar::image::embedded_image(std::vector<uint8_t>(data, data + size));
        return 0;
    }
    auto result = tolvar::image::read_image({data, size});
    if (result.read) {
        std::string error;
        auto form = tolvar::image::read_form(result.read->image.sections[tolvar::image::kForm].data, error);
        if (!form) return 0;
        for (const auto &o : form->objects) {
            tolvar::image::read_window_options(o.options);
            tolvar::image::read_control_options(o.options);
        }
    }
    return 0;
}

// libFuzzer target: the image reader, and the form reader on what it accepts.
#include <cstddef>
#include <cstdint>

#include "image/form_format.h"
#include "image/image_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    auto result = tolvar::image::read_image({data, size});
    if (result.read) {
        std::string error;
        auto form = tolvar::image::read_form(result.read->image.sections[tolvar::image::kForm].data, error);
        if (form)
            for (const auto &o : form->objects) tolvar::image::read_window_options(o.options);
    }
    return 0;
}

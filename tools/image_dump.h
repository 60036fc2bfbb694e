// A readable dump of a read program image.
#pragma once

#include <ostream>

#include "image/image_reader.h"

namespace tolvar::image {

void dump_image(const ReadImage &read, std::ostream &out);

}  // namespace tolvar::image

#include "kernel/support_libraries.h"

#include <strings.h>

namespace tolvar::kernel {

const std::vector<SupportLibrary> &registered_libraries() {
    static const std::vector<SupportLibrary> libraries = {
        {"krnln", "d09f2340818511d396f6aaf844c7e325"},    {"spec", "A512548E76954B6E92C21055517615B0"},
        {"eImgConverter", "8FA3AA46276847db8F28E57E7FB97B7F"}, {"HtmlView", "5014D8FA6DCA40b68FA626D8183666EB"},
        {"eAPI", "F7FC1AE45C5C4758AF03EF19F18A395D"},     {"internet", "707ca37322474f6ca841f0e224f4b620"},
        {"iext", "27bb20fdd3e145e4bee3db39ddd6e64c"},
    };
    return libraries;
}

bool find_support_libraries(const std::vector<image::LibraryRecord> &listed, std::string &error) {
    for (const auto &wanted : listed) {
        bool found = false;
        for (const auto &lib : registered_libraries())
            if (wanted.name == lib.name && strcasecmp(wanted.identifier.c_str(), lib.identifier) == 0) found = true;
        if (!found) {
            error = "support library \"" + wanted.name + "\" (" + wanted.identifier + ") is not available";
            return false;
        }
    }
    return true;
}

}  // namespace tolvar::kernel

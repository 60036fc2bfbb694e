#include "web/form_text.h"

namespace tolvar::web {

std::string form_value(std::string_view user_text) {
    std::string out;
    out.reserve(user_text.size());
    for (char c : user_text) {
        switch (c) {
            case '%': out += "%25"; break;
            case '&': out += "%26"; break;
            case '+': out += "%2B"; break;
            case '=': out += "%3D"; break;
            default: out += c;
        }
    }
    return out;
}

}  // namespace tolvar::web

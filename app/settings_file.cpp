#include "app/settings_file.h"

#include <cstring>
#include <string_view>

#include "app/app_content.h"
#include "runtime/deployment.h"
#include "runtime/files.h"
#include "runtime/globals.h"
#include "runtime/runtime.h"
#include "runtime/text.h"
#include "runtime/window.h"

using namespace tolvar::runtime;

namespace tolvar::app {

namespace {

// The referrer number lives for the whole run as the program's own heap text.
void set_referrer_number(std::string_view number) { globals().referrer_number = new_text(number); }

// Lines 1 and 2 of the content split at each CR LF; a CR LF that ends the
// content starts no line of its own. False when there are fewer than two lines.
bool first_two_lines(std::string_view content, std::string_view &line1, std::string_view &line2) {
    size_t end1 = content.find("\r\n");
    if (end1 == std::string_view::npos || end1 + 2 == content.size()) return false;
    line1 = content.substr(0, end1);
    std::string_view rest = content.substr(end1 + 2);
    line2 = rest.substr(0, rest.find("\r\n"));
    return true;
}

// Line 1 equal to the default number, byte for byte, is an unbranded copy
// whatever line 2 says; any other line 1 is an edition.
void use_lines(std::string_view line1, std::string_view line2) {
    const char *default_number = const_text(kDefaultNumber);
    if (line1 == std::string_view(default_number)) {
        use_default_edition();
        return;
    }
    set_referrer_number(line1);
    Text owner = new_text(line2);
    Text title = join({const_text(kEditionTitlePrefix), owner.get()});
    set_text(TOLVAR_WINDOW_OBJECT, title.get());
}

}  // namespace

Text settings_path(const char *directory) { return join({directory, const_text(kSettingsFile)}); }

void use_default_edition() {
    set_referrer_number(const_text(kDefaultNumber));
    set_text(TOLVAR_WINDOW_OBJECT, const_text(kDefaultTitle));
}

// A file that cannot be opened, or holds fewer than two lines, counts as no
// edition. The text read ends at the file's first zero byte.
void read_settings(const char *path) {
    int32_t file = open_file(path);
    if (file == 0) {
        use_default_edition();
        return;
    }
    Text content = read_text(file);
    std::string_view line1, line2;
    if (first_two_lines(text_view(content), line1, line2)) use_lines(line1, line2);
    else use_default_edition();
    close_file(file);
}

}  // namespace tolvar::app

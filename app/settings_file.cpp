#include "app/settings_file.h"

#include <cstdio>
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

// The file holds a number and a short text: nothing beyond this is read.
constexpr int32_t kMostBytesRead = 4096;
// The owner text shows in the window title; a longer one is cut here (at a
// whole character), so the title stays a title.
constexpr size_t kMostOwnerBytes = 200;
// A referrer number is this many digits, blanks around them allowed.
constexpr size_t kFewestDigits = 5, kMostDigits = 20;

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

bool plausible_number(std::string_view line) {
    size_t first = line.find_first_not_of(' ');
    if (first == std::string_view::npos) return false;
    std::string_view digits = line.substr(first, line.find_last_not_of(' ') - first + 1);
    if (digits.size() < kFewestDigits || digits.size() > kMostDigits) return false;
    for (char c : digits)
        if (c < '0' || c > '9') return false;
    return true;
}

// The first `most` bytes of a GBK text, a double-byte character not cut in two.
std::string_view gbk_prefix(std::string_view text, size_t most) {
    size_t at = 0;
    while (at < text.size()) {
        size_t width = static_cast<unsigned char>(text[at]) >= 0x81 && at + 1 < text.size() ? 2 : 1;
        if (at + width > most) break;
        at += width;
    }
    return text.substr(0, at);
}

// Line 1 equal to the default number, byte for byte, is an unbranded copy
// whatever line 2 says; any other number is an edition. A line 1 that is no
// number (a damaged or foreign file) makes the unbranded copy too, and says so.
void use_lines(std::string_view line1, std::string_view line2, const char *path) {
    const char *default_number = const_text(kDefaultNumber);
    if (line1 == std::string_view(default_number)) {
        use_default_edition();
        return;
    }
    if (!plausible_number(line1)) {
        std::fprintf(stderr, "tolvar: the settings file %s names no referrer number; the default edition is used\n",
                     path);
        use_default_edition();
        return;
    }
    set_referrer_number(line1);
    if (line2.size() > kMostOwnerBytes) {
        line2 = gbk_prefix(line2, kMostOwnerBytes);
        std::fprintf(stderr, "tolvar: the owner text of the settings file %s is cut to its first %zu bytes\n", path,
                     line2.size());
    }
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
// edition. The text read ends at the file's first zero byte, and after its
// first few kilobytes.
void read_settings(const char *path) {
    int32_t file = open_file(path);
    if (file == 0) {
        use_default_edition();
        return;
    }
    Text content = read_text(file, kMostBytesRead);
    std::string_view text = text_view(content), line1, line2;
    if (first_two_lines(text, line1, line2)) {
        use_lines(line1, line2, path);
    } else {
        if (text.size() >= static_cast<size_t>(kMostBytesRead))
            std::fprintf(stderr, "tolvar: the settings file %s is damaged or too large; the default edition is used\n",
                         path);
        use_default_edition();
    }
    close_file(file);
}

}  // namespace tolvar::app

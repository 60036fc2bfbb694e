#include "service/friend_file.h"

#include <cstdio>

#include "runtime/files.h"
#include "runtime/runtime.h"
#include "runtime/window.h"
#include "service/service_text.h"

namespace tolvar::service {

namespace {

std::string friend_file_path() {
    std::string directory = take_text(runtime::program_directory());
    return directory + "/hao.txt";
}

}  // namespace

std::string read_friend_file() {
    std::string path = friend_file_path();
    int32_t file = runtime::open_file(path.c_str());
    std::string text = take_text(runtime::read_text(file, static_cast<int32_t>(kMostFriendBytes + 1)));
    runtime::close_file(file);
    static bool said = false;
    if (cut_to_whole_lines(text, kMostFriendBytes) && !said) {
        said = true;
        std::fprintf(stderr, "tolvar: the friend file %s is larger than %zu bytes; only the friends within them are listed\n",
                     path.c_str(), kMostFriendBytes);
    }
    return text;
}

bool cut_to_whole_lines(std::string &text, size_t most) {
    if (text.size() <= most) return false;
    size_t end = text.rfind("\r\n", most - 2);
    text.resize(end == std::string::npos ? 0 : end + 2);
    return true;
}

bool replace_friend_file(std::string_view content) {
    runtime::ByteSet bytes = runtime::new_bytes(content.data(), static_cast<uint32_t>(content.size()));
    return runtime::write_file(friend_file_path().c_str(), {bytes.get()});
}

std::vector<FriendEntry> friend_file_entries(std::string_view text) {
    std::vector<FriendEntry> entries;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find("\r\n", at);
        std::string_view line = text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        at = end == std::string_view::npos ? text.size() : end + 2;
        size_t comma = line.find(',');
        if (comma == std::string_view::npos) continue;
        std::string_view id = line.substr(comma + 1);
        entries.push_back({std::string(line.substr(0, comma)), text_to_integer(id.substr(0, id.find(',')))});
    }
    return entries;
}

}  // namespace tolvar::service

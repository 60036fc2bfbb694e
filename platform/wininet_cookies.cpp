#include "platform/wininet_cookies.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <mutex>
#include <vector>

#include "platform/ascii.h"

namespace tolvar::wininet {

namespace {

std::mutex g_share_lock;
std::mutex g_dirty_lock;
bool g_dirty = false;  // the store changed since the file was written

void lock_share(CURL *, curl_lock_data, curl_lock_access, void *) { g_share_lock.lock(); }
void unlock_share(CURL *, curl_lock_data, void *) { g_share_lock.unlock(); }

std::string trim(const std::string &s) {
    size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// Runs `setup` on a throw-away handle attached to the share (cookie lists and
// dumps go through an easy handle).
template <class Setup>
void with_share_handle(CURLSH *share, Setup setup) {
    CURL *easy = curl_easy_init();
    if (!easy) return;
    curl_easy_setopt(easy, CURLOPT_SHARE, share);
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
    setup(easy);
    curl_easy_cleanup(easy);
}

void load_cookies(CURLSH *share) {
    std::ifstream in(cookie_file());
    std::string line;
    with_share_handle(share, [&](CURL *easy) {
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#') continue;
            curl_easy_setopt(easy, CURLOPT_COOKIELIST, line.c_str());
        }
    });
}

struct UrlParts {
    std::string host;
    std::string path;
};

bool split_url(const std::string &url, UrlParts &out) {
    std::string rest;
    if (platform::ascii_lower(url.substr(0, 7)) == "http://") rest = url.substr(7);
    else if (platform::ascii_lower(url.substr(0, 8)) == "https://") rest = url.substr(8);
    else return false;
    size_t slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    out.path = slash == std::string::npos ? "/" : rest.substr(slash);
    out.path = out.path.substr(0, out.path.find_first_of("?#"));
    out.host = platform::ascii_lower(authority.substr(0, authority.find(':')));
    return !out.host.empty();
}

}  // namespace

std::string cookie_file() {
    std::string base;
    if (const char *xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) base = xdg;
    else if (const char *home = std::getenv("HOME"); home && *home) base = std::string(home) + "/.local/share";
    else base = "/tmp";
    return base + "/Corvane/WinINet/cookies.txt";
}

CURLSH *cookie_share() {
    static CURLSH *share = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        CURLSH *s = curl_share_init();
        curl_share_setopt(s, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
        curl_share_setopt(s, CURLSHOPT_LOCKFUNC, lock_share);
        curl_share_setopt(s, CURLSHOPT_UNLOCKFUNC, unlock_share);
        return s;
    }();
    static std::once_flag loaded;
    std::call_once(loaded, [] { load_cookies(share); });
    return share;
}

bool set_cookie(const std::string &url, const std::string &name, const std::string &data) {
    UrlParts parts;
    if (!split_url(url, parts) || name.empty()) return false;
    size_t semicolon = data.find(';');
    std::string value = trim(data.substr(0, semicolon));
    std::string domain, path, expires;
    while (semicolon != std::string::npos) {
        size_t next = data.find(';', semicolon + 1);
        std::string attribute = trim(data.substr(semicolon + 1, next == std::string::npos ? std::string::npos
                                                                                          : next - semicolon - 1));
        semicolon = next;
        size_t eq = attribute.find('=');
        std::string key = platform::ascii_lower(trim(attribute.substr(0, eq)));
        std::string val = eq == std::string::npos ? "" : trim(attribute.substr(eq + 1));
        if (key == "domain") domain = platform::ascii_lower(val);
        else if (key == "path") path = val;
        else if (key == "expires") expires = val;
    }
    bool whole_domain = false;
    if (!domain.empty()) {
        if (domain[0] == '.') domain.erase(0, 1);
        bool matches = parts.host == domain ||
                       (parts.host.size() > domain.size() &&
                        parts.host.compare(parts.host.size() - domain.size(), domain.size(), domain) == 0 &&
                        parts.host[parts.host.size() - domain.size() - 1] == '.');
        if (!matches) return false;
        whole_domain = true;
    } else {
        domain = parts.host;
    }
    if (path.empty()) {
        path = parts.path.substr(0, parts.path.rfind('/'));
        if (path.empty()) path = "/";
    }
    long long expiry = 0;  // a session cookie
    if (!expires.empty()) {
        time_t t = curl_getdate(expires.c_str(), nullptr);
        expiry = t <= 0 ? 1 : static_cast<long long>(t);  // unreadable or past: gone at once
    }
    // Netscape cookie-file line: a host-only cookie unless a domain was named.
    std::string line = (whole_domain ? "." : "") + domain + "\t" + (whole_domain ? "TRUE" : "FALSE") + "\t" + path +
                       "\tFALSE\t" + std::to_string(expiry) + "\t" + name + "\t" + value;
    with_share_handle(cookie_share(), [&](CURL *easy) { curl_easy_setopt(easy, CURLOPT_COOKIELIST, line.c_str()); });
    cookies_changed();
    return true;
}

void cookies_changed() {
    std::lock_guard lock(g_dirty_lock);
    g_dirty = true;
}

void save_cookies() {
    {
        std::lock_guard lock(g_dirty_lock);
        if (!g_dirty) return;
        g_dirty = false;
    }
    std::vector<std::string> persistent;
    time_t now = std::time(nullptr);
    with_share_handle(cookie_share(), [&](CURL *easy) {
        curl_slist *list = nullptr;
        curl_easy_getinfo(easy, CURLINFO_COOKIELIST, &list);
        for (curl_slist *l = list; l; l = l->next) {
            // domain, subdomains, path, secure, expiry, name, value
            std::string line = l->data;
            size_t at = 0;
            for (int field = 0; field < 4 && at != std::string::npos; ++field) at = line.find('\t', at + 1);
            if (at == std::string::npos) continue;
            long long expiry = std::atoll(line.c_str() + at + 1);
            if (expiry > now) persistent.push_back(line);
        }
        curl_slist_free_all(list);
    });
    std::string file = cookie_file();
    std::string folder = file.substr(0, file.rfind('/'));
    for (size_t slash = 1; slash != std::string::npos; slash = folder.find('/', slash + 1))
        mkdir(folder.substr(0, slash).c_str(), 0700);
    mkdir(folder.c_str(), 0700);
    std::string temporary = file + ".new";
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return;
    std::string content = "# Netscape HTTP Cookie File\n";
    for (const auto &line : persistent) content += line + "\n";
    bool written = write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    written = fsync(fd) == 0 && written;
    close(fd);
    if (written) rename(temporary.c_str(), file.c_str());
    else unlink(temporary.c_str());
}

}  // namespace tolvar::wininet

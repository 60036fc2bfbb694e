#include "platform/wininet_cookies.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "platform/ascii.h"
#include "platform/cookie_file.h"
#include "platform/cookie_text.h"

namespace tolvar::wininet {

namespace {

constexpr size_t kPerHost = CookieFileLimits{}.per_host;

struct CookieState {
    CURLSH *share = nullptr;
    CURL *helper = nullptr;               // attached to the share: lists and additions go through it
    std::vector<CookieRecord> queued;     // from InternetSetCookieA, not in the store yet
    bool changed = false;                 // the store may no longer match the file
    std::vector<std::string> in_file;     // the persistent cookies the file holds, sorted
    bool folder_made = false;
    bool said_not_kept = false;
    QObject *settle_context = nullptr;    // deferred settling; gone with the stand-in
    bool settle_scheduled = false;
    // Listing the whole store costs more than a small exchange, so a settling
    // lists it only when a change may touch the file or a domain's limit: a
    // persistent cookie, a deletion, a cookie named as one the file holds, a
    // cookie for other domains than its host's, or a domain that may have
    // gone past its limit. per_host_bound is what the last listing counted
    // per domain plus every cookie added since: never fewer than the store holds.
    bool listing_needed = true;
    std::map<std::string, size_t> per_host_bound;
};

// Never destroyed: the exit-time settling may run after static destructors.
CookieState &state() {
    static CookieState *s = new CookieState;
    return *s;
}

std::mutex g_share_lock;
void lock_share(CURL *, curl_lock_data, curl_lock_access, void *) { g_share_lock.lock(); }
void unlock_share(CURL *, curl_lock_data, void *) { g_share_lock.unlock(); }

std::vector<std::string> store_lines(CURL *helper) {
    std::vector<std::string> lines;
    curl_slist *list = nullptr;
    curl_easy_getinfo(helper, CURLINFO_COOKIELIST, &list);
    for (curl_slist *l = list; l; l = l->next) lines.emplace_back(l->data);
    curl_slist_free_all(list);
    return lines;
}

// Field `n` (0-based) of a tab-separated cookie line.
std::string_view field(std::string_view line, int n) {
    size_t at = 0;
    for (int i = 0; i < n && at != std::string::npos; ++i) {
        at = line.find('\t', at);
        if (at != std::string::npos) ++at;
    }
    if (at == std::string::npos) return {};
    return line.substr(at, line.find('\t', at) - at);
}

std::string line_domain(std::string_view line) {
    std::string_view d = field(line, 0);
    if (d.substr(0, 10) == "#HttpOnly_") d.remove_prefix(10);
    if (!d.empty() && d[0] == '.') d.remove_prefix(1);
    return std::string(d);
}

std::vector<std::string> persistent(const std::vector<std::string> &lines) {
    std::vector<std::string> kept;
    long long now = static_cast<long long>(std::time(nullptr));
    for (const auto &line : lines)
        if (std::atoll(std::string(field(line, 4)).c_str()) > now) kept.push_back(line);
    std::sort(kept.begin(), kept.end());
    return kept;
}

void say_not_kept(const std::string &file, const char *why) {
    CookieState &s = state();
    if (s.said_not_kept) return;
    s.said_not_kept = true;
    std::fprintf(stderr, "tolvar: cannot write the cookie file %s (%s); cookies will not be kept\n", file.c_str(), why);
}

void make_folder(const std::string &folder) {
    for (size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1))
        mkdir(folder.substr(0, slash).c_str(), 0700);
    mkdir(folder.c_str(), 0700);
}

// The whole file replaced, or left as it was.
bool write_file(const std::vector<std::string> &lines) {
    CookieState &s = state();
    std::string file = cookie_file();
    std::string folder = file.substr(0, file.rfind('/'));
    if (!s.folder_made) {
        make_folder(folder);
        s.folder_made = true;
    }
    std::string temporary = file + ".new";
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        say_not_kept(file, std::strerror(errno));
        return false;
    }
    std::string content = "# Netscape HTTP Cookie File\n";
    for (const auto &line : lines) content += line + "\n";
    bool written = write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    int error = written ? 0 : errno;
    if (written && fsync(fd) != 0) written = false, error = errno;
    close(fd);
    if (written && rename(temporary.c_str(), file.c_str()) != 0) written = false, error = errno;
    if (!written) {
        unlink(temporary.c_str());
        say_not_kept(file, error ? std::strerror(error) : "short write");
        return false;
    }
    int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

// Hands the kept lines to libcurl as a cookie file of its own, read in one
// pass; the copy lives in memory (a file under /tmp where memory files are not
// to be had).
void load_lines(CURL *helper, const std::string &text) {
    int fd = memfd_create("cookies", MFD_CLOEXEC);
    std::string path;
    char temporary[] = "/tmp/tolvar-cookies-XXXXXX";
    if (fd >= 0) path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || access(path.c_str(), R_OK) != 0) {
        if (fd >= 0) close(fd);
        fd = mkostemp(temporary, O_CLOEXEC);
        if (fd < 0) return;
        path = temporary;
    }
    bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (written) {
        curl_easy_setopt(helper, CURLOPT_COOKIEFILE, path.c_str());
        curl_easy_setopt(helper, CURLOPT_COOKIELIST, "RELOAD");
    }
    if (path == temporary) unlink(temporary);
    close(fd);
}

// The newest record of each cookie, at most kPerHost per domain, in the order stored.
std::vector<const CookieRecord *> newest(const std::vector<CookieRecord> &queued) {
    std::vector<const CookieRecord *> kept;
    std::set<std::string> seen;
    std::map<std::string, size_t> per_host;
    for (auto it = queued.rbegin(); it != queued.rend(); ++it) {
        if (!seen.insert(it->key()).second) continue;
        if (per_host[it->domain]++ >= kPerHost) continue;
        kept.push_back(&*it);
    }
    std::reverse(kept.begin(), kept.end());
    return kept;
}

void add_line(CURL *helper, const std::string &line) { curl_easy_setopt(helper, CURLOPT_COOKIELIST, line.c_str()); }

// Each domain keeps at most kPerHost cookies; the oldest make room (the store
// lists a domain's cookies oldest first).
void limit_per_host(CURL *helper, std::vector<std::string> &lines) {
    std::map<std::string, size_t> count;
    for (const auto &line : lines) ++count[line_domain(line)];
    std::vector<std::string> kept;
    for (const auto &line : lines) {
        size_t &n = count[line_domain(line)];
        if (n > kPerHost) {
            --n;
            std::string expired = std::string(field(line, 0)) + "\t" + std::string(field(line, 1)) + "\t" +
                                  std::string(field(line, 2)) + "\t" + std::string(field(line, 3)) + "\t1\t" +
                                  std::string(field(line, 5)) + "\t" + std::string(field(line, 6));
            add_line(helper, expired);
        } else {
            kept.push_back(line);
        }
    }
    lines.swap(kept);
}

// A session cookie for its own host: the file is touched only when it bears
// the name of a cookie the file holds (it may replace that one).
void note_session_cookie(CookieState &s, const std::string &domain, std::string_view name) {
    if (++s.per_host_bound[domain] > kPerHost) s.listing_needed = true;
    for (const auto &line : s.in_file)
        if (field(line, 5) == name) s.listing_needed = true;
}

// The store's cookies, each domain's limit applied; the bound per domain is then exact.
std::vector<std::string> listed_and_limited(CookieState &s) {
    std::vector<std::string> lines = store_lines(s.helper);
    limit_per_host(s.helper, lines);
    s.per_host_bound.clear();
    for (const auto &line : lines) ++s.per_host_bound[line_domain(line)];
    s.listing_needed = false;
    return lines;
}

void load_file(CookieState &s) {
    std::string file = cookie_file();
    CookieFileLimits limits;
    CookieFileContent content = read_cookie_file(file, limits.bytes);
    CookieFileLines lines = cookie_file_lines(content.bytes, limits);
    if (lines.kept) load_lines(s.helper, lines.text);
    s.in_file = persistent(listed_and_limited(s));
    if (!content.problem.empty())
        std::fprintf(stderr, "tolvar: the cookie file %s cannot be read (%s); %zu cookies were read\n", file.c_str(),
                     content.problem.c_str(), lines.kept);
    else if (content.cut || lines.ignored)
        std::fprintf(stderr, "tolvar: the cookie file %s is damaged or too large; %zu cookies were read, %zu lines ignored\n",
                     file.c_str(), lines.kept, lines.ignored + (content.cut ? 1 : 0));
}

void schedule_settling() {
    CookieState &s = state();
    QCoreApplication *app = QCoreApplication::instance();
    if (s.settle_scheduled || !app || QThread::currentThread() != app->thread()) return;
    if (!s.settle_context) s.settle_context = new QObject;
    s.settle_scheduled = true;
    QTimer::singleShot(0, s.settle_context, [] { settle_cookies(); });
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
    CookieState &s = state();
    if (!s.share) {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        s.share = curl_share_init();
        curl_share_setopt(s.share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
        curl_share_setopt(s.share, CURLSHOPT_LOCKFUNC, lock_share);
        curl_share_setopt(s.share, CURLSHOPT_UNLOCKFUNC, unlock_share);
        s.helper = curl_easy_init();
        curl_easy_setopt(s.helper, CURLOPT_SHARE, s.share);
        curl_easy_setopt(s.helper, CURLOPT_COOKIEFILE, "");
        load_file(s);
    }
    return s.share;
}

bool set_cookie(const std::string &url, const std::string &name, const std::string &data) {
    std::optional<CookieRecord> record = cookie_record(url, name, data);
    if (!record) return false;
    cookie_share();
    CookieState &s = state();
    if (record->expiry != 0) s.listing_needed = true;
    else note_session_cookie(s, record->domain, record->name);
    s.queued.push_back(std::move(*record));
    s.changed = true;
    schedule_settling();
    return true;
}

void reply_cookie(std::string_view host, std::string_view value) {
    CookieState &s = state();
    std::string lower = platform::ascii_lower(std::string(value));
    std::string_view name = value.substr(0, value.find('='));
    while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.remove_prefix(1);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
    bool session_for_its_host = lower.find("expires=") == std::string::npos &&
                                lower.find("max-age=") == std::string::npos &&
                                lower.find("domain=") == std::string::npos && host.find(':') == std::string_view::npos;
    if (session_for_its_host) note_session_cookie(s, platform::ascii_lower(std::string(host)), name);
    else s.listing_needed = true;
    s.changed = true;
    schedule_settling();
}

void settle_cookies() {
    CookieState &s = state();
    s.settle_scheduled = false;
    if (!s.changed || !s.share) return;
    s.changed = false;
    for (const CookieRecord *c : newest(s.queued)) add_line(s.helper, c->line());
    s.queued.clear();
    if (!s.listing_needed) return;
    std::vector<std::string> now_persistent = persistent(listed_and_limited(s));
    if (now_persistent != s.in_file && write_file(now_persistent)) s.in_file = std::move(now_persistent);
}

}  // namespace tolvar::wininet

// Cookies still waiting are settled when the program ends (or the stand-in is unloaded).
__attribute__((destructor)) static void settle_cookies_at_exit() {
    tolvar::wininet::settle_cookies();
    auto &s = tolvar::wininet::state();
    delete s.settle_context;  // drops a settling still posted to the event loop
    s.settle_context = nullptr;
}

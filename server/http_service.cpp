#include "server/http_service.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "server/client_address.h"
#include "server/request_head.h"
#include "server/routes.h"
#include "server/sessions.h"

namespace tolvar::server {

namespace {

using SteadyClock = std::chrono::steady_clock;

// The library's memory per connection (zeroed for every connection, so not
// more than needed): a head up to the largest the settings allow (16 KiB in
// 200 lines) is read and parsed in it; a larger one is refused by the library
// itself (431, or 414 for a long request line) once it is full.
constexpr size_t connection_memory = 32 * 1024;

// How often the loop looks for requests past their deadline while
// connections are open.
constexpr int deadline_check_ms = 250;

constexpr int listen_queue = 1024;

// What the service knows of one TCP connection.
struct ConnectionState {
    int fd = -1;
    std::string peer;     // canonical address
    std::string network;  // counted in the per-network limit; empty when not counted
    SteadyClock::time_point waiting_since;  // when its current request (or the wait for one) began
    bool busy = false;    // the request is whole: a handler or its reply is at work
    bool cut = false;     // shut down for its deadline
    std::string target;   // the current request's target as sent
};

// One request from its head to its reply.
struct PendingRequest {
    RequestHead head;
    HeadVerdict verdict;
    std::string body;
    bool dispatched = false;
    std::atomic<bool> answered{false};  // set by the worker before it resumes the connection
    int status = 200;
    Reply reply;
};

struct Job {
    MHD_Connection *connection = nullptr;
    PendingRequest *pending = nullptr;
    ServiceRequest request;
    std::shared_ptr<const Settings> settings;
};

std::string address_text(const sockaddr *addr) {
    char text[INET6_ADDRSTRLEN] = {};
    if (addr && addr->sa_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in *>(addr)->sin_addr, text, sizeof text);
    else if (addr && addr->sa_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6 *>(addr)->sin6_addr, text, sizeof text);
    std::string canonical = canonical_address(text);
    return canonical.empty() ? std::string(text) : canonical;
}

// The context's settings, verbose also when its log was made verbose.
std::shared_ptr<const Settings> first_settings(const ServiceContext &ctx) {
    auto settings = std::make_shared<Settings>(ctx.settings);
    settings->verbose = settings->verbose || ctx.log.verbose;
    return settings;
}

MHD_Result collect_header(void *cls, MHD_ValueKind, const char *key, const char *value) {
    static_cast<RequestHead *>(cls)->headers.emplace_back(key ? key : "", value ? value : "");
    return MHD_YES;
}

}  // namespace

class HttpFront {
public:
    HttpFront(ServiceContext ctx, int64_t connection_limit)
        : storage_(ctx.storage), log_(ctx.log), now_(std::move(ctx.now)),
          settings_(first_settings(ctx)),
          connection_limit_(static_cast<unsigned>(connection_limit)), wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

    ~HttpFront() {
        if (listen_fd_ >= 0) close(listen_fd_);
        if (wake_ >= 0) close(wake_);
    }

    int bind(const ListenAddress &address);
    bool run();
    bool running() const { return running_; }
    void stop() {
        stopping_ = true;
        wake();
    }
    void apply(const Settings &settings) {
        std::lock_guard lock(settings_mutex_);
        settings_ = std::make_shared<const Settings>(settings);
    }

private:
    // Ends the loop's wait: the library's own wake-up on a resumed connection
    // does not reach a loop that waits on its epoll descriptor from outside.
    void wake() {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(wake_, &one, sizeof one);
    }
    std::shared_ptr<const Settings> settings() {
        std::lock_guard lock(settings_mutex_);
        return settings_;
    }

    // The library's callbacks; all but the workers' resumption run on the
    // loop thread, inside MHD_run.
    static MHD_Result accept_policy(void *cls, const sockaddr *addr, socklen_t);
    static void notify_connection(void *cls, MHD_Connection *c, void **socket_context, MHD_ConnectionNotificationCode);
    static void *log_target(void *cls, const char *uri, MHD_Connection *c);
    static MHD_Result access(void *cls, MHD_Connection *c, const char *url, const char *method, const char *,
                             const char *upload, size_t *upload_size, void **request_context);
    static void completed(void *cls, MHD_Connection *c, void **request_context, MHD_RequestTerminationCode);
    static void library_log(void *cls, const char *format, va_list arguments);

    MHD_Result on_request(MHD_Connection *c, const char *url, const char *method, const char *upload,
                          size_t *upload_size, PendingRequest *&pending);
    MHD_Result refuse(MHD_Connection *c, PendingRequest &pending, std::string_view peer);
    static MHD_Result send_reply(MHD_Connection *c, int status, const Reply &reply, bool close_after);
    void cut_overdue();

    void work();
    void answer_job(Job &job);

    Storage &storage_;
    Log &log_;
    Clock now_;
    std::mutex settings_mutex_;
    std::shared_ptr<const Settings> settings_;
    unsigned connection_limit_;

    int listen_fd_ = -1;
    int wake_ = -1;
    bool ipv6_ = false;
    std::atomic<bool> running_{false}, stopping_{false};
    MHD_Daemon *daemon_ = nullptr;

    // The loop thread's own.
    std::unordered_set<ConnectionState *> connections_;
    std::unordered_map<std::string, int64_t> per_network_;

    std::mutex jobs_mutex_;
    std::condition_variable jobs_ready_;
    std::deque<Job> jobs_;
    bool closing_ = false;
};

int HttpFront::bind(const ListenAddress &address) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo *found = nullptr;
    if (getaddrinfo(address.host.c_str(), std::to_string(address.port).c_str(), &hints, &found) != 0) return -1;
    int port = -1;
    for (addrinfo *a = found; a && port < 0; a = a->ai_next) {
        int fd = socket(a->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) continue;
        // SO_REUSEADDR only: SO_REUSEPORT would let a second service (perhaps
        // on another database) share the port unnoticed.
        int yes = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_storage bound{};
        socklen_t size = sizeof bound;
        if (::bind(fd, a->ai_addr, a->ai_addrlen) != 0 || listen(fd, listen_queue) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr *>(&bound), &size) != 0) {
            close(fd);
            continue;
        }
        port = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6 *>(&bound)->sin6_port
                                                 : reinterpret_cast<sockaddr_in *>(&bound)->sin_port);
        ipv6_ = bound.ss_family == AF_INET6;
        if (listen_fd_ >= 0) close(listen_fd_);
        listen_fd_ = fd;
    }
    freeaddrinfo(found);
    return port;
}

bool HttpFront::run() {
    if (listen_fd_ < 0 || wake_ < 0) return false;
    auto first = settings();
    unsigned flags = MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ERROR_LOG | (ipv6_ ? MHD_USE_IPv6 : 0);
    daemon_ = MHD_start_daemon(
        flags, 0, accept_policy, this, access, this, MHD_OPTION_LISTEN_SOCKET, listen_fd_,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, connection_memory, MHD_OPTION_CONNECTION_LIMIT, connection_limit_,
        MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned>(first->request_timeout), MHD_OPTION_NOTIFY_CONNECTION,
        notify_connection, this, MHD_OPTION_NOTIFY_COMPLETED, completed, this, MHD_OPTION_URI_LOG_CALLBACK,
        log_target, this, MHD_OPTION_EXTERNAL_LOGGER, library_log, this, MHD_OPTION_END);
    if (!daemon_) return false;
    const MHD_DaemonInfo *info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_EPOLL_FD);
    int events = info ? info->epoll_fd : -1;

    std::vector<std::thread> workers;
    for (int i = 0; i < handler_threads; ++i) workers.emplace_back([this] { work(); });
    running_ = true;
    while (!stopping_) {
        MHD_UNSIGNED_LONG_LONG library_ms = 0;
        int wait_ms = MHD_get_timeout(daemon_, &library_ms) == MHD_YES
                          ? static_cast<int>(std::min<MHD_UNSIGNED_LONG_LONG>(library_ms, 60000))
                          : -1;
        if (!connections_.empty()) wait_ms = wait_ms < 0 ? deadline_check_ms : std::min(wait_ms, deadline_check_ms);
        pollfd waits[2] = {{events, POLLIN, 0}, {wake_, POLLIN, 0}};
        poll(waits, 2, wait_ms);
        if (waits[1].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] ssize_t n = read(wake_, &count, sizeof count);
        }
        MHD_run(daemon_);
        cut_overdue();
    }

    // Stop taking connections, let the workers finish what they hold (each
    // resumes its connection), send those replies, then close everything.
    // The library hands the listening socket back (to be closed here), or
    // closes it itself when it cannot.
    int listener = MHD_quiesce_daemon(daemon_);
    if (listener >= 0) close(listener);
    listen_fd_ = -1;
    {
        std::lock_guard lock(jobs_mutex_);
        closing_ = true;
    }
    jobs_ready_.notify_all();
    for (auto &w : workers) w.join();
    for (int i = 0; i < 5; ++i) {
        pollfd wait{events, POLLIN, 0};
        poll(&wait, 1, 10);
        MHD_run(daemon_);
    }
    MHD_stop_daemon(daemon_);
    daemon_ = nullptr;
    running_ = false;
    return true;
}

MHD_Result HttpFront::accept_policy(void *cls, const sockaddr *addr, socklen_t) {
    auto *self = static_cast<HttpFront *>(cls);
    auto settings = self->settings();
    if (settings->connections_per_network == 0) return MHD_YES;
    std::string peer = address_text(addr);
    if (is_trusted_proxy(peer, settings->trusted_proxies)) return MHD_YES;
    auto found = self->per_network_.find(client_network(peer));
    return found == self->per_network_.end() || found->second < settings->connections_per_network ? MHD_YES : MHD_NO;
}

void HttpFront::notify_connection(void *cls, MHD_Connection *c, void **socket_context,
                                  MHD_ConnectionNotificationCode code) {
    auto *self = static_cast<HttpFront *>(cls);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        auto *state = new ConnectionState;
        const MHD_ConnectionInfo *fd = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD);
        const MHD_ConnectionInfo *addr = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
        state->fd = fd ? fd->connect_fd : -1;
        state->peer = addr ? address_text(addr->client_addr) : std::string();
        state->waiting_since = SteadyClock::now();
        auto settings = self->settings();
        if (!is_trusted_proxy(state->peer, settings->trusted_proxies)) {
            state->network = client_network(state->peer);
            ++self->per_network_[state->network];
        }
        // Replies go out at once rather than after the peer's delayed ACK.
        int yes = 1;
        if (state->fd >= 0) setsockopt(state->fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        MHD_set_connection_option(c, MHD_CONNECTION_OPTION_TIMEOUT, static_cast<unsigned>(settings->request_timeout));
        self->connections_.insert(state);
        *socket_context = state;
        return;
    }
    auto *state = static_cast<ConnectionState *>(*socket_context);
    if (!state) return;
    if (!state->network.empty()) {
        auto found = self->per_network_.find(state->network);
        if (found != self->per_network_.end() && --found->second <= 0) self->per_network_.erase(found);
    }
    self->connections_.erase(state);
    delete state;
    *socket_context = nullptr;
}

static ConnectionState *state_of(MHD_Connection *c) {
    const MHD_ConnectionInfo *info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    return info ? static_cast<ConnectionState *>(info->socket_context) : nullptr;
}

// The target as sent: the library would hand the handler a decoded path
// without its query.
void *HttpFront::log_target(void *, const char *uri, MHD_Connection *c) {
    if (ConnectionState *state = state_of(c)) state->target = uri ? uri : "";
    return nullptr;
}

MHD_Result HttpFront::access(void *cls, MHD_Connection *c, const char *url, const char *method, const char *,
                             const char *upload, size_t *upload_size, void **request_context) {
    auto *self = static_cast<HttpFront *>(cls);
    auto *pending = static_cast<PendingRequest *>(*request_context);
    MHD_Result result = self->on_request(c, url, method, upload, upload_size, pending);
    *request_context = pending;
    return result;
}

MHD_Result HttpFront::on_request(MHD_Connection *c, const char *url, const char *method, const char *upload,
                                 size_t *upload_size, PendingRequest *&pending) {
    ConnectionState *state = state_of(c);
    std::string_view peer = state ? std::string_view(state->peer) : std::string_view();
    if (!pending) {
        // The head is whole: judge it before any of the body is read.
        pending = new PendingRequest;
        pending->head.method = method ? method : "";
        pending->head.target = state && !state->target.empty() ? state->target : (url ? url : "");
        MHD_get_connection_values(c, MHD_HEADER_KIND, collect_header, &pending->head);
        const MHD_ConnectionInfo *size = MHD_get_connection_info(c, MHD_CONNECTION_INFO_REQUEST_HEADER_SIZE);
        pending->head.header_bytes = size ? size->header_size : 0;
        pending->verdict = judge_head(pending->head, *settings());
        if (pending->verdict.status != 0) return refuse(c, *pending, peer);
        return MHD_YES;
    }
    if (*upload_size > 0) {
        size_t room = pending->verdict.body_length - std::min(pending->verdict.body_length, pending->body.size());
        pending->body.append(upload, std::min(*upload_size, room));
        *upload_size = 0;
        return MHD_YES;
    }
    if (pending->answered.load(std::memory_order_acquire)) {
        bool close_after = pending->status >= 500;
        return send_reply(c, pending->status, pending->reply, close_after);
    }
    if (pending->dispatched) return MHD_YES;
    // The request is whole: a worker answers it while the connection rests.
    pending->dispatched = true;
    if (state) state->busy = true;
    auto settings = this->settings();
    Job job{c, pending, service_request(pending->head, pending->body, peer, *settings), settings};
    MHD_suspend_connection(c);
    {
        std::lock_guard lock(jobs_mutex_);
        jobs_.push_back(std::move(job));
    }
    jobs_ready_.notify_one();
    return MHD_YES;
}

MHD_Result HttpFront::refuse(MHD_Connection *c, PendingRequest &pending, std::string_view peer) {
    auto settings = this->settings();
    ServiceRequest request = service_request(pending.head, "", peer, *settings);
    Log log{settings->verbose, log_.write};
    log.detail(request.remote_address + " " + request.method + " " + request.path + " refused " +
               std::to_string(pending.verdict.status));
    return send_reply(c, pending.verdict.status, failure_reply(request), true);
}

MHD_Result HttpFront::send_reply(MHD_Connection *c, int status, const Reply &reply, bool close_after) {
    MHD_Response *response = MHD_create_response_from_buffer(
        reply.body.size(), const_cast<char *>(reply.body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response) return MHD_NO;
    MHD_add_response_header(response, "Content-Type", reply.content_type.c_str());
    if (!reply.session_cookie.empty())
        MHD_add_response_header(response, "Set-Cookie", session_cookie(reply.session_cookie).c_str());
    if (close_after) MHD_add_response_header(response, "Connection", "close");
    MHD_Result queued = MHD_queue_response(c, static_cast<unsigned>(status), response);
    MHD_destroy_response(response);
    return queued;
}

void HttpFront::completed(void *cls, MHD_Connection *c, void **request_context, MHD_RequestTerminationCode) {
    auto *self = static_cast<HttpFront *>(cls);
    delete static_cast<PendingRequest *>(*request_context);
    *request_context = nullptr;
    if (ConnectionState *state = state_of(c)) {
        // A kept connection waits for its next request from now on.
        state->busy = false;
        state->target.clear();
        state->waiting_since = SteadyClock::now();
    }
    (void)self;
}

// A request that has not arrived whole within the deadline (a client sending
// a byte at a time, or one that keeps an idle connection) is cut off: the
// socket is shut down here, on the loop thread, and the library closes the
// connection on its next round. Reading a byte does not restart the clock.
void HttpFront::cut_overdue() {
    if (connections_.empty()) return;
    auto deadline = std::chrono::seconds(settings()->request_timeout);
    auto now = SteadyClock::now();
    for (ConnectionState *state : connections_) {
        if (state->busy || state->cut || state->fd < 0 || now - state->waiting_since < deadline) continue;
        shutdown(state->fd, SHUT_RDWR);
        state->cut = true;
    }
}

void HttpFront::library_log(void *cls, const char *format, va_list arguments) {
    auto *self = static_cast<HttpFront *>(cls);
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    Log log{self->settings()->verbose, self->log_.write};
    log.detail("http: " + line);
}

void HttpFront::work() {
    while (true) {
        Job job;
        {
            std::unique_lock lock(jobs_mutex_);
            jobs_ready_.wait(lock, [this] { return closing_ || !jobs_.empty(); });
            if (jobs_.empty()) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        answer_job(job);
    }
}

void HttpFront::answer_job(Job &job) {
    Log log{job.settings->verbose, log_.write};
    ServiceContext ctx{storage_, log, now_, *job.settings};
    const ServiceRequest &request = job.request;
    int status = 500;
    Reply reply;
    try {
        reply = answer(ctx, request, status);
    } catch (...) {
        log.line("error: request " + request.method + " " + request.path + " failed");
        status = 500;
        reply = failure_reply(request);
    }
    log.detail(request.remote_address + " " + request.method + " " + request.path + " " + std::to_string(status) +
               " " + std::to_string(reply.body.size()) + " bytes");
    job.pending->status = status;
    job.pending->reply = std::move(reply);
    job.pending->answered.store(true, std::memory_order_release);
    MHD_resume_connection(job.connection);
    wake();
}

HttpService::HttpService(ServiceContext ctx, int64_t connection_limit)
    : front_(std::make_unique<HttpFront>(std::move(ctx), connection_limit)) {}

HttpService::~HttpService() = default;

int HttpService::bind(const ListenAddress &address) { return front_->bind(address); }

bool HttpService::run() { return front_->run(); }

bool HttpService::running() const { return front_->running(); }

void HttpService::stop() { front_->stop(); }

void HttpService::apply(const Settings &settings) { front_->apply(settings); }

}  // namespace tolvar::server

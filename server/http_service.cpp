#include "server/http_service.h"

#include <httplib.h>

#include <sys/socket.h>

#include <chrono>

#include "server/routes.h"
#include "server/sessions.h"
#include "server/shapes.h"

namespace tolvar::server {

// The library listens with a queue of 5 waiting connections; a burst of
// clients beyond that would wait a second for their connection to be retried.
// Listening again on the bound socket lengthens the queue.
class ListeningServer : public httplib::Server {
public:
    void lengthen_queue() {
        int fd = svr_sock_;
        if (fd >= 0) ::listen(fd, 1024);
    }
};

static ServiceRequest service_request(const httplib::Request &req, const std::string &body) {
    ServiceRequest request;
    request.method = req.method == "HEAD" ? "GET" : req.method;
    request.path = req.path;
    request.remote_address = req.remote_addr;
    size_t question = req.target.find('?');
    if (question != std::string::npos) {
        auto query = parse_fields(std::string_view(req.target).substr(question + 1));
        if (query)
            request.query = std::move(*query);
        else
            request.fields_ok = false;
    }
    if (request.method == "POST") {
        auto form = parse_fields(body);
        if (form)
            request.form = std::move(*form);
        else
            request.fields_ok = false;
    }
    size_t cookies = req.get_header_value_count("Cookie");
    for (size_t i = 0; i < cookies && request.session_token.empty(); ++i) {
        std::string token = cookie_value(req.get_header_value("Cookie", i), session_cookie_name);
        if (is_token(token)) request.session_token = token;
    }
    return request;
}

static void fill_response(const Reply &reply, httplib::Response &res) {
    res.set_content(reply.body, reply.content_type.c_str());
    if (!reply.session_cookie.empty()) res.set_header("Set-Cookie", session_cookie(reply.session_cookie));
}

// Bodies are read only with a length that fits; a body without a length is
// refused rather than read until the peer closes.
static httplib::Server::HandlerResponse check_body_length(const httplib::Request &req, httplib::Response &res) {
    if (req.method != "POST" && req.method != "PUT" && req.method != "PATCH" && req.method != "DELETE")
        return httplib::Server::HandlerResponse::Unhandled;
    int status = 0;
    if (req.has_header("Transfer-Encoding") || !req.has_header("Content-Length")) {
        status = 411;
    } else {
        const std::string length = req.get_header_value("Content-Length");
        if (!is_digits(length, 1, 18)) status = 400;
        else if (std::stoull(length) > largest_body) status = 413;
    }
    if (status == 0) return httplib::Server::HandlerResponse::Unhandled;
    res.status = status;
    res.set_header("Connection", "close");
    return httplib::Server::HandlerResponse::Handled;
}

HttpService::HttpService(ServiceContext ctx) : ctx_(std::move(ctx)), server_(std::make_unique<ListeningServer>()) {
    httplib::Server &s = *server_;
    s.new_task_queue = [] { return new httplib::ThreadPool(request_threads); };
    s.set_payload_max_length(largest_body);
    s.set_read_timeout(5, 0);
    s.set_write_timeout(5, 0);
    s.set_keep_alive_timeout(2);
    s.set_keep_alive_max_count(100);
    s.set_pre_routing_handler(check_body_length);
    // SO_REUSEADDR only: the library would also set SO_REUSEPORT, which lets a
    // second service (perhaps on another database) share the port unnoticed.
    s.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });

    auto respond = [this](const httplib::Request &req, const std::string &body, httplib::Response &res) {
        ServiceRequest request = service_request(req, body);
        int status = 200;
        Reply reply = answer(ctx_, request, status);
        res.status = status;
        fill_response(reply, res);
    };
    // A POST body is read here rather than by the library, which would refuse
    // a form body over 8 KiB. Its length was checked before.
    auto handle_post = [respond](const httplib::Request &req, httplib::Response &res,
                                 const httplib::ContentReader &read) {
        std::string body;
        read([&body](const char *data, size_t size) {
            body.append(data, size);
            return true;
        });
        respond(req, body, res);
    };
    for (const char *path : {"/url.php", "/p.php", "/validate.php", "/verifycode.php", "/ip.php"}) {
        s.Get(path, [respond](const httplib::Request &req, httplib::Response &res) { respond(req, "", res); });
        s.Post(path, handle_post);
    }
    s.set_error_handler(httplib::Server::HandlerWithResponse(
        [](const httplib::Request &req, httplib::Response &res) {
            fill_response(failure_reply(service_request(req, req.body)), res);
            return httplib::Server::HandlerResponse::Handled;
        }));
    s.set_exception_handler([this](const httplib::Request &req, httplib::Response &res, std::exception_ptr) {
        ctx_.log.line("error: request " + req.method + " " + req.path + " failed");
        res.status = 500;
        fill_response(failure_reply(service_request(req, req.body)), res);
    });
    if (ctx_.log.verbose) {
        s.set_logger([this](const httplib::Request &req, const httplib::Response &res) {
            ctx_.log.detail(req.remote_addr + " " + req.method + " " + req.path + " " + std::to_string(res.status) +
                            " " + std::to_string(res.body.size()) + " bytes");
        });
    }
}

HttpService::~HttpService() = default;

int HttpService::bind(const ListenAddress &address) {
    int port = -1;
    if (address.port == 0)
        port = server_->bind_to_any_port(address.host);
    else if (server_->bind_to_port(address.host, address.port))
        port = address.port;
    if (port >= 0) server_->lengthen_queue();
    return port;
}

bool HttpService::run() { return server_->listen_after_bind(); }

bool HttpService::running() const { return server_->is_running(); }

void HttpService::stop() { server_->stop(); }

}  // namespace tolvar::server

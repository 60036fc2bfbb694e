#include "server/request_head.h"

#include "server/client_address.h"
#include "server/form.h"
#include "server/sessions.h"
#include "server/shapes.h"

namespace tolvar::server {

namespace {

bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool is_header_name(std::string_view name) {
    if (name.empty()) return false;
    for (char c : name) {
        bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                  std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
        if (!ok) return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> header_values(const RequestHead &head, std::string_view name) {
    std::vector<std::string> values;
    for (const auto &[n, v] : head.headers)
        if (same_name(n, name)) values.push_back(v);
    return values;
}

HeadVerdict judge_head(const RequestHead &head, const Settings &settings) {
    if (head.header_bytes > static_cast<size_t>(settings.header_bytes) ||
        head.headers.size() > static_cast<size_t>(settings.header_lines))
        return {431};
    for (const auto &[name, value] : head.headers)
        if (!is_header_name(name)) return {400};
    std::vector<std::string> lengths = header_values(head, "Content-Length");
    for (const std::string &length : lengths)
        if (!is_digits(length, 1, 18) || length != lengths.front()) return {400};
    if (!header_values(head, "Transfer-Encoding").empty()) return {411};
    if (lengths.empty()) return {head.method == "POST" || head.method == "PUT" || head.method == "PATCH" ? 411 : 0};
    size_t length = std::stoull(lengths.front());
    if (length > largest_body) return {413};
    return {0, length};
}

ServiceRequest service_request(const RequestHead &head, std::string_view body, std::string_view peer,
                               const Settings &settings) {
    ServiceRequest request;
    request.method = head.method == "HEAD" ? "GET" : head.method;
    std::string_view target = head.target;
    size_t question = target.find('?');
    std::string_view path = target.substr(0, question);
    // A path with a broken escape is kept as sent: it names no page.
    request.path = percent_decoded(path).value_or(std::string(path));
    if (question != std::string_view::npos) {
        auto query = parse_fields(target.substr(question + 1));
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
    for (const std::string &cookie : header_values(head, "Cookie")) {
        std::string token = cookie_value(cookie, session_cookie_name);
        if (is_token(token)) {
            request.session_token = token;
            break;
        }
    }
    request.remote_address = client_address(peer, header_values(head, "X-Forwarded-For"), settings.trusted_proxies);
    request.network = client_network(request.remote_address);
    return request;
}

}  // namespace tolvar::server

#include "server/routes.h"

#include "server/calls.h"
#include "server/friends.h"
#include "server/login.h"
#include "server/messages.h"
#include "server/minutes.h"
#include "server/pages.h"
#include "server/registration.h"

namespace tolvar::server {

static Reply refused(const ServiceContext &, const ServiceRequest &) {
    return page_reply(pages::request_refused());
}

static Reply nothing(const ServiceContext &, const ServiceRequest &) { return page_reply(""); }

static Route url_php_route(const ServiceRequest &request) {
    const std::string &action = value_of(request.form, "action");
    if (action == "taste") return {"voice code", voice_code_request};
    if (action == "one") return {"registration", registration_confirm};
    if (action == "sendfreecall") return {"call", free_call};
    if (action == "balance") return {"balance", balance};
    return {"unknown action", refused};
}

static Route p_php_route(const ServiceRequest &request) {
    if (request.method == "POST") {
        if (value_of(request.form, "action") == "sendsms") return {"message", send_message};
        return {"unknown action", refused};
    }
    if (!request.fields_ok) return {"malformed page address", nothing, true};
    const std::string &page = value_of(request.query, "class");
    if (page.empty()) return {"member page", member_page, true};
    if (page == "giving") return {"weekly claim", weekly_claim, true};
    if (page == "p" && value_of(request.query, "action") == "friend") return {"friend page", friend_page, true};
    return {"unknown page", nothing, true};
}

Route route_for(const ServiceRequest &request) {
    const bool get = request.method == "GET", post = request.method == "POST";
    if (request.path == "/url.php" && post) return url_php_route(request);
    if (request.path == "/p.php" && (get || post)) return p_php_route(request);
    if (request.path == "/verifycode.php" && get) return {"captcha", captcha_request};
    if (request.path == "/validate.php" && post) return {"login", login};
    if (request.path == "/ip.php" && get) return {"address echo", address_echo};
    return {"not found", nullptr};
}

Reply failure_reply(const ServiceRequest &request) {
    // A request refused before its address was read (a request line too long,
    // say) gets an empty reply: every test the client makes judges that a
    // failure, the weekly claim's included.
    if (request.path.empty() || route_for(request).empty_on_failure) return page_reply("");
    return page_reply(pages::request_refused());
}

Reply answer(const ServiceContext &ctx, const ServiceRequest &request, int &status) {
    Route route = route_for(request);
    if (!route.handle) {
        status = 404;
        return page_reply(pages::request_refused());
    }
    status = 200;
    try {
        return route.handle(ctx, request);
    } catch (const std::exception &e) {
        ctx.log.line(std::string("error in ") + route.name + ": " + e.what());
    }
    status = 500;
    return route.empty_on_failure ? page_reply("") : page_reply(pages::request_refused());
}

}  // namespace tolvar::server

// Which handler answers a request, and what a request gets when its handler
// fails or the HTTP layer refuses it.
#pragma once

#include "server/request.h"

namespace tolvar::server {

using Handler = Reply (*)(const ServiceContext &, const ServiceRequest &);

struct Route {
    const char *name;  // for the log
    Handler handle;    // nullptr: no such page
    // Replies to a fault on this route are empty: the claim page's client
    // counts every non-empty reply without its "already claimed" words as a
    // claim that went through.
    bool empty_on_failure = false;
};

Route route_for(const ServiceRequest &request);

// The handler's reply, or the route's failure reply if the handler throws
// (the fault is logged). `status` receives the HTTP status.
Reply answer(const ServiceContext &ctx, const ServiceRequest &request, int &status);

// What a refused request (HTTP error, fault) is answered with on its route.
Reply failure_reply(const ServiceRequest &request);

}  // namespace tolvar::server

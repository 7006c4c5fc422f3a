// What emulate --web refuses before any page is served (another site's name, a body but a small
// one by POST, a long header, several ranges), the time-outs that keep idle connections from
// holding its workers, and the headers every answer carries.
#pragma once

#include <httplib.h>

#include <string>
#include <string_view>

namespace cli {

// Whether a Host header names the page: the address it listens on (Bound), with or without
// Port; "localhost" too when that is a loopback address; any address (no name) of that port
// when it listens on every address. A name that merely points here, as DNS rebinding makes one,
// is refused.
bool HostAllowed(std::string_view Host, std::string_view Bound, int Port);

// Sets the limits, time-outs, workers and headers on Http and checks every request before its
// handler runs. Port is read when a request comes, so it may be the one bound after this call.
void GuardWebServer(httplib::Server& Http, std::string Bound, const int& Port);

} // namespace cli

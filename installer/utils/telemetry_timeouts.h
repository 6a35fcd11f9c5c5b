// Bounds on every telemetry request. A collector that accepts and never
// answers would otherwise hold each request's thread, socket and handles for
// good: WinINet under Wine never gives up by itself. Any thread.
#ifndef INSTALLER_UTILS_TELEMETRY_TIMEOUTS_H_
#define INSTALLER_UTILS_TELEMETRY_TIMEOUTS_H_

class IHttpBase;

namespace telemetry {

constexpr int kConnectTimeoutMs = 10000;
constexpr int kReceiveTimeoutMs = 10000;

// Gives |client| the bounds, when it is the WinINet kind.
void ApplyTimeouts(IHttpBase* client);

// Test seam: other bounds for the clients made from now on.
void SetTimeoutsForTesting(int connect_ms, int receive_ms);

}  // namespace telemetry

#endif  // INSTALLER_UTILS_TELEMETRY_TIMEOUTS_H_

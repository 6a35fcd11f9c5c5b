#include "installer/utils/telemetry_timeouts.h"

#include <atomic>

#include "installer/HttpClient/WininetHttp.h"

namespace telemetry {
namespace {

std::atomic<int> g_connect_ms{kConnectTimeoutMs};
std::atomic<int> g_receive_ms{kReceiveTimeoutMs};

}  // namespace

void ApplyTimeouts(IHttpBase* client) {
  if (auto* wininet = dynamic_cast<IWininetHttp*>(client))
    wininet->SetTimeouts(static_cast<DWORD>(g_connect_ms.load()), static_cast<DWORD>(g_receive_ms.load()));
}

void SetTimeoutsForTesting(int connect_ms, int receive_ms) {
  g_connect_ms.store(connect_ms);
  g_receive_ms.store(receive_ms);
}

}  // namespace telemetry

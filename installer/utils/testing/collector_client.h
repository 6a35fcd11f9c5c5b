// Test support for the telemetry clients: reads back what the recording
// collector (collector.py, started by run_collector_tests.sh) received, and
// clears it. Used from the test's main thread only.
#ifndef INSTALLER_UTILS_TESTING_COLLECTOR_CLIENT_H_
#define INSTALLER_UTILS_TESTING_COLLECTOR_CLIENT_H_

#include <json/json.h>

#include <string>
#include <utility>
#include <vector>

namespace telemetry_testing {

// One request as the collector received it.
struct CollectedRequest {
  std::string method;
  std::string target;  // path and query
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;  // exact bytes
  bool body_is_json = false;

  // The value of the first header named |name| (any case); empty if none.
  std::string Header(const std::string& name) const;
  bool HasHeader(const std::string& name) const;
  std::string Path() const;   // target up to '?'
  std::string Query() const;  // after '?'
  // The value of |key| in the query; empty if absent.
  std::string QueryValue(const std::string& key) const;
};

// 0 when the binary runs without run_collector_tests.sh.
int CollectorPort();
// "http://127.0.0.1:<port>" + |path|.
std::string CollectorUrl(const std::string& path);
// A loopback URL on which nothing listens.
std::string ClosedPortUrl(const std::string& path);

bool ClearRecords();
// Every record so far; false if the collector could not be asked.
bool FetchRecords(std::vector<CollectedRequest>* records);
// Polls until at least |count| records arrived or |timeout_ms| passed;
// answers the records seen last.
std::vector<CollectedRequest> WaitForRecords(size_t count, int timeout_ms);

// |text| parsed strictly as JSON; a parse failure is a test failure.
Json::Value ParseJson(const std::string& text);

}  // namespace telemetry_testing

#endif  // INSTALLER_UTILS_TESTING_COLLECTOR_CLIENT_H_

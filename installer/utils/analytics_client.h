// AnalyticsClient reports the wizard's funnel events to a Measurement
// Protocol collector: one small JSON document per event, posted by a detached
// thread of its own so the UI never waits for the network. The wizard owns
// the client and calls it on the UI thread; every send works on its own copy
// of the settings, so the client may be re-initialised or destroyed while
// sends are still in flight.
#ifndef INSTALLER_UTILS_ANALYTICS_CLIENT_H_
#define INSTALLER_UTILS_ANALYTICS_CLIENT_H_

#include <memory>
#include <string>

#include "base/time/time.h"

class IniFile;

namespace analytics_internal {
struct PendingSends;  // shared by a client and its send threads
}  // namespace analytics_internal

// The six values every request is made from (UTF-8).
struct AnalyticsSettings {
  std::string event_category;
  std::string event_name;
  std::string collector_url;
  std::string measurement_id;
  std::string api_secret;
  std::string client_id;
};

class AnalyticsClient {
 public:
  // Starts with the built-in endpoint and credentials; Init replaces them.
  AnalyticsClient();
  // Does not wait for sends in flight; they finish on their own.
  ~AnalyticsClient();
  AnalyticsClient(const AnalyticsClient&) = delete;
  AnalyticsClient& operator=(const AnalyticsClient&) = delete;

  // Plain assignment: an empty value replaces a built-in one.
  void Init(const std::string& collector_url, const std::string& measurement_id, const std::string& api_secret,
            const std::string& event_category, const std::string& event_name, const std::string& client_id);
  // Init with GA_URL, GA_TID, GA_API, GA_EC, GA_EN of |settings| and the
  // device identifier.
  void InitFromSettings(const IniFile& settings, const std::string& device_id);

  // Returns at once. Nothing is sent while the collector URL, the
  // measurement id or the API secret is empty; answers whether a send thread
  // was started.
  bool SendEvent(const std::string& label, const std::string& suffix);

  // Waits until every send started by this client has ended, at most
  // |timeout|; answers whether none is left. For a shutdown that wants its
  // last event out, and for tests.
  bool WaitForPendingSends(base::Duration timeout);

  const AnalyticsSettings& settings() const { return settings_; }

  // The pieces of one request, exposed for the tests.
  // |label| alone, or label "_" suffix.
  static std::string EventLabel(const std::string& label, const std::string& suffix);
  static std::string RequestUrl(const AnalyticsSettings& settings);
  // Always valid JSON: every value is escaped (see JsonEscape); values that
  // need no escaping come out exactly as plain formatting would write them.
  static std::string RequestBody(const AnalyticsSettings& settings, const std::string& event_label);

 private:
  AnalyticsSettings settings_;
  std::shared_ptr<analytics_internal::PendingSends> pending_;
};

// |value| as the inside of a JSON string: '"' and '\' get a backslash,
// control characters below 0x20 become \b \f \n \r \t or \u00XX, and bytes
// that are not well-formed UTF-8 become \ufffd. Everything else is copied.
std::string JsonEscape(const std::string& value);

#endif  // INSTALLER_UTILS_ANALYTICS_CLIENT_H_

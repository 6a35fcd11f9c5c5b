// ReportClient posts the installation's start and end to the product's own
// report API: a JSON object of eight string fields, signed in the query with
// an MD5 digest over the signing key, the timestamp and the exact body bytes.
// The wizard owns the client and calls it on the UI thread; Send blocks that
// thread until the exchange ends, but never longer than the wait limit.
#ifndef INSTALLER_UTILS_REPORT_CLIENT_H_
#define INSTALLER_UTILS_REPORT_CLIENT_H_

#include <cstdint>
#include <string>

#include "base/time/time.h"

class IniFile;

class ReportClient {
 public:
  // How long Send waits for the server by default: WinINet's own timeouts
  // (a minute to connect, per redirect hop) would freeze the wizard.
  static constexpr base::Duration kDefaultWaitLimit = base::Duration::FromSeconds(10);

  // Signs with the key the program was built with.
  ReportClient();
  explicit ReportClient(const std::string& signing_key);
  ReportClient(const ReportClient&) = delete;
  ReportClient& operator=(const ReportClient&) = delete;

  // Plain assignment of the five fields.
  void Init(const std::string& report_url, const std::string& device_id, const std::string& product,
            const std::string& version, const std::string& qd);
  // Init with XD_URL and PRODUCT_ID of |settings|, the device identifier,
  // the installer's version and the channel "home".
  void InitFromSettings(const IniFile& settings, const std::string& device_id, const std::string& version);

  void SetSigningKey(const std::string& key) { signing_key_ = key; }
  void SetWaitLimit(base::Duration limit) { wait_limit_ = limit; }

  // Builds, signs and posts one report. Returns when the server answered,
  // the request failed, or the wait limit passed (the request then finishes
  // on its own thread). Answers whether a response arrived in time; the
  // wizard ignores it, as nothing is reported or retried.
  bool Send(const std::string& action, const std::string& status);

  // The pieces of one request, exposed for the tests.
  // The styled JSON text of the eight members, with its final line feed.
  std::string RequestBody(const std::string& action, const std::string& status, const std::string& day) const;
  // |text| (UTF-8) as a JSON string, quoted and escaped
  // as jsoncpp writes it: non-ASCII as \u escapes (surrogate pairs past the
  // basic plane), malformed sequences as U+FFFD.
  static std::string QuotedJsonString(const std::string& text);
  // The low 32 bits of |unix_time| as a signed decimal number.
  static std::string TimestampText(int64_t unix_time);
  // "%04d-%02d-%02d %02d:%02d:%02d" of the calendar fields.
  static std::string DayText(const base::WallClock::Calendar& calendar);
  // 32 lower-case hexadecimal digits; empty if hashing failed.
  static std::string Signature(const std::string& key, const std::string& timestamp, const std::string& body);

  const std::string& report_url() const { return report_url_; }

 private:
  std::string report_url_;
  std::string device_id_;
  std::string product_;
  std::string version_;
  std::string qd_;
  std::string signing_key_;
  base::Duration wait_limit_ = kDefaultWaitLimit;
};

#endif  // INSTALLER_UTILS_REPORT_CLIENT_H_

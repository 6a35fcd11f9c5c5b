#include "installer/utils/report_client.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <json/json.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/settings/ini_file.h"
#include "installer/utils/public_fun.h"
#include "installer/utils/analytics_client.h"
#include "installer/utils/report_key.h"
#include "installer/utils/telemetry_timeouts.h"
#include "installer/utils/testing/collector_client.h"

namespace {

using telemetry_testing::CollectedRequest;
using telemetry_testing::CollectorUrl;

constexpr char kKey[] = "0123456789abcdefghijABCDEFGHIJ01";
constexpr char kDeviceId[] = "0123456789abcdef0123456789abcdef";

std::string LocalTimeText() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  char text[32];
  snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d", now.wYear, now.wMonth, now.wDay, now.wHour,
           now.wMinute, now.wSecond);
  return text;
}

class ReportClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(telemetry_testing::CollectorPort(), 0) << "no collector: run through run_collector_tests.sh";
    ASSERT_TRUE(telemetry_testing::ClearRecords());
  }

  // The one report the collector received, with its signature checked
  // against the received bytes and |key|.
  static CollectedRequest ReceivedReport(const std::string& key) {
    std::vector<CollectedRequest> records = telemetry_testing::WaitForRecords(1, 5000);
    EXPECT_EQ(records.size(), 1u);
    if (records.empty()) return CollectedRequest();
    const CollectedRequest& request = records[0];
    const std::string timestamp = request.QueryValue("timestamp");
    EXPECT_EQ(request.Query(), "sign=" + request.QueryValue("sign") + "&timestamp=" + timestamp);
    EXPECT_EQ(request.QueryValue("sign"), MD5Hex(key + "timestamp" + timestamp + request.body + key));
    EXPECT_EQ(request.QueryValue("sign").size(), 32u);
    return request;
  }
};

TEST_F(ReportClientTest, PostsTheSignedStyledBody) {
  const std::string ini = "XD_URL=" + CollectorUrl("/log/v1/api/report") + "\nPRODUCT_ID=varwin\n";
  IniFile settings;
  settings.LoadFromMemory(ini.data(), ini.size());
  ReportClient client(kKey);
  client.InitFromSettings(settings, kDeviceId, "1.2.3.4");

  const int64_t before = GetUnixTime();
  const std::string day_before = LocalTimeText();
  EXPECT_TRUE(client.Send("install", "start"));
  const std::string day_after = LocalTimeText();
  const int64_t after = GetUnixTime();

  const CollectedRequest request = ReceivedReport(kKey);
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.Path(), "/log/v1/api/report");
  EXPECT_EQ(request.Header("Content-Type"), "application/json");
  const int64_t timestamp = std::stoll(request.QueryValue("timestamp"));
  EXPECT_GE(timestamp, before);
  EXPECT_LE(timestamp, after);

  // The day is the local time of the call; the rest is fixed.
  const size_t day_at = request.body.find("\"day\" : \"");
  ASSERT_NE(day_at, std::string::npos);
  const std::string day = request.body.substr(day_at + 9, 19);
  EXPECT_GE(day, day_before);
  EXPECT_LE(day, day_after);
  EXPECT_EQ(request.body,
            "{\n"
            "\t\"action\" : \"install\",\n"
            "\t\"day\" : \"" + day + "\",\n"
            "\t\"device_id\" : \"0123456789abcdef0123456789abcdef\",\n"
            "\t\"os\" : \"windows\",\n"
            "\t\"product\" : \"varwin\",\n"
            "\t\"qd\" : \"home\",\n"
            "\t\"status\" : \"start\",\n"
            "\t\"version\" : \"1.2.3.4\"\n"
            "}\n");
  EXPECT_EQ(request.Header("Content-Length"), std::to_string(request.body.size()));
}

TEST_F(ReportClientTest, SignsWithTheKeyTheProgramWasBuiltWith) {
  ReportClient client;
  client.Init(CollectorUrl("/report"), kDeviceId, "varwin", "1.0.0.0", "home");
  EXPECT_TRUE(client.Send("install", "end"));
  const CollectedRequest request = ReceivedReport(VARNO_REPORT_KEY);
  EXPECT_NE(request.body.find("\t\"status\" : \"end\",\n"), std::string::npos) << request.body;
  // The key never travels.
  EXPECT_EQ(request.target.find(VARNO_REPORT_KEY), std::string::npos);
  EXPECT_EQ(request.body.find(VARNO_REPORT_KEY), std::string::npos);
}

TEST_F(ReportClientTest, TheWriterEscapesWhatTheFieldsHold) {
  ReportClient client(kKey);
  const std::string device = "dev\"ice\\id";
  const std::string product = "caf\xc3\xa9";
  const std::string version = "1.0\n\x01";
  client.Init(CollectorUrl("/report"), device, product, version, "home");
  EXPECT_TRUE(client.Send("install", "start"));
  const CollectedRequest request = ReceivedReport(kKey);
  EXPECT_TRUE(request.body_is_json) << request.body;
  EXPECT_NE(request.body.find("\"device_id\" : \"dev\\\"ice\\\\id\""), std::string::npos) << request.body;
  EXPECT_NE(request.body.find("\"product\" : \"caf\\u00e9\""), std::string::npos) << request.body;
  EXPECT_NE(request.body.find("\"version\" : \"1.0\\n\\u0001\""), std::string::npos) << request.body;
  Json::Value value = telemetry_testing::ParseJson(request.body);
  EXPECT_EQ(value["device_id"].asString(), device);
  EXPECT_EQ(value["product"].asString(), product);
  EXPECT_EQ(value["version"].asString(), version);
}

// The installer writes the body itself; the server checks the bytes of
// jsoncpp's stream writer, so both must agree for any field text, malformed
// UTF-8 and embedded NULs included.
TEST(ReportBodyTest, MatchesJsoncppsStreamWriterByteForByte) {
  std::vector<std::string> texts = {
      "", "plain", "dev\"ice\\id", "caf\xc3\xa9", "1.0\n\x01\x1f\x7f\b\f\r", "tab\there/slash",
      "\xe4\xb8\xad\xe6\x96\x87", "\xf0\x9f\x98\x80 astral", std::string("nul\0inside", 10),
      "\xc3", "\xe4\xb8", "\xf0\x9f\x98", "\xc0\xaf overlong", "\xed\xa0\x80 surrogate", "\x80\xbf lone",
      "\xf8\xff\xfe", "\xf4\x90\x80\x80 past U+10FFFF", std::string(3000, 'x')};
  uint32_t seed = 12345;
  for (int i = 0; i < 400; ++i) {  // random bytes, biased towards high ones
    std::string text;
    for (int n = (i % 24) + 1; n > 0; --n) {
      seed = seed * 1103515245u + 12345u;
      text += static_cast<char>((seed >> 16) & 0xff);
    }
    texts.push_back(text);
  }
  for (const std::string& text : texts) {
    const std::string shown = ::testing::PrintToString(text);
    ASSERT_EQ(ReportClient::QuotedJsonString(text), Json::writeString(Json::StreamWriterBuilder(), Json::Value(text)))
        << shown;
    ReportClient client(kKey);
    client.Init("http://127.0.0.1/", text, text, text, text);
    Json::Value root(Json::objectValue);
    for (const char* key : {"action", "day", "device_id", "product", "qd", "status", "version"}) root[key] = text;
    root["os"] = "windows";
    ASSERT_EQ(client.RequestBody(text, text, text), Json::writeString(Json::StreamWriterBuilder(), root) + "\n")
        << shown;
  }
}

TEST_F(ReportClientTest, SendNeverWaitsPastItsLimit) {
  ReportClient client(kKey);
  client.SetWaitLimit(base::Duration::FromMilliseconds(300));
  client.Init(CollectorUrl("/hang/8000/report"), kDeviceId, "varwin", "1.0.0.0", "home");
  const DWORD start = ::GetTickCount();
  EXPECT_FALSE(client.Send("install", "start"));
  EXPECT_LT(::GetTickCount() - start, 5000u) << "the call waited for the collector's answer";
  // The request went out all the same and finishes on its own thread.
  ReceivedReport(kKey);

  // A server that is not there ends the call, with nothing to wait for.
  client.SetWaitLimit(ReportClient::kDefaultWaitLimit);
  client.Init(telemetry_testing::ClosedPortUrl("/report"), kDeviceId, "varwin", "1.0.0.0", "home");
  EXPECT_FALSE(client.Send("install", "end"));
}

// A collector that takes the request and never answers holds neither
// client's request past the bounds: the analytics send ends, and a report
// whose caller would wait longer returns when its request gives up.
TEST_F(ReportClientTest, SilentCollectorsReleaseTheRequestsWithinTheBounds) {
  telemetry::SetTimeoutsForTesting(2000, 1000);
  const std::string silent = CollectorUrl("/hang/60000/collect");

  AnalyticsClient analytics;
  analytics.Init(silent, "G-TEST123456", "abcdEFGH-ijkl_MNOP0123", "c", "n", kDeviceId);
  ASSERT_TRUE(analytics.SendEvent("silent", ""));
  EXPECT_TRUE(analytics.WaitForPendingSends(base::Duration::FromSeconds(20)))
      << "the send still waits for the silent collector";

  // The caller would wait 40 s; the request gives up after about 1 s.
  ReportClient report(kKey);
  report.SetWaitLimit(base::Duration::FromSeconds(40));
  report.Init(silent, kDeviceId, "varwin", "1.0.0.0", "home");
  const DWORD start = ::GetTickCount();
  EXPECT_FALSE(report.Send("install", "start"));
  EXPECT_LT(::GetTickCount() - start, 20000u) << "the report's request outlived its bound";
  telemetry::SetTimeoutsForTesting(telemetry::kConnectTimeoutMs, telemetry::kReceiveTimeoutMs);
}

TEST(ReportClientTextTest, TimestampIsTheLowWordAsSignedDecimal) {
  EXPECT_EQ(ReportClient::TimestampText(1700000000), "1700000000");
  EXPECT_EQ(ReportClient::TimestampText(0x80000000LL), "-2147483648");
  EXPECT_EQ(ReportClient::TimestampText(0x100000005LL), "5");
}

}  // namespace

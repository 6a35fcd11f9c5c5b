#include "installer/utils/analytics_client.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <json/json.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/settings/ini_file.h"
#include "installer/utils/testing/collector_client.h"

namespace {

using telemetry_testing::CollectedRequest;
using telemetry_testing::CollectorUrl;

constexpr char kDeviceId[] = "0123456789abcdef0123456789abcdef";
const base::Duration kSendWait = base::Duration::FromSeconds(20);

class AnalyticsClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(telemetry_testing::CollectorPort(), 0) << "no collector: run through run_collector_tests.sh";
    ASSERT_TRUE(telemetry_testing::ClearRecords());
  }

  static IniFile Settings(const std::string& text) {
    IniFile settings;
    settings.LoadFromMemory(text.data(), text.size());
    return settings;
  }

  // The shipped settings, with the collector in place of the vendor's.
  static std::string ShippedAnalyticsSettings(const std::string& collector_path) {
    return "GA_URL=" + CollectorUrl(collector_path) +
           "\nGA_TID=G-TEST123456\nGA_API=abcdEFGH-ijkl_MNOP0123\n"
           "GA_EC=VARNO_Installer\nGA_EN=Installer_VarWin_Client\n";
  }
};

TEST_F(AnalyticsClientTest, SendsTheExactRequestFromTheProductSettings) {
  AnalyticsClient client;
  client.InitFromSettings(Settings(ShippedAnalyticsSettings("/mp/collect")), kDeviceId);
  ASSERT_TRUE(client.SendEvent("Install_Time", "0-15s"));
  ASSERT_TRUE(client.WaitForPendingSends(kSendWait));

  std::vector<CollectedRequest> records = telemetry_testing::WaitForRecords(1, 5000);
  ASSERT_EQ(records.size(), 1u);
  const CollectedRequest& request = records[0];
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.target, "/mp/collect?measurement_id=G-TEST123456&api_secret=abcdEFGH-ijkl_MNOP0123");
  EXPECT_EQ(request.body,
            "{\"client_id\":\"0123456789abcdef0123456789abcdef\","
            "\"user_id\":\"0123456789abcdef0123456789abcdef\","
            "\"events\":[{\"name\":\"Installer_VarWin_Client\","
            "\"params\":{\"event_category\":\"VARNO_Installer\","
            "\"event_label\":\"Install_Time_0-15s\"}}]}");
  EXPECT_TRUE(request.body_is_json);
  // No header of the client's own: the transport's defaults only.
  EXPECT_FALSE(request.HasHeader("Content-Type"));
  EXPECT_EQ(request.Header("Accept"), "*/*");
  EXPECT_EQ(request.Header("Content-Length"), std::to_string(request.body.size()));
}

TEST_F(AnalyticsClientTest, MissingEndpointOrCredentialsSendNothing) {
  const char* const kBroken[] = {"GA_API=\n", "GA_TID=\n", "GA_URL=\n"};
  for (const char* broken : kBroken) {
    AnalyticsClient client;
    // Later keys win: the shipped values with one of the three emptied.
    client.InitFromSettings(Settings(ShippedAnalyticsSettings("/mp/collect") + broken), kDeviceId);
    for (const char* label : {"Installer_Popup", "Install_Start", "Install_Cancel", "Install_End"}) {
      EXPECT_FALSE(client.SendEvent(label, "")) << broken << label;
    }
    EXPECT_FALSE(client.SendEvent("Install_Time", "1-2mins")) << broken;
    EXPECT_TRUE(client.WaitForPendingSends(kSendWait));
  }
  // A working client's event afterwards is the only request the collector saw.
  AnalyticsClient control;
  control.InitFromSettings(Settings(ShippedAnalyticsSettings("/control")), kDeviceId);
  ASSERT_TRUE(control.SendEvent("Install_End", ""));
  ASSERT_TRUE(control.WaitForPendingSends(kSendWait));
  std::vector<CollectedRequest> records = telemetry_testing::WaitForRecords(1, 5000);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].Path(), "/control");
}

TEST_F(AnalyticsClientTest, ValuesNeedingEscapesStillMakeValidJson) {
  AnalyticsClient client;
  const std::string category = "cat \"quoted\" \\ back";
  const std::string name = std::string("line\nbreak\ttab\x01\x1f end");
  const std::string device = "id\"with\\quote";
  const std::string label = "Install_\"Start\"";
  const std::string suffix = "caf\xc3\xa9 \xe4\xb8\xad";  // non-ASCII passes as UTF-8
  client.Init(CollectorUrl("/mp/collect"), "G-TEST123456", "abcdEFGH-ijkl_MNOP0123", category, name, device);
  ASSERT_TRUE(client.SendEvent(label, suffix));
  ASSERT_TRUE(client.SendEvent("bad\xff\xc3(utf8", ""));
  ASSERT_TRUE(client.WaitForPendingSends(kSendWait));

  std::vector<CollectedRequest> records = telemetry_testing::WaitForRecords(2, 5000);
  ASSERT_EQ(records.size(), 2u);
  // Arrival order is free: the malformed one second.
  if (records[0].body.find("bad") != std::string::npos) std::swap(records[0], records[1]);
  for (const CollectedRequest& request : records) EXPECT_TRUE(request.body_is_json) << request.body;

  Json::Value value = telemetry_testing::ParseJson(records[0].body);
  EXPECT_EQ(value["client_id"].asString(), device);
  EXPECT_EQ(value["user_id"].asString(), device);
  EXPECT_EQ(value["events"][0]["name"].asString(), name);
  EXPECT_EQ(value["events"][0]["params"]["event_category"].asString(), category);
  EXPECT_EQ(value["events"][0]["params"]["event_label"].asString(), label + "_" + suffix);
  // Malformed UTF-8 becomes the replacement character, byte by byte.
  EXPECT_EQ(telemetry_testing::ParseJson(records[1].body)["events"][0]["params"]["event_label"].asString(),
            "bad\xef\xbf\xbd\xef\xbf\xbd(utf8");
}

TEST_F(AnalyticsClientTest, SendsKeepTheirSettingsWhenTheClientChangesOrDies) {
  const std::vector<std::string> labels = {"Installer_Popup", "Install_Start", "Install_Cancel", "Install_End"};
  auto client = std::make_unique<AnalyticsClient>();
  // The collector holds each request for 3 s, so every send is still
  // running when the client is re-initialised and then destroyed.
  client->Init(CollectorUrl("/hang/3000/mp/collect"), "G-TEST123456", "abcdEFGH-ijkl_MNOP0123", "VARNO_Installer",
               "Installer_VarWin_Client", kDeviceId);
  for (const std::string& label : labels) ASSERT_TRUE(client->SendEvent(label, ""));
  client->Init(CollectorUrl("/wrong"), "G-WRONG00000", "x", "wrong", "wrong", "wrong");
  EXPECT_FALSE(client->WaitForPendingSends(base::Duration::FromMilliseconds(100)));
  client.reset();

  std::vector<CollectedRequest> records = telemetry_testing::WaitForRecords(labels.size(), 15000);
  ASSERT_EQ(records.size(), labels.size());
  std::vector<std::string> received;
  for (const CollectedRequest& request : records) {
    EXPECT_EQ(request.Path(), "/hang/3000/mp/collect");
    EXPECT_EQ(request.QueryValue("measurement_id"), "G-TEST123456");
    Json::Value value = telemetry_testing::ParseJson(request.body);
    EXPECT_EQ(value["client_id"].asString(), kDeviceId);
    EXPECT_EQ(value["events"][0]["params"]["event_category"].asString(), "VARNO_Installer");
    received.push_back(value["events"][0]["params"]["event_label"].asString());
  }
  // In flight together, so in any order.
  std::sort(received.begin(), received.end());
  std::vector<std::string> expected = labels;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(received, expected);
}

TEST_F(AnalyticsClientTest, AnUnreachableCollectorEndsTheSendQuietly) {
  AnalyticsClient client;
  client.Init(telemetry_testing::ClosedPortUrl("/mp/collect"), "G-TEST123456", "abcdEFGH-ijkl_MNOP0123", "c", "n",
              kDeviceId);
  ASSERT_TRUE(client.SendEvent("Install_Start", ""));
  EXPECT_TRUE(client.WaitForPendingSends(kSendWait));
}

}  // namespace

#include "installer/utils/analytics_client.h"

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "base/util/string_util.h"
#include "installer/HttpClient/HttpInterface.h"
#include "installer/HttpClient/WininetHttp.h"
#include "base/settings/ini_file.h"
#include "base/log/log.h"
#include "installer/utils/telemetry_timeouts.h"

namespace {

// Used only by a client that is never initialised; the wizard always calls
// Init before its first event.
constexpr char kBuiltInCollectorUrl[] = "https://www.google-analytics.com/mp/collect";
constexpr char kBuiltInMeasurementId[] = "G-VARNO00000";
constexpr char kBuiltInApiSecret[] = "VarnoBuiltInSecret0000";
constexpr char kBuiltInClientId[] = "6058";

// Length of the well-formed UTF-8 sequence at |s[i]|, or 0.
size_t Utf8SequenceLength(const std::string& s, size_t i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (i + length > s.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

struct HttpClientDeleter {
  void operator()(IHttpBase* client) const { client->Destroy(); }
};

}  // namespace

std::string JsonEscape(const std::string& value) {
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size();) {
    const unsigned char c = static_cast<unsigned char>(value[i]);
    switch (c) {
      case '"': out += "\\\""; ++i; continue;
      case '\\': out += "\\\\"; ++i; continue;
      case '\b': out += "\\b"; ++i; continue;
      case '\f': out += "\\f"; ++i; continue;
      case '\n': out += "\\n"; ++i; continue;
      case '\r': out += "\\r"; ++i; continue;
      case '\t': out += "\\t"; ++i; continue;
      default: break;
    }
    if (c < 0x20) {
      base::AppendFormatted(out, "\\u%04x", c);
      ++i;
      continue;
    }
    const size_t length = Utf8SequenceLength(value, i);
    if (length == 0) {
      out += "\\ufffd";
      ++i;
      continue;
    }
    out.append(value, i, length);
    i += length;
  }
  return out;
}

namespace analytics_internal {

// Counts the sends of one client still running. Each send thread holds a
// reference, so this outlives a client destroyed before its sends end.
struct PendingSends {
  std::mutex mutex;
  std::condition_variable idle;
  int count = 0;

  void Add() {
    std::lock_guard<std::mutex> hold(mutex);
    ++count;
  }
  void Done() {
    std::lock_guard<std::mutex> hold(mutex);
    if (--count == 0) idle.notify_all();
  }
};

}  // namespace analytics_internal

namespace {

// One event: owned by its thread, which frees it when the request ended.
struct SendTask {
  std::string url;
  std::string body;
  std::shared_ptr<analytics_internal::PendingSends> pending;
};

DWORD WINAPI RunSendTask(void* param) {
  std::unique_ptr<SendTask> task(static_cast<SendTask*>(param));
  {
    IHttpBase* raw = nullptr;
    if (MakeHttpClient(&raw, HTTP_CLIENT_WININET) && raw) {
      std::unique_ptr<IHttpBase, HttpClientDeleter> client(raw);
      telemetry::ApplyTimeouts(client.get());
      if (auto* wininet = dynamic_cast<IWininetHttp*>(client.get())) {
        // The answer, and any failure, is of no interest: nothing is retried.
        wininet->Request(task->url.c_str(), HTTP_REQUEST_POST, task->body.c_str(), static_cast<const char*>(nullptr));
      }
    }
  }
  auto pending = std::move(task->pending);
  task.reset();
  pending->Done();
  return 0;
}

}  // namespace

AnalyticsClient::AnalyticsClient() : pending_(std::make_shared<analytics_internal::PendingSends>()) {
  settings_.collector_url = kBuiltInCollectorUrl;
  settings_.measurement_id = kBuiltInMeasurementId;
  settings_.api_secret = kBuiltInApiSecret;
  settings_.client_id = kBuiltInClientId;
}

AnalyticsClient::~AnalyticsClient() = default;

void AnalyticsClient::Init(const std::string& collector_url, const std::string& measurement_id,
                           const std::string& api_secret, const std::string& event_category,
                           const std::string& event_name, const std::string& client_id) {
  settings_.collector_url = collector_url;
  settings_.measurement_id = measurement_id;
  settings_.api_secret = api_secret;
  settings_.event_category = event_category;
  settings_.event_name = event_name;
  settings_.client_id = client_id;
}

void AnalyticsClient::InitFromSettings(const IniFile& settings, const std::string& device_id) {
  Init(settings.GetValueUtf8(L"GA_URL"), settings.GetValueUtf8(L"GA_TID"), settings.GetValueUtf8(L"GA_API"),
       settings.GetValueUtf8(L"GA_EC"), settings.GetValueUtf8(L"GA_EN"), device_id);
}

std::string AnalyticsClient::EventLabel(const std::string& label, const std::string& suffix) {
  return suffix.empty() ? label : label + "_" + suffix;
}

std::string AnalyticsClient::RequestUrl(const AnalyticsSettings& settings) {
  return settings.collector_url + "?measurement_id=" + settings.measurement_id +
         "&api_secret=" + settings.api_secret;
}

std::string AnalyticsClient::RequestBody(const AnalyticsSettings& settings, const std::string& event_label) {
  const std::string client_id = JsonEscape(settings.client_id);
  std::string body = "{";
  body += "\"client_id\":\"" + client_id + "\",";
  body += "\"user_id\":\"" + client_id + "\",";
  body += "\"events\":[";
  body += "{";
  body += "\"name\":\"" + JsonEscape(settings.event_name) + "\",";
  body += "\"params\":{";
  body += "\"event_category\":\"" + JsonEscape(settings.event_category) + "\",";
  body += "\"event_label\":\"" + JsonEscape(event_label) + "\"}";
  body += "}";
  body += "]}";
  return body;
}

bool AnalyticsClient::SendEvent(const std::string& label, const std::string& suffix) {
  if (settings_.collector_url.empty() || settings_.measurement_id.empty() || settings_.api_secret.empty())
    return false;
  auto task = std::make_unique<SendTask>();
  task->url = RequestUrl(settings_);
  task->body = RequestBody(settings_, EventLabel(label, suffix));
  task->pending = pending_;
  pending_->Add();
  // The thread owns the task from here on; its handle is not needed.
  HANDLE thread = ::CreateThread(nullptr, 0, RunSendTask, task.get(), 0, nullptr);
  if (!thread) {
    const DWORD error = ::GetLastError();
    pending_->Done();
    QLOG_ERR(L"analytics send thread failed, error:{0}") << static_cast<int64_t>(error);
    return false;
  }
  task.release();
  ::CloseHandle(thread);
  return true;
}

bool AnalyticsClient::WaitForPendingSends(base::Duration timeout) {
  std::unique_lock<std::mutex> hold(pending_->mutex);
  return pending_->idle.wait_for(hold, std::chrono::microseconds(timeout.ToMicroseconds()),
                                 [this] { return pending_->count == 0; });
}

#include "installer/utils/testing/collector_client.h"

#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>
#include <json/json.h>

#include <cstdlib>
#include <memory>

#include "base/util/string_util.h"
#include "installer/HttpClient/HttpInterface.h"
#include "installer/HttpClient/WininetHttp.h"

namespace telemetry_testing {
namespace {

struct HttpClientDeleter {
  void operator()(IHttpBase* client) const { client->Destroy(); }
};

// A request to the collector's control paths; false on a transport failure.
bool AskCollector(const std::string& path, int type, std::string* answer) {
  IHttpBase* raw = nullptr;
  if (!MakeHttpClient(&raw, HTTP_CLIENT_WININET) || !raw) return false;
  std::unique_ptr<IHttpBase, HttpClientDeleter> client(raw);
  auto* wininet = dynamic_cast<IWininetHttp*>(client.get());
  if (!wininet) return false;
  *answer = wininet->Request(CollectorUrl(path).c_str(), type, "", static_cast<const char*>(nullptr));
  return wininet->LastStatusCode() == 200;
}

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<char>(std::strtol(hex.substr(i, 2).c_str(), nullptr, 16)));
  }
  return bytes;
}

bool SameNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

}  // namespace

std::string CollectedRequest::Header(const std::string& name) const {
  for (const auto& header : headers) {
    if (SameNoCase(header.first, name)) return header.second;
  }
  return std::string();
}

bool CollectedRequest::HasHeader(const std::string& name) const {
  for (const auto& header : headers) {
    if (SameNoCase(header.first, name)) return true;
  }
  return false;
}

std::string CollectedRequest::Path() const { return target.substr(0, target.find('?')); }

std::string CollectedRequest::Query() const {
  const size_t mark = target.find('?');
  return mark == std::string::npos ? std::string() : target.substr(mark + 1);
}

std::string CollectedRequest::QueryValue(const std::string& key) const {
  for (const std::string& pair : base::SplitText(Query(), "&")) {
    const size_t equals = pair.find('=');
    if (equals != std::string::npos && pair.substr(0, equals) == key) return pair.substr(equals + 1);
  }
  return std::string();
}

int CollectorPort() {
  char text[16] = {};
  if (!::GetEnvironmentVariableA("VARNO_COLLECTOR_PORT", text, sizeof(text))) return 0;
  return std::atoi(text);
}

std::string CollectorUrl(const std::string& path) {
  return base::FormatText("http://127.0.0.1:%d", CollectorPort()) + path;
}

std::string ClosedPortUrl(const std::string& path) {
  // Bound and closed again: nothing listens there for the moment.
  WSADATA data;
  ::WSAStartup(MAKEWORD(2, 2), &data);
  int port = 9;  // discard; closed on loopback if the bind fails
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s != INVALID_SOCKET) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
      port = ntohs(address.sin_port);
    ::closesocket(s);
  }
  ::WSACleanup();
  return base::FormatText("http://127.0.0.1:%d", port) + path;
}

bool ClearRecords() {
  std::string answer;
  return AskCollector("/_clear", HTTP_REQUEST_POST, &answer);
}

bool FetchRecords(std::vector<CollectedRequest>* records) {
  records->clear();
  std::string answer;
  if (!AskCollector("/_records", HTTP_REQUEST_GET, &answer)) return false;
  Json::Value list;
  Json::CharReaderBuilder builder;
  std::string errors;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  if (!reader->parse(answer.data(), answer.data() + answer.size(), &list, &errors) || !list.isArray())
    return false;
  for (const Json::Value& item : list) {
    CollectedRequest request;
    request.method = item["method"].asString();
    request.target = item["target"].asString();
    for (const Json::Value& header : item["headers"]) {
      request.headers.emplace_back(header[0].asString(), header[1].asString());
    }
    request.body = FromHex(item["body_hex"].asString());
    request.body_is_json = item["body_is_json"].asBool();
    records->push_back(request);
  }
  return true;
}

std::vector<CollectedRequest> WaitForRecords(size_t count, int timeout_ms) {
  std::vector<CollectedRequest> records;
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (FetchRecords(&records) && records.size() >= count) break;
    if (static_cast<int>(::GetTickCount() - start) > timeout_ms) break;
    ::Sleep(20);
  }
  return records;
}

Json::Value ParseJson(const std::string& text) {
  Json::Value value;
  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &value, &errors)) << errors;
  return value;
}

}  // namespace telemetry_testing

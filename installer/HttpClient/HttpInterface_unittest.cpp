// The interface contract all three clients share: slot order, factory,
// initial state.
#include "installer/HttpClient/HttpInterface.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "installer/HttpClient/HttpSocket.h"
#include "installer/HttpClient/WinHttp.h"
#include "installer/HttpClient/testing/http_test_support.h"

// WinINet's header cannot share a unit with WinHTTP's; its interface is
// checked through these two functions from WininetHttp_unittest.cpp.
bool WininetSlotsInOrder(std::string* report);
bool IsWininetClient(IHttpBase* client);

namespace {

// Trusts the run's test root for every test of this binary.
::testing::Environment* const kTestRoot =
    ::testing::AddGlobalTestEnvironment(new http_testing::TestRootEnvironment);

// The vtable slot a pointer to a virtual member designates (Itanium ABI,
// which MinGW's GCC follows: the pointer holds 1 + the slot's byte offset).
template <typename Method>
ptrdiff_t SlotOf(Method method) {
  struct Representation {
    uintptr_t pointer;
    ptrdiff_t adjustment;
  } representation;
  static_assert(sizeof(Method) == sizeof(Representation), "unexpected member pointer layout");
  memcpy(&representation, &method, sizeof(representation));
  EXPECT_EQ(representation.pointer % sizeof(void*), 1u) << "not a virtual member";
  return static_cast<ptrdiff_t>((representation.pointer - 1) / sizeof(void*));
}

TEST(HttpInterfaceTest, BaseSlotsInOrder) {
  EXPECT_EQ(SlotOf(&IHttpBase::SetProgressSink), 0);
  EXPECT_EQ(SlotOf(&IHttpBase::QueryRemoteSize), 1);
  EXPECT_EQ(SlotOf(&IHttpBase::FetchToFile), 2);
  EXPECT_EQ(SlotOf(&IHttpBase::FetchToMemory), 3);
  EXPECT_EQ(SlotOf(&IHttpBase::Destroy), 4);
  EXPECT_EQ(SlotOf(&IHttpBase::LastErrorCode), 5);
  EXPECT_EQ(SlotOf(&IHttpBase::AddHeader), 6);
  EXPECT_EQ(SlotOf(&IHttpBase::LastStatusCode), 7);
  EXPECT_EQ(SlotOf(&IHttpCallback::OnTransferProgress), 0);
  EXPECT_EQ(SlotOf(&IHttpCallback::ShouldStop), 1);
  EXPECT_TRUE(std::has_virtual_destructor<CHttpHeader>::value);
}

TEST(HttpInterfaceTest, ExtensionSlotsFollowTheBase) {
  EXPECT_EQ(SlotOf(&ISocketHttp::ResolvedAddress), 8);
  using WideRequest = std::string (IWinHttp::*)(const wchar_t*, int, const char*, const wchar_t*);
  using NarrowRequest = std::string (IWinHttp::*)(const char*, int, const char*, const char*);
  EXPECT_EQ(SlotOf(static_cast<WideRequest>(&IWinHttp::Request)), 8);
  EXPECT_EQ(SlotOf(static_cast<NarrowRequest>(&IWinHttp::Request)), 9);
  EXPECT_EQ(SlotOf(&IWinHttp::SetTimeouts), 10);
  std::string report;
  EXPECT_TRUE(WininetSlotsInOrder(&report)) << report;
}

TEST(HttpInterfaceTest, FactoryMakesEachKind) {
  IHttpBase* client = nullptr;
  ASSERT_TRUE(MakeHttpClient(&client, HTTP_CLIENT_SOCKET));
  ASSERT_NE(client, nullptr);
  EXPECT_NE(dynamic_cast<ISocketHttp*>(client), nullptr);
  client->Destroy();

  client = nullptr;
  ASSERT_TRUE(MakeHttpClient(&client, HTTP_CLIENT_WININET));
  ASSERT_NE(client, nullptr);
  EXPECT_TRUE(IsWininetClient(client));
  client->Destroy();

  client = nullptr;
  ASSERT_TRUE(MakeHttpClient(&client, HTTP_CLIENT_WINHTTP));
  ASSERT_NE(client, nullptr);
  EXPECT_NE(dynamic_cast<IWinHttp*>(client), nullptr);
  client->Destroy();

  for (int type : {3, -1, 100}) {
    client = reinterpret_cast<IHttpBase*>(&type);  // must be overwritten
    EXPECT_FALSE(MakeHttpClient(&client, type));
    EXPECT_EQ(client, nullptr);
  }
  EXPECT_FALSE(MakeHttpClient(nullptr, HTTP_CLIENT_WININET));
}

// Every kind starts with no error and no status, and ignores header calls
// without a usable name or value.
TEST(HttpInterfaceTest, FreshClientsAreQuiet) {
  for (int type : {HTTP_CLIENT_SOCKET, HTTP_CLIENT_WININET, HTTP_CLIENT_WINHTTP}) {
    SCOPED_TRACE(type);
    IHttpBase* client = nullptr;
    ASSERT_TRUE(MakeHttpClient(&client, type));
    EXPECT_EQ(client->LastErrorCode(), HIE_NONE);
    EXPECT_EQ(client->LastStatusCode(), 0);
    client->AddHeader(nullptr, "x");
    client->AddHeader("X-Test", nullptr);
    client->AddHeader("", "x");
    client->AddHeader("X-Test", "");
    client->SetProgressSink(nullptr, nullptr);
    client->Destroy();
  }
  CHttpSocket socket_client;
  EXPECT_STREQ(socket_client.ResolvedAddress(), L"");
  EXPECT_EQ(socket_client.QueryRemoteSize(L"http://127.0.0.1/"), 0);
  EXPECT_EQ(socket_client.LastErrorCode(), HIE_NONE);
}

}  // namespace

#include "base/log/log.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "base/util/string_util.h"

namespace {

// The sink runs on every logging thread.
std::mutex g_debug_mutex;
std::vector<std::wstring>* g_debug_lines = nullptr;
void CaptureDebug(const std::wstring& line) {
  std::lock_guard<std::mutex> hold(g_debug_mutex);
  if (g_debug_lines) g_debug_lines->push_back(line);
}

std::string ReadFile(const std::wstring& path) {
  std::ifstream in(base::WideToUtf8(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"varno_log_unittest.txt";
    ::DeleteFileW(path_.c_str());
    g_debug_lines = &debug_lines_;
    LogFile::GetInstance()->SetDebugSinkForTesting(&CaptureDebug);
    LogFile::GetInstance()->SetLogLevel(LV_APP);
    LogFile::GetInstance()->SetLogFile(path_);
  }
  void TearDown() override {
    LogFile::GetInstance()->SetLogFile(L"");
    LogFile::GetInstance()->SetDebugSinkForTesting(nullptr);
    g_debug_lines = nullptr;
    ::DeleteFileW(path_.c_str());
  }
  std::wstring path_;
  std::vector<std::wstring> debug_lines_;
};

// The exact line shape, with placeholders consumed from the left.
// "[YYYY-MM-DD hh:mm:ss" with every digit replaced by 9.
std::string TimeShape(const std::string& line) {
  std::string shape = line.substr(0, 20);
  for (char& c : shape) {
    if (c >= '0' && c <= '9') c = '9';
  }
  return shape;
}

TEST_F(LogTest, LineFormatAndSubstitution) {
  int first_line = __LINE__ + 1;
  QLOG_APP(L"a{0}b{1}c") << L"x" << 5;
  QLOG_ERR(L"no placeholders {here}");
  std::string file = ReadFile(path_);
  ASSERT_GE(file.size(), 3u);
  EXPECT_EQ("\xEF\xBB\xBF", file.substr(0, 3));
  std::string first = file.substr(3, file.find("\r\n") + 2 - 3);
  std::string second = file.substr(3 + first.size());
  EXPECT_EQ("[9999-99-99 99:99:99", TimeShape(first));
  EXPECT_EQ(" log_unittest.cpp:" + std::to_string(first_line) + " LV_APP] axb5c\r\n", first.substr(20));
  EXPECT_EQ(" log_unittest.cpp:" + std::to_string(first_line + 1) + " LV_ERR] no placeholders {here}\r\n",
            second.substr(20));
}

// Text after the last placeholder survives; a negative number prints as such.
TEST_F(LogTest, TrailingTextAndNumbers) {
  QLOG_APP(L"size:{0} of {1} bytes") << -1 << (int64_t{1} << 40);
  std::string file = ReadFile(path_);
  EXPECT_NE(std::string::npos, file.find("LV_APP] size:-1 of 1099511627776 bytes\r\n")) << file;
}

// Lines above the threshold reach the debugger output only; a line logged
// before any path is set reaches only the debugger output as well.
TEST_F(LogTest, ThresholdAndMissingPath) {
  QLOG_PRO(L"verbose");
  EXPECT_TRUE(ReadFile(path_).empty());
  ASSERT_EQ(1u, debug_lines_.size());
  EXPECT_NE(std::wstring::npos, debug_lines_[0].find(L"LV_PRO] verbose"));
  LogFile::GetInstance()->SetLogFile(L"");
  QLOG_ERR(L"nowhere");
  EXPECT_TRUE(ReadFile(path_).empty());
  EXPECT_EQ(2u, debug_lines_.size());
}

// The byte order mark is written once, by whoever creates the file, even
// with many threads logging at once; no line is torn.
TEST_F(LogTest, ConcurrentWritersNeverInterleave) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 50; ++i) QLOG_APP(L"thread {0} line {1} ----------------------------") << t << i;
    });
  }
  for (auto& t : threads) t.join();
  std::string file = ReadFile(path_);
  ASSERT_EQ("\xEF\xBB\xBF", file.substr(0, 3));
  EXPECT_EQ(std::string::npos, file.find("\xEF\xBB\xBF", 3));
  std::regex line(R"(\[[^\]]+ LV_APP\] thread \d line \d+ -+)");
  size_t count = 0, pos = 3;
  while (pos < file.size()) {
    size_t end = file.find("\r\n", pos);
    ASSERT_NE(std::string::npos, end);
    EXPECT_TRUE(std::regex_match(file.substr(pos, end - pos), line)) << file.substr(pos, end - pos);
    pos = end + 2;
    ++count;
  }
  EXPECT_EQ(200u, count);
}

// Non-ASCII text is stored as UTF-8.
TEST_F(LogTest, WritesUtf8) {
  QLOG_APP(L"path:{0}") << L"C:\\Programme\\\u00dcber\\\u4e2d";
  EXPECT_NE(std::string::npos, ReadFile(path_).find("path:C:\\Programme\\\xc3\x9c" "ber\\\xe4\xb8\xad\r\n"));
}

std::wstring TestBinaryFolder() {
  wchar_t path[MAX_PATH] = {};
  DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring full(path, n);
  return full.substr(0, full.find_last_of(L"\\/") + 1);
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(base::WideToUtf8(path), std::ios::binary | std::ios::trunc);
  out << bytes;
}

// A log path that leads elsewhere is not written through, so the
// administrator's append cannot land in a file someone else picked: not a
// second name of another file, not a symbolic link, not a linked folder.
// The line still reaches the debugger output.
TEST_F(LogTest, LinksAreNotWrittenThrough) {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring victim = std::wstring(temp) + L"varno_log_victim.txt";
  const std::string original = "not the log\r\n";
  WriteBytes(victim, original);

  const std::wstring hard_link = std::wstring(temp) + L"varno_log_hard_link.txt";
  ::DeleteFileW(hard_link.c_str());
  ASSERT_TRUE(::CreateHardLinkW(hard_link.c_str(), victim.c_str(), nullptr));
  LogFile::GetInstance()->SetLogFile(hard_link);
  QLOG_APP(L"through a hard link");
  EXPECT_EQ(original, ReadFile(victim)) << "written through a hard link";
  ::DeleteFileW(hard_link.c_str());

  const std::wstring symbolic_link = std::wstring(temp) + L"varno_log_symbolic_link.txt";
  ::DeleteFileW(symbolic_link.c_str());
  ::CreateSymbolicLinkW(symbolic_link.c_str(), victim.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
  if (::GetFileAttributesW(symbolic_link.c_str()) == INVALID_FILE_ATTRIBUTES) {
    // Wine's CreateSymbolicLinkW reports success and makes nothing.
    std::printf("no symbolic link to a file can be made here; that case is not run\n");
  } else {
    LogFile::GetInstance()->SetLogFile(symbolic_link);
    QLOG_APP(L"through a symbolic link");
    EXPECT_EQ(original, ReadFile(victim)) << "written through a symbolic link";
    ::DeleteFileW(symbolic_link.c_str());
  }

  // The folder link comes from the test's CMake fixture (see utils.cmake).
  const std::wstring links = TestBinaryFolder() + L"log_links\\";
  const DWORD linked = ::GetFileAttributesW((links + L"linked").c_str());
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, linked) << "run under ctest: its log_links fixture makes the folder link";
  ASSERT_TRUE(linked & FILE_ATTRIBUTE_REPARSE_POINT);
  const std::wstring behind = links + L"real\\varno_linked_log.txt";
  ::DeleteFileW(behind.c_str());
  LogFile::GetInstance()->SetLogFile(links + L"linked\\varno_linked_log.txt");
  QLOG_APP(L"through a linked folder");
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(behind.c_str())) << "written through a linked folder";
  ::DeleteFileW(behind.c_str());

  ASSERT_FALSE(debug_lines_.empty());
  EXPECT_NE(std::wstring::npos, debug_lines_.back().find(L"LV_APP] through a linked folder"));
  ::DeleteFileW(victim.c_str());
}

}  // namespace

#include "installer/utils/log.h"

#include <cstdio>
#include <ctime>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include "base/check.h"
#include "base/util/string_util.h"

// Format mistakes are the caller's bug, never the user's: they stop debug
// builds and are ignored in release ones rather than ending an installation.
#ifdef NDEBUG
#define LOG_USAGE_CHECK(expr) ((void)0)
#else
#define LOG_USAGE_CHECK(expr) BASE_CHECK(expr)
#endif

namespace {

const wchar_t* LevelName(int level) {
  switch (level) {
    case LV_ERR: return L"LV_ERR";
    case LV_WAR: return L"LV_WAR";
    case LV_APP: return L"LV_APP";
    case LV_PRO: return L"LV_PRO";
  }
  LOG_USAGE_CHECK(0);
  return L"";
}

FILE* OpenForAppend(const std::wstring& path, bool* existed) {
#ifdef _WIN32
  *existed = ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  // Binary: the line already ends in CR LF, and text mode would double the CR.
  return _wfopen(path.c_str(), L"a+b");
#else
  std::string narrow = base::WideToUtf8(path);
  struct stat st;
  *existed = ::stat(narrow.c_str(), &st) == 0;
  return std::fopen(narrow.c_str(), "a+");
#endif
}

void DebugOutput(const std::wstring& line) {
#ifdef _WIN32
  ::OutputDebugStringW(line.c_str());
#else
  (void)line;
#endif
}

}  // namespace

LogMessage::LogMessage(const char* file, long line) {
  int year, month, day, hour, minute, second;
#ifdef _WIN32
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  year = now.wYear, month = now.wMonth, day = now.wDay;
  hour = now.wHour, minute = now.wMinute, second = now.wSecond;
#else
  std::time_t t = std::time(nullptr);
  std::tm tm;
  localtime_r(&t, &tm);
  year = tm.tm_year + 1900, month = tm.tm_mon + 1, day = tm.tm_mday;
  hour = tm.tm_hour, minute = tm.tm_min, second = tm.tm_sec;
#endif
  time_prefix_ = base::FormatText(L"[%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour,
                                  minute, second);
  std::wstring path = base::Utf8ToWide(file ? file : "");
  size_t slash = path.find_last_of(L"\\/");
  std::wstring base_name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  location_prefix_ = base::FormatText(L" %ls:%ld ", base_name.c_str(), line);
}

LogMessage& LogMessage::VLog(int level, const std::wstring& format) {
  level_ = level;
  fmt_ = format;
  return *this;
}

LogMessage& LogMessage::operator<<(const std::wstring& text) {
  Substitute(text);
  return *this;
}

LogMessage& LogMessage::operator<<(int64_t number) {
  Substitute(base::Int64ToWide(number));
  return *this;
}

void LogMessage::Substitute(const std::wstring& argument) {
  LOG_USAGE_CHECK(!fmt_.empty());
  LOG_USAGE_CHECK(index_ >= 0 && index_ <= 20);
  std::wstring token = base::FormatText(L"{%d}", index_);
  size_t pos = fmt_.find(token);
  ++index_;
  if (pos == std::wstring::npos) {
    LOG_USAGE_CHECK(0);
    return;
  }
  out_.append(fmt_, 0, pos);
  out_.append(argument);
  fmt_.erase(0, pos + token.size());
}

LogMessage::~LogMessage() {
  const wchar_t* level_name = LevelName(level_);
  std::wstring message = out_.empty() ? fmt_ : out_ + fmt_;
  std::wstring line = time_prefix_ + location_prefix_ + level_name + L"] " + message + L"\r\n";
  LogFile::GetInstance()->WriteLogFile(line, level_);
}

LogFile* LogFile::GetInstance() {
  // Constructed on first use; function-local statics are thread-safe.
  static LogFile instance;
  return &instance;
}

void LogFile::SetLogLevel(int threshold) {
  base::ScopedLock hold(lock_);
  threshold_ = threshold;
}

void LogFile::SetLogFile(const std::wstring& path) {
  base::ScopedLock hold(lock_);
  path_ = path;
}

void LogFile::SetDebugSinkForTesting(DebugSink sink) {
  base::ScopedLock hold(lock_);
  debug_sink_ = sink;
}

void LogFile::WriteLogFile(const std::wstring& line, int level) {
  DebugSink sink;
  std::wstring path;
  int threshold;
  {
    base::ScopedLock hold(lock_);
    sink = debug_sink_;
    path = path_;
    threshold = threshold_;
  }
  DebugOutput(line);
  if (sink) sink(line);
  if (level > threshold || path.empty()) return;
  std::string utf8 = base::WideToUtf8(line);

  base::ScopedLock hold(lock_);
  bool existed = false;
  FILE* file = OpenForAppend(path, &existed);
  if (!file) return;
  if (!existed) std::fwrite("\xEF\xBB\xBF", 1, 3, file);
  std::fwrite(utf8.data(), 1, utf8.size(), file);
  std::fclose(file);
}

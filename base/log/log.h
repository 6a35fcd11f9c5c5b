// Diagnostic lines with numbered placeholders. A LogMessage lives on the
// caller's stack and is written once, when it goes out of scope, to the
// debugger output and (up to the threshold) to the process-wide log file.
// LogFile is thread-safe; a LogMessage belongs to the thread that made it.
//
//   QLOG_APP(L"progress:{0}") << percent;
#ifndef BASE_LOG_LOG_H_
#define BASE_LOG_LOG_H_

#include <cstdint>
#include <string>
#include <type_traits>

#include "base/synchronization/lock.h"

enum LogLevel {
  LV_ERR = 0,
  LV_WAR = 1,
  LV_APP = 2,
  LV_PRO = 3,
};

class LogMessage {
 public:
  LogMessage(const char* file, long line);
  ~LogMessage();
  LogMessage(const LogMessage&) = delete;
  LogMessage& operator=(const LogMessage&) = delete;

  LogMessage& VLog(int level, const std::wstring& format);
  LogMessage& operator<<(const std::wstring& text);
  LogMessage& operator<<(const wchar_t* text) { return *this << std::wstring(text ? text : L""); }
  LogMessage& operator<<(int64_t number);
  template <typename T, typename = std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, int64_t>>>
  LogMessage& operator<<(T number) {
    return *this << static_cast<int64_t>(number);
  }

 private:
  void Substitute(const std::wstring& argument);

  std::wstring fmt_;
  std::wstring out_;
  std::wstring time_prefix_;
  std::wstring location_prefix_;
  int index_ = 0;
  int level_ = LV_PRO;
};

// The process-wide sink.
class LogFile {
 public:
  static LogFile* GetInstance();

  void SetLogLevel(int threshold);
  void SetLogFile(const std::wstring& path);
  void WriteLogFile(const std::wstring& line, int level);

  // Test seam: receives every line that goes to the debugger output.
  using DebugSink = void (*)(const std::wstring& line);
  void SetDebugSinkForTesting(DebugSink sink);

 private:
  LogFile() = default;

  base::Lock lock_;  // Protects the file and the settings below.
  std::wstring path_;
  int threshold_ = 0;
  DebugSink debug_sink_ = nullptr;
};

#define QLOG_ERR(fmt) LogMessage(__FILE__, __LINE__).VLog(LV_ERR, fmt)
#define QLOG_WAR(fmt) LogMessage(__FILE__, __LINE__).VLog(LV_WAR, fmt)
#define QLOG_APP(fmt) LogMessage(__FILE__, __LINE__).VLog(LV_APP, fmt)
#define QLOG_PRO(fmt) LogMessage(__FILE__, __LINE__).VLog(LV_PRO, fmt)

#endif  // BASE_LOG_LOG_H_

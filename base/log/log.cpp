#include "base/log/log.h"

#include <cstdio>
#include <ctime>
#include <cwctype>

#ifdef _WIN32
#include <windows.h>

#include "base/win32/scoped_handle.h"
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

#ifdef _WIN32
// Whether an open file or folder is a reparse point (a symbolic link or a
// junction, opened as itself), or a file that also has other names.
bool IsLinkLike(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!::GetFileInformationByHandle(handle, &info)) return true;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return true;
  return !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && info.nNumberOfLinks != 1;
}

std::wstring FolderOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return L".";
  std::wstring folder = path.substr(0, slash);
  // A root keeps its separator: "C:" alone is the drive's current folder.
  if (folder.empty() || (folder.size() == 2 && folder[1] == L':')) folder += L'\\';
  return folder;
}
#endif

// Appends the line, and the byte order mark first when the file is new.
// False when the file cannot be opened, or may not be written through.
#ifdef _WIN32
// Held while one process appends to a log file. Appending is a seek to the
// end and a write, and two copies of the installer that share a log (an
// unguarded name) would otherwise write over each other's lines.
class AppendGuard {
 public:
  explicit AppendGuard(const std::wstring& path) {
    uint32_t hash = 2166136261u;  // FNV-1a of the path, any case
    for (wchar_t c : path) {
      hash ^= static_cast<uint32_t>(::towlower(c));
      hash *= 16777619u;
    }
    const std::wstring name = base::FormatText(L"Local\\VarnoLogAppend-%08x", hash);
    mutex_.Reset(::CreateMutexW(nullptr, FALSE, name.c_str()));
    if (mutex_.Valid()) {
      const DWORD result = ::WaitForSingleObject(mutex_.Get(), 2000);
      held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    }
  }
  ~AppendGuard() {
    if (held_) ::ReleaseMutex(mutex_.Get());
  }
  AppendGuard(const AppendGuard&) = delete;
  AppendGuard& operator=(const AppendGuard&) = delete;

 private:
  base::win32::ScopedHandle mutex_;
  bool held_ = false;
};
#endif

bool AppendToLog(const std::wstring& path, const std::string& utf8) {
#ifdef _WIN32
  // Without the guard (no mutex, or a writer stuck for 2 s) the line is
  // still written: losing it would be worse than a rare interleaving.
  AppendGuard guard(path);
  // The log sits in the user's Temp folder, which anything running as the
  // user can change while this process writes as administrator: a link
  // planted there would carry the write elsewhere. The folder is held open
  // while the line is written, without delete sharing so it cannot be
  // renamed or swapped meanwhile, and refused if it is a reparse point.
  const std::wstring folder = FolderOf(path);
  base::win32::ScopedHandle held_folder(::CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                                      nullptr));
  if (!held_folder.Valid() || IsLinkLike(held_folder.Get())) return false;
  // Some systems (Wine) mark a linked folder only in what its path reports.
  const DWORD folder_attributes = ::GetFileAttributesW(folder.c_str());
  if (folder_attributes == INVALID_FILE_ATTRIBUTES || (folder_attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return false;

  // A link is opened as itself, not followed, and then refused.
  base::win32::ScopedHandle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.Valid()) return false;
  const bool created = ::GetLastError() != ERROR_ALREADY_EXISTS;
  if (IsLinkLike(file.Get())) return false;
  const std::string bytes = created ? "\xEF\xBB\xBF" + utf8 : utf8;
  DWORD written = 0;
  return ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != FALSE;
#else
  std::string narrow = base::WideToUtf8(path);
  struct stat st;
  const bool existed = ::stat(narrow.c_str(), &st) == 0;
  FILE* file = std::fopen(narrow.c_str(), "a+");
  if (!file) return false;
  if (!existed) std::fwrite("\xEF\xBB\xBF", 1, 3, file);
  std::fwrite(utf8.data(), 1, utf8.size(), file);
  std::fclose(file);
  return true;
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
  // A line that cannot be written is lost for the file only.
  AppendToLog(path, utf8);
}

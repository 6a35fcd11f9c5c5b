// Small helpers the three HTTP clients share: ANSI code page conversions,
// owners for C files and malloc'd buffers, and folder creation. Stateless;
// any thread.
#ifndef INSTALLER_HTTPCLIENT_HTTPCLIENTUTIL_H_
#define INSTALLER_HTTPCLIENT_HTTPCLIENTUTIL_H_

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace http_internal {

// URLs, paths and header text go through the ANSI code page, as the
// system's "A" entry points would convert them.
std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);

struct FileCloser {
  void operator()(FILE* file) const { fclose(file); }
};
using ScopedFile = std::unique_ptr<FILE, FileCloser>;

struct FreeDeleter {
  void operator()(void* p) const { free(p); }
};
using MallocBuffer = std::unique_ptr<char, FreeDeleter>;

// Creates each missing folder along |path|: for every backslash, the part
// before it. The last component is taken to be the file's name.
void CreateParentFolders(const std::wstring& path);

bool FileExists(const std::wstring& path);

// The text of a null-terminated argument, empty for null.
inline std::wstring WideOrEmpty(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }
inline std::string NarrowOrEmpty(const char* text) { return text ? std::string(text) : std::string(); }

}  // namespace http_internal

#endif  // INSTALLER_HTTPCLIENT_HTTPCLIENTUTIL_H_

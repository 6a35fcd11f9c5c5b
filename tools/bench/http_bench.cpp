// Times one client's FetchToFile of one URL into one file and prints
// "<client> <bytes> <seconds>". Run by tools/bench/http_throughput.sh, which
// starts the server and repeats the runs.
//
//   http_bench.exe socket|wininet|winhttp URL FILE
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "installer/HttpClient/HttpInterface.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    fwprintf(stderr, L"usage: http_bench socket|wininet|winhttp URL FILE\n");
    return 2;
  }
  const std::wstring kind = argv[1];
  int type = kind == L"socket" ? HTTP_CLIENT_SOCKET : kind == L"wininet" ? HTTP_CLIENT_WININET
           : kind == L"winhttp" ? HTTP_CLIENT_WINHTTP : -1;
  IHttpBase* client = nullptr;
  if (!MakeHttpClient(&client, type)) {
    fwprintf(stderr, L"unknown client %ls\n", argv[1]);
    return 2;
  }
  LARGE_INTEGER frequency, start, end;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  bool ok = client->FetchToFile(argv[2], argv[3]);
  ::QueryPerformanceCounter(&end);
  int error = client->LastErrorCode();
  client->Destroy();
  if (!ok) {
    fwprintf(stderr, L"%ls: download failed, code %d\n", argv[1], error);
    return 1;
  }
  WIN32_FILE_ATTRIBUTE_DATA data;
  long long bytes = 0;
  if (::GetFileAttributesExW(argv[3], GetFileExInfoStandard, &data))
    bytes = (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
  wprintf(L"%ls %lld %.3f\n", argv[1], bytes, seconds);
  return 0;
}

// Plays the product's full installer: after a short delay (so a caller that
// does not wait would miss the result) it puts the product, a copy of the
// fixture "varno_fake_product.exe" found beside itself, as VARNO.exe into the
// folder given by /DIR=, and records its command line beside itself.
#include <shlobj.h>

#include "installer/utils/testing/fixture_util.h"

int main() {
  ::Sleep(300);
  std::wstring folder;
  for (const std::wstring& arg : fixture::Arguments()) {
    if (arg.compare(0, 5, L"/DIR=") == 0) folder = arg.substr(5);
  }
  if (!folder.empty()) {
    if (folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
    ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    std::wstring product = fixture::OwnFolder() + L"varno_fake_product.exe";
    ::CopyFileW(product.c_str(), (folder + L"VARNO.exe").c_str(), FALSE);
  }
  return fixture::WriteRecord() ? 3 : 1;
}

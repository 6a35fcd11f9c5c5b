// Plays the system's "wmic" for the device identity's fallback queries, laid
// out as wmic does: "cpu get processorid" gives the heading and no value (as
// on machines that report none), "diskdrive get serialnumber" the heading and
// a made-up serial. Each run records
// its command line beside itself, so a test can tell whether a copy ran.
#include <string>

#include "installer/utils/testing/fixture_util.h"

int main() {
  fixture::WriteRecord();
  std::wstring query;
  for (const std::wstring& arg : fixture::Arguments()) query += arg + L" ";
  if (query == L"cpu get processorid ") {
    fixture::Print("ProcessorId  \r\n\r\n");
    return 0;
  }
  if (query == L"diskdrive get serialnumber ") {
    fixture::Print("SerialNumber  \r\nVARNOFAKEDISK01  \r\n\r\n");
    return 0;
  }
  return 1;
}

#include "installer/HttpClient/HttpInterface.h"

#include "installer/HttpClient/HttpSocket.h"
#include "installer/HttpClient/WinHttp.h"

// WinINet and WinHTTP declare the same names, so the WinINet client is
// made in a unit of its own.
IHttpBase* MakeWininetClient();

bool MakeHttpClient(IHttpBase** client, int type) {
  if (!client) return false;
  switch (type) {
    case HTTP_CLIENT_SOCKET:
      *client = new CHttpSocket();
      return true;
    case HTTP_CLIENT_WININET:
      *client = MakeWininetClient();
      return true;
    case HTTP_CLIENT_WINHTTP:
      *client = new CWinHttp();
      return true;
    default:
      *client = nullptr;
      return false;
  }
}

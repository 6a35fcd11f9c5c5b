#include "ui/utils/gdiplus_session.h"

#include <objidl.h>
#include <gdiplus.h>

#include "base/log/log.h"

namespace ui {

GdiplusSession::GdiplusSession() {
  Gdiplus::GdiplusStartupInput input;
  if (Gdiplus::GdiplusStartup(&token_, &input, nullptr) != Gdiplus::Ok) {
    token_ = 0;
    QLOG_ERR(L"GdiplusStartup failed");
  }
}

GdiplusSession::~GdiplusSession() {
  if (token_) Gdiplus::GdiplusShutdown(token_);
}

}  // namespace ui

#include "ui/utils/gdiplus_session.h"

#include <objidl.h>
#include <gdiplus.h>

#include <mutex>
#include <vector>

#include "base/log/log.h"

namespace ui {

namespace {

std::mutex& HooksLock() {
  static std::mutex lock;
  return lock;
}

std::vector<void (*)()>& Hooks() {
  static std::vector<void (*)()> hooks;
  return hooks;
}

}  // namespace

void GdiplusSession::AddReleaseHook(void (*release)()) {
  std::lock_guard<std::mutex> hold(HooksLock());
  for (auto* hook : Hooks()) {
    if (hook == release) return;
  }
  Hooks().push_back(release);
}

GdiplusSession::GdiplusSession() {
  Gdiplus::GdiplusStartupInput input;
  if (Gdiplus::GdiplusStartup(&token_, &input, nullptr) != Gdiplus::Ok) {
    token_ = 0;
    QLOG_ERR(L"GdiplusStartup failed");
  }
}

GdiplusSession::~GdiplusSession() {
  if (!token_) return;
  std::vector<void (*)()> hooks;
  {
    std::lock_guard<std::mutex> hold(HooksLock());
    hooks = Hooks();
  }
  for (auto* hook : hooks) hook();
  Gdiplus::GdiplusShutdown(token_);
}

}  // namespace ui

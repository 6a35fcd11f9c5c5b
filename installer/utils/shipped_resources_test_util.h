// Test helper: makes the shipped resources readable under their usual names.
// Under Windows the archive built into the test executable is mounted (as
// the installer does); natively the source tree's resources/ folder becomes
// the current directory's, since no archive resource exists there.
#ifndef INSTALLER_UTILS_SHIPPED_RESOURCES_TEST_UTIL_H_
#define INSTALLER_UTILS_SHIPPED_RESOURCES_TEST_UTIL_H_

#include <filesystem>

#include "ui/core/resource_archive.h"
#ifdef _WIN32
#include "ui/core/resource_archive_win.h"
#endif

class ShippedResources {
 public:
  ShippedResources() : previous_(std::filesystem::current_path()) {
#ifdef _WIN32
    ok_ = ui::MountArchive(MAKEINTRESOURCEW(ui::kArchiveResourceId), ui::kArchiveResourceType, "");
#else
    ui::UnmountArchive();
    std::error_code error;
    std::filesystem::current_path(VARNO_SOURCE_DIR, error);
    ok_ = !error;
#endif
  }
  ~ShippedResources() {
    ui::UnmountArchive();
    std::filesystem::current_path(previous_);
  }
  ShippedResources(const ShippedResources&) = delete;
  ShippedResources& operator=(const ShippedResources&) = delete;

  bool ok() const { return ok_; }

 private:
  std::filesystem::path previous_;
  bool ok_ = false;
};

#endif  // INSTALLER_UTILS_SHIPPED_RESOURCES_TEST_UTIL_H_

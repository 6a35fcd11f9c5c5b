#include "installer/main/main_thread.h"

#include "installer/main/startup_hooks.h"

void MiscThread::Init() { base::ThreadRegistry::RegisterCurrentThread(thread_id_); }

void MiscThread::Cleanup() { base::ThreadRegistry::UnregisterCurrentThread(); }

void MainThread::Init() {
  base::ThreadRegistry::RegisterCurrentThread(thread_id_);
  misc_thread_ = std::make_unique<MiscThread>(base::kMiscThreadId, "Global Misc Thread");
  misc_thread_->Start();
  startup::MountResources();
  startup::StartUiFramework();
  startup::OpenWizardWindow();
}

void MainThread::Cleanup() {
  startup::ShutdownUiFramework();
  misc_thread_->Stop();
  misc_thread_.reset();
  MarkQuitCleanly(true);
  base::ThreadRegistry::UnregisterCurrentThread();
}

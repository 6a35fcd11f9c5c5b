// The UI thread (id 0) and the background misc thread (id 1). MainThread runs
// on the process's entry thread; its Init builds the UI and its Cleanup tears
// it down, both on that thread. MiscThread idles in its own default loop.
#ifndef INSTALLER_MAIN_MAIN_THREAD_H_
#define INSTALLER_MAIN_MAIN_THREAD_H_

#include <memory>

#include "base/framework/framework_thread.h"

class MiscThread : public base::FrameworkThread {
 public:
  MiscThread(int thread_id, const char* name) : FrameworkThread(name), thread_id_(thread_id) {}
  ~MiscThread() override { Stop(); }

  void Init() override;
  void Cleanup() override;

 private:
  const int thread_id_;
};

class MainThread : public base::FrameworkThread {
 public:
  MainThread(const char* name, int thread_id) : FrameworkThread(name), thread_id_(thread_id) {}
  ~MainThread() override { Stop(); }

  void Init() override;
  void Cleanup() override;

 private:
  const int thread_id_;
  std::unique_ptr<MiscThread> misc_thread_;
};

#endif  // INSTALLER_MAIN_MAIN_THREAD_H_

#include "base/framework/framework_thread.h"

#include <map>

#include "base/check.h"
#include "base/framework/message_loop_proxy.h"
#include "base/synchronization/lock.h"
#include "base/thread/thread_local.h"

namespace base {
namespace {

struct ThreadSlotRecord {
  FrameworkThread* owner = nullptr;
  bool quit_cleanly = false;
  int registrations = 0;
  int registered_id = -1;
  void* user_data = nullptr;
};

LazyThreadLocalPointer<ThreadSlotRecord> g_thread_slot;

struct Registry {
  Lock lock;  // Protects |threads|.
  std::map<int, FrameworkThread*> threads;
};

Registry& GetRegistry() {
  static Registry registry;
  return registry;
}

// Debuggers learn thread names from this exception. GCC has no __try, so a
// vectored handler swallows it when no debugger does.
constexpr DWORD kSetThreadNameException = 0x406D1388;

LONG CALLBACK SwallowThreadName(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode == kSetThreadNameException)
    return EXCEPTION_CONTINUE_EXECUTION;
  return EXCEPTION_CONTINUE_SEARCH;
}

void NameCurrentThread(const std::string& name) {
  static PVOID handler = ::AddVectoredExceptionHandler(1, &SwallowThreadName);
  if (!handler) return;
#pragma pack(push, 8)
  struct {
    DWORD type;
    LPCSTR name;
    DWORD thread_id;
    DWORD flags;
  } info = {0x1000, name.c_str(), ::GetCurrentThreadId(), 0};
#pragma pack(pop)
  ::RaiseException(kSetThreadNameException, 0, sizeof(info) / sizeof(ULONG_PTR),
                   reinterpret_cast<const ULONG_PTR*>(&info));
}

}  // namespace

FrameworkThread::FrameworkThread(const char* name) : name_(name ? name : "") {}

FrameworkThread::~FrameworkThread() {
  Stop();
  custom_loop_maker_.reset();
}

bool FrameworkThread::Start() { return StartInternal(kLoopPlain, nullptr); }

bool FrameworkThread::StartWithLoop(LoopKind kind) { return StartInternal(kind, nullptr); }

bool FrameworkThread::StartWithLoopMaker(std::shared_ptr<LoopMaker> maker) {
  return StartInternal(kLoopCustom, std::move(maker));
}

bool FrameworkThread::StartInternal(LoopKind kind, std::shared_ptr<LoopMaker> maker) {
  if (message_loop_.load() || running_.load()) return false;
  loop_kind_ = kind;
  custom_loop_maker_ = std::move(maker);
  message_hook_ = nullptr;
  if (!Create()) return false;
  event_.Wait();
  running_ = true;
  return true;
}

void FrameworkThread::RunOnCallingThread(LoopKind kind, MessageHook* dispatcher) {
  loop_kind_ = kind;
  message_hook_ = dispatcher;
  running_ = true;
  Run();
  running_ = false;
}

void FrameworkThread::Run() {
  NameCurrentThread(name_);
  std::unique_ptr<ThreadSlotRecord> own_record;
  if (!g_thread_slot.Get()) {
    own_record = std::make_unique<ThreadSlotRecord>();
    own_record->owner = this;
    g_thread_slot.Set(own_record.get());
  }
  g_thread_slot.Get()->quit_cleanly = false;
  set_thread_id(::GetCurrentThreadId());

  std::unique_ptr<MessageLoop> loop;
  switch (loop_kind_) {
    case kLoopCustom:
      loop = custom_loop_maker_->CreateLoop();
      break;
    case kLoopIo:
      loop = std::make_unique<IOMessageLoop>();
      break;
    case kLoopUi:
      loop = std::make_unique<UIMessageLoop>();
      break;
    default:
      loop = std::make_unique<MessageLoop>();
      break;
  }
  message_loop_ = loop.get();
  OnLoopCreated();
  Init();
  event_.Signal();
  loop->RunWithHook(message_hook_);
  Cleanup();

  // Clear the pointer before the loop dies so Stop() never posts to it.
  {
    ScopedLock hold(loop_lock_);
    message_loop_ = nullptr;
  }
  loop.reset();
  if (loop_kind_ == kLoopCustom) custom_loop_maker_.reset();
  set_thread_id(0);
  if (own_record) g_thread_slot.Set(nullptr);
}

void FrameworkThread::QuitOnThread() {
  MessageLoop::current()->Quit();
  MarkQuitCleanly(true);
}

void FrameworkThread::Stop() {
  if (!running_.load()) return;
  {
    ScopedLock hold(loop_lock_);
    MessageLoop* loop = message_loop_.load();
    if (!stopping_.load() && loop) {
      stopping_ = true;
      loop->PostHeld(MakeWeak([this] { QuitOnThread(); }));
    }
  }
  Close();
  running_ = false;
  stopping_ = false;
}

void FrameworkThread::MarkQuitCleanly(bool clean) {
  if (ThreadSlotRecord* record = g_thread_slot.Get()) record->quit_cleanly = clean;
}

FrameworkThread* FrameworkThread::Current() {
  ThreadSlotRecord* record = g_thread_slot.Get();
  return record ? record->owner : nullptr;
}

bool FrameworkThread::QuitCleanly() {
  ThreadSlotRecord* record = g_thread_slot.Get();
  return record && record->quit_cleanly;
}

bool ThreadRegistry::RegisterCurrentThread(int id) {
  ThreadSlotRecord* record = g_thread_slot.Get();
  if (id < 0 || !record) return false;
  Registry& registry = GetRegistry();
  {
    ScopedLock hold(registry.lock);
    auto it = registry.threads.find(id);
    if (it == registry.threads.end())
      registry.threads[id] = record->owner;
    else if (it->second != record->owner)
      return false;
  }
  ++record->registrations;
  record->registered_id = id;
  return true;
}

bool ThreadRegistry::UnregisterCurrentThread() {
  ThreadSlotRecord* record = g_thread_slot.Get();
  if (!record || record->registrations <= 0) return false;
  if (--record->registrations == 0) {
    Registry& registry = GetRegistry();
    ScopedLock hold(registry.lock);
    registry.threads.erase(record->registered_id);
    record->registered_id = -1;
  }
  return true;
}

FrameworkThread* ThreadRegistry::FindThread(int id) {
  Registry& registry = GetRegistry();
  ScopedLock hold(registry.lock);
  auto it = registry.threads.find(id);
  return it == registry.threads.end() ? nullptr : it->second;
}

int ThreadRegistry::CurrentThreadId() {
  ThreadSlotRecord* record = g_thread_slot.Get();
  return record ? record->registered_id : -1;
}

}  // namespace base

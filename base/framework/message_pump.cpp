#include "base/framework/message_pump.h"

#include <windows.h>

#include "base/check.h"

namespace base {

DefaultMessagePump::DefaultMessagePump() = default;

DefaultMessagePump::~DefaultMessagePump() = default;

void DefaultMessagePump::Run(Delegate* delegate) {
  BASE_CHECK(should_quit_ == false);
  // Set when a look found the earliest delayed task due and still did no
  // work: the task cannot run here (the loop is nested inside a task), so
  // only a post can bring work, and looking again at once would spin.
  bool due_but_held = false;
  for (;;) {
    bool did_work = delegate->RunReadyWork();
    if (should_quit_) break;
    did_work |= delegate->RunDueWork(&wake_time_);
    if (should_quit_) break;
    if (did_work) {
      due_but_held = false;
      continue;
    }
    did_work = delegate->RunIdleWork();
    if (should_quit_) break;
    if (did_work) {
      due_but_held = false;
      continue;
    }
    const bool due = !wake_time_.IsNull() && wake_time_ <= TickClock::Now();
    if (!due) {
      due_but_held = false;
    } else if (!due_but_held) {
      due_but_held = true;  // it may have come due just now: one more look
      continue;
    }
    // Before paying for a sleep and the poster's SetEvent (two system calls),
    // spin briefly: under a stream of posts new work arrives within
    // microseconds of the queue running dry.
    if (wake_time_.IsNull() && SpinForWork(delegate)) continue;
    if (before_sleep_) before_sleep_();
    // Announce the sleep, then look once more: a post that saw the flag clear
    // has already put its task where this look finds it.
    sleeping_.store(true);
    if (delegate->RunReadyWork()) {
      sleeping_.store(false);
      continue;
    }
    // The wait is measured only now: that last look may have taken in a
    // delayed task due before the timer known until then.
    if (wake_time_.IsNull() || due_but_held) {
      event_.Wait();
    } else {
      const Duration delay = wake_time_ - TickClock::Now();
      if (delay > Duration()) event_.TimedWait(delay);
    }
    sleeping_.store(false);
  }
  should_quit_ = false;
}

bool DefaultMessagePump::SpinForWork(Delegate* delegate) {
  for (int round = 0; round < kSpinRounds; ++round) {
    for (int i = 0; i < kPausesPerRound; ++i) YieldProcessor();
    if (delegate->RunReadyWork()) return true;
  }
  // The poster may be waiting for this very core: give it the rest of the
  // time slice a few times before paying for a sleep.
  for (int round = 0; round < kYieldRounds; ++round) {
    ::SwitchToThread();
    if (delegate->RunReadyWork()) return true;
  }
  return false;
}

void DefaultMessagePump::Quit() { should_quit_ = true; }

void DefaultMessagePump::Wake() {
  if (sleeping_.exchange(false)) event_.Signal();
}

void DefaultMessagePump::WakeAt(const TickClock& due) { wake_time_ = due; }

}  // namespace base

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "ui/animation/animation_manager.h"
#include "ui/animation/animation_player.h"
#include "ui/animation/framework_timer.h"

namespace ui {
namespace {

double NowMs() {
  LARGE_INTEGER counter, frequency;
  ::QueryPerformanceCounter(&counter);
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Dispatches this thread's messages until |done| answers true or |timeout_ms|
// pass; answers |done|.
bool PumpUntil(const std::function<bool()>& done, double timeout_ms) {
  const double deadline = NowMs() + timeout_ms;
  while (!done()) {
    const double left = deadline - NowMs();
    if (left <= 0) return done();
    ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left) + 1, QS_ALLINPUT,
                                  MWMO_INPUTAVAILABLE);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  return true;
}

void PumpFor(double ms) { PumpUntil([] { return false; }, ms); }

// Every test starts and ends without a timer service, so each one creates it
// afresh and the last shut-down leaves the process clean.
class AnimationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FrameworkTimer::Shutdown());
    timer_ = FrameworkTimer::GetInstance();
    ASSERT_NE(timer_, nullptr) << "no timer window (is there a display?)";
  }
  void TearDown() override {
    EXPECT_TRUE(FrameworkTimer::Shutdown());
    EXPECT_EQ(::FindWindowExW(HWND_MESSAGE, nullptr, FrameworkTimer::kWindowClass, nullptr), nullptr);
  }
  FrameworkTimer* timer_ = nullptr;
};

// ---- The motion profile, stepped by hand ----

struct ProfileStep {
  enum Action { kAdvance, kReverse } action;
  double ms;  // for kAdvance
  int low, high;  // the current value afterwards
  bool done;      // completed (not playing) afterwards
};

struct ProfileCase {
  const char* name;
  std::function<void(AnimationPlayer&)> setup;
  std::vector<ProfileStep> steps;  // the first one is the state right after Start()
};

TEST_F(AnimationTest, MotionProfile) {
  using S = ProfileStep;
  const auto timed = [](int from, int to, int64_t total, double a, double e) {
    return [=](AnimationPlayer& p) {
      p.SetStartValue(from);
      p.SetEndValue(to);
      p.SetTotalMillSeconds(total);
      p.SetAcceleration(a);
      p.SetDeceleration(e);
    };
  };
  const std::vector<ProfileCase> cases = {
      {"constant speed over a known duration", timed(0, 100, 100, 0, 0),
       {{S::kAdvance, 0, 0, 0, false},
        {S::kAdvance, 25, 25, 25, false},
        {S::kAdvance, 25, 50, 50, false},
        {S::kAdvance, 49.9, 99, 99, false},
        {S::kAdvance, 0.2, 100, 100, true}}},
      {"constant speed, duration from the speed",
       [](AnimationPlayer& p) {
         p.SetEndValue(100);
         p.SetSpeed(0.5);
       },
       {{S::kAdvance, 0, 0, 0, false},
        {S::kAdvance, 100, 50, 50, false},
        {S::kAdvance, 99.9, 99, 99, false},
        {S::kAdvance, 0.1, 100, 100, true}}},
      // 0.3 of 250 ms speeding up, 0.7 slowing down: 76.5 at 75 ms, 163.9 at 125.
      {"speed-up and slow-down over a known duration", timed(0, 255, 250, 0.3, 0.7),
       {{S::kAdvance, 0, 0, 0, false},
        {S::kAdvance, 75, 76, 76, false},
        {S::kAdvance, 50, 163, 163, false},
        {S::kAdvance, 75, 240, 240, false},
        {S::kAdvance, 49.9, 254, 254, false},
        {S::kAdvance, 0.1, 255, 255, true}}},
      {"slow-down only, downwards", timed(100, 0, 100, 0, 0.5),
       {{S::kAdvance, 0, 100, 100, false},
        {S::kAdvance, 50, 34, 34, false},  // 66.7 covered at the cruising speed
        {S::kAdvance, 25, 9, 9, false},    // 91.7 covered
        {S::kAdvance, 25, 0, 0, true}}},
      // sqrt(100 / (0.00084 × 0.3)) = 629.9 ms.
      {"duration derived from the speed-up factor",
       [](AnimationPlayer& p) {
         p.SetEndValue(100);
         p.SetAcceleration(0.3);
         p.SetDeceleration(0.7);
         p.SetSpeedUpfactor(0.00084);
       },
       {{S::kAdvance, 0, 0, 0, false},
        {S::kAdvance, 629, 99, 99, false},
        {S::kAdvance, 1, 100, 100, true}}},
      {"derived duration held to the maximum",
       [](AnimationPlayer& p) {
         p.SetEndValue(100);
         p.SetAcceleration(0.3);
         p.SetDeceleration(0.7);
         p.SetSpeedUpfactor(1e-12);  // would take 18257 s
       },
       {{S::kAdvance, 0, 0, 0, false},
        {S::kAdvance, 999999, 99, 99, false},
        {S::kAdvance, 1, 100, 100, true}}},
      // Reversed at 125 ms (value 163): back to 0 in the 125 ms it came,
      // through the forward path's values (54 ↔ 62.5 ms).
      {"reversed half-way", timed(0, 255, 250, 0.3, 0.7),
       {{S::kAdvance, 0, 0, 0, false},
        {S::kAdvance, 125, 163, 163, false},
        {S::kReverse, 0, 163, 164, false},
        {S::kAdvance, 62.5, 53, 54, false},
        {S::kAdvance, 62.4, 1, 1, false},
        {S::kAdvance, 0.1, 0, 0, true}}},
      {"zero duration goes straight to the end", timed(0, 80, 0, 0.3, 0.7),
       {{S::kAdvance, 0, 80, 80, true}}},
      {"zero speed goes straight to the end",
       [](AnimationPlayer& p) { p.SetEndValue(80); },
       {{S::kAdvance, 0, 80, 80, true}}},
      {"zero speed-up factor goes straight to the end",
       [](AnimationPlayer& p) {
         p.SetEndValue(80);
         p.SetAcceleration(0.3);
         p.SetDeceleration(0.7);
       },
       {{S::kAdvance, 0, 80, 80, true}}},
      {"zero slow-down factor goes straight to the end",
       [](AnimationPlayer& p) {
         p.SetEndValue(80);
         p.SetDeceleration(0.5);
       },
       {{S::kAdvance, 0, 80, 80, true}}},
      {"start equal to end completes at once", timed(7, 7, 250, 0.3, 0.7),
       {{S::kAdvance, 0, 7, 7, true}}},
  };

  for (const ProfileCase& c : cases) {
    SCOPED_TRACE(c.name);
    AnimationPlayer player;
    std::vector<int> values;
    int completions = 0;
    player.SetCallback([&](int v) { values.push_back(v); });
    player.SetCompleteCallback([&] { ++completions; });
    c.setup(player);
    const bool still = player.start_value() == player.end_value();

    player.Start();
    if (player.IsPlaying()) {
      // Playing again at once changes nothing and still leaves one step timer.
      const size_t timers = timer_->pending_count();
      player.Play();
      EXPECT_EQ(timer_->pending_count(), timers);
    }

    int direction = player.end_value() >= player.start_value() ? 1 : -1;
    int previous = 0;
    size_t checked = 0;
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const ProfileStep& step = c.steps[i];
      SCOPED_TRACE(i);
      if (step.action == ProfileStep::kReverse) {
        player.Reverse();
        direction = -direction;
      } else if (i > 0) {
        player.AdvanceForTesting(step.ms);
      }
      EXPECT_GE(player.current_value(), step.low);
      EXPECT_LE(player.current_value(), step.high);
      EXPECT_EQ(player.IsPlaying(), !step.done);
      EXPECT_EQ(completions, step.done ? 1 : 0);
      // Delivered values move one way only (one step back at a reversal),
      // and only when they change.
      for (; checked < values.size(); ++checked) {
        const int v = values[checked];
        if (checked > 0) {
          EXPECT_NE(v, previous);
          EXPECT_GE((v - previous) * direction, step.action == ProfileStep::kReverse ? -1 : 0);
        }
        previous = v;
      }
    }
    // The last value delivered is exactly the end value, and nothing follows.
    EXPECT_EQ(player.current_value(), player.end_value());
    if (still) {
      EXPECT_TRUE(values.empty());
    } else {
      ASSERT_FALSE(values.empty());
      EXPECT_EQ(values.back(), player.end_value());
    }
    player.AdvanceForTesting(1000);
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(values.empty() || values.back() == player.end_value());
  }
}

// ---- The timer service under the real multimedia timer ----

class TickOwner : public base::SupportWeakCallback {
 public:
  explicit TickOwner(int* ticks) : ticks_(ticks) {}
  void Tick() { ++*ticks_; }  // through a member: a call after free faults
 private:
  int* ticks_;
};

TEST_F(AnimationTest, FrameworkTimerTicks) {
  HWND window = timer_->window();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(::FindWindowExW(HWND_MESSAGE, nullptr, FrameworkTimer::kWindowClass, nullptr), window);

  // An interval of 0 runs once per tick, not for ever within one.
  {
    base::WeakCallbackFlag flag;
    int runs = 0;
    bool shut_down_inside = true;
    ASSERT_TRUE(timer_->AddTimer(flag.AliveFlag(), [&] {
      if (++runs >= 1000) flag.Cancel();
      shut_down_inside = FrameworkTimer::Shutdown();  // refused: the poll is still running
    }, 0, -1));
    ::SendMessageW(window, FrameworkTimer::kTickMessage, 0, 0);
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(shut_down_inside);
    EXPECT_EQ(FrameworkTimer::GetInstance(), timer_);
    ::SendMessageW(window, FrameworkTimer::kTickMessage, 0, 0);
    EXPECT_EQ(runs, 2);
  }
  // Refused: no owner, no callback, a negative interval, a repeat count of 0.
  {
    base::WeakCallbackFlag flag;
    EXPECT_FALSE(timer_->AddTimer(std::weak_ptr<base::WeakFlag>(), [] {}, 1, 1));
    EXPECT_FALSE(timer_->AddTimer(flag.AliveFlag(), nullptr, 1, 1));
    EXPECT_FALSE(timer_->AddTimer(flag.AliveFlag(), [] {}, -1, 1));
    EXPECT_FALSE(timer_->AddTimer(flag.AliveFlag(), [] {}, 1, 0));
  }

  // Timers of several kinds over about a second of real ticks.
  struct Row {
    const char* name;
    int interval_ms;
    int repeat;
    int low, high;  // runs expected in the second
  };
  const Row rows[] = {
      {"every tick, for ever", 1, -1, 20, 70},  // the 16 ms period, loosely
      {"repeat count 1 runs once", 1, 1, 1, 1},
      {"repeat count 3 runs three times", 1, 3, 3, 3},
      {"every 100 ms", 100, -1, 5, 11},
  };
  base::WeakCallbackFlag flags[std::size(rows)];
  int runs[std::size(rows)] = {};
  std::vector<double> every_tick;
  for (size_t i = 0; i < std::size(rows); ++i) {
    ASSERT_TRUE(timer_->AddTimer(flags[i].AliveFlag(), [&, i] {
      ++runs[i];
      if (i == 0) every_tick.push_back(NowMs());
    }, rows[i].interval_ms, rows[i].repeat));
  }
  // An owner destroyed while its timer repeats is never reached again.
  int owner_ticks = 0;
  auto owner = std::make_unique<TickOwner>(&owner_ticks);
  TickOwner* raw_owner = owner.get();
  ASSERT_TRUE(timer_->AddTimer(owner->AliveFlag(), [raw_owner] { raw_owner->Tick(); }, 1, -1));
  EXPECT_TRUE(timer_->fast_mode());

  const double began = NowMs();
  ASSERT_TRUE(PumpUntil([&] { return owner_ticks >= 3; }, 2000));
  owner.reset();
  const int ticks_at_destruction = owner_ticks;
  PumpFor(1000 - (NowMs() - began));
  const double second = NowMs() - began;
  EXPECT_EQ(owner_ticks, ticks_at_destruction);

  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(rows[i].name);
    EXPECT_GE(runs[i], rows[i].low);
    EXPECT_LE(runs[i], rows[i].high);
  }
  ASSERT_GE(every_tick.size(), 2u);
  const double period = (every_tick.back() - every_tick.front()) / static_cast<double>(every_tick.size() - 1);
  std::printf("tick period: %.2f ms over %zu ticks in %.0f ms\n", period, every_tick.size(), second);
  RecordProperty("tick_period_us", static_cast<int>(period * 1000));

  // Cancelled timers leave the queue, and with nothing left the multimedia
  // timer stops.
  for (auto& flag : flags) flag.Cancel();
  EXPECT_TRUE(PumpUntil([&] { return timer_->pending_count() == 0 && !timer_->ticking(); }, 2000))
      << timer_->pending_count() << " timers left";

  // A timer a second and a half away sleeps in one long wait, not 16 ms ticks.
  base::WeakCallbackFlag later;
  int later_runs = 0;
  const double added = NowMs();
  double ran_at = 0;
  ASSERT_TRUE(timer_->AddTimer(later.AliveFlag(), [&] {
    ++later_runs;
    ran_at = NowMs();
  }, 1500, 1));
  EXPECT_TRUE(PumpUntil([&] { return timer_->ticking() && !timer_->fast_mode(); }, 500));
  EXPECT_TRUE(PumpUntil([&] { return later_runs > 0; }, 3000));
  EXPECT_EQ(later_runs, 1);
  EXPECT_GE(ran_at - added, 1499);
  EXPECT_TRUE(PumpUntil([&] { return !timer_->ticking(); }, 500));
  EXPECT_EQ(timer_->pending_count(), 0u);
}

// ---- The manager against a target that records every call ----

struct Call {
  char what;  // a alpha, h hot, w width, H height, x/y offset, v visible
  int value;
};

class RecordingTarget : public FadeTarget {
 public:
  RecordingTarget(std::vector<Call>* calls, SIZE size) : calls_(calls), size_(size) {}
  void SetFadeAlphaValue(int alpha) override { calls_->push_back({'a', alpha}); }
  void SetFadeHotAlphaValue(int alpha) override { calls_->push_back({'h', alpha}); }
  void SetFadeFixedWidth(int width) override { calls_->push_back({'w', width}); }
  void SetFadeFixedHeight(int height) override { calls_->push_back({'H', height}); }
  void SetFadeRenderOffset(int x, int y) override {
    if (x != offset_.x) calls_->push_back({'x', x});
    if (y != offset_.y) calls_->push_back({'y', y});
    offset_ = {x, y};
  }
  POINT FadeRenderOffset() const override { return offset_; }
  SIZE FadeEstimateSize(SIZE) override { return size_; }
  void SetFadeVisible(bool visible) override {
    calls_->push_back({'v', visible ? 1 : 0});
    if (on_visible) {
      std::function<void(bool)> hook = on_visible;  // may destroy this object
      hook(visible);
    }
  }

  std::function<void(bool)> on_visible;

 private:
  std::vector<Call>* calls_;
  SIZE size_;
  POINT offset_ = {0, 0};
};

// A control's way: the manager is a member of the target.
class ControlLike : public RecordingTarget {
 public:
  using RecordingTarget::RecordingTarget;
  AnimationManager manager{this};
};

std::vector<int> ValuesOf(const std::vector<Call>& calls, char what, size_t from = 0) {
  std::vector<int> values;
  for (size_t i = from; i < calls.size(); ++i) {
    if (calls[i].what == what) values.push_back(calls[i].value);
  }
  return values;
}

int LastIndexOf(const std::vector<Call>& calls, char what, int value) {
  for (size_t i = calls.size(); i-- > 0;) {
    if (calls[i].what == what && calls[i].value == value) return static_cast<int>(i);
  }
  return -1;
}

TEST_F(AnimationTest, HotFadeFollowsTheMouse) {
  std::vector<Call> calls;
  ControlLike control(&calls, SIZE{50, 20});
  AnimationManager& manager = control.manager;
  EXPECT_FALSE(manager.HasHotFade());
  manager.SetFadeHot(true);
  ASSERT_TRUE(manager.HasHotFade());
  AnimationPlayer* hot = manager.PlayerFor(kFadeHot);
  ASSERT_NE(hot, nullptr);
  EXPECT_EQ(manager.PlayerFor(kFadeAlpha), nullptr);

  // Rising over time.
  const double entered = NowMs();
  manager.MouseEnter();
  ASSERT_TRUE(PumpUntil([&] { auto v = ValuesOf(calls, 'h'); return !v.empty() && v.back() >= 128; }, 2000));
  const double rise_ms = NowMs() - entered;
  std::vector<int> rising = ValuesOf(calls, 'h');
  EXPECT_GE(rising.size(), 3u);  // several steps, not one jump
  EXPECT_TRUE(std::is_sorted(rising.begin(), rising.end()));
  EXPECT_LT(rising.back(), 255);
  EXPECT_GT(rise_ms, 50);  // 128 of 255 takes about 110 ms of the 250 ms profile

  // Leaving reverses from where it is, back to exactly 0 in the mirrored time.
  const double risen = hot->elapsed_ms();
  const size_t mark = calls.size();
  const double left_at = NowMs();
  manager.MouseLeave();
  ASSERT_TRUE(PumpUntil([&] { return !hot->IsPlaying(); }, 2000));
  const double fall_ms = NowMs() - left_at;
  std::vector<int> falling = ValuesOf(calls, 'h', mark);
  ASSERT_FALSE(falling.empty());
  EXPECT_LE(falling.front(), rising.back() + 1);
  EXPECT_TRUE(std::is_sorted(falling.rbegin(), falling.rend()));
  EXPECT_EQ(falling.back(), 0);
  EXPECT_GE(fall_ms, risen - 0.5);
  EXPECT_LT(fall_ms, risen + 500);

  // A button release stops it where it is.
  manager.MouseEnter();
  ASSERT_TRUE(PumpUntil([&] { auto v = ValuesOf(calls, 'h'); return !v.empty() && v.back() >= 40; }, 2000));
  manager.StopHot();
  const size_t stopped = calls.size();
  PumpFor(300);
  EXPECT_EQ(calls.size(), stopped);
  EXPECT_FALSE(hot->IsPlaying());

  // Switched off, the player goes.
  manager.SetFadeHot(false);
  EXPECT_FALSE(manager.HasHotFade());
  EXPECT_EQ(manager.PlayerFor(kFadeHot), nullptr);
}

TEST_F(AnimationTest, AnimateInAndOut) {
  std::vector<Call> calls;
  ControlLike control(&calls, SIZE{400, 30});
  AnimationManager& manager = control.manager;
  manager.SetFadeAlpha(true);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].what, 'a');  // switched on at alpha 0
  EXPECT_EQ(calls[0].value, 0);
  manager.SetFadeInOutX(true, false);  // from the left: 400 → 0, about 471 ms
  AnimationPlayer* alpha = manager.PlayerFor(kFadeAlpha);
  AnimationPlayer* slide = manager.PlayerFor(kFadeInoutXFromLeft);
  ASSERT_TRUE(alpha && slide);
  EXPECT_EQ(slide->start_value(), 400);
  EXPECT_EQ(slide->end_value(), 0);
  EXPECT_EQ(manager.PlayerFor(kFadeInoutXFromRight), nullptr);

  calls.clear();
  manager.AnimateIn();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls[0].what, 'v');  // shown first
  EXPECT_EQ(calls[0].value, 1);
  ASSERT_TRUE(PumpUntil([&] { return !alpha->IsPlaying() && !slide->IsPlaying(); }, 3000));
  std::vector<int> alphas = ValuesOf(calls, 'a');
  std::vector<int> xs = ValuesOf(calls, 'x');
  ASSERT_GE(alphas.size(), 3u);
  ASSERT_GE(xs.size(), 3u);
  EXPECT_TRUE(std::is_sorted(alphas.begin(), alphas.end()));
  EXPECT_EQ(alphas.back(), 255);
  EXPECT_EQ(xs.front(), 400);
  EXPECT_TRUE(std::is_sorted(xs.rbegin(), xs.rend()));
  EXPECT_EQ(xs.back(), 0);
  EXPECT_EQ(LastIndexOf(calls, 'v', 0), -1);

  // Out: hidden once both fades are back, not when the quicker alpha is.
  calls.clear();
  manager.AnimateOut();
  ASSERT_TRUE(PumpUntil([&] { return LastIndexOf(calls, 'v', 0) >= 0; }, 3000));
  const int hidden = LastIndexOf(calls, 'v', 0);
  const int alpha_out = LastIndexOf(calls, 'a', 0);
  const int slide_out = LastIndexOf(calls, 'x', 400);
  ASSERT_GE(alpha_out, 0);
  ASSERT_GE(slide_out, 0);
  EXPECT_LT(alpha_out, slide_out);
  EXPECT_EQ(hidden, slide_out + 1);
  EXPECT_EQ(hidden, static_cast<int>(calls.size()) - 1);
  PumpFor(100);
  EXPECT_EQ(ValuesOf(calls, 'v').size(), 1u);

  // Turned round mid-way and back again before a step: the slide goes on
  // from where it was and the interrupted fade-out hides nothing.
  calls.clear();
  manager.AnimateIn();
  ASSERT_TRUE(PumpUntil([&] { auto x = ValuesOf(calls, 'x'); return !x.empty() && x.back() <= 200; }, 2000));
  const size_t mark = calls.size();
  const int x_at_turn = ValuesOf(calls, 'x').back();
  manager.AnimateOut();
  manager.AnimateIn();
  // Each turn may deliver the value one unit off (it is truncated from the
  // other end), no more.
  for (int x : ValuesOf(calls, 'x', mark)) EXPECT_LE(std::abs(x - x_at_turn), 1);
  const size_t turned = calls.size();
  ASSERT_TRUE(PumpUntil([&] { return !alpha->IsPlaying() && !slide->IsPlaying(); }, 3000));
  EXPECT_EQ(ValuesOf(calls, 'v'), (std::vector<int>{1, 1}));
  std::vector<int> after_turn = ValuesOf(calls, 'x', turned);
  ASSERT_FALSE(after_turn.empty());
  EXPECT_LE(after_turn.front(), x_at_turn + 1);
  EXPECT_TRUE(std::is_sorted(after_turn.rbegin(), after_turn.rend()));
  EXPECT_EQ(after_turn.back(), 0);
  EXPECT_EQ(ValuesOf(calls, 'a').back(), 255);

  // Without fades, out hides at once.
  std::vector<Call> plain_calls;
  ControlLike plain(&plain_calls, SIZE{10, 10});
  plain.manager.AnimateOut();
  ASSERT_EQ(plain_calls.size(), 1u);
  EXPECT_EQ(plain_calls[0].what, 'v');
  EXPECT_EQ(plain_calls[0].value, 0);
}

TEST_F(AnimationTest, DestroyedOwnerIsNeverTouched) {
  struct Variant {
    const char* name;
    bool manager_outlives;
    bool fading_out;
    bool destroyed_by_hiding;  // as a closing window does
  };
  const Variant variants[] = {
      {"manager inside the control, fading in and hot", false, false, false},
      {"manager outliving the control, fading in and hot", true, false, false},
      {"manager outliving the control, fading out", true, true, false},
      {"manager inside the control, destroyed when the fade-out hides it", false, true, true},
  };
  for (const Variant& variant : variants) {
    SCOPED_TRACE(variant.name);
    std::vector<Call> calls;
    auto control = std::make_unique<ControlLike>(&calls, SIZE{200, 30});
    std::unique_ptr<AnimationManager> outside;
    if (variant.manager_outlives) outside = std::make_unique<AnimationManager>(control.get());
    AnimationManager& manager = outside ? *outside : control->manager;
    manager.SetFadeAlpha(true);
    manager.SetFadeHot(true);
    manager.SetFadeInOutY(true, true);
    manager.AnimateIn();
    manager.MouseEnter();
    ASSERT_TRUE(PumpUntil([&] { auto v = ValuesOf(calls, 'a'); return !v.empty() && v.back() >= 60; }, 2000));
    if (variant.destroyed_by_hiding) {
      control->on_visible = [&](bool visible) {
        if (!visible) control.reset();
      };
      manager.AnimateOut();
      ASSERT_TRUE(PumpUntil([&] { return control == nullptr; }, 2000));
    } else if (variant.fading_out) {
      manager.AnimateOut();
      const size_t mark = calls.size();
      ASSERT_TRUE(PumpUntil([&] { return calls.size() > mark; }, 2000));
    }
    control.reset();
    const size_t at_destruction = calls.size();
    PumpFor(400);  // longer than any of the fades
    EXPECT_EQ(calls.size(), at_destruction);
    if (outside) {
      // Its players ran on with nobody to tell; calls now reach nothing.
      for (int kind : {kFadeAlpha, kFadeHot, kFadeInoutYFromBottom}) {
        ASSERT_NE(outside->PlayerFor(kind), nullptr);
        EXPECT_FALSE(outside->PlayerFor(kind)->IsPlaying());
      }
      outside->AnimateOut();
      outside->AnimateIn();
      outside->MouseLeave();
      outside->SetFadeWidth(true);
      PumpFor(50);
      EXPECT_EQ(calls.size(), at_destruction);
    }
  }
  EXPECT_TRUE(PumpUntil([&] { return !timer_->ticking(); }, 1000));
}

}  // namespace
}  // namespace ui

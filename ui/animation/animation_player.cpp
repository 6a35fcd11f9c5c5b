#include "ui/animation/animation_player.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "base/log/log.h"
#include "ui/animation/framework_timer.h"

namespace ui {

// ---- AnimationPlayerBase ----

AnimationPlayerBase::AnimationPlayerBase() {
  LARGE_INTEGER frequency;
  if (::QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0) frequency_ = frequency.QuadPart;
}

AnimationPlayerBase::~AnimationPlayerBase() { timer_flag_.Cancel(); }

void AnimationPlayerBase::Init() {
  timer_flag_.Cancel();
  start_value_ = end_value_ = current_value_ = 0;
  total_ms_ = -1;
  max_total_ms_ = 1000000;
  elapsed_ms_ = 0;
  prepared_total_ms_ = 0;
  reversed_ = playing_ = reached_end_ = false;
  value_callback_ = nullptr;
  complete_callback_ = nullptr;
}

void AnimationPlayerBase::Start() {
  Stop();
  elapsed_ms_ = 0;
  reversed_ = false;
  Play();
}

void AnimationPlayerBase::Stop() {
  timer_flag_.Cancel();
  playing_ = false;
}

void AnimationPlayerBase::Continue() {
  if (reversed_) Turn();
  Play();
}

void AnimationPlayerBase::Reverse() {
  if (!reversed_) Turn();
  Play();
}

void AnimationPlayerBase::Turn() {
  std::swap(start_value_, end_value_);
  reversed_ = !reversed_;
  // The same point of the path, seen from the other end; from the far end
  // again after a completed run.
  elapsed_ms_ = reached_end_ ? 0 : std::max(0.0, MotionTotal() - elapsed_ms_);
  reached_end_ = false;
}

double AnimationPlayerBase::MotionTotal() {
  if (start_value_ == end_value_) return 0;
  prepared_total_ms_ = PrepareMotion();
  return prepared_total_ms_;
}

void AnimationPlayerBase::Play() {
  Stop();
  reached_end_ = false;
  if (start_value_ == end_value_) {
    current_value_ = end_value_;
    Complete();
    return;
  }
  if (!(MotionTotal() > 0)) {
    JumpToEnd();
    return;
  }
  FrameworkTimer* timer = FrameworkTimer::GetInstance();
  if (!timer) {
    QLOG_ERR(L"animation without a timer: jumps to its end value {0}") << end_value_;
    JumpToEnd();
    return;
  }
  LARGE_INTEGER counter;
  ::QueryPerformanceCounter(&counter);
  last_counter_ = counter.QuadPart;
  playing_ = true;

  std::weak_ptr<base::WeakFlag> alive = AliveFlag();
  Advance(0);
  // The first value's callback may have stopped, replayed or destroyed us.
  if (alive.expired() || !playing_) return;
  const double distance = std::abs(static_cast<double>(end_value_) - start_value_);
  const int interval = static_cast<int>(std::clamp(prepared_total_ms_ / distance, 1.0, 1000000.0));
  timer_flag_.Cancel();  // a replay from that callback set one already
  if (!timer->AddTimer(timer_flag_.AliveFlag(), [this] { Step(); }, interval, -1)) JumpToEnd();
}

void AnimationPlayerBase::Step() {
  LARGE_INTEGER counter;
  ::QueryPerformanceCounter(&counter);
  const double ms = static_cast<double>(counter.QuadPart - last_counter_) * 1000.0 / static_cast<double>(frequency_);
  last_counter_ = counter.QuadPart;
  Advance(ms);
}

void AnimationPlayerBase::Advance(double ms) {
  if (!playing_) return;
  elapsed_ms_ += ms;
  const int value = GetCurrentValue();
  const bool passed = end_value_ >= start_value_ ? value >= end_value_ : value <= end_value_;
  if (passed) {
    JumpToEnd();
    return;
  }
  if (value == current_value_) return;
  current_value_ = value;
  if (value_callback_) {
    ValueCallback callback = value_callback_;  // it may replace itself
    callback(value);
  }
}

void AnimationPlayerBase::JumpToEnd() {
  timer_flag_.Cancel();
  playing_ = false;
  reached_end_ = true;
  current_value_ = end_value_;
  std::weak_ptr<base::WeakFlag> alive = AliveFlag();
  if (value_callback_) {
    ValueCallback callback = value_callback_;
    callback(end_value_);
  }
  if (alive.expired()) return;
  Complete();
}

void AnimationPlayerBase::Complete() {
  // Settled before the callback, which may play the player again.
  timer_flag_.Cancel();
  playing_ = false;
  reached_end_ = true;
  if (complete_callback_) {
    CompleteCallback callback = complete_callback_;
    callback();
  }
}

// ---- AnimationPlayer ----

AnimationPlayer::AnimationPlayer() = default;

void AnimationPlayer::Init() {
  AnimationPlayerBase::Init();
  speed_up_ratio_ = slow_down_ratio_ = 0;
  speed_up_factor_config_ = slow_down_factor_config_ = speed_config_ = 0;
  distance_ = speed_up_end_ = slow_down_start_ = 0;
  speed_up_factor_ = slow_down_factor_ = cruising_speed_ = 0;
}

void AnimationPlayer::SetAcceleration(double ratio) {
  speed_up_ratio_ = ratio > 0 ? std::min(ratio, 1.0) : 0;  // NaN counts as 0
}

void AnimationPlayer::SetDeceleration(double ratio) {
  slow_down_ratio_ = ratio > 0 ? std::min(ratio, 1.0) : 0;
}

double AnimationPlayer::PrepareMotion() {
  const double distance = std::abs(static_cast<double>(end_value_) - start_value_);
  double a = speed_up_ratio_;
  double e = slow_down_ratio_;
  if (a + e > 1) {
    const double sum = a + e;
    a /= sum;
    e /= sum;
  }
  // Distance = factor × T² × k for a uniform speed-up over aT (or slow-down
  // over eT) with a speed that stays continuous.
  const double k_up = 2 * (1 - a - e) * a + a * a + e * a;
  const double k_down = 2 * (1 - a - e) * e + e * e + e * a;

  double total = static_cast<double>(total_ms_);
  if (total_ms_ < 0) {
    // Derived; a speed or factor of 0 cannot cover the distance in any time,
    // which counts as no time at all (the player jumps to the end).
    if (a == 0 && e == 0) {
      total = speed_config_ > 0 ? distance / speed_config_ : 0;
    } else if (a > 0) {
      total = speed_up_factor_config_ > 0 ? std::sqrt(distance / (speed_up_factor_config_ * k_up)) : 0;
    } else {
      const double factor = slow_down_factor_config_ != 0 ? std::abs(slow_down_factor_config_)
                                                         : speed_up_factor_config_;
      total = factor > 0 ? std::sqrt(distance / (factor * k_down)) : 0;
    }
  }
  if (!(total > 0)) return 0;  // zero duration, or NaN
  if (max_total_ms_ > 0) total = std::min(total, static_cast<double>(max_total_ms_));

  distance_ = distance;
  speed_up_end_ = a * total;
  slow_down_start_ = (1 - e) * total;
  if (a == 0 && e == 0) {
    speed_up_factor_ = slow_down_factor_ = 0;
    cruising_speed_ = distance / total;
  } else if (a > 0) {
    speed_up_factor_ = distance / (k_up * total * total);
    cruising_speed_ = 2 * speed_up_factor_ * a * total;
    slow_down_factor_ = e > 0 ? -speed_up_factor_ * a / e : 0;
  } else {
    speed_up_factor_ = 0;
    slow_down_factor_ = -distance / (k_down * total * total);
    cruising_speed_ = -2 * slow_down_factor_ * e * total;
  }
  return total;
}

double AnimationPlayer::Distance(double t) const {
  if (t <= 0) return 0;
  if (t < speed_up_end_) return speed_up_factor_ * t * t;
  const double sped_up = speed_up_factor_ * speed_up_end_ * speed_up_end_;
  if (t < slow_down_start_) return sped_up + cruising_speed_ * (t - speed_up_end_);
  const double u = t - slow_down_start_;
  return sped_up + cruising_speed_ * (slow_down_start_ - speed_up_end_) + u * slow_down_factor_ * u +
         u * cruising_speed_;
}

int AnimationPlayer::GetCurrentValue() const {
  const double total = prepared_total_ms();
  if (elapsed_ms_ >= total) return end_value_;
  // A reversed player walks the forward path backwards in time, so turning
  // round mid-way continues from the value it had.
  double covered = reversed_ ? distance_ - Distance(total - elapsed_ms_) : Distance(elapsed_ms_);
  covered = std::clamp(covered, 0.0, distance_);
  const int step = static_cast<int>(covered);
  return end_value_ >= start_value_ ? start_value_ + step : start_value_ - step;
}

}  // namespace ui

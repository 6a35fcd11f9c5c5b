// Moves an int from a start value to an end value over time and reports every
// new value to a callback: the engine of fades, slides and tab switches.
//
// Threads: a player lives on the UI thread. It steps from FrameworkTimer,
// whose callbacks run on that thread, and calls its callbacks there. Its step
// timer is bound to a flag the player owns, so a destroyed player's timer
// never runs; destroying the player from inside its own callbacks is allowed.
#ifndef UI_ANIMATION_ANIMATION_PLAYER_H_
#define UI_ANIMATION_ANIMATION_PLAYER_H_

#include <cstdint>
#include <functional>

#include "base/callback/weak_callback.h"

namespace ui {

// The stepping: values, elapsed time, direction and the step timer. The shape
// of the motion is the subclass's GetCurrentValue().
class AnimationPlayerBase : public base::SupportWeakCallback {
 public:
  using ValueCallback = std::function<void(int)>;
  using CompleteCallback = std::function<void()>;

  AnimationPlayerBase();
  ~AnimationPlayerBase() override;
  AnimationPlayerBase(const AnimationPlayerBase&) = delete;
  AnimationPlayerBase& operator=(const AnimationPlayerBase&) = delete;

  // Back to the defaults: values 0, duration -1 (derived), nothing playing.
  virtual void Init();
  // From the start value, forwards: stop, elapsed 0, not reversed, play.
  virtual void Start();
  // Cancels the step timer; the value stays where it is.
  virtual void Stop();
  // Plays forwards; a reversed player turns round first, from where it is.
  virtual void Continue();
  // Plays backwards; turning round mirrors the elapsed time so the value goes
  // back the way it came, and starts from the far end after a completed run.
  virtual void Reverse();
  // Plays from the current elapsed time towards the end value. Cancels the
  // running step timer first, so a player never has two.
  virtual void Play();
  // The value at the current elapsed time; the end value at or past the end.
  virtual int GetCurrentValue() const = 0;
  // Fractions of the duration spent speeding up and slowing down.
  virtual void SetAcceleration(double ratio) = 0;
  virtual void SetDeceleration(double ratio) = 0;

  void SetStartValue(int value) { start_value_ = value; }
  int start_value() const { return start_value_; }
  void SetEndValue(int value) { end_value_ = value; }
  int end_value() const { return end_value_; }
  int current_value() const { return current_value_; }
  // Milliseconds; a negative duration is derived from the motion's factors.
  void SetTotalMillSeconds(int64_t ms) { total_ms_ = ms; }
  int64_t total_ms() const { return total_ms_; }
  void SetMaxTotalMillSeconds(int64_t ms) { max_total_ms_ = ms; }
  double elapsed_ms() const { return elapsed_ms_; }
  void SetCallback(ValueCallback callback) { value_callback_ = std::move(callback); }
  void SetCompleteCallback(CompleteCallback callback) { complete_callback_ = std::move(callback); }

  bool IsPlaying() const { return playing_; }
  bool IsReversed() const { return reversed_; }
  bool HasReachedEnd() const { return reached_end_; }

  // Steps as the timer would after |ms| of animation time, without the clock.
  void AdvanceForTesting(double ms) { Advance(ms); }

 protected:
  // Fixes the motion for the current start and end (which differ) and
  // answers the duration it takes in milliseconds; 0 when it can take no
  // time (a zero duration, speed or factor), and the player then jumps to the
  // end.
  virtual double PrepareMotion() = 0;
  double prepared_total_ms() const { return prepared_total_ms_; }

  int start_value_ = 0;
  int end_value_ = 0;
  int current_value_ = 0;
  int64_t total_ms_ = -1;
  int64_t max_total_ms_ = 1000000;
  double elapsed_ms_ = 0;
  bool reversed_ = false;

 private:
  void Step();
  void Advance(double ms);
  void JumpToEnd();
  void Complete();
  double MotionTotal();
  void Turn();

  bool playing_ = false;
  bool reached_end_ = false;
  double prepared_total_ms_ = 0;
  int64_t last_counter_ = 0;
  int64_t frequency_ = 1;
  ValueCallback value_callback_;
  CompleteCallback complete_callback_;
  base::WeakCallbackFlag timer_flag_;  // the running step timer's owner
};

// A uniform speed-up during the first part of the duration, a constant
// cruising speed, and a uniform slow-down during the last part, arriving
// exactly at the end value at the end of the duration. With no duration set,
// it is derived from the speed-up factor (or the slow-down factor, or the
// constant speed when there is neither phase).
class AnimationPlayer : public AnimationPlayerBase {
 public:
  AnimationPlayer();

  void Init() override;
  int GetCurrentValue() const override;
  void SetAcceleration(double ratio) override;
  void SetDeceleration(double ratio) override;

  // Value units per ms squared; only used to derive a missing duration.
  void SetSpeedUpfactor(double factor) { speed_up_factor_config_ = factor; }
  void SetSlowDownfactor(double factor) { slow_down_factor_config_ = factor; }
  // Value units per ms, for a motion without speed-up and slow-down.
  void SetSpeed(double speed) { speed_config_ = speed; }

 protected:
  double PrepareMotion() override;

 private:
  // Distance covered after |t| ms of the forward motion.
  double Distance(double t) const;

  double speed_up_ratio_ = 0;
  double slow_down_ratio_ = 0;
  double speed_up_factor_config_ = 0;
  double slow_down_factor_config_ = 0;
  double speed_config_ = 0;
  // The prepared motion.
  double distance_ = 0;
  double speed_up_end_ = 0;     // ms
  double slow_down_start_ = 0;  // ms
  double speed_up_factor_ = 0;
  double slow_down_factor_ = 0;
  double cruising_speed_ = 0;
};

}  // namespace ui

#endif  // UI_ANIMATION_ANIMATION_PLAYER_H_

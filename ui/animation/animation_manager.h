// The fades of one control: at most one player per kind, driven from the
// control's visibility and hover changes.
//
// Threads: UI thread only, like the control that owns it. The manager holds
// its FadeTarget without owning it; every call into the target goes through
// the target's weak flag, so once the target is destroyed nothing here
// touches it again, even if the manager outlives it.
#ifndef UI_ANIMATION_ANIMATION_MANAGER_H_
#define UI_ANIMATION_ANIMATION_MANAGER_H_

#include <map>
#include <memory>
#include <set>

#include "ui/animation/animation_player.h"
#include "ui/animation/fade_target.h"

namespace ui {

enum FadeKind {
  kFadeNone = 0,
  kFadeAlpha = 1,
  kFadeHeight = 2,
  kFadeWidth = 3,
  kFadeHot = 4,
  kFadeInoutXFromLeft = 5,
  kFadeInoutXFromRight = 6,
  kFadeInoutYFromTop = 7,
  kFadeInoutYFromBottom = 8,
};

class AnimationManager {
 public:
  explicit AnimationManager(FadeTarget* owner);
  AnimationManager(const AnimationManager&) = delete;
  AnimationManager& operator=(const AnimationManager&) = delete;

  // Switching a fade on adds its player (measuring the target for the size
  // and slide kinds; switching on again while it is idle measures anew);
  // switching it off removes the player. The alpha fade sets the target's
  // alpha to 0 when it is added.
  void SetFadeAlpha(bool on);
  void SetFadeHot(bool on);
  void SetFadeWidth(bool on);
  void SetFadeHeight(bool on);
  void SetFadeInOutX(bool on, bool from_right);
  void SetFadeInOutY(bool on, bool from_bottom);

  // Shows the target, then plays every present alpha, size and slide fade
  // forwards.
  void AnimateIn();
  // Plays the same fades backwards and hides the target once all of them are
  // done; with none present the target is hidden at once.
  void AnimateOut();
  // The hot fade forwards, backwards, and stopped where it is.
  void MouseEnter();
  void MouseLeave();
  void StopHot();

  // The player of a kind (FadeKind values 1 to 8), or null.
  AnimationPlayer* PlayerFor(int kind);
  bool HasHotFade() const;

 private:
  FadeTarget* Owner() const;
  void SetFade(int kind, bool on);
  AnimationPlayer* AddPlayer(int kind);
  void Measure(int kind, AnimationPlayer* player);
  void OnFadeOutDone(unsigned generation, int kind);

  FadeTarget* owner_;
  std::weak_ptr<base::WeakFlag> owner_alive_;
  std::map<int, std::unique_ptr<AnimationPlayer>> players_;
  // Kinds whose fade-out still runs. A new AnimateIn or AnimateOut starts a
  // new generation, so completions of an interrupted one are ignored.
  unsigned out_generation_ = 0;
  std::set<int> out_waiting_;
};

}  // namespace ui

#endif  // UI_ANIMATION_ANIMATION_MANAGER_H_

#include "ui/animation/animation_manager.h"

#include <vector>

namespace ui {
namespace {

constexpr int64_t kFadeMs = 250;
constexpr double kSpeedUpRatio = 0.3;
constexpr double kSlowDownRatio = 0.7;
constexpr double kSizeSpeedUpFactor = 0.00084;
constexpr double kSlideSpeedUpFactor = 0.006;
constexpr int kUnbounded = 999999;
constexpr int kSlideFallback = 100;

// The fades that AnimateIn and AnimateOut play, in the order they start.
constexpr int kInOutKinds[] = {kFadeAlpha,          kFadeWidth,          kFadeHeight,
                               kFadeInoutXFromLeft, kFadeInoutXFromRight, kFadeInoutYFromTop,
                               kFadeInoutYFromBottom};

}  // namespace

AnimationManager::AnimationManager(FadeTarget* owner) : owner_(owner) {
  if (owner_) owner_alive_ = owner_->AliveFlag();
}

FadeTarget* AnimationManager::Owner() const { return owner_alive_.expired() ? nullptr : owner_; }

void AnimationManager::SetFadeAlpha(bool on) { SetFade(kFadeAlpha, on); }
void AnimationManager::SetFadeHot(bool on) { SetFade(kFadeHot, on); }
void AnimationManager::SetFadeWidth(bool on) { SetFade(kFadeWidth, on); }
void AnimationManager::SetFadeHeight(bool on) { SetFade(kFadeHeight, on); }

void AnimationManager::SetFadeInOutX(bool on, bool from_right) {
  SetFade(from_right ? kFadeInoutXFromRight : kFadeInoutXFromLeft, on);
}

void AnimationManager::SetFadeInOutY(bool on, bool from_bottom) {
  SetFade(from_bottom ? kFadeInoutYFromBottom : kFadeInoutYFromTop, on);
}

void AnimationManager::SetFade(int kind, bool on) {
  if (!on) {
    players_.erase(kind);  // its step timer dies with it
    // A fade-out waiting for this one no longer has to.
    if (out_waiting_.erase(kind) && out_waiting_.empty()) {
      if (FadeTarget* target = Owner()) target->SetFadeVisible(false);
    }
    return;
  }
  if (AnimationPlayer* player = PlayerFor(kind)) {
    if (!player->IsPlaying()) Measure(kind, player);
    return;
  }
  AddPlayer(kind);
}

AnimationPlayer* AnimationManager::AddPlayer(int kind) {
  FadeTarget* target = Owner();
  if (!target || kind < kFadeAlpha || kind > kFadeInoutYFromBottom) return nullptr;
  auto player = std::make_unique<AnimationPlayer>();
  player->SetAcceleration(kSpeedUpRatio);
  player->SetDeceleration(kSlowDownRatio);
  // Every value goes to the target through its weak flag.
  switch (kind) {
    case kFadeAlpha:
    case kFadeHot:
      player->SetStartValue(0);
      player->SetEndValue(255);
      player->SetTotalMillSeconds(kFadeMs);
      if (kind == kFadeAlpha) {
        player->SetCallback(target->MakeWeak([target](int v) { target->SetFadeAlphaValue(v); }));
      } else {
        player->SetCallback(target->MakeWeak([target](int v) { target->SetFadeHotAlphaValue(v); }));
      }
      break;
    case kFadeWidth:
      player->SetSpeedUpfactor(kSizeSpeedUpFactor);
      player->SetCallback(target->MakeWeak([target](int v) { target->SetFadeFixedWidth(v); }));
      break;
    case kFadeHeight:
      player->SetSpeedUpfactor(kSizeSpeedUpFactor);
      player->SetCallback(target->MakeWeak([target](int v) { target->SetFadeFixedHeight(v); }));
      break;
    case kFadeInoutXFromLeft:
    case kFadeInoutXFromRight:
      player->SetSpeedUpfactor(kSlideSpeedUpFactor);
      player->SetCallback(target->MakeWeak([target](int v) {
        target->SetFadeRenderOffset(v, target->FadeRenderOffset().y);
      }));
      break;
    default:  // the y slides
      player->SetSpeedUpfactor(kSlideSpeedUpFactor);
      player->SetCallback(target->MakeWeak([target](int v) {
        target->SetFadeRenderOffset(target->FadeRenderOffset().x, v);
      }));
      break;
  }
  AnimationPlayer* raw = player.get();
  players_[kind] = std::move(player);
  if (kind == kFadeAlpha) {
    target->SetFadeAlphaValue(0);
  } else if (kind != kFadeHot) {
    Measure(kind, raw);
  }
  return raw;
}

void AnimationManager::Measure(int kind, AnimationPlayer* player) {
  FadeTarget* target = Owner();
  if (!target || kind == kFadeAlpha || kind == kFadeHot) return;
  const SIZE size = target->FadeEstimateSize(SIZE{kUnbounded, kUnbounded});
  int far_end = 0;   // the value away from the resting place
  bool grows = false;  // size fades grow from 0; slides come to rest at 0
  switch (kind) {
    case kFadeWidth:
      far_end = size.cx > 0 ? size.cx : 0;
      grows = true;
      break;
    case kFadeHeight:
      far_end = size.cy > 0 ? size.cy : 0;
      grows = true;
      break;
    case kFadeInoutXFromLeft:
      far_end = size.cx < 1 ? kSlideFallback : size.cx;
      break;
    case kFadeInoutXFromRight:
      far_end = -(size.cx < 1 ? kSlideFallback : size.cx);
      break;
    case kFadeInoutYFromTop:
      far_end = size.cy < 1 ? kSlideFallback : size.cy;
      break;
    default:
      far_end = -(size.cy < 1 ? kSlideFallback : size.cy);
      break;
  }
  // Forwards: size 0 → far end, slide far end → 0; a reversed player has
  // the two swapped.
  const int from = grows ? 0 : far_end;
  const int to = grows ? far_end : 0;
  player->SetStartValue(player->IsReversed() ? to : from);
  player->SetEndValue(player->IsReversed() ? from : to);
}

void AnimationManager::AnimateIn() {
  FadeTarget* target = Owner();
  if (!target) return;
  ++out_generation_;
  out_waiting_.clear();
  // A local copy: if a callback destroys the target (and with it a manager
  // it holds), the loop must stop without reading this object again.
  const std::weak_ptr<base::WeakFlag> alive = owner_alive_;
  target->SetFadeVisible(true);
  // Looked up one by one: a callback may switch fades on or off meanwhile.
  for (int kind : kInOutKinds) {
    if (alive.expired()) return;
    AnimationPlayer* player = PlayerFor(kind);
    if (!player) continue;
    player->SetCompleteCallback(nullptr);
    player->Continue();
  }
}

void AnimationManager::AnimateOut() {
  FadeTarget* target = Owner();
  if (!target) return;
  const unsigned generation = ++out_generation_;
  out_waiting_.clear();
  for (int kind : kInOutKinds) {
    if (PlayerFor(kind)) out_waiting_.insert(kind);
  }
  if (out_waiting_.empty()) {
    target->SetFadeVisible(false);
    return;
  }
  // All are registered before any starts: one may complete at once.
  const std::vector<int> kinds(out_waiting_.begin(), out_waiting_.end());
  const std::weak_ptr<base::WeakFlag> alive = owner_alive_;
  for (int kind : kinds) {
    if (alive.expired()) return;
    AnimationPlayer* player = PlayerFor(kind);
    if (!player || generation != out_generation_) continue;
    player->SetCompleteCallback([this, generation, kind] { OnFadeOutDone(generation, kind); });
    player->Reverse();
  }
}

void AnimationManager::OnFadeOutDone(unsigned generation, int kind) {
  if (generation != out_generation_ || !out_waiting_.erase(kind) || !out_waiting_.empty()) return;
  if (FadeTarget* target = Owner()) target->SetFadeVisible(false);
}

void AnimationManager::MouseEnter() {
  if (AnimationPlayer* hot = PlayerFor(kFadeHot)) hot->Continue();
}

void AnimationManager::MouseLeave() {
  if (AnimationPlayer* hot = PlayerFor(kFadeHot)) hot->Reverse();
}

void AnimationManager::StopHot() {
  if (AnimationPlayer* hot = PlayerFor(kFadeHot)) hot->Stop();
}

AnimationPlayer* AnimationManager::PlayerFor(int kind) {
  auto it = players_.find(kind);
  return it == players_.end() ? nullptr : it->second.get();
}

bool AnimationManager::HasHotFade() const { return players_.count(kFadeHot) != 0; }

}  // namespace ui

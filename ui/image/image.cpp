#include "ui/image/image.h"

#include "ui/core/global_resources.h"
#include "ui/utils/dpi_scaler.h"

namespace ui {

void Image::SetImageDescriptor(const std::wstring& descriptor) {
  Reset();
  ui::SetImageDescriptor(descriptor, DpiScaler::GetInstance().ScalePercent(), &attributes_);
}

void Image::Reset() {
  attributes_.Reset();
  info_.reset();
  animation_ = AnimationState();
}

bool Image::EnsureLoaded(const std::wstring& window_resource_folder) {
  if (attributes_.image_name.empty()) return false;
  if (info_) return true;
  info_ = GlobalResources::GetImage(ResolveImagePath(attributes_.image_name, window_resource_folder));
  if (!info_) {
    Reset();
    return false;
  }
  return true;
}

ImageAttributes Image::WithModifier(const std::wstring& modifier) const {
  ImageAttributes copy = attributes_;
  if (!modifier.empty()) ParseImageDescriptor(modifier, DpiScaler::GetInstance().ScalePercent(), &copy);
  return copy;
}

HBITMAP Image::CurrentFrame() const { return info_ ? info_->Frame(animation_.frame) : nullptr; }

int Image::Start() {
  if (!info_) return 0;
  return StartAnimation(info_->frame_delays(), info_->FrameCount(), &animation_);
}

AnimationStep Image::Step() {
  if (!info_) {
    StopAnimation(&animation_);
    AnimationStep step;
    step.stop = true;
    return step;
  }
  return AdvanceAnimation(info_->frame_delays(), info_->FrameCount(), attributes_.play_count, &animation_);
}

}  // namespace ui

// Image is one image slot of a control (background, a state image): the
// descriptor's attributes, the shared decoded image and the playback state.
// The control owns its slots and glues drawing and the animation timer to
// them; UI thread only.
#ifndef UI_IMAGE_IMAGE_H_
#define UI_IMAGE_IMAGE_H_

#include <windows.h>

#include <memory>
#include <string>

#include "ui/image/image_descriptor.h"
#include "ui/image/image_info.h"

namespace ui {

class Image {
 public:
  Image() = default;

  // Reset, then parse |descriptor| at the current DPI scale.
  void SetImageDescriptor(const std::wstring& descriptor);
  // Back to the defaults; drops the decoded image.
  void Reset();

  // Decodes (through the global cache) when no image is held yet. False for
  // an empty name; a failed load resets the slot.
  bool EnsureLoaded(const std::wstring& window_resource_folder);
  // Drops the decoded image but keeps the attributes (scrolled far away).
  void ReleaseImage() { info_.reset(); }

  // Parses a modifier descriptor into a copy of the attributes.
  ImageAttributes WithModifier(const std::wstring& modifier) const;

  const ImageAttributes& attributes() const { return attributes_; }
  ImageAttributes& attributes() { return attributes_; }
  const std::shared_ptr<ImageInfo>& info() const { return info_; }
  AnimationState& animation() { return animation_; }
  const AnimationState& animation() const { return animation_; }

  // The bitmap of the current frame, or null.
  HBITMAP CurrentFrame() const;

  // Animation glue: start (returns the first interval, 0 = nothing plays),
  // step and stop, over the held image's frames.
  int Start();
  AnimationStep Step();
  void Stop() { StopAnimation(&animation_); }

 private:
  ImageAttributes attributes_;
  std::shared_ptr<ImageInfo> info_;
  AnimationState animation_;
};

}  // namespace ui

#endif  // UI_IMAGE_IMAGE_H_

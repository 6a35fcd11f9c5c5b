// Fuzz target: any bytes as an image descriptor (two bytes per UTF-16 unit),
// at a DPI scale chosen by the first byte, then again as a modifier over the
// result, as a draw call does. The animation step runs over delays taken
// from the bytes too.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/image/image_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int percent = 25 + data[0] * 2;
  std::wstring text;
  for (size_t i = 1; i + 1 < size; i += 2) text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));

  ui::ImageAttributes attributes;
  ui::SetImageDescriptor(text, percent, &attributes);
  if (attributes.fade < 0 || attributes.fade > 255) __builtin_trap();
  if (attributes.descriptor != text) __builtin_trap();
  ui::ImageAttributes copy = attributes;
  ui::ParseImageDescriptor(text, percent, &copy);
  if (copy.image_name != attributes.image_name) __builtin_trap();

  const ui::ImageRect item{-7, 3, 100, 40};
  const ui::ImageRect dest = ui::ImageDestination(item, copy);
  if (!copy.dest.IsSet() && dest != item) __builtin_trap();
  ui::ImageSource(copy, 10, 10);
  const int blended = ui::BlendedStateFade(data[0], copy.fade, attributes.fade);
  if (blended < 0 || blended > 255) __builtin_trap();

  std::vector<int> delays;
  for (size_t i = 0; i < size && i < 16; ++i) delays.push_back(static_cast<int8_t>(data[i]) * 1000003);
  ui::AnimationState state;
  const int frames = static_cast<int>(delays.size());
  if (ui::StartAnimation(delays, frames, &state) > 0) {
    for (int step = 0; step < 64 && state.playing; ++step) {
      ui::AdvanceAnimation(delays, frames, attributes.play_count, &state);
      if (state.frame < 0 || state.frame >= frames) __builtin_trap();
    }
  }
  return 0;
}

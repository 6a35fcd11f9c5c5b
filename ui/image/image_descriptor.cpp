#include "ui/image/image_descriptor.h"

#include <climits>
#include <cstdint>

namespace ui {

namespace {

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f'; }

// Reads an optionally signed decimal number at |*pos| (leading whitespace
// skipped, as strtol does); clamps to the int range; 0 when no digits.
int ReadNumber(const std::wstring& text, size_t* pos) {
  size_t i = *pos;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) {
    negative = text[i] == L'-';
    ++i;
  }
  int64_t value = 0;
  bool digits = false;
  while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
    digits = true;
    if (value <= INT_MAX) value = value * 10 + (text[i] - L'0');
    ++i;
  }
  if (!digits) return 0;  // nothing consumed, like strtol
  *pos = i;
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// Four numbers separated by one arbitrary character each. A short list
// leaves the missing edges at 0 instead of reading past the text.
ImageRect ReadRect(const std::wstring& value) {
  int edges[4] = {0, 0, 0, 0};
  size_t pos = 0;
  for (int i = 0; i < 4; ++i) {
    if (pos >= value.size()) break;
    edges[i] = ReadNumber(value, &pos);
    if (pos < value.size()) ++pos;  // the separator
  }
  return ImageRect{edges[0], edges[1], edges[2], edges[3]};
}

int ReadSingleNumber(const std::wstring& value) {
  size_t pos = 0;
  return ReadNumber(value, &pos);
}

void ApplyPair(const std::wstring& key, const std::wstring& value, int scale_percent, bool* dest_scale,
               ImageAttributes* a) {
  if (key == L"file" || key == L"res") {
    a->image_name = value;
  } else if (key == L"destscale") {
    *dest_scale = value == L"true";
  } else if (key == L"dest") {
    a->dest = ReadRect(value);
    if (*dest_scale) a->dest = ScaleImageRect(a->dest, scale_percent);
  } else if (key == L"source") {
    a->source = ReadRect(value);
  } else if (key == L"corner") {
    a->corner = ReadRect(value);
  } else if (key == L"fade") {
    int fade = ReadSingleNumber(value);
    a->fade = fade < 0 ? 0 : (fade > 255 ? 255 : fade);
  } else if (key == L"xtiled") {
    a->xtiled = value == L"true";
  } else if (key == L"ytiled") {
    a->ytiled = value == L"true";
  } else if (key == L"playcount") {
    a->play_count = ReadSingleNumber(value);
  }
  // Unknown keys are ignored.
}

}  // namespace

int ScaleByPercent(int value, int percent) {
  int64_t product = static_cast<int64_t>(value) * percent;
  int64_t q = product >= 0 ? (product + 50) / 100 : -((-product + 50) / 100);
  if (q > INT_MAX) return INT_MAX;
  if (q < INT_MIN) return INT_MIN;
  return static_cast<int>(q);
}

ImageRect ScaleImageRect(const ImageRect& rect, int percent) {
  if (percent == 100) return rect;
  ImageRect out;
  out.left = ScaleByPercent(rect.left, percent);
  out.top = ScaleByPercent(rect.top, percent);
  int64_t width = static_cast<int64_t>(rect.right) - rect.left;
  int64_t height = static_cast<int64_t>(rect.bottom) - rect.top;
  auto clamp = [](int64_t v) {
    return static_cast<int>(v > INT_MAX ? INT_MAX : (v < INT_MIN ? INT_MIN : v));
  };
  out.right = clamp(out.left + static_cast<int64_t>(ScaleByPercent(clamp(width), percent)));
  out.bottom = clamp(out.top + static_cast<int64_t>(ScaleByPercent(clamp(height), percent)));
  return out;
}

void ParseImageDescriptor(const std::wstring& text, int scale_percent, ImageAttributes* a) {
  bool dest_scale = true;
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    while (i < n && IsSpace(text[i])) ++i;
    size_t key_start = i;
    while (i < n && text[i] != L'=' && !IsSpace(text[i])) ++i;
    std::wstring key = text.substr(key_start, i - key_start);
    while (i < n && IsSpace(text[i])) ++i;
    if (i >= n || text[i] != L'=') return;
    ++i;
    while (i < n && IsSpace(text[i])) ++i;
    if (i >= n || text[i] != L'\'') return;
    ++i;
    size_t close = text.find(L'\'', i);
    if (close == std::wstring::npos) return;
    std::wstring value = text.substr(i, close - i);
    if (!value.empty()) ApplyPair(key, value, scale_percent, &dest_scale, a);
    i = close + 1;
    // The next pair follows after exactly one space; anything else ends it.
    if (i + 1 < n && text[i] == L' ' && !IsSpace(text[i + 1])) {
      ++i;
      continue;
    }
    return;
  }
}

void SetImageDescriptor(const std::wstring& text, int scale_percent, ImageAttributes* a) {
  a->Reset();
  a->descriptor = text;
  a->image_name = text;
  ParseImageDescriptor(text, scale_percent, a);
}

ImageRect ImageDestination(const ImageRect& item, const ImageAttributes& a) {
  if (!a.dest.IsSet()) return item;
  auto add = [](int x, int y) {
    int64_t v = static_cast<int64_t>(x) + y;
    return static_cast<int>(v > INT_MAX ? INT_MAX : (v < INT_MIN ? INT_MIN : v));
  };
  return ImageRect{add(a.dest.left, item.left), add(a.dest.top, item.top), add(a.dest.right, item.left),
                   add(a.dest.bottom, item.top)};
}

ImageRect ImageSource(const ImageAttributes& a, int image_width, int image_height) {
  if (a.source.IsSet()) return a.source;
  return ImageRect{0, 0, image_width, image_height};
}

namespace {
int ClampByte(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }
}  // namespace

int BlendedStateFade(int hot_alpha, int hot_fade, int normal_fade) {
  hot_alpha = ClampByte(hot_alpha);
  return (ClampByte(hot_fade) * hot_alpha + ClampByte(normal_fade) * (255 - hot_alpha) + 127) / 255;
}

int HotOverlayFade(int hot_alpha, int hot_fade) {
  return (ClampByte(hot_fade) * ClampByte(hot_alpha) + 127) / 255;
}

int FrameIntervalMs(const std::vector<int>& delays, int frame) {
  if (frame < 0 || static_cast<size_t>(frame) >= delays.size()) return 0;
  int64_t ms = static_cast<int64_t>(delays[frame]) * 10;
  if (ms <= 28) return 100;  // a delay of 0 included: browsers do the same
  if (ms <= 48) return 50;
  return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

int StartAnimation(const std::vector<int>& delays, int frame_count, AnimationState* state) {
  *state = AnimationState();
  if (frame_count < 2) return 0;
  int interval = FrameIntervalMs(delays, 0);
  if (interval == 0) return 0;
  state->playing = true;
  state->timer_interval = interval;
  return interval;
}

AnimationStep AdvanceAnimation(const std::vector<int>& delays, int frame_count, int play_count,
                               AnimationState* state) {
  AnimationStep step;
  if (!state->playing || frame_count < 1) {
    step.stop = true;
    return step;
  }
  const int old_frame = state->frame;
  int frame = old_frame + 1;
  if (frame >= frame_count) {
    frame = 0;
    ++state->loops;
  }
  state->frame = frame;
  step.repaint = true;
  const int old_interval = FrameIntervalMs(delays, old_frame);
  const int new_interval = FrameIntervalMs(delays, frame);
  if ((play_count > 0 && state->loops >= play_count) || old_interval == 0 || new_interval == 0) {
    state->playing = false;
    state->timer_interval = 0;
    step.stop = true;
    return step;
  }
  if (new_interval != state->timer_interval) {
    state->timer_interval = new_interval;
    step.restart_timer = true;
    step.interval = new_interval;
  }
  return step;
}

void StopAnimation(AnimationState* state) {
  state->frame = 0;
  state->playing = false;
  state->timer_interval = 0;
}

}  // namespace ui

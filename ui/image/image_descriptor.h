// The image descriptor mini-language of the skin ("logo.png", or key='value'
// pairs such as "file='a.png' corner='2,2,2,2'") and the pure pieces of an
// image slot: its attributes, the frame-interval rule and the animation step.
// Records belong to the control that holds them; UI thread only. Portable (no
// Windows headers) so the parser also runs under sanitizers and a fuzzer.
#ifndef UI_IMAGE_IMAGE_DESCRIPTOR_H_
#define UI_IMAGE_IMAGE_DESCRIPTOR_H_

#include <string>
#include <vector>

namespace ui {

// Edges of a rectangle; -1 everywhere means "not set".
struct ImageRect {
  int left = -1, top = -1, right = -1, bottom = -1;

  // Every edge given (none of them -1).
  bool IsSet() const { return left != -1 && top != -1 && right != -1 && bottom != -1; }
  bool operator==(const ImageRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
  bool operator!=(const ImageRect& o) const { return !(*this == o); }
};

// value * percent / 100 rounded half away from zero, as Win32 MulDiv does.
int ScaleByPercent(int value, int percent);
// Left and top scaled as points, width and height separately.
ImageRect ScaleImageRect(const ImageRect& rect, int percent);

// The attributes a descriptor text sets; what a draw call copies and
// overrides with a modifier descriptor.
struct ImageAttributes {
  std::wstring descriptor;   // the text as given
  std::wstring image_name;   // file path; initially the whole text
  ImageRect dest;            // relative to the control; -1 = not set
  ImageRect source;          // image pixels; -1 = the whole image
  ImageRect corner{0, 0, 0, 0};  // nine-slice insets
  int fade = 255;
  bool xtiled = false;
  bool ytiled = false;
  int play_count = -1;       // loops of an animation; -1 forever

  void Reset() { *this = ImageAttributes(); }
};

// Parses |text| into |attributes| over what is already there (a modifier
// onto a copy of a slot's attributes). A "dest" is scaled by |scale_percent|
// unless an earlier "destscale" said otherwise. Stops quietly at the first
// syntax error, keeping what came before.
void ParseImageDescriptor(const std::wstring& text, int scale_percent, ImageAttributes* attributes);

// Reset, store the text, take it as the image name, then parse it.
void SetImageDescriptor(const std::wstring& text, int scale_percent, ImageAttributes* attributes);

// Where a slot draws: the item rectangle, or the destination (when fully
// set) offset by the item's left and top.
ImageRect ImageDestination(const ImageRect& item, const ImageAttributes& attributes);
// What it draws from: the source (when fully set), else the whole image.
ImageRect ImageSource(const ImageAttributes& attributes, int image_width, int image_height);
// State images with a hot fade in progress (|hot_alpha| 0-255): one image
// shown for both states blends the two fades; two images draw the hot one
// over the normal one with the second result.
int BlendedStateFade(int hot_alpha, int hot_fade, int normal_fade);
int HotOverlayFade(int hot_alpha, int hot_fade);

// Interval of |frame| in milliseconds from the raw delays (1/100 s units):
// 28 ms or less becomes 100, 29 to 48 becomes 50; no delay information (or
// a frame without one) gives 0, which means "do not play".
int FrameIntervalMs(const std::vector<int>& delays, int frame);

// Playback state of an animated background image.
struct AnimationState {
  int frame = 0;
  int loops = 0;          // completed loops
  bool playing = false;
  int timer_interval = 0;  // interval of the running timer; 0 when none
};

// What the control must do after a step.
struct AnimationStep {
  bool stop = false;           // stop the timer; the animation is over
  bool restart_timer = false;  // restart the timer with |interval|
  int interval = 0;
  bool repaint = false;
};

// Starts playing at frame 0. Returns the first interval; 0 means nothing
// plays (the state stays stopped).
int StartAnimation(const std::vector<int>& delays, int frame_count, AnimationState* state);
// One timer tick: advances the frame (wrapping counts a loop) and says what
// the timer should do next.
AnimationStep AdvanceAnimation(const std::vector<int>& delays, int frame_count, int play_count,
                               AnimationState* state);
// Hiding a control: back to the first frame, not playing.
void StopAnimation(AnimationState* state);

}  // namespace ui

#endif  // UI_IMAGE_IMAGE_DESCRIPTOR_H_

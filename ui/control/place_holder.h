// PlaceHolder is the geometry and tree-link half of every control: name,
// window and parent links, fixed/min/max sizes, the item rectangle,
// alignment, float and the lazy-layout flags. Control adds looks and
// events. Sizes: >= 0 pixels, kStretch (-1) take what the container gives,
// kAuto (-2) measure the content. UI thread only.
#ifndef UI_CONTROL_PLACE_HOLDER_H_
#define UI_CONTROL_PLACE_HOLDER_H_

#include <windows.h>

#include <string>

#include "base/callback/weak_callback.h"

namespace ui {

class Control;
class Window;

constexpr int kStretch = -1;
constexpr int kAuto = -2;
constexpr int kDefaultMaxSize = 9999999;

enum HorAlign { kHorAlignLeft = 0, kHorAlignCenter = 1, kHorAlignRight = 2 };
enum VerAlign { kVerAlignTop = 0, kVerAlignCenter = 1, kVerAlignBottom = 2 };

class PlaceHolder : public virtual base::SupportWeakCallback {
 public:
  PlaceHolder();
  ~PlaceHolder() override;
  PlaceHolder(const PlaceHolder&) = delete;
  PlaceHolder& operator=(const PlaceHolder&) = delete;

  virtual Window* GetWindow() const { return window_; }
  virtual void SetWindow(Window* window) { window_ = window; }
  // Stores both; runs Init when |init| and there is a parent.
  virtual void SetWindow(Window* window, Control* parent, bool init);
  // First call runs OnFirstInit; later calls do nothing.
  virtual void Init();
  virtual void OnFirstInit() {}
  virtual bool IsVisible() const { return visible_ && internal_visible_; }
  virtual SIZE MeasureSize(SIZE available);
  virtual RECT GetPos(bool include_shadow = true) const;
  virtual void SetPos(RECT rect);
  virtual void Arrange();
  virtual void RelayoutUpward();
  virtual void Invalidate();
  virtual void RelayoutSelf();
  // After SetPos stored a new rectangle (Control sends the resize event).
  virtual void OnPositionChanged() {}

  Control* GetParent() const { return parent_; }
  void SetParent(Control* parent) { parent_ = parent; }
  const std::wstring& GetName() const { return name_; }
  void SetName(const std::wstring& name) { name_ = name; }

  int GetFixedWidth() const { return fixed_width_; }
  int GetFixedHeight() const { return fixed_height_; }
  // Negative values other than kStretch and kAuto are ignored; a change
  // re-arranges the ancestors.
  void SetFixedWidth(int width, bool arrange = true);
  void SetFixedHeight(int height, bool arrange = true);
  bool IsAutoSized() const { return fixed_width_ == kAuto || fixed_height_ == kAuto; }
  int GetMinWidth() const { return min_width_; }
  int GetMinHeight() const { return min_height_; }
  int GetMaxWidth() const { return max_width_; }
  int GetMaxHeight() const { return max_height_; }
  void SetMinWidth(int v);
  void SetMinHeight(int v);
  void SetMaxWidth(int v);
  void SetMaxHeight(int v);
  HorAlign GetHorAlign() const { return halign_; }
  VerAlign GetVerAlign() const { return valign_; }
  void SetHorAlign(HorAlign a);
  void SetVerAlign(VerAlign a);
  bool IsFloat() const { return float_; }
  void SetFloat(bool f);
  bool NeedsArrange() const { return needs_arrange_; }
  bool NeedsReestimate() const { return reestimate_; }
  void SetReestimate(bool mark) { reestimate_ = mark; }
  void SetInternalVisible(bool visible);
  bool IsUseCache() const { return use_cache_; }
  void SetUseCache(bool cache);
  bool IsCacheDirty() const { return cache_dirty_; }

  // The parent's Arrange (or this one's, at the top): what a changed size
  // or visibility asks for.
  void ArrangeAncestor();
  // Tells the window a layout pass is due (no-op without a window).
  void NotifyArrangePending();

 protected:
  friend class Box;

  std::wstring name_;
  Window* window_ = nullptr;
  Control* parent_ = nullptr;
  int fixed_width_ = kStretch;
  int fixed_height_ = kStretch;
  int min_width_ = -1;
  int min_height_ = -1;
  int max_width_ = kDefaultMaxSize;
  int max_height_ = kDefaultMaxSize;
  RECT item_rect_{0, 0, 0, 0};
  HorAlign halign_ = kHorAlignLeft;
  VerAlign valign_ = kVerAlignTop;
  bool float_ = false;
  bool needs_arrange_ = true;
  bool visible_ = true;
  bool internal_visible_ = true;
  bool reestimate_ = true;
  bool use_cache_ = false;
  bool cache_dirty_ = false;
  bool initialized_ = false;
  bool in_set_pos_ = false;
  SIZE estimate_{0, 0};
};

}  // namespace ui

#endif  // UI_CONTROL_PLACE_HOLDER_H_

// RenderContext_GdiPlus: the off-screen surface of a window.
#include <windows.h>

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/log/log.h"
#include "ui/core/global_resources.h"
#include "ui/render/render_gdiplus.h"
#include "ui/render/string_format_gdiplus.h"
#include "ui/utils/dpi_scaler.h"
#include "ui/utils/gdiplus_session.h"

namespace ui {
namespace {

// A GDI+ surface on the memory DC for one call; anti-aliased when asked.
class ScopedGraphics {
 public:
  ScopedGraphics(HDC dc, bool anti_alias) : graphics_(dc) {
    if (anti_alias) graphics_.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
  }
  Gdiplus::Graphics* operator->() { return &graphics_; }
  Gdiplus::Graphics* get() { return &graphics_; }
  // False when GDI+ is not running or the DC is unusable.
  bool ok() { return graphics_.GetLastStatus() == Gdiplus::Ok; }

 private:
  Gdiplus::Graphics graphics_;
};

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

bool Meets(const RECT& a, const RECT& b) {
  RECT ignored;
  return ::IntersectRect(&ignored, &a, &b) != FALSE;
}

RECT MakeRect(LONG left, LONG top, LONG right, LONG bottom) { return RECT{left, top, right, bottom}; }

// Cuts |source| to the bitmap's |size| and |dest| by the same fractions, so
// that the part of the source that exists lands where a stretch of the
// whole source would put it. AlphaBlend refuses a source reaching past the
// bitmap outright, and stretches were seen to smear its last row and column
// over the rest under Wine; both paths draw the cut pair. False when nothing
// of the source lies on the bitmap. Doubles: the rects may be anything a
// skin names, and the products overflow 64 bits.
bool FitToBitmap(SIZE size, RECT* dest, RECT* source) {
  const RECT bounds{0, 0, size.cx, size.cy};
  RECT cut;
  if (!::IntersectRect(&cut, source, &bounds)) return false;
  if (::EqualRect(&cut, source)) return true;
  // Where source coordinate |at| lands on the axis from..to that maps the
  // source's src_from..src_to.
  auto map = [](LONG from, LONG to, LONG src_from, LONG src_to, LONG at) {
    const double scale = (static_cast<double>(to) - from) / (static_cast<double>(src_to) - src_from);
    const double value = from + std::floor((static_cast<double>(at) - src_from) * scale + 0.5);
    return static_cast<LONG>(std::max<double>(LONG_MIN, std::min<double>(LONG_MAX, value)));
  };
  RECT fitted;
  fitted.left = map(dest->left, dest->right, source->left, source->right, cut.left);
  fitted.right = map(dest->left, dest->right, source->left, source->right, cut.right);
  fitted.top = map(dest->top, dest->bottom, source->top, source->bottom, cut.top);
  fitted.bottom = map(dest->top, dest->bottom, source->top, source->bottom, cut.bottom);
  *dest = fitted;
  *source = cut;
  return Width(fitted) > 0 && Height(fitted) > 0;
}

Gdiplus::Color ToColor(DWORD argb) { return Gdiplus::Color(static_cast<Gdiplus::ARGB>(argb)); }

// Colour alpha times |alpha| / 255, truncated.
DWORD ApplyAlpha(DWORD argb, BYTE alpha) {
  if (alpha == 255) return argb;
  const DWORD a = ((argb >> 24) * alpha) / 255;
  return (a << 24) | (argb & 0x00FFFFFF);
}

const wchar_t kSimSunFace[] = L"\x65B0\x5B8B\x4F53";   // "新宋体"
const wchar_t kMeasureSample[] = L"\x6D4B\x8BD5";      // "测试"

// One GDI+ font, held in place. A font whose creation failed is never
// destroyed: Wine's GDI+ frees the font it was making when it finds no family
// for the face GDI picked, yet leaves the pointer set, and the wrapper's
// destructor would free it a second time.
class GdiplusFont {
 public:
  GdiplusFont() = default;
  GdiplusFont(const GdiplusFont&) = delete;
  GdiplusFont& operator=(const GdiplusFont&) = delete;
  ~GdiplusFont() { Reset(); }

  template <typename... Args>
  bool Create(Args&&... args) {
    Reset();
    auto* font = ::new (storage_) Gdiplus::Font(std::forward<Args>(args)...);
    if (font->GetLastStatus() != Gdiplus::Ok || !font->IsAvailable()) return false;
    font_ = font;
    return true;
  }
  Gdiplus::Font* get() const { return font_; }
  Gdiplus::Font* operator->() const { return font_; }

 private:
  void Reset() {
    if (font_) font_->~Font();
    font_ = nullptr;
  }

  alignas(Gdiplus::Font) unsigned char storage_[sizeof(Gdiplus::Font)];
  Gdiplus::Font* font_ = nullptr;
};

// Faces tried, in order, after the generic sans serif, when GDI+ has no
// family for the face GDI picked: common on Windows and on Linux machines.
const wchar_t* const kFallbackFaces[] = {L"Tahoma",     L"Segoe UI",  L"Arial",
                                         L"Noto Sans",  L"DejaVu Sans", L"Liberation Sans"};

// The family GDI+ accepts for a face it refused, found once per process:
// the generic sans serif, the faces above, else the first installed family
// that makes a font. Empty when there is none.
std::wstring FallbackFace() {
  static const std::wstring face = [] {
    auto usable = [](const wchar_t* name) {
      Gdiplus::FontFamily family(name);
      if (family.GetLastStatus() != Gdiplus::Ok || !family.IsAvailable()) return false;
      GdiplusFont font;
      return font.Create(&family, 12.0f, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    };
    if (const Gdiplus::FontFamily* generic = Gdiplus::FontFamily::GenericSansSerif()) {
      WCHAR name[LF_FACESIZE] = {};
      if (generic->IsAvailable() && generic->GetFamilyName(name) == Gdiplus::Ok && usable(name))
        return std::wstring(name);
    }
    for (const wchar_t* name : kFallbackFaces)
      if (usable(name)) return std::wstring(name);
    Gdiplus::InstalledFontCollection installed;
    const INT count = installed.GetFamilyCount();
    if (count > 0) {
      std::vector<Gdiplus::FontFamily> families(static_cast<size_t>(count));
      INT found = 0;
      installed.GetFamilies(count, families.data(), &found);
      for (INT i = 0; i < found; ++i) {
        WCHAR name[LF_FACESIZE] = {};
        if (families[i].GetFamilyName(name) == Gdiplus::Ok && usable(name))
          return std::wstring(name);
      }
    }
    return std::wstring();
  }();
  return face;
}

// Logs once per face that GDI+ refused it.
void NoteRefusedFace(const wchar_t* face, const std::wstring& fallback) {
  static std::mutex mutex;
  static std::set<std::wstring> noted;
  std::lock_guard<std::mutex> lock(mutex);
  if (!noted.insert(face).second) return;
  QLOG_WAR(L"GDI+ has no family for face:{0}, drawing with:{1}") << face << fallback;
}

// The GDI+ font for a logical font. The wide record keeps faces named in
// other scripts intact (the wrapper's HFONT overload reads the ANSI one). A
// face GDI+ refuses (Wine's GDI+ knows only some of the fonts GDI uses) is
// drawn with a family it accepts, at the same pixel size and style.
bool MakeFont(HDC dc, const LOGFONTW& lf, GdiplusFont* font) {
  if (font->Create(dc, &lf)) return true;

  const std::wstring fallback = FallbackFace();
  NoteRefusedFace(lf.lfFaceName, fallback);
  if (fallback.empty()) {
    QLOG_ERR(L"no usable font for face:{0}") << lf.lfFaceName;
    return false;
  }
  INT style = Gdiplus::FontStyleRegular;
  if (lf.lfWeight >= FW_SEMIBOLD) style |= Gdiplus::FontStyleBold;
  if (lf.lfItalic) style |= Gdiplus::FontStyleItalic;
  if (lf.lfUnderline) style |= Gdiplus::FontStyleUnderline;
  if (lf.lfStrikeOut) style |= Gdiplus::FontStyleStrikeout;
  // A negative height is the em height in pixels; a positive one is the cell
  // height, a little larger, taken as is.
  LONG pixels = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
  if (pixels == 0) pixels = 12;
  Gdiplus::FontFamily family(fallback.c_str());
  if (family.GetLastStatus() == Gdiplus::Ok &&
      font->Create(&family, static_cast<Gdiplus::REAL>(pixels), style, Gdiplus::UnitPixel))
    return true;
  QLOG_ERR(L"no usable font for face:{0}") << lf.lfFaceName;
  return false;
}

// Fonts made once per LOGFONT and resolution: making one has GDI+ look the
// family up among the installed fonts, which costs about a millisecond
// (under Wine several), and a window measures and draws its texts hundreds
// of times while it starts. Emptied whenever a GDI+ session ends. The lock
// guards the table; the fonts themselves are used by the UI thread.
struct FontCache {
  std::mutex lock;
  std::map<std::string, std::unique_ptr<GdiplusFont>> fonts;
};

FontCache& Fonts() {
  static FontCache cache;
  return cache;
}

void ReleaseFonts() {
  FontCache& cache = Fonts();
  std::lock_guard<std::mutex> hold(cache.lock);
  cache.fonts.clear();
}

// The font for the logical font |lf| at the resolution of |dc|, made once;
// null when GDI+ can make none. Any thread.
Gdiplus::Font* CachedFontOf(HDC dc, LOGFONTW lf) {
  // The key is the whole record: clear what follows the face's end.
  const size_t face = wcsnlen(lf.lfFaceName, LF_FACESIZE);
  std::fill(lf.lfFaceName + std::min<size_t>(face, LF_FACESIZE), lf.lfFaceName + LF_FACESIZE, L'\0');
  const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
  std::string key(reinterpret_cast<const char*>(&lf), sizeof(lf));
  key.append(reinterpret_cast<const char*>(&dpi), sizeof(dpi));
  FontCache& cache = Fonts();
  std::lock_guard<std::mutex> hold(cache.lock);
  auto it = cache.fonts.find(key);
  if (it != cache.fonts.end()) return it->second ? it->second->get() : nullptr;
  GdiplusSession::AddReleaseHook(&ReleaseFonts);
  auto font = std::make_unique<GdiplusFont>();
  if (!MakeFont(dc, lf, font.get())) font.reset();  // remembered as refused too
  Gdiplus::Font* made = font ? font->get() : nullptr;
  cache.fonts.emplace(std::move(key), std::move(font));
  return made;
}

// The logical font of |font_id|, else the DC's font, else the GUI font.
bool LogicalFontOf(HDC dc, const std::wstring& font_id, LOGFONTW* lf) {
  HFONT hfont = GlobalResources::GetFont(font_id);
  if (!hfont && dc) hfont = static_cast<HFONT>(::GetCurrentObject(dc, OBJ_FONT));
  *lf = LOGFONTW{};
  if (hfont && ::GetObjectW(hfont, sizeof(*lf), lf)) return true;
  *lf = LOGFONTW{};
  return ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(*lf), lf) != 0;
}

// The font for |font_id| (the DC's font when the id is unknown), or null.
Gdiplus::Font* CachedFont(HDC dc, const std::wstring& font_id) {
  LOGFONTW lf;
  if (!LogicalFontOf(dc, font_id, &lf)) return nullptr;
  return CachedFontOf(dc, lf);
}

// Whether the font record of |font_id| names |face| (as written in the skin).
bool IsFace(const std::wstring& font_id, const wchar_t* face) {
  const FontInfo* info = GlobalResources::GetFontInfo(font_id);
  return info && info->face_name == face;
}

}  // namespace

namespace internal {

void ApplyTextStyle(Gdiplus::StringFormat* format, UINT style, bool line_limit) {
  if (style & DT_END_ELLIPSIS) format->SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter);
  INT flags = format->GetFormatFlags();
  if (style & DT_SINGLELINE) flags |= Gdiplus::StringFormatFlagsNoWrap;
  if (line_limit) flags |= Gdiplus::StringFormatFlagsLineLimit;
  if (style & DT_NOCLIP) flags |= Gdiplus::StringFormatFlagsNoClip;
  if (GlobalResources::IsRightToLeft()) flags |= Gdiplus::StringFormatFlagsDirectionRightToLeft;
  format->SetFormatFlags(flags);
  if (style & DT_CENTER) {
    format->SetAlignment(Gdiplus::StringAlignmentCenter);
  } else if (style & DT_RIGHT) {
    format->SetAlignment(Gdiplus::StringAlignmentFar);
  } else {
    format->SetAlignment(Gdiplus::StringAlignmentNear);
  }
  if (style & DT_VCENTER) {
    format->SetLineAlignment(Gdiplus::StringAlignmentCenter);
  } else if (style & DT_BOTTOM) {
    format->SetLineAlignment(Gdiplus::StringAlignmentFar);
  } else {
    format->SetLineAlignment(Gdiplus::StringAlignmentNear);
  }
}

}  // namespace internal

RenderContext_GdiPlus::RenderContext_GdiPlus() {
  ScopedScreenDc screen;
  dc_.Reset(::CreateCompatibleDC(screen.Get()));
  if (!dc_.Valid()) QLOG_ERR(L"CreateCompatibleDC failed, error:{0}") << ::GetLastError();
}

RenderContext_GdiPlus::~RenderContext_GdiPlus() {
  // A bitmap still selected into a DC cannot be deleted.
  if (old_bitmap_ && dc_.Valid()) ::SelectObject(dc_.Get(), old_bitmap_);
  old_bitmap_ = nullptr;
  bitmap_.Reset();
}

HDC RenderContext_GdiPlus::GetDC() { return dc_.Get(); }

bool RenderContext_GdiPlus::Resize(int width, int height, bool top_down) {
  if (bitmap_.GetBitmap() && bitmap_.GetWidth() == width && bitmap_.GetHeight() == height)
    return false;
  if (!dc_.Valid()) return false;
  if (old_bitmap_) {
    ::SelectObject(dc_.Get(), old_bitmap_);
    old_bitmap_ = nullptr;
  }
  if (!bitmap_.Init(dc_.Get(), width, height, top_down)) return false;
  old_bitmap_ = static_cast<HBITMAP>(::SelectObject(dc_.Get(), bitmap_.GetBitmap()));
  return true;
}

void RenderContext_GdiPlus::Clear() { bitmap_.Clear(); }

std::unique_ptr<IRenderContext> RenderContext_GdiPlus::Clone() {
  auto copy = std::make_unique<RenderContext_GdiPlus>();
  if (!bitmap_.GetBits()) return copy;
  if (!copy->Resize(bitmap_.GetWidth(), bitmap_.GetHeight(), bitmap_.IsTopDown())) {
    QLOG_ERR(L"render context clone failed:{0}x{1}") << bitmap_.GetWidth() << bitmap_.GetHeight();
    return copy;
  }
  ::GdiFlush();
  std::memcpy(copy->bitmap_.GetBits(), bitmap_.GetBits(),
              static_cast<size_t>(bitmap_.GetWidth()) * bitmap_.GetHeight() * 4);
  return copy;
}

HBITMAP RenderContext_GdiPlus::TakeBitmap() {
  if (old_bitmap_) {
    ::SelectObject(dc_.Get(), old_bitmap_);
    old_bitmap_ = nullptr;
  }
  return bitmap_.DetachBitmap();
}

BYTE* RenderContext_GdiPlus::GetBits() {
  // GDI batches calls; the bytes are current only after a flush.
  ::GdiFlush();
  return bitmap_.GetBits();
}

int RenderContext_GdiPlus::GetWidth() const { return bitmap_.GetWidth(); }

int RenderContext_GdiPlus::GetHeight() const { return bitmap_.GetHeight(); }

void RenderContext_GdiPlus::ZeroAlpha(const RECT& rect, BYTE value) {
  bitmap_.ZeroAlpha(rect, value);
}

void RenderContext_GdiPlus::RepairAlpha(const RECT& rect, const RECT& insets, BYTE key_alpha) {
  bitmap_.RepairAlpha(rect, insets, key_alpha);
}

bool RenderContext_GdiPlus::IsTransparentTarget() const { return render_transparent_; }

bool RenderContext_GdiPlus::SetTransparentTarget(bool transparent) {
  const bool old = render_transparent_;
  render_transparent_ = transparent;
  return old;
}

int RenderContext_GdiPlus::SaveDC() {
  const int level = ::SaveDC(dc_.Get());
  saved_dc_.Push(level);  // a failed save still takes the matching restore
  return level;
}

void RenderContext_GdiPlus::RestoreDC() {
  const int level = saved_dc_.Pop();
  if (level <= 0) return;
  ::RestoreDC(dc_.Get(), level);
  clip_.ForgetFromLevel(level);  // their saved states are gone now
}

POINT RenderContext_GdiPlus::OffsetWindowOrg(POINT delta) {
  POINT old{};
  ::OffsetWindowOrgEx(dc_.Get(), delta.x, delta.y, &old);
  return old;
}

POINT RenderContext_GdiPlus::SetWindowOrg(POINT origin) {
  POINT old{};
  ::SetWindowOrgEx(dc_.Get(), origin.x, origin.y, &old);
  return old;
}

POINT RenderContext_GdiPlus::GetWindowOrg() const {
  POINT origin{};
  ::GetWindowOrgEx(dc_.Get(), &origin);
  return origin;
}

void RenderContext_GdiPlus::SetClip(const RECT& rect) { clip_.CreateClip(dc_.Get(), rect); }

void RenderContext_GdiPlus::SetRoundedClip(const RECT& rect, int width, int height) {
  clip_.CreateRoundClip(dc_.Get(), rect, width, height);
}

void RenderContext_GdiPlus::ClearClip() {
  const int level = clip_.ClearClip(dc_.Get());
  // A SaveDC made inside that clip was undone with it.
  if (level > 0) saved_dc_.DiscardFrom(level);
}

bool RenderContext_GdiPlus::BitBlt(int x, int y, int cx, int cy, HDC src_dc, int src_x, int src_y,
                                   DWORD rop) {
  return ::BitBlt(dc_.Get(), x, y, cx, cy, src_dc, src_x, src_y, rop) != FALSE;
}

bool RenderContext_GdiPlus::AlphaBlend(int x, int y, int cx, int cy, HDC src_dc, int src_x,
                                       int src_y, int src_cx, int src_cy, BYTE alpha) {
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, alpha, AC_SRC_ALPHA};
  return ::AlphaBlend(dc_.Get(), x, y, cx, cy, src_dc, src_x, src_y, src_cx, src_cy, blend) !=
         FALSE;
}

void RenderContext_GdiPlus::DrawPiece(HDC src_dc, SIZE bitmap_size, const RECT& piece_dest,
                                      const RECT& piece_source, bool blend, BYTE alpha) {
  // Mirrored or empty pieces would come from corners larger than the image.
  if (Width(piece_dest) <= 0 || Height(piece_dest) <= 0 || Width(piece_source) <= 0 ||
      Height(piece_source) <= 0)
    return;
  RECT dest = piece_dest, source = piece_source;
  if (!FitToBitmap(bitmap_size, &dest, &source)) return;
  if (blend || (Width(dest) == Width(source) && Height(dest) == Height(source))) {
    AlphaBlend(dest.left, dest.top, Width(dest), Height(dest), src_dc, source.left, source.top,
               Width(source), Height(source), alpha);
    return;
  }
  const int old_mode = ::SetStretchBltMode(dc_.Get(), HALFTONE);
  POINT old_origin{};
  ::SetBrushOrgEx(dc_.Get(), 0, 0, &old_origin);  // required after choosing HALFTONE
  ::StretchBlt(dc_.Get(), dest.left, dest.top, Width(dest), Height(dest), src_dc, source.left,
               source.top, Width(source), Height(source), SRCCOPY);
  ::SetBrushOrgEx(dc_.Get(), old_origin.x, old_origin.y, nullptr);
  if (old_mode) ::SetStretchBltMode(dc_.Get(), old_mode);
}

void RenderContext_GdiPlus::TilePiece(HDC src_dc, SIZE bitmap_size, const RECT& paint_rect,
                                      const RECT& dest, const RECT& source, bool tile_x,
                                      bool tile_y, bool blend_always, BYTE alpha) {
  // 64-bit steps from the first tile that meets the paint rect: a skin may
  // name any rectangle, and walking to the paint rect one tile at a time, or
  // stepping past LONG's range, must not be possible.
  const int64_t step_x = tile_x ? int64_t{source.right} - source.left : int64_t{dest.right} - dest.left;
  const int64_t step_y = tile_y ? int64_t{source.bottom} - source.top : int64_t{dest.bottom} - dest.top;
  if (step_x <= 0 || step_y <= 0) return;  // an empty source would never advance
  auto first_tile = [](int64_t start, int64_t paint_start, int64_t step) {
    return paint_start > start ? start + (paint_start - start) / step * step : start;
  };
  const int64_t first_left = first_tile(dest.left, paint_rect.left, step_x);
  for (int64_t top = first_tile(dest.top, paint_rect.top, step_y);
       top < dest.bottom && top < paint_rect.bottom; top += step_y) {
    const int64_t bottom = std::min<int64_t>(top + step_y, dest.bottom);
    // Cut tiles take the matching leading part of the source.
    const int64_t src_bottom = tile_y ? source.top + (bottom - top) : source.bottom;
    for (int64_t left = first_left; left < dest.right && left < paint_rect.right; left += step_x) {
      const int64_t right = std::min<int64_t>(left + step_x, dest.right);
      const int64_t src_right = tile_x ? source.left + (right - left) : source.right;
      DrawPiece(src_dc, bitmap_size, MakeRect(static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right),
                                 static_cast<LONG>(bottom)),
                MakeRect(source.left, source.top, static_cast<LONG>(src_right), static_cast<LONG>(src_bottom)),
                blend_always, alpha);
    }
  }
}

void RenderContext_GdiPlus::DrawImage(const RECT& paint_rect, HBITMAP bitmap, bool has_alpha,
                                      const RECT& dest, const RECT& source, const RECT& corners,
                                      BYTE alpha, bool tile_x, bool tile_y) {
  if (!bitmap || !dc_.Valid() || !Meets(dest, paint_rect)) return;
  ScopedMemoryDc src_dc(::CreateCompatibleDC(dc_.Get()));
  if (!src_dc.Valid()) {
    QLOG_ERR(L"DrawImage: CreateCompatibleDC failed, error:{0}") << ::GetLastError();
    return;
  }
  ScopedSelectObject select(src_dc.Get(), bitmap);
  if (!select.ok()) {
    // A bitmap can be selected into one DC only; drawing it is refused.
    QLOG_ERR(L"DrawImage: bitmap cannot be selected");
    return;
  }
  BITMAP info{};
  if (::GetObjectW(bitmap, sizeof(info), &info) != static_cast<int>(sizeof(info))) {
    QLOG_ERR(L"DrawImage: not a bitmap");
    return;
  }
  const SIZE bitmap_size{info.bmWidth, info.bmHeight < 0 ? -info.bmHeight : info.bmHeight};
  const bool blend = has_alpha || render_transparent_ || alpha < 255;

  const DpiScaler& dpi = DpiScaler::GetInstance();
  // Insets beyond the rectangle they cut are clamped to it, so that huge
  // values from a skin cannot overflow the inner rectangles.
  auto fit = [](LONG inset, LONG from, LONG to) {
    const int64_t extent = std::max<int64_t>(0, int64_t{to} - from);
    return static_cast<LONG>(std::max<int64_t>(0, std::min<int64_t>(inset, extent)));
  };
  const RECT scaled = MakeRect(fit(dpi.ScaleLength(fit(corners.left, dest.left, dest.right)), dest.left, dest.right),
                               fit(dpi.ScaleLength(fit(corners.top, dest.top, dest.bottom)), dest.top, dest.bottom),
                               fit(dpi.ScaleLength(fit(corners.right, dest.left, dest.right)), dest.left, dest.right),
                               fit(dpi.ScaleLength(fit(corners.bottom, dest.top, dest.bottom)), dest.top, dest.bottom));
  const RECT insets = MakeRect(fit(corners.left, source.left, source.right), fit(corners.top, source.top, source.bottom),
                               fit(corners.right, source.left, source.right),
                               fit(corners.bottom, source.top, source.bottom));
  const RECT in_dst = MakeRect(dest.left + scaled.left, dest.top + scaled.top,
                               dest.right - scaled.right, dest.bottom - scaled.bottom);
  const RECT in_src = MakeRect(source.left + insets.left, source.top + insets.top,
                               source.right - insets.right, source.bottom - insets.bottom);

  if (Meets(in_dst, paint_rect)) {
    if (tile_x || tile_y) {
      TilePiece(src_dc.Get(), bitmap_size, paint_rect, in_dst, in_src, tile_x, tile_y, blend, alpha);
    } else {
      DrawPiece(src_dc.Get(), bitmap_size, in_dst, in_src, blend, alpha);
    }
  }

  struct Piece {
    bool wanted;
    RECT dst;
    RECT src;
  };
  const Piece pieces[] = {
      // top-left, top, top-right
      {corners.left > 0 && corners.top > 0,
       MakeRect(dest.left, dest.top, in_dst.left, in_dst.top),
       MakeRect(source.left, source.top, in_src.left, in_src.top)},
      {corners.top > 0, MakeRect(in_dst.left, dest.top, in_dst.right, in_dst.top),
       MakeRect(in_src.left, source.top, in_src.right, in_src.top)},
      {corners.right > 0 && corners.top > 0,
       MakeRect(in_dst.right, dest.top, dest.right, in_dst.top),
       MakeRect(in_src.right, source.top, source.right, in_src.top)},
      // left, right
      {corners.left > 0, MakeRect(dest.left, in_dst.top, in_dst.left, in_dst.bottom),
       MakeRect(source.left, in_src.top, in_src.left, in_src.bottom)},
      {corners.right > 0, MakeRect(in_dst.right, in_dst.top, dest.right, in_dst.bottom),
       MakeRect(in_src.right, in_src.top, source.right, in_src.bottom)},
      // bottom-left, bottom, bottom-right
      {corners.left > 0 && corners.bottom > 0,
       MakeRect(dest.left, in_dst.bottom, in_dst.left, dest.bottom),
       MakeRect(source.left, in_src.bottom, in_src.left, source.bottom)},
      {corners.bottom > 0, MakeRect(in_dst.left, in_dst.bottom, in_dst.right, dest.bottom),
       MakeRect(in_src.left, in_src.bottom, in_src.right, source.bottom)},
      {corners.right > 0 && corners.bottom > 0,
       MakeRect(in_dst.right, in_dst.bottom, dest.right, dest.bottom),
       MakeRect(in_src.right, in_src.bottom, source.right, source.bottom)},
  };
  for (const Piece& piece : pieces) {
    if (piece.wanted && Meets(piece.dst, paint_rect))
      DrawPiece(src_dc.Get(), bitmap_size, piece.dst, piece.src, blend, alpha);
  }
}

void RenderContext_GdiPlus::FillColor(const RECT& rect, const std::wstring& color_name,
                                      BYTE alpha) {
  if (color_name.empty()) return;
  FillColor(rect, GlobalResources::GetTextColor(color_name), alpha);
}

void RenderContext_GdiPlus::FillColor(const RECT& rect, DWORD argb, BYTE alpha) {
  ScopedGraphics graphics(dc_.Get(), false);
  if (!graphics.ok()) return;
  Gdiplus::SolidBrush brush(ToColor(ApplyAlpha(argb, alpha)));
  graphics->FillRectangle(&brush, static_cast<INT>(rect.left), static_cast<INT>(rect.top),
                          Width(rect), Height(rect));
}

void RenderContext_GdiPlus::DrawLine(const IPen* pen, int x1, int y1, int x2, int y2) {
  const auto* p = dynamic_cast<const Pen_GdiPlus*>(pen);
  if (!p) return;
  ScopedGraphics graphics(dc_.Get(), true);
  if (!graphics.ok()) return;
  graphics->DrawLine(p->GetPen(), x1, y1, x2, y2);
}

void RenderContext_GdiPlus::DrawLine(const RECT& rect, int width, DWORD argb) {
  ScopedGraphics graphics(dc_.Get(), false);
  if (!graphics.ok()) return;
  Gdiplus::Pen pen(ToColor(argb), static_cast<Gdiplus::REAL>(width));
  graphics->DrawLine(&pen, static_cast<INT>(rect.left), static_cast<INT>(rect.top),
                     static_cast<INT>(rect.right), static_cast<INT>(rect.bottom));
}

void RenderContext_GdiPlus::DrawBezier(const IPen* pen, POINT p1, POINT p2, POINT p3, POINT p4) {
  const auto* p = dynamic_cast<const Pen_GdiPlus*>(pen);
  if (!p) return;
  ScopedGraphics graphics(dc_.Get(), true);
  if (!graphics.ok()) return;
  graphics->DrawBezier(p->GetPen(), Gdiplus::Point(p1.x, p1.y), Gdiplus::Point(p2.x, p2.y),
                       Gdiplus::Point(p3.x, p3.y), Gdiplus::Point(p4.x, p4.y));
}

void RenderContext_GdiPlus::DrawRect(const RECT& rect, int width, DWORD argb) {
  ScopedGraphics graphics(dc_.Get(), false);
  if (!graphics.ok()) return;
  Gdiplus::Pen pen(ToColor(argb), static_cast<Gdiplus::REAL>(width));
  graphics->DrawRectangle(&pen, static_cast<INT>(rect.left), static_cast<INT>(rect.top),
                          Width(rect), Height(rect));
}

void RenderContext_GdiPlus::DrawRoundRect(const RECT& rect, SIZE corner, int width, DWORD argb) {
  const INT l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
  const INT cw = corner.cx, ch = corner.cy;
  Gdiplus::GraphicsPath path;
  path.AddArc(l, t, cw, ch, 180, 90);
  path.AddLine(l + cw / 2, t, r - cw / 2, t);
  path.AddArc(r - cw, t, cw, ch, 270, 90);
  path.AddLine(r, t + ch / 2, r, b - ch / 2);
  path.AddArc(r - cw, b - ch, cw, ch, 0, 90);
  path.AddLine(r - cw / 2, b, l + cw / 2, b);
  path.AddArc(l, b - ch, cw, ch, 90, 90);
  path.AddLine(l, b - ch / 2, l, t + ch / 2);
  path.CloseFigure();
  ScopedGraphics graphics(dc_.Get(), true);
  if (!graphics.ok()) return;
  Gdiplus::Pen pen(ToColor(argb), static_cast<Gdiplus::REAL>(width));
  graphics->DrawPath(&pen, &path);
}

void RenderContext_GdiPlus::DrawText(const RECT& rect, const std::wstring& text, DWORD argb,
                                     const std::wstring& font_id, UINT style, BYTE alpha,
                                     bool line_limit) {
  if (text.empty()) return;
  ScopedGraphics graphics(dc_.Get(), true);
  if (!graphics.ok()) return;
  Gdiplus::Font* font = CachedFont(dc_.Get(), font_id);
  if (!font) return;
  DWORD a = ((argb >> 24) * alpha) / 255;
  // With an opaque brush GDI+ may render ClearType text, whose sub-pixel
  // colours carry no usable alpha for a layered window; a brush just below
  // opaque makes it fall back to grey-scale anti-aliasing.
  if (a == 255) a = 254;
  Gdiplus::SolidBrush brush(ToColor((a << 24) | (argb & 0x00FFFFFF)));

  Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
  internal::ApplyTextStyle(&format, style, line_limit);

  Gdiplus::RectF box(static_cast<Gdiplus::REAL>(rect.left), static_cast<Gdiplus::REAL>(rect.top),
                     static_cast<Gdiplus::REAL>(Width(rect)),
                     static_cast<Gdiplus::REAL>(Height(rect)));
  const Gdiplus::REAL line = font->GetHeight(graphics.get());
  if ((style & DT_SINGLELINE) && box.Height < line) {
    // A line taller than its box is dropped whole by some GDI+ builds; the
    // text is not clipped to its box anyway, so give it one line's height
    // placed as the alignment asks.
    const Gdiplus::REAL extra = line - box.Height;
    if (style & DT_VCENTER) box.Y -= extra / 2;
    else if (style & DT_BOTTOM) box.Y -= extra;
    box.Height = line;
  }
  if ((style & DT_VCENTER) && IsFace(font_id, kSimSunFace) &&
      Height(rect) >= font->GetHeight(graphics.get()) + 2) {
    box.Y += 1;  // this face sits a pixel high when centred
  }
  graphics->DrawString(text.c_str(), static_cast<INT>(text.size()), font, box, &format,
                       &brush);
}

void RenderContext_GdiPlus::DrawEllipse(const RECT& rect, int width, DWORD argb) {
  ScopedGraphics graphics(dc_.Get(), true);
  if (!graphics.ok()) return;
  Gdiplus::Pen pen(ToColor(argb), static_cast<Gdiplus::REAL>(width));
  graphics->DrawEllipse(&pen, static_cast<INT>(rect.left), static_cast<INT>(rect.top),
                        Width(rect), Height(rect));
}

void RenderContext_GdiPlus::FillEllipse(const RECT& rect, DWORD argb) {
  ScopedGraphics graphics(dc_.Get(), true);
  if (!graphics.ok()) return;
  Gdiplus::SolidBrush brush(ToColor(argb));
  graphics->FillEllipse(&brush, static_cast<INT>(rect.left), static_cast<INT>(rect.top),
                        Width(rect), Height(rect));
}

RECT RenderContext_GdiPlus::MeasureText(const std::wstring& text, const std::wstring& font_id,
                                        UINT style, int width) {
  RECT result{};
  ScopedGraphics graphics(dc_.Get(), true);
  if (!graphics.ok()) return result;
  Gdiplus::Font* font = CachedFont(dc_.Get(), font_id);
  if (!font) return result;
  Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
  internal::ApplyTextStyle(&format, style, false);

  Gdiplus::RectF bounds;
  Gdiplus::Status status;
  if (width == -1) {
    status = graphics->MeasureString(text.c_str(), static_cast<INT>(text.size()), font,
                                     Gdiplus::PointF(0, 0), &format, &bounds);
  } else {
    Gdiplus::REAL height = 0;  // 0: unbounded
    if (style & DT_SINGLELINE) {
      Gdiplus::RectF sample;
      graphics->MeasureString(kMeasureSample, 2, font, Gdiplus::PointF(0, 0), &format,
                              &sample);
      height = sample.Height;
    }
    Gdiplus::RectF layout(0, 0, static_cast<Gdiplus::REAL>(width), height);
    status = graphics->MeasureString(text.c_str(), static_cast<INT>(text.size()), font,
                                     layout, &format, &bounds);
  }
  if (status != Gdiplus::Ok) {
    QLOG_ERR(L"MeasureString failed, status:{0}") << static_cast<int>(status);
    return result;
  }
  result.left = static_cast<LONG>(bounds.X);
  result.top = static_cast<LONG>(bounds.Y);
  result.right = static_cast<LONG>(bounds.X + bounds.Width + 1);
  result.bottom = static_cast<LONG>(bounds.Y + bounds.Height + 1);
  return result;
}

void RenderContext_GdiPlus::DrawPath(const IPath* path, const IPen* pen) {
  const auto* p = dynamic_cast<const Path_Gdiplus*>(path);
  const auto* q = dynamic_cast<const Pen_GdiPlus*>(pen);
  if (!p || !q) return;
  ScopedGraphics graphics(dc_.Get(), true);
  if (!graphics.ok()) return;
  graphics->DrawPath(q->GetPen(), p->GetPath());
}

void RenderContext_GdiPlus::FillPath(const IPath* path, const IBrush* brush) {
  const auto* p = dynamic_cast<const Path_Gdiplus*>(path);
  const auto* b = dynamic_cast<const Brush_Gdiplus*>(brush);
  if (!p || !b) return;
  ScopedGraphics graphics(dc_.Get(), true);
  if (!graphics.ok()) return;
  graphics->FillPath(b->GetBrush(), p->GetPath());
}

FontWarmUp::FontWarmUp(const std::vector<std::wstring>& font_ids) {
  // The records are read here: the global font table belongs to this thread.
  std::vector<LOGFONTW> fonts;
  for (const std::wstring& id : font_ids) {
    LOGFONTW lf;
    if (LogicalFontOf(nullptr, id, &lf)) fonts.push_back(lf);
  }
  if (fonts.empty()) return;
  thread_ = std::thread([fonts] {
    HDC dc = ::CreateCompatibleDC(nullptr);
    if (!dc) return;
    for (const LOGFONTW& lf : fonts) {
      Gdiplus::Font* font = CachedFontOf(dc, lf);
      if (!font) continue;
      // The first measure loads the face's glyphs and its linked fonts.
      Gdiplus::Graphics graphics(dc);
      Gdiplus::RectF box;
      graphics.MeasureString(L"Aa\u6D4B", 3, font, Gdiplus::PointF(0, 0), &box);
    }
    ::DeleteDC(dc);
  });
}

FontWarmUp::~FontWarmUp() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace ui

#include "ui/core/global_resources.h"

#include <commctrl.h>

#include <algorithm>
#include <map>
#include <memory>

#include "base/log/log.h"
#include "base/win32/windows_version.h"
#include "ui/animation/framework_timer.h"
#include "ui/core/global_skin.h"
#include "ui/core/markup_builder.h"
#include "ui/core/resource_archive.h"
#include "ui/core/string_table.h"
#include "ui/image/image_info.h"
#include "ui/utils/dpi_scaler.h"
#include "ui/utils/gdiplus_session.h"

#include "ui/render/gdi_objects.h"
#include "ui/render/render_gdiplus.h"

namespace ui {

namespace {

constexpr wchar_t kRightToLeftFace[] = L"Segoe UI";

// A font record and the handle it owns.
struct FontEntry {
  FontInfo info;
  FontEntry() = default;
  FontEntry(const FontEntry&) = delete;
  FontEntry& operator=(const FontEntry&) = delete;
  ~FontEntry() {
    if (info.font) ::DeleteObject(info.font);
  }
};

struct WindowEntry {
  HWND hwnd;
  IWindowRefresh* refresh;
};

struct State {
  std::unique_ptr<IRenderFactory> render_factory;
  std::unique_ptr<GdiplusSession> gdiplus;
  ControlFactoryHook hook;
  std::wstring resource_root;
  std::wstring theme_folder;
  std::wstring language_folder;

  std::map<std::wstring, std::unique_ptr<FontEntry>> fonts;
  std::wstring default_font_id;
  std::map<std::wstring, DWORD> colors;
  std::map<std::wstring, std::wstring> classes;
  std::wstring default_text_color;
  std::wstring disabled_text_color;
  DWORD link_color = 0;
  DWORD link_hover_color = 0;
  DWORD selected_color = 0;
  bool right_to_left = false;
  std::vector<WindowEntry> windows;
  ImageCache images;
};

State& S() {
  static State state;
  return state;
}

// The face that "system" stands for outside right-to-left mode. The version
// test is made once per process.
const std::wstring& DefaultSystemFace() {
  static const std::wstring face = base::win32::IsVistaOrNewer() ? L"\u5FAE\u8F6F\u96C5\u9ED1"   // Microsoft YaHei
                                                    : L"\u65B0\u5B8B\u4F53";       // NSimSun
  return face;
}

const std::wstring& SystemFaceTarget(bool rtl) {
  static const std::wstring rtl_face = kRightToLeftFace;
  return rtl ? rtl_face : DefaultSystemFace();
}

HFONT CreateFontFor(const std::wstring& face, int size, bool bold, bool underline, bool italic) {
  LOGFONTW lf{};
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
  // lfFaceName holds LF_FACESIZE characters with the terminator.
  size_t n = std::min(face.size(), static_cast<size_t>(LF_FACESIZE - 1));
  std::fill(std::begin(lf.lfFaceName), std::end(lf.lfFaceName), L'\0');
  std::copy(face.begin(), face.begin() + n, lf.lfFaceName);
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfHeight = -DpiScaler::GetInstance().ScaleLength(size);
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfUnderline = underline ? TRUE : FALSE;
  lf.lfItalic = italic ? TRUE : FALSE;
  return ::CreateFontIndirectW(&lf);
}

// Hexadecimal digits after the first character; saturates like wcstoul.
DWORD ParseColor(const std::wstring& text) {
  if (text.empty()) return 0;
  unsigned long long value = 0;
  for (size_t i = 1; i < text.size(); ++i) {
    wchar_t c = text[i];
    int digit;
    if (c >= L'0' && c <= L'9') digit = c - L'0';
    else if (c >= L'a' && c <= L'f') digit = c - L'a' + 10;
    else if (c >= L'A' && c <= L'F') digit = c - L'A' + 10;
    else break;
    value = value * 16 + digit;
    if (value > 0xFFFFFFFFull) return 0xFFFFFFFFu;
  }
  return static_cast<DWORD>(value);
}

std::wstring WithSeparator(const std::wstring& path) {
  if (path.empty() || path.back() == L'\\' || path.back() == L'/') return path;
  return path + L"\\";
}

}  // namespace

bool GlobalResources::Startup(const std::wstring& resource_root, ControlFactoryHook hook, bool adapt_dpi,
                              const std::wstring& theme_folder, const std::wstring& language_folder) {
  State& s = S();
  // 1. The render factory, replacing any previous one.
  s.render_factory = std::make_unique<RenderFactory_GdiPlus>();
  // 2. The skin root.
  s.resource_root = resource_root;
  s.theme_folder = theme_folder;
  s.language_folder = language_folder;
  SetResourceRoot(resource_root + theme_folder);
  // 3. The create-control callback.
  s.hook = std::move(hook);
  // 4. DPI.
  if (adapt_dpi) {
    DpiScaler& scaler = DpiScaler::GetInstance();
    scaler.EnableDpiAdaptation();
    scaler.SetDpi(PrimaryMonitorDpi());
    QLOG_APP(L"dpi: adapting {0}, scale {1}%") << (scaler.IsAdapting() ? 1 : 0) << scaler.ScalePercent();
  }
  // 5. The global skin.
  const bool skin = LoadGlobalSkin(L"global.xml");
  QLOG_APP(L"global skin: {0} fonts, {1} colours, {2} classes")
      << s.fonts.size() << s.colors.size() << s.classes.size();
  // 6. The default language's string table (archive member first).
  const std::wstring strings = resource_root + language_folder + L"\\gdstrings.ini";
  if (!StringTable::GetInstance().LoadLanguageFile(strings)) QLOG_ERR(L"string table missing: {0}") << strings;
  // 7. GDI+ and the common controls.
  if (!s.gdiplus) s.gdiplus = std::make_unique<GdiplusSession>();
  ::InitCommonControls();
  return skin && s.gdiplus->started();
}

void GlobalResources::Shutdown() {
  State& s = S();
  UnmountArchive();
  s.render_factory.reset();
  RemoveAllFonts();
  RemoveAllTextColors();
  RemoveAllClasses();
  s.default_text_color.clear();
  s.disabled_text_color.clear();
  s.link_color = s.link_hover_color = s.selected_color = 0;
  s.right_to_left = false;
  s.windows.clear();
  s.hook = nullptr;
  // Parsed child-box files belong to the skin that is going away.
  MarkupBuilder::ClearDocumentCache();
  // Its multimedia timer and hidden window end with the framework.
  FrameworkTimer::Shutdown();
  s.gdiplus.reset();
}

HFONT GlobalResources::AddFont(const std::wstring& id, const std::wstring& face, int size, bool bold,
                               bool underline, bool italic, bool is_default) {
  State& s = S();
  const std::wstring key = id.empty() ? std::to_wstring(s.fonts.size()) : id;
  const std::wstring real_face = face == L"system" ? SystemFaceTarget(s.right_to_left) : face;
  HFONT font = CreateFontFor(real_face, size, bold, underline, italic);
  if (!font) {
    QLOG_ERR(L"font: cannot create {0} ({1})") << key << real_face;
    return nullptr;
  }
  auto it = s.fonts.find(key);
  if (it != s.fonts.end()) {
    // The first definition of an id stays.
    ::DeleteObject(font);
    font = it->second->info.font;
  } else {
    auto entry = std::make_unique<FontEntry>();
    entry->info.font = font;
    entry->info.face_name = real_face;
    entry->info.size = size;
    entry->info.bold = bold;
    entry->info.underline = underline;
    entry->info.italic = italic;
    s.fonts.emplace(key, std::move(entry));
  }
  if (is_default) s.default_font_id = key;
  return font;
}

HFONT GlobalResources::GetFont(const std::wstring& id) {
  FontInfo* info = GetFontInfo(id);
  return info ? info->font : nullptr;
}

FontInfo* GlobalResources::GetFontInfo(const std::wstring& id, HDC dc) {
  State& s = S();
  auto it = s.fonts.find(id.empty() ? s.default_font_id : id);
  if (it == s.fonts.end()) return nullptr;
  FontInfo* info = &it->second->info;
  if (dc && !info->has_metrics) {
    HGDIOBJ old = ::SelectObject(dc, info->font);
    if (::GetTextMetricsW(dc, &info->metrics)) info->has_metrics = true;
    ::SelectObject(dc, old);
  }
  return info;
}

void GlobalResources::AddTextColor(const std::wstring& name, const std::wstring& text) {
  S().colors[name] = ParseColor(text);
}

DWORD GlobalResources::GetTextColor(const std::wstring& name) {
  // An unknown name is entered with 0 (transparent: not drawn).
  return S().colors[name];
}

void GlobalResources::AddClass(const std::wstring& name, const std::wstring& attributes) {
  S().classes[name] = attributes;
}

std::wstring GlobalResources::GetClassAttributes(const std::wstring& name) {
  const State& s = S();
  auto it = s.classes.find(name);
  return it == s.classes.end() ? std::wstring() : it->second;
}

void GlobalResources::SetRightToLeft(bool rtl) {
  State& s = S();
  if (s.right_to_left == rtl) return;
  s.right_to_left = rtl;
  const std::wstring& target = SystemFaceTarget(rtl);
  // The replaced handles outlive the refresh below: controls and native
  // children may still hold them (selected into a DC, given by WM_SETFONT)
  // until their window's refresh has fetched the new ones by id. Declared
  // before the loop, so they are deleted when this function returns.
  std::vector<ScopedFont> replaced;
  for (auto& entry : s.fonts) {
    if (entry.first.compare(0, 6, L"system") != 0) continue;
    FontInfo& info = entry.second->info;
    if (info.face_name == target) continue;
    HFONT font = CreateFontFor(target, info.size, info.bold, info.underline, info.italic);
    if (!font) {
      QLOG_ERR(L"font: cannot switch {0} to {1}") << entry.first << target;
      continue;
    }
    replaced.emplace_back(info.font);
    info.font = font;
    info.face_name = target;
    info.has_metrics = false;
    info.metrics = TEXTMETRICW{};
  }
  QLOG_APP(L"right-to-left: {0}") << (rtl ? 1 : 0);
  // Copy: a refresh may open or close windows.
  const std::vector<WindowEntry> windows = s.windows;
  for (const WindowEntry& w : windows) {
    if (!::IsWindow(w.hwnd)) continue;
    if (w.refresh) w.refresh->RefreshForLayoutChange();
    ::InvalidateRect(w.hwnd, nullptr, TRUE);
  }
}

bool GlobalResources::IsRightToLeft() { return S().right_to_left; }

IRenderFactory* GlobalResources::GetRenderFactory() { return S().render_factory.get(); }

std::shared_ptr<ImageInfo> GlobalResources::GetImage(const std::wstring& path) { return S().images.GetImage(path); }

std::shared_ptr<ImageInfo> GlobalResources::GetCachedImage(const std::wstring& path) {
  return S().images.GetCachedImage(path);
}

std::wstring GlobalResources::GetDefaultTextColorName() { return S().default_text_color; }
std::wstring GlobalResources::GetDisabledTextColorName() { return S().disabled_text_color; }
DWORD GlobalResources::GetLinkFontColor() { return S().link_color; }
DWORD GlobalResources::GetLinkHoverFontColor() { return S().link_hover_color; }
DWORD GlobalResources::GetSelectedColor() { return S().selected_color; }
void GlobalResources::SetDefaultTextColorName(const std::wstring& name) { S().default_text_color = name; }
void GlobalResources::SetDisabledTextColorName(const std::wstring& name) { S().disabled_text_color = name; }
void GlobalResources::SetLinkFontColor(DWORD color) { S().link_color = color; }
void GlobalResources::SetLinkHoverFontColor(DWORD color) { S().link_hover_color = color; }
void GlobalResources::SetSelectedColor(DWORD color) { S().selected_color = color; }

std::wstring GlobalResources::ResourceRoot() { return ::ui::ResourceRoot(); }

bool GlobalResources::IsArchiveMounted() { return ::ui::IsArchiveMounted(); }

ScopedGlobalMemory GlobalResources::ReadArchiveMember(const std::wstring& path) {
  return ::ui::ReadArchiveMember(path);
}

std::wstring GlobalResources::GetResourcePath() { return ::ui::ResourceRoot(); }

std::wstring GlobalResources::GetThemePath() { return WithSeparator(S().resource_root + S().theme_folder); }

std::wstring GlobalResources::GetLanguagePath() { return WithSeparator(S().resource_root + S().language_folder); }

const ControlFactoryHook& GlobalResources::GetControlFactoryHook() { return S().hook; }

void GlobalResources::RegisterWindow(HWND hwnd, IWindowRefresh* refresh) {
  if (!hwnd) return;
  State& s = S();
  for (WindowEntry& w : s.windows) {
    if (w.hwnd == hwnd) {
      w.refresh = refresh;
      return;
    }
  }
  s.windows.push_back(WindowEntry{hwnd, refresh});
}

void GlobalResources::UnregisterWindow(HWND hwnd) {
  auto& windows = S().windows;
  windows.erase(std::remove_if(windows.begin(), windows.end(), [hwnd](const WindowEntry& w) { return w.hwnd == hwnd; }),
                windows.end());
}

std::vector<HWND> GlobalResources::GetRegisteredWindows() {
  std::vector<HWND> out;
  for (const WindowEntry& w : S().windows) out.push_back(w.hwnd);
  return out;
}

size_t GlobalResources::FontCount() { return S().fonts.size(); }
size_t GlobalResources::TextColorCount() { return S().colors.size(); }
size_t GlobalResources::ClassCount() { return S().classes.size(); }

void GlobalResources::RemoveAllFonts() {
  S().fonts.clear();
  S().default_font_id.clear();
}
void GlobalResources::RemoveAllTextColors() { S().colors.clear(); }
void GlobalResources::RemoveAllClasses() { S().classes.clear(); }

}  // namespace ui

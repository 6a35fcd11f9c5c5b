// GlobalResources is the process-wide registry of the UI framework: fonts,
// text colours, classes, the render factory, the image cache and the list of
// open windows. All members are static; the state is owned by the
// implementation file and lives from Startup to Shutdown. UI thread only.
#ifndef UI_CORE_GLOBAL_RESOURCES_H_
#define UI_CORE_GLOBAL_RESOURCES_H_

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/core/resource_archive_win.h"

namespace ui {

class Control;
class IRenderFactory;                  // ui/render/render_interface.h
class ImageInfo;                       // ui/image/image_info.h

using ControlFactoryHook = std::function<Control*(const std::wstring& element_name)>;

struct FontInfo {
  HFONT font = nullptr;                // owned by the table
  std::wstring face_name;
  int size = 12;                       // pixels at 100 %
  bool bold = false, underline = false, italic = false;
  TEXTMETRICW metrics{};               // filled lazily by GetFontInfo(id, dc)
  bool has_metrics = false;
};

// Something that shows on screen and must repaint when the global look
// changes (right-to-left switch). The window host implements it.
class IWindowRefresh {
 public:
  virtual ~IWindowRefresh() = default;
  // Called after the switch recreated fonts: whatever holds a font handle
  // (a native child's WM_SETFONT, a text host) fetches it again by id here.
  // The replaced handles are still valid during the call and deleted after
  // every window's refresh returned.
  virtual void RefreshForLayoutChange() = 0;
};

// Process-wide registry of the UI framework; UI thread only.
class GlobalResources {
 public:
  static bool Startup(const std::wstring& resource_root, ControlFactoryHook hook, bool adapt_dpi,
                      const std::wstring& theme_folder, const std::wstring& language_folder);
  static void Shutdown();

  static HFONT AddFont(const std::wstring& id, const std::wstring& face, int size, bool bold,
                       bool underline, bool italic, bool is_default);
  static HFONT GetFont(const std::wstring& id);          // empty id: the default font; unknown: nullptr
  static FontInfo* GetFontInfo(const std::wstring& id, HDC dc = nullptr);  // nullptr when unknown
  static void AddTextColor(const std::wstring& name, const std::wstring& text);
  static DWORD GetTextColor(const std::wstring& name);   // 0xAARRGGBB; unknown: 0
  static void AddClass(const std::wstring& name, const std::wstring& attributes);
  static std::wstring GetClassAttributes(const std::wstring& name);
  static void SetRightToLeft(bool rtl);
  static bool IsRightToLeft();
  static IRenderFactory* GetRenderFactory();             // created by Startup step 1
  static std::shared_ptr<ImageInfo> GetImage(const std::wstring& path);
  static std::shared_ptr<ImageInfo> GetCachedImage(const std::wstring& path);

  // Set from the attributes of the skin's Global root: the names of the
  // default and the disabled text colour, and three resolved colours.
  static std::wstring GetDefaultTextColorName();
  static std::wstring GetDisabledTextColorName();
  static DWORD GetLinkFontColor();
  static DWORD GetLinkHoverFontColor();
  static DWORD GetSelectedColor();
  static void SetDefaultTextColorName(const std::wstring& name);
  static void SetDisabledTextColorName(const std::wstring& name);
  static void SetLinkFontColor(DWORD color);
  static void SetLinkHoverFontColor(DWORD color);
  static void SetSelectedColor(DWORD color);

  // The skin package (resource path, mounted archive, member reads).
  static std::wstring ResourceRoot();
  static bool IsArchiveMounted();
  static ScopedGlobalMemory ReadArchiveMember(const std::wstring& path);

  // Folder of the resources ("resources\\"), the theme and the language.
  static std::wstring GetResourcePath();
  static std::wstring GetThemePath();      // resource path + theme folder + "\\"
  static std::wstring GetLanguagePath();   // resource path + language folder + "\\"
  static const ControlFactoryHook& GetControlFactoryHook();

  // Open windows, repainted after a right-to-left switch. A window registers
  // its HWND (invalidated) and optionally a refresh object (called). A
  // window without one must not keep font handles from paint to paint.
  static void RegisterWindow(HWND hwnd, IWindowRefresh* refresh = nullptr);
  static void UnregisterWindow(HWND hwnd);
  static std::vector<HWND> GetRegisteredWindows();

  // Counts, for tests and diagnostics.
  static size_t FontCount();
  static size_t TextColorCount();
  static size_t ClassCount();

  // Drops fonts, colours and classes (not the factory or the cache).
  static void RemoveAllFonts();
  static void RemoveAllTextColors();
  static void RemoveAllClasses();
};

}  // namespace ui

#endif  // UI_CORE_GLOBAL_RESOURCES_H_

// Helpers for the control-tree tests: the framework started over the
// shipped skin (global.xml: fonts, colours, classes), a window without a
// native window, trees built from markup text, off-screen painting and
// temporary markup and image files. Test code only; UI thread.
#ifndef UI_CONTROL_TREE_TEST_SUPPORT_H_
#define UI_CONTROL_TREE_TEST_SUPPORT_H_

#include <windows.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/util/string_util.h"
#include "gtest/gtest.h"
#include "ui/box/box.h"
#include "ui/control/control.h"
#include "ui/core/global_resources.h"
#include "ui/core/markup_builder.h"
#include "ui/render/render_interface.h"
#include "ui/render/render_test_support.h"
#include "ui/utils/dpi_scaler.h"
#include "ui/window/window.h"

namespace ui {
namespace testing {

// A window that says it has its native window and records the Window
// root's attributes the builder hands it.
class RecordingWindow : public Window {
 public:
  bool SetAttribute(const std::wstring& name, const std::wstring& value) override {
    attributes.emplace_back(name, value);
    return true;
  }
  bool HasNativeWindow() const override { return native; }

  bool native = true;
  std::vector<std::pair<std::wstring, std::wstring>> attributes;
};

class TreeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string source = VARNO_SOURCE_DIR;
    std::wstring root = L"Z:" + std::wstring(source.begin(), source.end()) + L"/resources/";
    for (wchar_t& c : root) {
      if (c == L'/') c = L'\\';
    }
    GlobalResources::Startup(root, nullptr, false, L"themes\\default", L"lang\\English");
    DpiScaler::GetInstance().SetAdaptingForTesting(false, 96);
  }
  static void TearDownTestSuite() { GlobalResources::Shutdown(); }

  void SetUp() override {
    ASSERT_GT(GlobalResources::TextColorCount(), 0u) << "global.xml did not load";
    MarkupBuilder::ClearDocumentCache();
  }

  // Builds |markup| as the window's root (a box).
  Box* Build(const std::wstring& markup) {
    MarkupBuilder builder;
    Control* root = builder.Create(markup, &window_);
    return dynamic_cast<Box*>(root);
  }
  Control* Find(const std::wstring& name) { return window_.FindControl(name); }
  RECT Pos(const std::wstring& name) {
    Control* c = Find(name);
    EXPECT_TRUE(c) << "no control named " << base::WideToUtf8(name);
    return c ? c->GetPos() : RECT{-1, -1, -1, -1};
  }
  void Arrange(int width, int height) { window_.ArrangeRoot(RECT{0, 0, width, height}); }

  // Paints the window's tree onto an opaque white surface.
  std::unique_ptr<IRenderContext> PaintWindow(int width, int height) {
    std::unique_ptr<IRenderContext> context = GlobalResources::GetRenderFactory()->CreateRenderContext();
    context->Resize(width, height);
    context->ZeroAlpha(RECT{0, 0, width, height}, 0xFF);
    Arrange(width, height);
    window_.PaintRoot(context.get(), RECT{0, 0, width, height});
    return context;
  }

  // A fresh folder below the temporary folder for this test's files.
  std::wstring TempDir() {
    if (temp_dir_.empty()) {
      wchar_t base[MAX_PATH];
      ::GetTempPathW(MAX_PATH, base);
      temp_dir_ = std::wstring(base) + L"varno_tree_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                  std::to_wstring(counter_++) + L"\\";
      ::CreateDirectoryW(temp_dir_.c_str(), nullptr);
    }
    return temp_dir_;
  }
  std::wstring WriteFile(const std::wstring& name, const std::string& bytes) {
    const std::wstring path = TempDir() + name;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    return path;
  }
  // A solid 24-bit bitmap file of |width| x |height| in colour 0xRRGGBB.
  std::wstring WriteSolidBmp(const std::wstring& name, int width, int height, uint32_t rgb) {
    const int stride = (width * 3 + 3) & ~3;
    std::string bytes(54 + stride * height, '\0');
    auto put32 = [&](size_t at, uint32_t v) {
      for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, static_cast<uint32_t>(bytes.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, width);
    put32(22, height);
    bytes[26] = 1;
    bytes[28] = 24;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const size_t at = 54 + y * stride + x * 3;
        bytes[at] = static_cast<char>(rgb & 0xFF);
        bytes[at + 1] = static_cast<char>((rgb >> 8) & 0xFF);
        bytes[at + 2] = static_cast<char>((rgb >> 16) & 0xFF);
      }
    }
    return WriteFile(name, bytes);
  }

  RecordingWindow window_;

 private:
  std::wstring temp_dir_;
  static inline int counter_ = 0;
};

inline bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline std::string RectText(const RECT& r) {
  return "{" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + "}";
}

}  // namespace testing
}  // namespace ui

#endif  // UI_CONTROL_TREE_TEST_SUPPORT_H_

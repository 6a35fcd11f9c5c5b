// Builds, lays out and paints a tree of about 200 controls of the wizard's
// kinds (vertical and horizontal boxes, a tab box, fixed, stretch and auto
// sizes, margins, padding, state images and colours) into an off-screen
// 640 x 480 surface, and reports:
//   - the median time per build, per full layout (a fresh tree measured and
//     placed) and per full paint;
//   - a relayout after one auto-sized leaf changes its picture: its time
//     and how many auto-sized controls were measured again (an untouched
//     sibling's subtree must not be);
//   - heap allocations during a layout pass of an unchanged tree.
// Usage: tree_bench <resources folder, Windows path ending in "\"> [rounds]
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "ui/box/box.h"
#include "ui/control/control.h"
#include "ui/core/global_resources.h"
#include "ui/core/markup_builder.h"
#include "ui/render/render_interface.h"
#include "ui/utils/dpi_scaler.h"
#include "ui/window/window.h"

namespace {

std::atomic<long> g_allocations{0};
long g_measured = 0;  // controls whose size was computed, not taken from the cache

// Counts what is measured for real: an auto-sized control marked for
// re-estimation (a fixed or stretch size is answered without measuring).
template <typename Base>
class Counting : public Base {
 public:
  SIZE MeasureSize(SIZE available) override {
    if (this->IsAutoSized() && this->NeedsReestimate()) ++g_measured;
    return Base::MeasureSize(available);
  }
};

template <typename T>
void CountAs(const wchar_t* element) {
  ui::RegisterControlCreator(element, [] { return std::unique_ptr<ui::Control>(std::make_unique<Counting<T>>()); });
}

// One row of a list: an icon, a stretch text area with two lines, a button.
std::wstring Row(int i) {
  std::wstring n = std::to_wstring(i);
  return L"<HBox name=\"row" + n + L"\" height=\"40\" padding=\"8,4,8,4\" childmargin=\"6\" bkcolor=\"bk_listitem_normal\">"
         L"<Control width=\"32\" height=\"32\" normalimage=\"file='../public/checkbox/check_no.png'\""
         L" hotimage=\"file='../public/checkbox/check_yes.png'\"/>"
         L"<VBox><Control name=\"leaf" + n + L"\" height=\"14\" width=\"auto\" minwidth=\"40\" bkcolor=\"white\"/>"
         L"<Control height=\"12\" margin=\"0,2,0,0\" bkcolor=\"lightcolor\"/></VBox>"
         L"<Control name=\"btn" + n + L"\" width=\"auto\" height=\"auto\" valign=\"center\""
         L" normalimage=\"file='../public/button/btn_wnd_close_normal.png'\""
         L" hotimage=\"file='../public/button/btn_wnd_close_hover.png'\"/>"
         L"</HBox>";
}

std::wstring TreeMarkup() {
  std::wstring m = L"<Window size=\"640,480\"><VBox bkcolor=\"bk_wnd_lightcolor\">";
  // Title bar as the wizard has it.
  m += L"<HBox height=\"30\" padding=\"10,0,5,0\"><Control/>"
       L"<Control width=\"24\" height=\"24\" margin=\"10,6,0,0\" normalimage=\"file='../public/button/btn_wnd_min_normal.png'\"/>"
       L"<Control width=\"24\" height=\"24\" margin=\"5,6,0,0\" normalimage=\"file='../public/button/btn_wnd_close_normal.png'\"/>"
       L"</HBox>";
  m += L"<TabBox name=\"pages\"><VBox padding=\"10,10,10,10\" childmargin=\"2\">";
  for (int i = 0; i < 32; ++i) m += Row(i);  // 7 controls each
  m += L"</VBox><VBox><Control bkcolor=\"red\"/></VBox></TabBox>";
  m += L"<HBox height=\"40\" padding=\"10,5,10,5\" childmargin=\"5\"><Control/>"
       L"<Control width=\"100\" bkcolor=\"darkcolor\"/><Control width=\"100\" bkcolor=\"dark_gray\"/></HBox>";
  m += L"</VBox></Window>";
  return m;
}

long CountControls(ui::Control* c) {
  long n = 1;
  if (auto* box = dynamic_cast<ui::Box*>(c)) {
    for (size_t i = 0; i < box->GetCount(); ++i) n += CountControls(box->GetItemAt(i));
  }
  return n;
}

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  ::QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

struct Tree {
  std::unique_ptr<ui::Window> window = std::make_unique<ui::Window>();
  bool Build(const std::wstring& markup) {
    window->SetResourcePath(L"form\\");
    ui::MarkupBuilder builder;
    return builder.Create(markup, window.get()) != nullptr;
  }
};

}  // namespace

// GCC 12 at -Os inlines these into make_unique and then takes the pair for
// a mismatched new and free; they are this program's whole allocator.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t size) {
  ++g_allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tree_bench <resources folder> [rounds]\n");
    return 2;
  }
  const int rounds = argc > 2 ? std::max(5, _wtoi(argv[2])) : 200;
  if (!ui::GlobalResources::Startup(argv[1], nullptr, false, L"themes\\default", L"lang\\English")) {
    std::fprintf(stderr, "tree_bench: the skin did not load from %ls\n", argv[1]);
    return 1;
  }
  for (const wchar_t* e : {L"Control"}) CountAs<ui::Control>(e);
  CountAs<ui::Box>(L"Box");
  CountAs<ui::HBox>(L"HBox");
  CountAs<ui::VBox>(L"VBox");

  const std::wstring markup = TreeMarkup();
  const RECT client{0, 0, 640, 480};
  std::unique_ptr<ui::IRenderContext> surface = ui::GlobalResources::GetRenderFactory()->CreateRenderContext();
  surface->Resize(640, 480);

  // A tree kept alive holds the skin's images in the cache, as an open
  // window does; the rounds then time building, layout and paint, not PNG
  // decoding. The first build (decoding included) is reported on its own.
  Tree keeper;
  const double first0 = Now();
  if (!keeper.Build(markup)) {
    std::fprintf(stderr, "tree_bench: the markup did not build\n");
    return 1;
  }
  keeper.window->ArrangeRoot(client);
  keeper.window->PaintRoot(surface.get(), client);
  const double first = Now() - first0;

  std::vector<double> build, layout, paint, relayout, unchanged;
  long controls = 0, measured_full = 0, measured_relayout = 0, allocations = 0;
  for (int r = 0; r < rounds; ++r) {
    Tree tree;
    double t0 = Now();
    if (!tree.Build(markup)) {
      std::fprintf(stderr, "tree_bench: the markup did not build\n");
      return 1;
    }
    double t1 = Now();
    g_measured = 0;
    tree.window->ArrangeRoot(client);
    double t2 = Now();
    measured_full = g_measured;
    tree.window->PaintRoot(surface.get(), client);
    double t3 = Now();
    build.push_back(t1 - t0);
    layout.push_back(t2 - t1);
    paint.push_back(t3 - t2);
    controls = CountControls(tree.window->GetRoot());

    // One auto-sized leaf takes another picture, as a label takes another
    // text; the next pass must measure it and its auto-sized ancestors only.
    ui::Control* leaf = tree.window->FindControl(L"btn7");
    if (!leaf) {
      std::fprintf(stderr, "tree_bench: btn7 missing\n");
      return 1;
    }
    leaf->SetAttribute(L"bkimage", r % 2 ? L"file='../public/checkbox/check_no.png'"
                                         : L"file='../public/button/btn_wnd_min_normal.png'");
    g_measured = 0;
    double t4 = Now();
    tree.window->ArrangeRoot(client);
    relayout.push_back(Now() - t4);
    measured_relayout = g_measured;

    // An unchanged tree placed again (a window move or a repaint's check).
    const long before = g_allocations.load();
    const double t5 = Now();
    tree.window->ArrangeRoot(RECT{0, 0, 640, 480});
    unchanged.push_back(Now() - t5);
    allocations = g_allocations.load() - before;
  }
  std::printf("tree of %ld controls, %d rounds (medians, ms)\n", controls, rounds);
  std::printf("  first build, layout and paint with image decoding %8.3f\n", first);
  std::printf("  build          %8.3f\n", Median(build));
  std::printf("  full layout    %8.3f  (%ld auto-sized controls measured)\n", Median(layout), measured_full);
  std::printf("  full paint     %8.3f  (640 x 480 off screen)\n", Median(paint));
  std::printf("  relayout       %8.3f  after one auto-sized leaf's image changed: %ld auto-sized controls measured again\n",
              Median(relayout), measured_relayout);
  std::printf("  layout pass of the unchanged tree %8.3f, heap allocations in it: %ld\n", Median(unchanged),
              allocations);
  ui::GlobalResources::Shutdown();
  return 0;
}

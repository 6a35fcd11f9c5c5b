// Skins are input: a few thousand mutants of the shipped markup (the global
// skin's classes moved under a window root, plus a wizard-like page that
// uses them) are built, laid out and painted. Attribute values are cut,
// swapped, made huge or negative; elements are repeated, dropped, nested
// deep and made to include themselves. None may crash, hang or take long;
// the heap-checked run catches what does not crash.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/util/string_util.h"
#include "ui/control/tree_test_support.h"
#include "ui/core/markup_builder.h"

namespace ui {
namespace {

class Mutator {
 public:
  explicit Mutator(uint32_t seed) : state_(seed) {}

  uint32_t Next(uint32_t bound) {
    state_ = state_ * 1664525u + 1013904223u;
    return bound ? (state_ >> 8) % bound : 0;
  }

  std::string Mutate(std::string text, const std::string& self_file) {
    static const char* const kNames[] = {"replace", "cut", "swap", "repeat", "drop", "nest", "include"};
    const int edits = 1 + Next(4);
    for (int i = 0; i < edits; ++i) {
      const uint32_t kind = Next(7);
      edits_ += std::string(edits_.empty() ? "" : " ") + kNames[kind];
      switch (kind) {
        case 0: ReplaceValue(&text, Pick(kHostileValues)); break;
        case 1: CutValue(&text); break;
        case 2: SwapValues(&text); break;
        case 3: RepeatElement(&text); break;
        case 4: DropRange(&text); break;
        case 5: Nest(&text, 1 + Next(400)); break;
        case 6: Insert(&text, "<Include source=\"" + self_file + "\" count=\"" + Pick(kCounts) + "\"/>"); break;
      }
    }
    return text;
  }

  // The edits made, for a failure's message.
  const std::string& edits() const { return edits_;
  }

 private:
  static constexpr const char* kHostileValues[] = {
      "", "-1", "-2", "-3", "-2147483648", "2147483647", "99999999", "1,2", "1,", ",,,", "auto", "stretch",
      "99999999,99999999,99999999,99999999", "-99999999,-99999999,-99999999,-99999999", "true", "false",
      "file='", "file='../public/button/btn_wnd_close_normal.png' corner='1000,1000,1000,1000'",
      "file='../public/checkbox/check_no.png' source='0,0,99999,99999' dest='-5,-5,70000,70000'",
      "btn_wnd_close btn_wnd_close label_title listitem", "a=", "=\"", "value", "0,0,0,0,0,0,0,0,0"};
  // Large counts are clamped (a builder test proves it); here they would only
  // multiply the work of every include.
  static constexpr const char* kCounts[] = {"1", "2", "3", "0", "-5", "x"};

  template <size_t N>
  const char* Pick(const char* const (&values)[N]) {
    return values[Next(N)];
  }

  // Positions of the attribute values ("..." after '=') in |text|.
  static std::vector<std::pair<size_t, size_t>> Values(const std::string& text) {
    std::vector<std::pair<size_t, size_t>> out;
    for (size_t at = text.find("=\""); at != std::string::npos; at = text.find("=\"", at + 2)) {
      const size_t end = text.find('"', at + 2);
      if (end == std::string::npos) break;
      out.emplace_back(at + 2, end);
    }
    return out;
  }

  void ReplaceValue(std::string* text, const std::string& value) {
    auto values = Values(*text);
    if (values.empty()) return;
    auto v = values[Next(values.size())];
    text->replace(v.first, v.second - v.first, value);
  }
  void CutValue(std::string* text) {
    auto values = Values(*text);
    if (values.empty()) return;
    auto v = values[Next(values.size())];
    const size_t keep = Next(static_cast<uint32_t>(v.second - v.first + 1));
    text->erase(v.first + keep, v.second - v.first - keep);
    if (Next(3) == 0) text->erase(v.first + keep, 1);  // the closing quote too
  }
  void SwapValues(std::string* text) {
    auto values = Values(*text);
    if (values.size() < 2) return;
    auto a = values[Next(values.size())];
    auto b = values[Next(values.size())];
    if (a.first > b.first) std::swap(a, b);
    if (a.first == b.first) return;
    const std::string va = text->substr(a.first, a.second - a.first);
    const std::string vb = text->substr(b.first, b.second - b.first);
    text->replace(b.first, vb.size(), va);
    text->replace(a.first, va.size(), vb);
  }
  // A start tag with whatever follows it up to the next tag, copied elsewhere.
  void RepeatElement(std::string* text) {
    const size_t from = RandomTag(*text);
    if (from == std::string::npos) return;
    const size_t end = text->find('<', from + 1);
    const std::string chunk = text->substr(from, (end == std::string::npos ? text->size() : end) - from);
    const int copies = 1 + Next(50);
    std::string repeated;
    for (int i = 0; i < copies; ++i) repeated += chunk;
    Insert(text, repeated);
  }
  void DropRange(std::string* text) {
    const size_t a = RandomTag(*text), b = RandomTag(*text);
    if (a == std::string::npos || b == std::string::npos || a == b) return;
    text->erase(std::min(a, b), (a > b ? a - b : b - a));
  }
  // Wraps the content after the first box in |depth| boxes.
  void Nest(std::string* text, int depth) {
    const size_t at = text->find("<VBox");
    if (at == std::string::npos) return;
    std::string open, close;
    for (int i = 0; i < depth; ++i) {
      open += (i % 2) ? "<HBox>" : "<VBox width=\"auto\" height=\"auto\">";
      close.insert(0, (i % 2) ? "</HBox>" : "</VBox>");
    }
    const size_t end = text->rfind("</VBox>");
    if (end == std::string::npos || end < at) return;
    text->insert(end, close);
    text->insert(text->find('>', at) + 1, open);
  }
  void Insert(std::string* text, const std::string& what) {
    const size_t at = RandomTag(*text);
    text->insert(at == std::string::npos ? text->size() : at, what);
  }
  size_t RandomTag(const std::string& text) {
    std::vector<size_t> tags;
    for (size_t at = text.find('<'); at != std::string::npos; at = text.find('<', at + 1)) tags.push_back(at);
    return tags.empty() ? std::string::npos : tags[Next(tags.size())];
  }

  uint32_t state_;
  std::string edits_;
};

std::string ReadSourceFile(const std::string& relative) {
  std::ifstream in(std::string(VARNO_SOURCE_DIR) + "/" + relative, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The global skin's classes under a window root (so building mutants never
// changes the process-wide tables), followed by a page that uses them.
std::string SeedMarkup() {
  std::string global = ReadSourceFile("resources/themes/default/global.xml");
  const size_t open = global.find("<Global");
  const size_t close = global.rfind("</Global>");
  if (open == std::string::npos || close == std::string::npos) return std::string();
  std::string body = global.substr(global.find('>', open) + 1, close - global.find('>', open) - 1);
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?><Window size=\"640,360\" caption=\"0,0,0,30\" sizebox=\"4,4,4,4\""
         " mininfo=\"80,60\" roundcorner=\"4,4\">" +
         body +
         "<VBox bkcolor=\"bk_wnd_lightcolor\" padding=\"1,1,1,1\">"
         "<HBox height=\"30\" padding=\"10,0,5,0\"><Control/>"
         "<Button class=\"btn_wnd_min\" width=\"24\" height=\"24\" margin=\"10,6,0,0\"/>"
         "<Control class=\"btn_wnd_close\" width=\"24\" height=\"24\" margin=\"5,6,0,0\" name=\"closebtn\"/></HBox>"
         "<TabBox name=\"pages\" selectedid=\"0\" fadeswitch=\"true\">"
         "<VBox childmargin=\"6\" padding=\"20,10,20,10\">"
         "<Control class=\"splitline_hor_level1\" height=\"1\"/>"
         "<HBox height=\"auto\" childmargin=\"4\"><Control width=\"auto\" height=\"auto\" class=\"checkbox_custom\"/>"
         "<Control class=\"btn_text_link\" width=\"stretch\" halign=\"center\" valign=\"bottom\"/></HBox>"
         "<TileBox itemsize=\"60,30\" columns=\"3\" height=\"auto\"><Control/><Control/><Control width=\"auto\"/>"
         "<Control float=\"true\" margin=\"5,5,0,0\" width=\"20\" height=\"20\"/></TileBox>"
         "<Box name=\"box_custom\" height=\"auto\" height=\"128\" class=\"box_card\">"
         "<Control class=\"btn_start\" width=\"200\" height=\"48\" halign=\"center\" valign=\"center\"/>"
         "<Event type=\"buttondown all\" receiver=\"closebtn ./x\" applyattribute=\"visible=&quot;false&quot;\"/>"
         "</Box>"
         "<BubbledEvent type=\"mouseenter\" receiver=\"pages\" applyattribute=\"alpha=&quot;100&quot;\"/>"
         "</VBox>"
         "<VBox><Control class=\"progress_blue\" height=\"12\" maxwidth=\"300\" minwidth=\"20\"/></VBox>"
         "</TabBox></VBox></Window>";
}

class MarkupMutationTest : public testing::TreeTest {};

TEST_F(MarkupMutationTest, MutatedSkinsBuildLayOutAndPaintWithinBounds) {
  const std::string seed = SeedMarkup();
  ASSERT_FALSE(seed.empty()) << "the shipped global skin has no Global root";
  std::unique_ptr<IRenderContext> surface = GlobalResources::GetRenderFactory()->CreateRenderContext();
  surface->Resize(640, 360);
  // The seed itself must build into a real tree, or the mutants test
  // nothing. Kept painted through the run, it holds the skin's images in
  // the cache, so the mutants cost layout and paint rather than decoding.
  testing::RecordingWindow keeper;
  keeper.SetResourcePath(L"form\\");
  MarkupBuilder seed_builder;
  ASSERT_NE(nullptr, seed_builder.Create(base::Utf8ToWide(seed), &keeper));
  ASSERT_NE(nullptr, keeper.FindControl(L"box_custom"));
  keeper.ArrangeRoot(RECT{0, 0, 640, 360});
  keeper.PaintRoot(surface.get(), RECT{0, 0, 640, 360});
  const std::wstring self = TempDir() + L"mutant.xml";
  const std::string self_utf8 = base::WideToUtf8(self);
  constexpr int kMutants = 2500;
  constexpr double kSlowestAllowedMs = 10000;
  double slowest = 0;
  int slowest_index = -1, built = 0;
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  for (int i = 0; i < kMutants; ++i) {
    Mutator mutator(0x9E3779B9u ^ static_cast<uint32_t>(i));
    const std::string mutant = mutator.Mutate(seed, self_utf8);
    WriteFile(L"mutant.xml", mutant);  // what a self-include reads
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    {
      testing::RecordingWindow window;
      window.SetResourcePath(L"form\\");
      MarkupBuilder builder;
      if (builder.Create(base::Utf8ToWide(mutant), &window)) {
        ++built;
        window.ArrangeRoot(RECT{0, 0, 640, 360});
        window.PaintRoot(surface.get(), RECT{0, 0, 640, 360});
        window.ArrangeRoot(RECT{0, 0, 17, 9000});  // a second, odd layout
        window.PaintRoot(surface.get(), RECT{0, 0, 640, 360});
      }
    }
    ::QueryPerformanceCounter(&end);
    const double ms = static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;
    if (ms > slowest) slowest = ms, slowest_index = i;
    if (getenv("VARNO_MUTANT_TIMES") && ms > 200) std::printf("mutant %d: %.0f ms (%s)\n", i, ms, mutator.edits().c_str());
    ASSERT_LT(ms, kSlowestAllowedMs) << "mutant " << i << " (" << mutator.edits() << ") took " << ms << " ms:\n"
                                     << mutant.substr(0, 4000);
  }
  MarkupBuilder::ClearDocumentCache();
  // Most mutants still build: a mutator that broke every one would test only the parser.
  EXPECT_GT(built, kMutants / 2);
  std::printf("%d mutants, %d built; slowest #%d: %.1f ms\n", kMutants, built, slowest_index, slowest);
}

}  // namespace
}  // namespace ui

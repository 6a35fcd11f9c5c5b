#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "ui/core/global_resources.h"
#include "ui/render/render_test_support.h"
#include "ui/render/string_format_gdiplus.h"

namespace ui {
namespace {

using testing::RenderTest;

constexpr uint32_t kWhite = 0xFFFFFFFF;

class RenderTextTest : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    ASSERT_NE(nullptr, GlobalResources::AddFont(kFont, L"Tahoma", 14, false, false, false, false));
    ASSERT_NE(nullptr, GlobalResources::AddFont(kBigFont, L"Tahoma", 40, true, false, false, false));
  }
  void TearDown() override {
    GlobalResources::SetRightToLeft(false);
    RenderTest::TearDown();
  }

  // Columns [first, last] that hold any changed pixel in rows [top, bottom).
  bool InkSpan(int top, int bottom, int* first, int* last) {
    *first = kWidth;
    *last = -1;
    for (int y = top; y < bottom; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        if (At(x, y) != kWhite) {
          *first = std::min(*first, x);
          *last = std::max(*last, x);
        }
      }
    }
    return *last >= 0;
  }

  static constexpr const wchar_t* kFont = L"render_test_14";
  static constexpr const wchar_t* kBigFont = L"render_test_40b";
};

// Text asked for at full alpha is drawn at 254: even the fully covered
// pixels of a heavy glyph keep a trace of the background, and a surface that
// was transparent never reaches alpha 255. Empty text draws nothing.
TEST_F(RenderTextTest, FullAlphaTextIsDrawnAt254) {
  context_->DrawText(RECT{0, 0, kWidth, kHeight}, L"\x2588", 0xFF000000u, kBigFont,
                     DT_SINGLELINE, 255);
  int darkest = 255;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) darkest = std::min<int>(darkest, At(x, y) & 0xFF);
  EXPECT_LT(darkest, 5);   // the glyph was drawn
  EXPECT_GE(darkest, 1);   // but not opaquely

  context_->Clear();
  context_->DrawText(RECT{0, 0, kWidth, kHeight}, L"\x2588", 0xFFFFFFFFu, kBigFont,
                     DT_SINGLELINE, 255);
  int max_alpha = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) max_alpha = std::max<int>(max_alpha, At(x, y) >> 24);
  EXPECT_GT(max_alpha, 200);
  EXPECT_LE(max_alpha, 254);

  FillWhite();
  context_->DrawText(RECT{0, 0, kWidth, kHeight}, L"", 0xFF000000u, kBigFont, 0, 255);
  int first, last;
  EXPECT_FALSE(InkSpan(0, kHeight, &first, &last));
}

// Single-line width grows with the text; wrapping into a narrow box makes
// the text taller; an unknown font id falls back to the DC's font.
TEST_F(RenderTextTest, MeasureText) {
  const RECT short_rect = context_->MeasureText(L"Hi", kFont, DT_SINGLELINE);
  const RECT long_rect = context_->MeasureText(L"Hi there, world", kFont, DT_SINGLELINE);
  EXPECT_GT(short_rect.right - short_rect.left, 2);
  EXPECT_GT(long_rect.right - long_rect.left, short_rect.right - short_rect.left);
  EXPECT_EQ(short_rect.bottom - short_rect.top, long_rect.bottom - long_rect.top);

  const std::wstring text = L"several words that need more than one line";
  const RECT line = context_->MeasureText(text, kFont, DT_SINGLELINE, 60);
  const RECT wrapped = context_->MeasureText(text, kFont, 0, 60);
  EXPECT_GT(wrapped.bottom - wrapped.top, 2 * (line.bottom - line.top) - 4);
  EXPECT_LE(wrapped.right - wrapped.left, 61);
  EXPECT_LE(line.right - line.left, 61);

  const RECT big = context_->MeasureText(L"Hi", kBigFont, DT_SINGLELINE);
  EXPECT_GT(big.bottom - big.top, short_rect.bottom - short_rect.top);
  const RECT fallback = context_->MeasureText(L"Hi", L"no such font", DT_SINGLELINE);
  EXPECT_GT(fallback.right - fallback.left, 2);
}

// Every script of the string tables draws real glyphs with the skin's
// faces, the default one and the right-to-left one: two different letters
// both leave ink and differ, which a missing glyph's box would not.
TEST_F(RenderTextTest, EveryScriptDrawsGlyphs) {
  struct Script {
    const char* name;
    const wchar_t* first;
    const wchar_t* second;
  };
  const Script scripts[] = {
      {"Latin", L"a", L"g"},
      {"Latin extended (cs, pl, tr)", L"\x0159", L"\x0142"},
      {"Vietnamese", L"\x1EC7", L"\x1EDF"},
      {"Greek", L"\x03B1", L"\x03B6"},
      {"Cyrillic", L"\x0434", L"\x0436"},
      {"Han", L"\x4E2D", L"\x6587"},
      {"Kana", L"\x3042", L"\x30AB"},
      {"Hangul", L"\xD55C", L"\xAE00"},
      {"Arabic", L"\x0628", L"\x0639"},
      {"Hebrew", L"\x05D0", L"\x05E9"},
      {"Devanagari", L"\x0915", L"\x0939"},
      {"Bengali", L"\x0995", L"\x09B9"},
      {"Malayalam", L"\x0D15", L"\x0D39"},
  };
  const std::wstring faces[] = {L"system", L"Segoe UI"};
  for (const std::wstring& face : faces) {
    const std::wstring id = L"render_test_script_" + face;
    ASSERT_NE(nullptr, GlobalResources::AddFont(id, face, 28, false, false, false, false));
    for (const Script& script : scripts) {
      std::vector<uint32_t> drawn[2];
      for (int i = 0; i < 2; ++i) {
        FillWhite();
        context_->DrawText(RECT{0, 0, kWidth, kHeight}, i ? script.second : script.first,
                           0xFF000000u, id, DT_SINGLELINE);
        for (int y = 0; y < kHeight; ++y)
          for (int x = 0; x < kWidth; ++x) drawn[i].push_back(At(x, y));
      }
      const auto inked = [](const std::vector<uint32_t>& pixels) {
        return std::count_if(pixels.begin(), pixels.end(), [](uint32_t p) { return p != kWhite; });
      };
      EXPECT_GT(inked(drawn[0]), 20) << script.name << " with face " << std::string(face.begin(), face.end());
      EXPECT_GT(inked(drawn[1]), 20) << script.name;
      EXPECT_NE(drawn[0], drawn[1]) << script.name << ": both letters drew the missing-glyph box";
    }
  }
}

// A face GDI+ has no family for (a raster face on Windows; under Wine, a
// family whose full name differs from its name) is drawn and measured with
// a family it accepts, at the same size: never with a font GDI+ already
// freed, which crashed here before.
TEST_F(RenderTextTest, RefusedFaceFallsBackCleanly) {
  const wchar_t* const candidates[] = {L"Fixedsys", L"Noto Sans", L"System"};
  std::wstring refused;
  for (const wchar_t* face : candidates) {
    LOGFONTW lf{};
    lf.lfHeight = -20;
    lf.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    Gdiplus::GpFont* font = nullptr;
    if (Gdiplus::DllExports::GdipCreateFontFromLogfontW(context_->GetDC(), &lf, &font) ==
        Gdiplus::Ok) {
      Gdiplus::DllExports::GdipDeleteFont(font);
      continue;
    }
    refused = face;  // a failed font is not deleted: it may be freed already
    break;
  }
  ASSERT_FALSE(refused.empty()) << "GDI+ accepted every face meant to be refused";
  ASSERT_NE(nullptr, GlobalResources::AddFont(L"render_test_refused", refused, 20, false, false,
                                              false, false));
  ASSERT_NE(nullptr, GlobalResources::AddFont(L"render_test_refused_bold", refused, 40, true,
                                              false, false, false));
  for (int round = 0; round < 3; ++round) {  // the heap pass sees any reuse
    FillWhite();
    context_->DrawText(RECT{0, 0, kWidth, kHeight}, L"Ag", 0xFF000000u, L"render_test_refused",
                       DT_SINGLELINE);
    int first, last;
    EXPECT_TRUE(InkSpan(0, kHeight, &first, &last));
    const RECT small = context_->MeasureText(L"Ag", L"render_test_refused", DT_SINGLELINE);
    const RECT big = context_->MeasureText(L"Ag", L"render_test_refused_bold", DT_SINGLELINE);
    EXPECT_GT(small.bottom - small.top, 15);
    EXPECT_LT(small.bottom - small.top, 40);
    EXPECT_GT(big.right - big.left, small.right - small.left);
  }
}

// Horizontal styles place the text near, centred or far.
TEST_F(RenderTextTest, HorizontalAlignment) {
  const RECT box{0, 0, kWidth, 20};
  int first, last;
  context_->DrawText(box, L"ab", 0xFF000000u, kFont, DT_SINGLELINE);
  ASSERT_TRUE(InkSpan(0, 20, &first, &last));
  EXPECT_LT(last, kWidth / 2);

  FillWhite();
  context_->DrawText(box, L"ab", 0xFF000000u, kFont, DT_SINGLELINE | DT_RIGHT);
  ASSERT_TRUE(InkSpan(0, 20, &first, &last));
  EXPECT_GT(first, kWidth / 2);

  FillWhite();
  context_->DrawText(box, L"ab", 0xFF000000u, kFont, DT_SINGLELINE | DT_CENTER);
  ASSERT_TRUE(InkSpan(0, 20, &first, &last));
  EXPECT_LT(first, kWidth / 2);
  EXPECT_GT(last, kWidth / 2);
}

// Vertical styles: bottom puts the ink in the lower half of a tall box, and
// centring puts it in the middle band.
TEST_F(RenderTextTest, VerticalAlignment) {
  const RECT box{0, 0, kWidth, kHeight};
  int first, last;
  context_->DrawText(box, L"ab", 0xFF000000u, kFont, DT_SINGLELINE | DT_BOTTOM);
  EXPECT_FALSE(InkSpan(0, kHeight / 2, &first, &last));
  EXPECT_TRUE(InkSpan(kHeight / 2, kHeight, &first, &last));

  FillWhite();
  context_->DrawText(box, L"ab", 0xFF000000u, kFont, DT_SINGLELINE | DT_VCENTER);
  EXPECT_FALSE(InkSpan(0, kHeight / 4, &first, &last));
  EXPECT_TRUE(InkSpan(kHeight / 4, 3 * kHeight / 4, &first, &last));
  EXPECT_FALSE(InkSpan(3 * kHeight / 4, kHeight, &first, &last));
}

// Centred text of the face "新宋体" sits one pixel lower when the box has
// room for it; the same font under another face name does not move. The
// face is usually not installed, so both ids may get the same substitute:
// the test first checks that top-aligned output is identical.
TEST_F(RenderTextTest, SimSunCentredTextMovesDown) {
  ASSERT_NE(nullptr, GlobalResources::AddFont(L"render_test_simsun", L"\x65B0\x5B8B\x4F53", 14,
                                              false, false, false, false));
  const FontInfo* info = GlobalResources::GetFontInfo(L"render_test_simsun", context_->GetDC());
  ASSERT_NE(nullptr, info);
  // The family the system really chose (the face name would answer a
  // substitute's name).
  HGDIOBJ old = ::SelectObject(context_->GetDC(), info->font);
  std::vector<BYTE> metrics(::GetOutlineTextMetricsW(context_->GetDC(), 0, nullptr));
  ASSERT_GT(metrics.size(), sizeof(OUTLINETEXTMETRICW));
  ::GetOutlineTextMetricsW(context_->GetDC(), static_cast<UINT>(metrics.size()),
                           reinterpret_cast<OUTLINETEXTMETRICW*>(metrics.data()));
  ::SelectObject(context_->GetDC(), old);
  const auto* otm = reinterpret_cast<const OUTLINETEXTMETRICW*>(metrics.data());
  const std::wstring real_face(reinterpret_cast<const wchar_t*>(
      metrics.data() + reinterpret_cast<uintptr_t>(otm->otmpFamilyName)));
  ASSERT_NE(L"\x65B0\x5B8B\x4F53", real_face);
  ASSERT_NE(nullptr, GlobalResources::AddFont(L"render_test_other", real_face, 14, false, false,
                                              false, false));

  auto ink_rows = [this](const wchar_t* font, UINT style, int* top, int* bottom) {
    FillWhite();
    context_->DrawText(RECT{0, 0, kWidth, 40}, L"Hg", 0xFF000000u, font, DT_SINGLELINE | style);
    *top = -1;
    *bottom = -1;
    for (int y = 0; y < 40; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        if (At(x, y) != kWhite) {
          if (*top < 0) *top = y;
          *bottom = y;
          break;
        }
      }
    }
  };
  int top1, bottom1, top2, bottom2;
  ink_rows(L"render_test_simsun", 0, &top1, &bottom1);
  ink_rows(L"render_test_other", 0, &top2, &bottom2);
  ASSERT_GE(top1, 0);
  ASSERT_EQ(top2, top1);  // same glyphs when top-aligned
  ink_rows(L"render_test_simsun", DT_VCENTER, &top1, &bottom1);
  ink_rows(L"render_test_other", DT_VCENTER, &top2, &bottom2);
  EXPECT_EQ(top2 + 1, top1);
  EXPECT_EQ(bottom2 + 1, bottom1);
}

// The style bits and the process-wide right-to-left flag reach the format.
// (Wine's GDI+ lays out right-to-left text left to right, so the flag is
// checked on the format rather than on the pixels.)
TEST_F(RenderTextTest, StyleMapsToStringFormat) {
  struct Case {
    UINT style;
    bool line_limit;
    bool rtl;
    INT flags;
    Gdiplus::StringAlignment align, line_align;
    Gdiplus::StringTrimming trimming;
  };
  const INT base = Gdiplus::StringFormat::GenericTypographic()->GetFormatFlags();
  const Case cases[] = {
      {0, false, false, base, Gdiplus::StringAlignmentNear, Gdiplus::StringAlignmentNear,
       Gdiplus::StringTrimmingNone},
      {DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_END_ELLIPSIS, false, false,
       base | Gdiplus::StringFormatFlagsNoWrap, Gdiplus::StringAlignmentCenter,
       Gdiplus::StringAlignmentCenter, Gdiplus::StringTrimmingEllipsisCharacter},
      {DT_RIGHT | DT_BOTTOM | DT_NOCLIP, true, false,
       base | Gdiplus::StringFormatFlagsLineLimit | Gdiplus::StringFormatFlagsNoClip,
       Gdiplus::StringAlignmentFar, Gdiplus::StringAlignmentFar, Gdiplus::StringTrimmingNone},
      {DT_SINGLELINE, false, true,
       base | Gdiplus::StringFormatFlagsNoWrap | Gdiplus::StringFormatFlagsDirectionRightToLeft,
       Gdiplus::StringAlignmentNear, Gdiplus::StringAlignmentNear, Gdiplus::StringTrimmingNone},
  };
  for (const Case& c : cases) {
    GlobalResources::SetRightToLeft(c.rtl);
    Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
    internal::ApplyTextStyle(&format, c.style, c.line_limit);
    EXPECT_EQ(c.flags, format.GetFormatFlags()) << c.style;
    EXPECT_EQ(c.align, format.GetAlignment()) << c.style;
    EXPECT_EQ(c.line_align, format.GetLineAlignment()) << c.style;
    EXPECT_EQ(c.trimming, format.GetTrimming()) << c.style;
  }
  // The typographic format already carries the line-limit and no-clip
  // flags, so their mapping shows only on a format without them.
  GlobalResources::SetRightToLeft(false);
  Gdiplus::StringFormat plain(0);
  internal::ApplyTextStyle(&plain, DT_NOCLIP, true);
  EXPECT_EQ(Gdiplus::StringFormatFlagsLineLimit | Gdiplus::StringFormatFlagsNoClip, plain.GetFormatFlags());
  Gdiplus::StringFormat none(0);
  internal::ApplyTextStyle(&none, 0, false);
  EXPECT_EQ(0, none.GetFormatFlags());
}

}  // namespace
}  // namespace ui

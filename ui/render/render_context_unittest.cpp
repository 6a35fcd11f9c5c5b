#include <windows.h>

#include <vector>

#include "gtest/gtest.h"
#include "ui/core/global_resources.h"
#include "ui/render/render_test_support.h"

namespace ui {
namespace {

using testing::Pixel;
using testing::RenderTest;
using testing::Rgb;

constexpr uint32_t kWhite = 0xFFFFFFFF;

// Resizing to the current size is a no-op that keeps the pixels; a new size
// replaces the bitmap; a refused size leaves no bitmap behind.
TEST_F(RenderTest, ResizeKeepsPixelsOnlyWhenUnchanged) {
  testing::SetPixel(context_.get(), 3, 4, 0x12345678);
  EXPECT_FALSE(context_->Resize(kWidth, kHeight));
  EXPECT_EQ(0x12345678u, At(3, 4));

  EXPECT_TRUE(context_->Resize(kWidth + 1, kHeight));
  EXPECT_EQ(kWidth + 1, context_->GetWidth());
  EXPECT_EQ(kHeight, context_->GetHeight());

  EXPECT_FALSE(context_->Resize(0, 10));
  EXPECT_EQ(nullptr, context_->GetBits());
  EXPECT_EQ(0, context_->GetWidth());
  // A context without a bitmap takes a good size again.
  EXPECT_TRUE(context_->Resize(8, 8));
  EXPECT_NE(nullptr, context_->GetBits());
}

// Clear zeroes every byte; Clone copies size and pixels into its own bitmap.
TEST_F(RenderTest, ClearAndClone) {
  testing::SetPixel(context_.get(), 79, 59, 0x01020304);
  std::unique_ptr<IRenderContext> copy = context_->Clone();
  ASSERT_EQ(kWidth, copy->GetWidth());
  ASSERT_EQ(kHeight, copy->GetHeight());
  EXPECT_NE(context_->GetBits(), copy->GetBits());
  EXPECT_EQ(0x01020304u, Pixel(copy.get(), 79, 59));
  EXPECT_EQ(kWhite, Pixel(copy.get(), 0, 0));

  context_->Clear();
  EXPECT_EQ(0u, At(0, 0));
  EXPECT_EQ(0u, At(79, 59));
  EXPECT_EQ(kWhite, Pixel(copy.get(), 0, 0));  // the copy is independent
}

// The taken bitmap is no longer selected (so it can be deleted) and the
// context forgets it.
TEST_F(RenderTest, TakeBitmapHandsOverOwnership) {
  HBITMAP bitmap = context_->TakeBitmap();
  ASSERT_NE(nullptr, bitmap);
  EXPECT_EQ(nullptr, context_->GetBits());
  EXPECT_EQ(0, context_->GetWidth());
  BITMAP info{};
  ASSERT_EQ(static_cast<int>(sizeof(info)), ::GetObjectW(bitmap, sizeof(info), &info));
  EXPECT_EQ(kWidth, info.bmWidth);
  EXPECT_EQ(32, info.bmBitsPixel);
  EXPECT_TRUE(::DeleteObject(bitmap));
  EXPECT_TRUE(context_->Resize(kWidth, kHeight));
}

// ZeroAlpha writes the value into all four bytes and clamps to the bitmap.
TEST_F(RenderTest, ZeroAlphaClampsToBitmap) {
  context_->ZeroAlpha(RECT{-5, -5, 3, 3}, 7);
  EXPECT_EQ(0x07070707u, At(0, 0));
  EXPECT_EQ(0x07070707u, At(2, 2));
  EXPECT_EQ(kWhite, At(3, 3));
  EXPECT_EQ(kWhite, At(2, 3));
  context_->ZeroAlpha(RECT{kWidth - 2, kHeight - 1, kWidth + 100, kHeight + 100}, 0);
  EXPECT_EQ(0u, At(kWidth - 1, kHeight - 1));
  EXPECT_EQ(kWhite, At(kWidth - 3, kHeight - 1));
  context_->ZeroAlpha(RECT{10, 10, 5, 5}, 0);  // inverted: nothing
  EXPECT_EQ(kWhite, At(7, 7));
}

// RepairAlpha makes the body opaque except pixels carrying the key alpha,
// and leaves the four corner blocks as drawn.
TEST_F(RenderTest, RepairAlphaSkipsCornersAndHonoursKey) {
  context_->ZeroAlpha(RECT{0, 0, 20, 20}, 0x80);
  testing::SetPixel(context_.get(), 10, 10, 0x33000000);
  const RECT insets{3, 4, 5, 6};
  context_->RepairAlpha(RECT{0, 0, 20, 20}, insets, 0x33);
  EXPECT_EQ(0x80u, At(2, 3) >> 24);    // top-left block
  EXPECT_EQ(0x80u, At(15, 0) >> 24);   // top-right block (x >= 20 - 5)
  EXPECT_EQ(0x80u, At(0, 19) >> 24);   // bottom-left block (y >= 20 - 6)
  EXPECT_EQ(0x80u, At(19, 14) >> 24);  // bottom-right block
  EXPECT_EQ(0xFFu, At(3, 0) >> 24);    // top band between the corners
  EXPECT_EQ(0xFFu, At(0, 4) >> 24);    // left band
  EXPECT_EQ(0xFFu, At(19, 13) >> 24);
  EXPECT_EQ(0u, At(10, 10) >> 24);     // key alpha made transparent
  EXPECT_EQ(0x808080u, Rgb(At(3, 0)));  // colour bytes untouched
  EXPECT_EQ(kWhite, At(20, 20));        // outside the rect

  // Key 0 means no key: a pixel of alpha 0 becomes opaque.
  testing::SetPixel(context_.get(), 10, 10, 0);
  context_->RepairAlpha(RECT{0, 0, 20, 20}, insets, 0);
  EXPECT_EQ(0xFFu, At(10, 10) >> 24);
}

// The fill colour's alpha is scaled by the alpha argument (truncated) while
// red, green and blue stay. On the opaque surface GDI+ composites it over
// white, so the green and blue bytes show which alpha reached the brush.
TEST_F(RenderTest, FillColorScalesColourAlpha) {
  context_->FillColor(RECT{0, 0, 10, 10}, 0x80FF0000u, 128);
  // 0x40 over white: 255 * (1 - 64/255) = 191.
  const uint32_t half = At(5, 5);
  EXPECT_EQ(0xFFu, (half >> 16) & 0xFF);
  EXPECT_NEAR(191, static_cast<int>((half >> 8) & 0xFF), 2);
  EXPECT_NEAR(191, static_cast<int>(half & 0xFF), 2);
  EXPECT_EQ(kWhite, At(10, 10));

  // On a transparent surface the bitmap holds the colour premultiplied:
  // 0x40FF0000 is stored as alpha 0x40, red 0x40.
  context_->Clear();
  context_->FillColor(RECT{0, 0, 10, 10}, 0x80FF0000u, 128);
  const uint32_t stored = At(5, 5);
  EXPECT_NEAR(0x40, static_cast<int>(stored >> 24), 1);
  EXPECT_NEAR(0x40, static_cast<int>((stored >> 16) & 0xFF), 1);
  EXPECT_EQ(0u, stored & 0xFFFF);

  // Full alpha leaves the colour as given.
  context_->FillColor(RECT{20, 0, 30, 10}, 0xFF00FF00u, 255);
  EXPECT_EQ(0xFF00FF00u, At(25, 5));
}

// A colour by name goes through the global table; an empty name draws nothing.
TEST_F(RenderTest, FillColorByName) {
  GlobalResources::AddTextColor(L"render_test_blue", L"#FF0000FF");
  context_->FillColor(RECT{0, 0, 10, 10}, L"render_test_blue");
  EXPECT_EQ(0xFF0000FFu, At(5, 5));
  context_->FillColor(RECT{0, 0, 10, 10}, std::wstring(), 255);
  EXPECT_EQ(0xFF0000FFu, At(5, 5));
  context_->FillColor(RECT{20, 0, 30, 10}, std::wstring());
  EXPECT_EQ(kWhite, At(25, 5));
}

// One step of a clip and save sequence.
struct ClipStep {
  char op;  // see RunClipSteps
  RECT r;
};

// Runs |steps| on |context|: 'c' SetClip(r), 'R' SetRoundedClip(r, 6, 6),
// 'x' ClearClip, 's' SaveDC, 'r' RestoreDC, 'o' OffsetWindowOrg by
// (r.left, r.top), 'g' expects the window origin (r.left, r.top), 'f' fills
// everywhere and expects exactly the device pixels of r painted (an empty r:
// none), then repaints white.
void RunClipSteps(IRenderContext* context, const std::vector<ClipStep>& steps, const char* name) {
  const int width = context->GetWidth(), height = context->GetHeight();
  int index = 0;
  for (const ClipStep& step : steps) {
    SCOPED_TRACE(::testing::Message() << name << ", step " << index++ << " '" << step.op << "'");
    switch (step.op) {
      case 'c': context->SetClip(step.r); break;
      case 'R': context->SetRoundedClip(step.r, 6, 6); break;
      case 'x': context->ClearClip(); break;
      case 's': EXPECT_GT(context->SaveDC(), 0); break;
      case 'r': context->RestoreDC(); break;
      case 'o': context->OffsetWindowOrg(POINT{step.r.left, step.r.top}); break;
      case 'g':
        EXPECT_EQ(step.r.left, context->GetWindowOrg().x);
        EXPECT_EQ(step.r.top, context->GetWindowOrg().y);
        break;
      case 'f': {
        context->FillColor(RECT{-1000, -1000, 1000, 1000}, 0xFF000000u);
        int wrong = 0;
        for (int y = 0; y < height; ++y) {
          for (int x = 0; x < width; ++x) {
            const bool inside = x >= step.r.left && x < step.r.right && y >= step.r.top && y < step.r.bottom;
            const uint32_t pixel = Pixel(context, x, y);
            if (pixel != (inside ? 0xFF000000u : kWhite) && wrong++ < 3)
              ADD_FAILURE() << "pixel (" << x << "," << y << ") is " << std::hex << pixel;
          }
        }
        context->ZeroAlpha(RECT{0, 0, width, height}, 0xFF);
        break;
      }
    }
  }
}

// Clips and saves share the DC's one save stack. Whatever order they come
// in, each clear and each restore undoes its own level only, and after a
// balanced sequence the DC's stack is empty again (the next SaveDC answers
// 1), so it cannot grow paint after paint.
TEST_F(RenderTest, ClipAndSaveSequencesStayMatched) {
  const RECT all{0, 0, kWidth, kHeight};
  const RECT none{0, 0, 0, 0};
  const RECT a{0, 0, 20, 20};
  struct Case {
    const char* name;
    std::vector<ClipStep> steps;
  };
  const Case cases[] = {
      {"clips nest; each clear undoes one",
       {{'c', a}, {'c', {5, 5, 30, 30}}, {'f', {5, 5, 20, 20}}, {'x', {}}, {'f', a}, {'x', {}}, {'f', all}}},
      {"an unmatched clear disturbs nothing", {{'x', {}}, {'f', all}, {'r', {}}, {'f', all}}},
      {"a restore drops the inner clip; its clear does nothing, the outer one's still works",
       {{'c', a}, {'s', {}}, {'c', {0, 0, 5, 5}}, {'r', {}}, {'f', a}, {'x', {}}, {'f', a}, {'x', {}}, {'f', all}}},
      {"a restore without a save of its own keeps the clip", {{'c', a}, {'r', {}}, {'f', a}, {'x', {}}, {'f', all}}},
      {"a save inside a clip is undone with it",
       {{'c', a}, {'c', {0, 0, 10, 10}}, {'s', {}}, {'x', {}}, {'r', {}}, {'f', a}, {'x', {}}, {'f', all}}},
      {"nested saves each restore their own origin",
       {{'s', {}}, {'o', {5, 5, 0, 0}}, {'s', {}}, {'o', {3, 3, 0, 0}}, {'g', {8, 8, 0, 0}}, {'c', {10, 10, 20, 20}},
        {'f', {2, 2, 12, 12}}, {'x', {}}, {'r', {}}, {'g', {5, 5, 0, 0}}, {'r', {}}, {'g', {0, 0, 0, 0}}, {'f', all}}},
      {"a clip left set inside a save goes with its restore",
       {{'s', {}}, {'s', {}}, {'c', a}, {'r', {}}, {'f', all}, {'r', {}}, {'x', {}}, {'f', all}}},
      {"an inverted clip clips everything", {{'c', {10, 10, 5, 5}}, {'f', none}, {'x', {}}, {'f', all}}},
      {"an empty clip inside another", {{'c', a}, {'c', {12, 3, 12, 9}}, {'f', none}, {'x', {}}, {'f', a}, {'x', {}}}},
      {"an inverted rounded clip clips everything", {{'R', {30, 30, 10, 10}}, {'f', none}, {'x', {}}, {'f', all}}},
      {"an empty rounded clip clips everything", {{'R', {10, 10, 10, 30}}, {'f', none}, {'x', {}}, {'f', all}}},
  };
  for (const Case& c : cases) {
    RunClipSteps(context_.get(), c.steps, c.name);
    EXPECT_EQ(1, context_->SaveDC()) << c.name << ": the DC's save stack was left deeper";
    context_->RestoreDC();
    context_->SetWindowOrg(POINT{0, 0});
  }

  // AutoClip removes its clip at scope end.
  {
    AutoClip clip(context_.get(), RECT{0, 0, 4, 4});
    RunClipSteps(context_.get(), {{'f', {0, 0, 4, 4}}}, "auto clip");
  }
  RunClipSteps(context_.get(), {{'f', all}}, "after auto clip");
}

// A clip rect is logical: it follows the window origin, as drawing does.
TEST_F(RenderTest, ClipFollowsWindowOrigin) {
  POINT old = context_->SetWindowOrg(POINT{-10, -10});
  EXPECT_EQ(0, old.x);
  context_->SetClip(RECT{0, 0, 5, 5});
  context_->FillColor(RECT{0, 0, 40, 40}, 0xFFFF0000u);
  context_->ClearClip();
  EXPECT_EQ(0xFFFF0000u, At(12, 12));
  EXPECT_EQ(kWhite, At(16, 16));
  EXPECT_EQ(kWhite, At(2, 2));

  old = context_->OffsetWindowOrg(POINT{5, 5});
  EXPECT_EQ(-10, old.x);
  EXPECT_EQ(-5, context_->GetWindowOrg().y);
  context_->SetWindowOrg(POINT{0, 0});
}

// A rounded clip keeps drawing out of the corners.
TEST_F(RenderTest, RoundedClipCutsCorners) {
  context_->SetRoundedClip(RECT{0, 0, 30, 30}, 16, 16);
  context_->FillColor(RECT{0, 0, 40, 40}, 0xFF000000u);
  context_->ClearClip();
  EXPECT_EQ(kWhite, At(0, 0));
  EXPECT_EQ(0xFF000000u, At(15, 15));
  EXPECT_EQ(0xFF000000u, At(15, 0));
  EXPECT_EQ(kWhite, At(35, 15));
}

// The rounded outline misses the corner pixel but draws the straight edges.
TEST_F(RenderTest, DrawRoundRectLeavesCornerPixel) {
  context_->DrawRoundRect(RECT{2, 2, 40, 30}, SIZE{12, 12}, 1, 0xFF000000u);
  EXPECT_EQ(kWhite, At(2, 2));
  EXPECT_EQ(kWhite, At(40, 30));
  EXPECT_EQ(0xFF000000u, At(20, 2));   // top edge
  EXPECT_EQ(0xFF000000u, At(2, 16));   // left edge
  EXPECT_EQ(0xFF000000u, At(40, 16));  // right edge at rect.right
  EXPECT_EQ(kWhite, At(20, 16));  // outline only
}

// Lines, ellipses and paths reach the bitmap where expected.
TEST_F(RenderTest, ShapesAndPaths) {
  context_->DrawLine(RECT{0, 5, 30, 5}, 1, 0xFF000000u);
  EXPECT_EQ(0xFF000000u, At(15, 5));
  context_->DrawRect(RECT{40, 0, 60, 20}, 1, 0xFF000000u);
  EXPECT_EQ(0xFF000000u, At(50, 0));
  EXPECT_EQ(kWhite, At(50, 10));
  context_->FillEllipse(RECT{0, 20, 20, 40}, 0xFF00FF00u);
  EXPECT_EQ(0xFF00FF00u, At(10, 30));
  EXPECT_EQ(kWhite, At(0, 20));

  std::unique_ptr<IPath> path = factory_.CreatePath();
  const POINT triangle[] = {{40, 30}, {70, 30}, {40, 58}};
  path->AddPolygon(triangle, 3);
  EXPECT_TRUE(path->IsContainsPoint(45, 35));
  EXPECT_FALSE(path->IsContainsPoint(68, 56));
  std::unique_ptr<IBrush> brush = factory_.CreateBrush(0xFFFF0000u);
  context_->FillPath(path.get(), brush.get());
  EXPECT_EQ(0xFFFF0000u, At(45, 35));
  EXPECT_EQ(kWhite, At(68, 56));
  const RECT bounds = path->GetBounds();
  EXPECT_EQ(40, bounds.left);
  EXPECT_EQ(58, bounds.bottom);

  std::unique_ptr<IMatrix> matrix = factory_.CreateMatrix();
  matrix->Translate(-40, 0);
  std::unique_ptr<IPath> moved = path->Clone();
  moved->Transform(matrix.get());
  EXPECT_TRUE(moved->IsContainsPoint(5, 35));
  EXPECT_TRUE(path->IsContainsPoint(45, 35));  // the original is unchanged

  std::unique_ptr<IPen> solid = factory_.CreatePen(0xFF0000FFu, 3);
  EXPECT_TRUE(moved->IsStrokeContainsPoint(0, 40, solid.get()));
  EXPECT_FALSE(moved->IsStrokeContainsPoint(10, 40, solid.get()));
}

}  // namespace
}  // namespace ui

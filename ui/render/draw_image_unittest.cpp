#include <windows.h>

#include "gtest/gtest.h"
#include "ui/render/render_test_support.h"

namespace ui {
namespace {

using testing::RenderTest;
using testing::Rgb;
using testing::SourceBitmap;

constexpr uint32_t kWhite = 0xFFFFFFFF;

// A 30 x 30 source whose nine 10-pixel regions have distinct colours.
uint32_t NineColor(int x, int y) {
  static const uint32_t colors[3][3] = {{0xFF100000, 0xFF200000, 0xFF300000},
                                        {0xFF001000, 0xFF002000, 0xFF003000},
                                        {0xFF000010, 0xFF000020, 0xFF000030}};
  return colors[y / 10][x / 10];
}

class DrawImageTest : public RenderTest {
 protected:
  void Draw(const SourceBitmap& src, const RECT& paint, const RECT& dest, const RECT& source,
            const RECT& corners, bool has_alpha = true, BYTE alpha = 255, bool tile_x = false,
            bool tile_y = false) {
    context_->DrawImage(paint, src.Get(), has_alpha, dest, source, corners, alpha, tile_x,
                        tile_y);
  }
  const RECT kAll{0, 0, kWidth, kHeight};
};

// Each of the nine pieces lands in its place: corners at source size, edges
// and centre stretched between them.
TEST_F(DrawImageTest, NineSlicePiecesLandInPlace) {
  SourceBitmap src(30, 30, NineColor);
  Draw(src, kAll, RECT{0, 0, 60, 50}, RECT{0, 0, 30, 30}, RECT{10, 10, 10, 10});
  EXPECT_EQ(0xFF100000u, At(5, 5));
  EXPECT_EQ(0xFF200000u, At(30, 5));
  EXPECT_EQ(0xFF300000u, At(55, 5));
  EXPECT_EQ(0xFF001000u, At(5, 25));
  EXPECT_EQ(0xFF002000u, At(30, 25));
  EXPECT_EQ(0xFF003000u, At(55, 25));
  EXPECT_EQ(0xFF000010u, At(5, 45));
  EXPECT_EQ(0xFF000020u, At(30, 45));
  EXPECT_EQ(0xFF000030u, At(59, 49));
  EXPECT_EQ(kWhite, At(60, 25));
  EXPECT_EQ(kWhite, At(30, 50));
}

// Corners are scaled for the destination, but the source is cut by the
// unscaled insets.
TEST_F(DrawImageTest, CornersScaleWithDpi) {
  DpiScaler::GetInstance().SetAdaptingForTesting(true, 144);  // 150 %
  SourceBitmap src(30, 30, NineColor);
  Draw(src, kAll, RECT{0, 0, 60, 60}, RECT{0, 0, 30, 30}, RECT{10, 10, 10, 10});
  EXPECT_EQ(0xFF100000u, At(14, 14));
  EXPECT_EQ(0xFF002000u, At(15, 15));
  EXPECT_EQ(0xFF003000u, At(45, 30));
  EXPECT_EQ(0xFF000030u, At(45, 45));
}

// Only pieces that meet the paint rect are drawn; whole pieces, unclipped.
TEST_F(DrawImageTest, PaintRectSelectsPieces) {
  SourceBitmap src(30, 30, NineColor);
  Draw(src, RECT{0, 0, 8, 8}, RECT{0, 0, 60, 50}, RECT{0, 0, 30, 30}, RECT{10, 10, 10, 10});
  EXPECT_EQ(0xFF100000u, At(9, 9));   // the whole top-left corner
  EXPECT_EQ(kWhite, At(30, 5));
  EXPECT_EQ(kWhite, At(30, 25));
  EXPECT_EQ(kWhite, At(55, 45));

  // A destination outside the paint rect draws nothing at all.
  Draw(src, RECT{70, 0, 80, 10}, RECT{0, 0, 60, 50}, RECT{0, 0, 30, 30}, RECT{});
  EXPECT_EQ(kWhite, At(30, 25));
  // Nor does a missing bitmap.
  context_->DrawImage(kAll, nullptr, true, RECT{0, 0, 60, 50}, RECT{0, 0, 30, 30}, RECT{});
  EXPECT_EQ(kWhite, At(30, 25));
}

// Corners larger than the destination must not mirror or overdraw: each
// keeps its source block, and the bottom-right one, drawn last, covers the
// overlap.
TEST_F(DrawImageTest, OversizedCornersStayInsideDest) {
  SourceBitmap src(30, 30, NineColor);
  Draw(src, kAll, RECT{0, 0, 12, 12}, RECT{0, 0, 30, 30}, RECT{10, 10, 10, 10});
  EXPECT_EQ(0xFF100000u, At(1, 1));
  EXPECT_EQ(0xFF000030u, At(5, 5));
  EXPECT_EQ(0xFF000030u, At(11, 11));
  for (int x = 12; x < 30; ++x) EXPECT_EQ(kWhite, At(x, 5)) << x;
  for (int y = 12; y < 30; ++y) EXPECT_EQ(kWhite, At(5, y)) << y;
}

// Corners that use up the whole source leave an empty centre: tiling it
// must end (an empty tile would never advance) and draw no centre.
TEST_F(DrawImageTest, TilingAnEmptyCentreEnds) {
  SourceBitmap src(20, 20, NineColor);
  Draw(src, kAll, RECT{0, 0, 60, 50}, RECT{0, 0, 20, 20}, RECT{10, 10, 10, 10}, false, 255, true,
       true);
  EXPECT_EQ(kWhite, At(30, 25));
  EXPECT_EQ(0x100000u, Rgb(At(5, 5)));
  Draw(src, kAll, RECT{0, 0, 60, 50}, RECT{0, 0, 20, 20}, RECT{10, 10, 10, 10}, false, 255, true,
       false);
  EXPECT_EQ(kWhite, At(30, 25));
}

// Rectangles and insets from a skin can be anything: a destination that
// starts two billion pixels away must not be walked a tile at a time (that
// hung) nor overflow, and huge insets must not wrap the inner rectangles.
TEST_F(DrawImageTest, HostileRectanglesEndPromptly) {
  SourceBitmap src(1, 1, [](int, int) { return 0xFF00FF00u; });
  const DWORD start = ::GetTickCount();
  Draw(src, kAll, RECT{-2000000000, -2000000000, 2000000000, 2000000000}, RECT{0, 0, 1, 1}, RECT{}, false,
       255, true, true);
  EXPECT_LT(::GetTickCount() - start, 5000u);
  EXPECT_EQ(0x00FF00u, Rgb(At(7, 9)));
  EXPECT_EQ(0x00FF00u, Rgb(At(kWidth - 1, kHeight - 1)));

  SourceBitmap nine(30, 30, NineColor);
  Draw(nine, kAll, RECT{0, 0, 20, 20}, RECT{0, 0, 30, 30}, RECT{0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF});
  for (int x = 20; x < kWidth; ++x) EXPECT_EQ(0x00FF00u, Rgb(At(x, 25))) << x;
}

// A column gradient: column c has blue byte 10 * (c + 1).
uint32_t ColumnColor(int x, int) { return 0xFF000000u | static_cast<uint32_t>(10 * (x + 1)); }
uint32_t RowColor(int, int y) { return 0xFF000000u | (static_cast<uint32_t>(10 * (y + 1)) << 8); }

// Tiling a 10-pixel source across 25 pixels gives three copies, the last
// cut to 5; tile x alone stretches vertically. Stretched pieces are plain
// half-tone copies, which leave alpha 0 behind, so colours are compared.
TEST_F(DrawImageTest, TileXRepeatsAndCutsTheLastCopy) {
  SourceBitmap src(10, 10, ColumnColor);
  Draw(src, kAll, RECT{0, 0, 25, 20}, RECT{0, 0, 10, 10}, RECT{}, false, 255, true, false);
  for (int x = 0; x < 25; ++x) {
    EXPECT_EQ(Rgb(ColumnColor(x % 10, 0)), Rgb(At(x, 0))) << x;
    EXPECT_EQ(Rgb(ColumnColor(x % 10, 0)), Rgb(At(x, 19))) << x;
  }
  EXPECT_EQ(kWhite, At(25, 0));
  EXPECT_EQ(kWhite, At(0, 20));
}

// Tile y alone repeats down and stretches across; both tile in 2-D.
TEST_F(DrawImageTest, TileYAndBothAxes) {
  SourceBitmap rows(10, 10, RowColor);
  Draw(rows, kAll, RECT{0, 0, 30, 25}, RECT{0, 0, 10, 10}, RECT{}, false, 255, false, true);
  for (int y = 0; y < 25; ++y) {
    EXPECT_EQ(Rgb(RowColor(0, y % 10)), Rgb(At(0, y))) << y;
    EXPECT_EQ(Rgb(RowColor(0, y % 10)), Rgb(At(29, y))) << y;
  }
  EXPECT_EQ(kWhite, At(0, 25));

  FillWhite();
  SourceBitmap grid(10, 10, [](int x, int y) { return ColumnColor(x, 0) | RowColor(0, y); });
  Draw(grid, kAll, RECT{0, 0, 25, 25}, RECT{0, 0, 10, 10}, RECT{}, false, 255, true, true);
  EXPECT_EQ(ColumnColor(4, 0) | RowColor(0, 4), At(24, 24));
  EXPECT_EQ(ColumnColor(2, 0) | RowColor(0, 3), At(12, 3));
  EXPECT_EQ(kWhite, At(25, 24));
  EXPECT_EQ(kWhite, At(24, 25));
}

// A tiled centre inside corners repeats the inner source only.
TEST_F(DrawImageTest, TiledCentreUsesInnerSource) {
  // 14 x 14 source: a 2-pixel frame of 0xFF400000 around a column gradient.
  SourceBitmap src(14, 14, [](int x, int y) {
    return (x < 2 || y < 2 || x >= 12 || y >= 12) ? 0xFF400000u : ColumnColor(x - 2, 0);
  });
  Draw(src, kAll, RECT{0, 0, 29, 14}, RECT{0, 0, 14, 14}, RECT{2, 2, 2, 2}, false, 255, true,
       false);
  EXPECT_EQ(0x400000u, Rgb(At(1, 5)));
  for (int x = 2; x < 27; ++x)
    EXPECT_EQ(Rgb(ColumnColor((x - 2) % 10, 0)), Rgb(At(x, 5))) << x;
  EXPECT_EQ(0x400000u, Rgb(At(27, 5)));
  EXPECT_EQ(0x400000u, Rgb(At(15, 0)));
  EXPECT_EQ(kWhite, At(29, 5));
}

// Blend or stretch: a fully transparent source leaves the surface alone when
// blended and overwrites it when copied. Copy only for an opaque image at
// full alpha on a normal target, stretched to a different size.
TEST_F(DrawImageTest, BlendOrStretchRule) {
  SourceBitmap clear(10, 10, [](int, int) { return 0u; });
  const RECT source{0, 0, 10, 10};
  struct Case {
    const char* name;
    bool has_alpha;
    BYTE alpha;
    bool transparent_target;
    RECT dest;
    bool copied;
  };
  const Case cases[] = {
      {"opaque stretched", false, 255, false, RECT{0, 0, 20, 20}, true},
      {"opaque same size", false, 255, false, RECT{0, 0, 10, 10}, false},
      {"alpha image", true, 255, false, RECT{0, 0, 20, 20}, false},
      {"fade", false, 200, false, RECT{0, 0, 20, 20}, false},
      {"transparent target", false, 255, true, RECT{0, 0, 20, 20}, false},
  };
  for (const Case& c : cases) {
    FillWhite();
    context_->SetTransparentTarget(c.transparent_target);
    Draw(clear, kAll, c.dest, source, RECT{}, c.has_alpha, c.alpha);
    context_->SetTransparentTarget(false);
    EXPECT_EQ(c.copied ? 0u : 0xFFFFFFu, Rgb(At(5, 5))) << c.name;
  }
}

// A source rect reaching past the image's edges draws the part that exists,
// where a clipping stretch puts it, on both the blend path (AlphaBlend
// refuses such a source outright) and the stretch path; nothing is left of
// a source wholly outside.
TEST_F(DrawImageTest, SourcePastTheImageEdgeIsCut) {
  SourceBitmap src(10, 10, ColumnColor);
  struct Case {
    const char* name;
    bool has_alpha;
    RECT source;
    RECT dest;
    RECT drawn;        // device pixels that must change; all others stay white
    int first_column;  // 1:1 cases: the column drawn at drawn.left; -1: not checked
  };
  const Case cases[] = {
      {"past the right edge, blended", true, {5, 0, 15, 10}, {20, 0, 30, 10}, {20, 0, 25, 10}, 5},
      {"before the left and top edges, blended", true, {-4, -2, 6, 8}, {20, 20, 30, 30}, {24, 22, 30, 30}, 0},
      {"past the right edge, blended and stretched", true, {5, 0, 15, 10}, {0, 0, 20, 20}, {0, 0, 10, 20}, -1},
      {"past the right edge, stretched", false, {5, 0, 15, 10}, {0, 0, 20, 20}, {0, 0, 10, 20}, -1},
      {"past the bottom edge, stretched", false, {0, 5, 10, 15}, {0, 0, 20, 20}, {0, 0, 20, 10}, -1},
      {"wholly outside", true, {10, 0, 20, 10}, {0, 0, 10, 10}, {0, 0, 0, 0}, -1},
  };
  for (const Case& c : cases) {
    FillWhite();
    Draw(src, kAll, c.dest, c.source, RECT{}, c.has_alpha);
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const bool inside = x >= c.drawn.left && x < c.drawn.right && y >= c.drawn.top && y < c.drawn.bottom;
        const uint32_t pixel = Rgb(At(x, y));
        bool ok = inside ? pixel != 0xFFFFFFu : pixel == 0xFFFFFFu;
        if (inside && c.first_column >= 0) ok = pixel == Rgb(ColumnColor(c.first_column + x - c.drawn.left, 0));
        if (!ok && wrong++ < 3) ADD_FAILURE() << c.name << ": pixel (" << x << "," << y << ") is " << std::hex << pixel;
      }
    }
  }
}

// A constant alpha below 255 blends the image half-way.
TEST_F(DrawImageTest, ConstantAlphaBlends) {
  SourceBitmap black(10, 10, [](int, int) { return 0xFF000000u; });
  Draw(black, kAll, RECT{0, 0, 10, 10}, RECT{0, 0, 10, 10}, RECT{}, false, 128);
  EXPECT_NEAR(127, static_cast<int>(At(5, 5) & 0xFF), 2);
}

}  // namespace
}  // namespace ui

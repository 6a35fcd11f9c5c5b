#include "ui/image/image_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ui/core/global_resources.h"
#include "ui/core/resource_archive.h"
#include "ui/core/resource_archive_win.h"
#include "ui/image/image.h"
#include "ui/utils/dpi_scaler.h"
#include "ui/utils/gdiplus_session.h"

namespace ui {
namespace {

// The fixtures on the build machine, seen through Wine's Z: drive.
std::wstring TestFile(const wchar_t* name) {
  std::wstring path = L"Z:" + std::wstring(VARNO_IMAGE_TESTDATA, VARNO_IMAGE_TESTDATA + sizeof(VARNO_IMAGE_TESTDATA) - 1);
  return NormalizeFilePath(path + L"\\" + name);
}

class ImageInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gdiplus_.started());
    UnmountArchive();
  }
  void TearDown() override { UnmountArchive(); }
  GdiplusSession gdiplus_;
};

TEST_F(ImageInfoTest, AlphaDecision) {
  std::unique_ptr<ImageInfo> opaque = ImageInfo::DecodeFromFile(TestFile(L"opaque.png"));
  ASSERT_TRUE(opaque);
  EXPECT_EQ(opaque->width(), 8);
  EXPECT_EQ(opaque->height(), 8);
  EXPECT_EQ(opaque->FrameCount(), 1);
  EXPECT_FALSE(opaque->has_alpha());
  EXPECT_TRUE(opaque->frame_delays().empty());

  std::unique_ptr<ImageInfo> alpha = ImageInfo::DecodeFromFile(TestFile(L"alpha.png"));
  ASSERT_TRUE(alpha);
  EXPECT_TRUE(alpha->has_alpha());

  // 32-bit ARGB whose every pixel is opaque: decided by the scan.
  std::unique_ptr<ImageInfo> opaque32 = ImageInfo::DecodeFromFile(TestFile(L"opaque32.png"));
  ASSERT_TRUE(opaque32);
  EXPECT_FALSE(opaque32->has_alpha());

  // Frames are 32-bit DIB sections of the image's size.
  DIBSECTION section{};
  ASSERT_EQ(::GetObjectW(alpha->Frame(0), sizeof(section), &section), static_cast<int>(sizeof(section)));
  EXPECT_EQ(section.dsBm.bmBitsPixel, 32);
  EXPECT_EQ(section.dsBm.bmWidth, 8);
  EXPECT_EQ(alpha->Frame(1), nullptr);
}

TEST_F(ImageInfoTest, AnimatedGifFramesAndIntervals) {
  std::unique_ptr<ImageInfo> gif = ImageInfo::DecodeFromFile(TestFile(L"anim.gif"));
  ASSERT_TRUE(gif);
  EXPECT_EQ(gif->width(), 8);
  EXPECT_EQ(gif->height(), 6);
  ASSERT_EQ(gif->FrameCount(), 3);
  EXPECT_TRUE(gif->IsAnimated());
  EXPECT_EQ(gif->frame_delays(), (std::vector<int>{2, 4, 10}));
  EXPECT_EQ(gif->FrameIntervalMs(0), 100);
  EXPECT_EQ(gif->FrameIntervalMs(1), 50);
  EXPECT_EQ(gif->FrameIntervalMs(2), 100);
  // Each frame is its own bitmap with its own colour (red, green, blue).
  const COLORREF expected[3] = {RGB(255, 0, 0), RGB(0, 128, 0), RGB(0, 0, 255)};
  HDC dc = ::CreateCompatibleDC(nullptr);
  for (int i = 0; i < 3; ++i) {
    HGDIOBJ old = ::SelectObject(dc, gif->Frame(i));
    COLORREF pixel = ::GetPixel(dc, 2, 2);
    ::SelectObject(dc, old);
    EXPECT_EQ(pixel, expected[i]) << "frame " << i;
  }
  ::DeleteDC(dc);
}

// LZW image data (after the minimum code size byte) of |pixels| pixels of
// colour 0, with a two-bit minimum code size, in sub-blocks.
std::string LzwOfZeros(size_t pixels) {
  const int clear = 4, end = 5;
  std::string packed;
  uint32_t bits = 0;
  int bit_count = 0;
  int width = 3;
  auto emit = [&](int code) {
    bits |= static_cast<uint32_t>(code) << bit_count;
    bit_count += width;
    while (bit_count >= 8) {
      packed.push_back(static_cast<char>(bits & 0xFF));
      bits >>= 8;
      bit_count -= 8;
    }
  };
  // With one colour the strings are 0, 00, 000, ...: string n+1 is string
  // n plus a 0, so the table is the code of each run length.
  std::vector<int> code_of_length(4097, -1);
  int next = end + 1;
  emit(clear);
  size_t run = 1;  // the current prefix: a run of zeros
  for (size_t i = 1; i < pixels; ++i) {
    if (run + 1 < code_of_length.size() && code_of_length[run + 1] >= 0) {
      ++run;
      continue;
    }
    emit(run == 1 ? 0 : code_of_length[run]);
    if (next < 4096) {
      if (next == (1 << width)) ++width;
      code_of_length[run + 1] = next++;
    } else {
      emit(clear);
      std::fill(code_of_length.begin(), code_of_length.end(), -1);
      next = end + 1;
      width = 3;
    }
    run = 1;
  }
  emit(run == 1 ? 0 : code_of_length[run]);
  emit(end);
  if (bit_count > 0) packed.push_back(static_cast<char>(bits & 0xFF));
  std::string blocks;
  for (size_t at = 0; at < packed.size(); at += 255) {
    const size_t n = std::min<size_t>(255, packed.size() - at);
    blocks.push_back(static_cast<char>(n));
    blocks.append(packed, at, n);
  }
  blocks.push_back('\0');
  return blocks;
}

// An animated GIF of |frames| black frames of |width| x |height|, delay 5.
std::string MakeGif(int width, int height, int frames) {
  std::string gif = "GIF89a";
  auto put16 = [&gif](int v) {
    gif.push_back(static_cast<char>(v & 0xFF));
    gif.push_back(static_cast<char>(v >> 8));
  };
  put16(width);
  put16(height);
  gif += std::string("\x80\x00\x00", 3);              // two-entry global colour table
  gif += std::string("\x00\x00\x00\xFF\xFF\xFF", 6);  // black, white
  gif += std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);  // loop forever
  const std::string data = LzwOfZeros(static_cast<size_t>(width) * height);
  for (int i = 0; i < frames; ++i) {
    gif += std::string("\x21\xF9\x04\x00\x05\x00\x00\x00", 8);  // delay 5
    gif += std::string("\x2C\x00\x00\x00\x00", 5);              // at (0, 0)
    put16(width);
    put16(height);
    gif.push_back('\0');
    gif.push_back('\x02');  // minimum code size
    gif += data;
  }
  gif.push_back('\x3B');
  return gif;
}

std::unique_ptr<ImageInfo> DecodeBytes(const std::string& bytes) {
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!block) return nullptr;
  memcpy(::GlobalLock(block), bytes.data(), bytes.size());
  ::GlobalUnlock(block);
  return ImageInfo::DecodeFromMemory(block);
}

// A file's frame count and size decide how many DIB sections (GDI objects
// of a limited quota) and how much memory decoding takes: the frames beyond
// either cap are dropped, and an image whose one frame alone is over the
// pixel budget is refused.
TEST_F(ImageInfoTest, FramesAndPixelsAreCapped) {
  struct Case {
    const char* name;
    int width, height, frames;
    int kept;  // 0: refused
  };
  const Case cases[] = {
      {"a few frames", 8, 8, 3, 3},
      {"hundreds of frames", 2, 2, 600, ImageInfo::kMaxFrames},
      {"frames over the pixel budget", 2048, 2048, 5, 4},  // 4 x 2048 x 2048 = 16 Mi pixels
      {"one frame over the pixel budget", 4097, 4096, 1, 0},
  };
  for (const Case& c : cases) {
    std::unique_ptr<ImageInfo> gif = DecodeBytes(MakeGif(c.width, c.height, c.frames));
    if (c.kept == 0) {
      EXPECT_FALSE(gif) << c.name;
      continue;
    }
    ASSERT_TRUE(gif) << c.name;
    EXPECT_EQ(gif->width(), c.width) << c.name;
    EXPECT_EQ(gif->FrameCount(), c.kept) << c.name;
    EXPECT_LE(static_cast<int>(gif->frame_delays().size()), gif->FrameCount()) << c.name;
    EXPECT_NE(gif->Frame(c.kept - 1), nullptr) << c.name;
    EXPECT_LE(static_cast<uint64_t>(gif->width()) * gif->height() * gif->FrameCount(),
              ImageInfo::kMaxDecodedPixels) << c.name;
  }
}

TEST_F(ImageInfoTest, UndecodableInputGivesNothing) {
  EXPECT_FALSE(ImageInfo::DecodeFromFile(TestFile(L"broken.png")));
  EXPECT_FALSE(ImageInfo::DecodeFromFile(TestFile(L"missing.png")));
  EXPECT_FALSE(ImageInfo::DecodeFromFile(L""));
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, 16);
  ASSERT_TRUE(block);
  void* bytes = ::GlobalLock(block);
  memset(bytes, 0x5a, 16);
  ::GlobalUnlock(block);
  EXPECT_FALSE(ImageInfo::DecodeFromMemory(block));  // and the block is freed
  EXPECT_FALSE(ImageInfo::DecodeFromMemory(nullptr));

  ImageCache cache;
  EXPECT_FALSE(cache.GetImage(TestFile(L"broken.png")));
  EXPECT_EQ(cache.LiveEntries(), 0u);
}

TEST_F(ImageInfoTest, CacheSharesOneDecodeAndForgetsIt) {
  ImageCache cache;
  const std::wstring path = TestFile(L"alpha.png");
  std::shared_ptr<ImageInfo> first = cache.GetImage(path);
  ASSERT_TRUE(first);
  EXPECT_TRUE(first->cached());
  EXPECT_EQ(first->path(), path);
  std::shared_ptr<ImageInfo> second = cache.GetImage(path);
  EXPECT_EQ(first.get(), second.get());
  EXPECT_EQ(cache.GetCachedImage(path).get(), first.get());
  first.reset();
  EXPECT_TRUE(cache.GetCachedImage(path));
  second.reset();
  EXPECT_FALSE(cache.GetCachedImage(path));
  EXPECT_EQ(cache.LiveEntries(), 0u);

  // A record outliving its cache still frees cleanly.
  std::shared_ptr<ImageInfo> survivor;
  {
    ImageCache short_lived;
    survivor = short_lived.GetImage(path);
  }
  EXPECT_TRUE(survivor);
  survivor.reset();
}

TEST_F(ImageInfoTest, ArchiveImagesDecodeOnceUnderEitherName) {
  ASSERT_TRUE(MountArchive(MAKEINTRESOURCEW(kArchiveResourceId), kArchiveResourceType, ""));
  SetResourceRoot(L"resources\\themes\\default");
  // Two windows naming the same file their own way.
  const std::wstring a = ResolveImagePath(L"../public/button/btn_wnd_close_normal.png", L"form\\");
  const std::wstring b = ResolveImagePath(L"public\\button\\btn_wnd_close_normal.png", L"");
  EXPECT_EQ(a, L"resources\\themes\\default\\form\\..\\public\\button\\btn_wnd_close_normal.png");
  std::shared_ptr<ImageInfo> one = GlobalResources::GetImage(a);
  ASSERT_TRUE(one);
  std::shared_ptr<ImageInfo> two = GlobalResources::GetImage(b);
  EXPECT_EQ(one.get(), two.get());
  EXPECT_EQ(one->path(), L"resources/themes/default/public/button/btn_wnd_close_normal.png");
  EXPECT_EQ(one->width(), 24);
  EXPECT_TRUE(one->has_alpha());
  one.reset();
  two.reset();
  EXPECT_FALSE(GlobalResources::GetCachedImage(a));
  EXPECT_FALSE(GlobalResources::GetImage(L"resources\\themes\\default\\public\\button\\nothing.png"));
}

TEST_F(ImageInfoTest, ImageSlotLoadsResetsAndAnimates) {
  DpiScaler::GetInstance().SetAdaptingForTesting(true, 144);
  Image slot;
  slot.SetImageDescriptor(L"file='" + TestFile(L"anim.gif") + L"' dest='0,0,16,16' playcount='1'");
  EXPECT_EQ(slot.attributes().dest, (ImageRect{0, 0, 24, 24}));
  ASSERT_TRUE(slot.EnsureLoaded(L""));
  EXPECT_EQ(slot.Start(), 100);
  EXPECT_EQ(slot.CurrentFrame(), slot.info()->Frame(0));
  EXPECT_EQ(slot.Step().interval, 50);
  EXPECT_EQ(slot.CurrentFrame(), slot.info()->Frame(1));
  slot.Step();
  EXPECT_TRUE(slot.Step().stop);  // one loop done
  slot.Stop();
  EXPECT_EQ(slot.animation().frame, 0);

  ImageAttributes drawn = slot.WithModifier(L"destscale='false' dest='1,1,5,5'");
  EXPECT_EQ(drawn.dest, (ImageRect{1, 1, 5, 5}));
  EXPECT_EQ(slot.attributes().dest, (ImageRect{0, 0, 24, 24}));

  // A failed load resets the slot; an empty name draws nothing.
  Image broken;
  broken.SetImageDescriptor(L"file='" + TestFile(L"broken.png") + L"' fade='9'");
  EXPECT_FALSE(broken.EnsureLoaded(L""));
  EXPECT_EQ(broken.attributes().fade, 255);
  EXPECT_TRUE(broken.attributes().image_name.empty());
  EXPECT_FALSE(broken.EnsureLoaded(L""));
  DpiScaler::GetInstance().SetAdaptingForTesting(false, 96);
}

}  // namespace
}  // namespace ui

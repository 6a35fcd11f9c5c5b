#include "ui/image/image_descriptor.h"

#include <gtest/gtest.h>

namespace ui {
namespace {

ImageAttributes Parse(const std::wstring& text, int percent = 100) {
  ImageAttributes a;
  SetImageDescriptor(text, percent, &a);
  return a;
}

TEST(ImageDescriptorTest, BareNamesAndPairs) {
  ImageAttributes bare = Parse(L"logo.png");
  EXPECT_EQ(bare.image_name, L"logo.png");
  EXPECT_EQ(bare.descriptor, L"logo.png");
  EXPECT_FALSE(bare.dest.IsSet());
  EXPECT_FALSE(bare.source.IsSet());
  EXPECT_EQ(bare.fade, 255);

  ImageAttributes full = Parse(
      L"file='../public/caption/caption_public.png' corner='0,0,0,1' source='1,2,3,4' fade='80' "
      L"xtiled='true' ytiled='yes' playcount='3'");
  EXPECT_EQ(full.image_name, L"../public/caption/caption_public.png");
  EXPECT_EQ(full.corner, (ImageRect{0, 0, 0, 1}));
  EXPECT_EQ(full.source, (ImageRect{1, 2, 3, 4}));
  EXPECT_EQ(full.fade, 80);
  EXPECT_TRUE(full.xtiled);
  EXPECT_FALSE(full.ytiled);  // only the exact "true"
  EXPECT_EQ(full.play_count, 3);

  EXPECT_EQ(Parse(L"res='a.gif'").image_name, L"a.gif");
  // Keys compare with case; unknown ones are skipped without ending the list.
  ImageAttributes unknown = Parse(L"File='x.png' colour='red' fade='7'");
  EXPECT_EQ(unknown.image_name, L"File='x.png' colour='red' fade='7'");
  EXPECT_EQ(unknown.fade, 7);
}

TEST(ImageDescriptorTest, ListEndsAtTwoSpacesOrSyntaxError) {
  ImageAttributes two = Parse(L"file='a.png'  corner='1,1,1,1'");
  EXPECT_EQ(two.image_name, L"a.png");
  EXPECT_EQ(two.corner, (ImageRect{0, 0, 0, 0}));

  // Whatever came before the error stays.
  ImageAttributes missing_quote = Parse(L"file='a.png' fade=80 corner='1,1,1,1'");
  EXPECT_EQ(missing_quote.image_name, L"a.png");
  EXPECT_EQ(missing_quote.fade, 255);
  EXPECT_EQ(missing_quote.corner, (ImageRect{0, 0, 0, 0}));

  ImageAttributes unterminated = Parse(L"fade='9' file='a.png");
  EXPECT_EQ(unterminated.fade, 9);
  EXPECT_EQ(unterminated.image_name, L"fade='9' file='a.png");

  // Spaces around "=" are allowed; a tab after a value ends the list.
  ImageAttributes spaced = Parse(L"file = 'b.png'\tfade='3'");
  EXPECT_EQ(spaced.image_name, L"b.png");
  EXPECT_EQ(spaced.fade, 255);
}

TEST(ImageDescriptorTest, EmptyValuesAreIgnored) {
  ImageAttributes a = Parse(L"file='' fade='' corner='2,2,2,2'");
  EXPECT_EQ(a.image_name, L"file='' fade='' corner='2,2,2,2'");
  EXPECT_EQ(a.fade, 255);
  EXPECT_EQ(a.corner, (ImageRect{2, 2, 2, 2}));
  EXPECT_EQ(Parse(L"").image_name, L"");
}

TEST(ImageDescriptorTest, DestScaleAppliesOnlyToLaterDest) {
  // The flag comes too late: the destination is scaled.
  ImageAttributes late = Parse(L"dest='0,0,16,16' destscale='false'", 150);
  EXPECT_EQ(late.dest, (ImageRect{0, 0, 24, 24}));
  ImageAttributes early = Parse(L"destscale='false' dest='0,0,16,16'", 150);
  EXPECT_EQ(early.dest, (ImageRect{0, 0, 16, 16}));
  // Left and top as points, width and height on their own.
  ImageAttributes offset = Parse(L"dest='3,3,13,5'", 125);
  EXPECT_EQ(offset.dest, (ImageRect{4, 4, 17, 7}));
  // Source and corner stay in image pixels.
  ImageAttributes source = Parse(L"source='0,0,16,16' corner='4,4,4,4'", 200);
  EXPECT_EQ(source.source, (ImageRect{0, 0, 16, 16}));
  EXPECT_EQ(source.corner, (ImageRect{4, 4, 4, 4}));
}

TEST(ImageDescriptorTest, NumbersAndModifiers) {
  // One arbitrary separator; a short list leaves the rest at 0.
  EXPECT_EQ(Parse(L"corner='1;2x3 4'").corner, (ImageRect{1, 2, 3, 4}));
  EXPECT_EQ(Parse(L"corner='5,6'").corner, (ImageRect{5, 6, 0, 0}));
  EXPECT_EQ(Parse(L"corner='-1,2,99999999999,4'").corner, (ImageRect{-1, 2, 2147483647, 4}));
  EXPECT_EQ(Parse(L"fade='300'").fade, 255);
  EXPECT_EQ(Parse(L"fade='-4'").fade, 0);

  // A modifier parses onto a copy and keeps what it does not name.
  ImageAttributes slot = Parse(L"file='a.png' corner='2,2,2,2' fade='200'", 150);
  ImageAttributes copy = slot;
  ParseImageDescriptor(L"destscale='false' dest='1,2,3,4' source='5,6,7,8'", 150, &copy);
  EXPECT_EQ(copy.image_name, L"a.png");
  EXPECT_EQ(copy.fade, 200);
  EXPECT_EQ(copy.dest, (ImageRect{1, 2, 3, 4}));
  EXPECT_EQ(copy.source, (ImageRect{5, 6, 7, 8}));
  EXPECT_FALSE(slot.dest.IsSet());
}

TEST(ImageDescriptorTest, ScalingRoundsLikeMulDiv) {
  EXPECT_EQ(ScaleByPercent(24, 125), 30);
  EXPECT_EQ(ScaleByPercent(1, 150), 2);    // 1.5 rounds up
  EXPECT_EQ(ScaleByPercent(-1, 150), -2);  // and away from zero
  EXPECT_EQ(ScaleByPercent(3, 125), 4);
  EXPECT_EQ(ScaleByPercent(2147483647, 200), 2147483647);
}

TEST(ImageDescriptorTest, DrawGeometryAndStateFades) {
  const ImageRect item{10, 20, 110, 60};
  ImageAttributes a = Parse(L"file='a.png'");
  EXPECT_EQ(ImageDestination(item, a), item);
  EXPECT_EQ(ImageSource(a, 32, 16), (ImageRect{0, 0, 32, 16}));
  a = Parse(L"file='a.png' dest='0,2,16,18' source='4,4,8,8'");
  EXPECT_EQ(ImageDestination(item, a), (ImageRect{10, 22, 26, 38}));
  EXPECT_EQ(ImageSource(a, 32, 16), (ImageRect{4, 4, 8, 8}));
  // A partly given rectangle counts as not set.
  a = Parse(L"dest='0,0,16,-1' source='1,1,-1,4'");
  EXPECT_EQ(ImageDestination(item, a), item);
  EXPECT_EQ(ImageSource(a, 32, 16), (ImageRect{0, 0, 32, 16}));

  EXPECT_EQ(BlendedStateFade(0, 255, 100), 100);
  EXPECT_EQ(BlendedStateFade(255, 255, 100), 255);
  EXPECT_EQ(BlendedStateFade(128, 200, 0), 100);
  EXPECT_EQ(HotOverlayFade(255, 180), 180);
  EXPECT_EQ(HotOverlayFade(51, 255), 51);
  EXPECT_EQ(HotOverlayFade(0, 255), 0);
}

TEST(AnimationTest, FrameIntervals) {
  const std::vector<int> delays = {2, 4, 10, 0, 3, 5};
  EXPECT_EQ(FrameIntervalMs(delays, 0), 100);  // 20 ms
  EXPECT_EQ(FrameIntervalMs(delays, 1), 50);   // 40 ms
  EXPECT_EQ(FrameIntervalMs(delays, 2), 100);
  EXPECT_EQ(FrameIntervalMs(delays, 3), 100);  // no delay given
  EXPECT_EQ(FrameIntervalMs(delays, 4), 50);   // 30 ms
  EXPECT_EQ(FrameIntervalMs(delays, 5), 50);   // 50 ms stays
  EXPECT_EQ(FrameIntervalMs({}, 0), 0);
  EXPECT_EQ(FrameIntervalMs(delays, 6), 0);
  EXPECT_EQ(FrameIntervalMs(delays, -1), 0);
}

TEST(AnimationTest, StepsWrapCountLoopsAndRetime) {
  const std::vector<int> delays = {2, 4, 10};
  AnimationState state;
  ASSERT_EQ(StartAnimation(delays, 3, &state), 100);
  EXPECT_TRUE(state.playing);

  AnimationStep step = AdvanceAnimation(delays, 3, -1, &state);
  EXPECT_EQ(state.frame, 1);
  EXPECT_TRUE(step.restart_timer);
  EXPECT_EQ(step.interval, 50);
  EXPECT_TRUE(step.repaint);
  step = AdvanceAnimation(delays, 3, -1, &state);
  EXPECT_EQ(state.frame, 2);
  EXPECT_EQ(step.interval, 100);
  step = AdvanceAnimation(delays, 3, -1, &state);
  EXPECT_EQ(state.frame, 0);
  EXPECT_EQ(state.loops, 1);
  EXPECT_FALSE(step.restart_timer);  // 100 ms already running
  EXPECT_FALSE(step.stop);

  // Play count 1: the first wrap ends it.
  ASSERT_GT(StartAnimation(delays, 3, &state), 0);
  AdvanceAnimation(delays, 3, 1, &state);
  AdvanceAnimation(delays, 3, 1, &state);
  step = AdvanceAnimation(delays, 3, 1, &state);
  EXPECT_TRUE(step.stop);
  EXPECT_FALSE(state.playing);
  EXPECT_EQ(state.frame, 0);

  // A frame without a delay stops the animation when reached.
  const std::vector<int> short_list = {2, 2};
  ASSERT_GT(StartAnimation(short_list, 3, &state), 0);
  AdvanceAnimation(short_list, 3, -1, &state);
  step = AdvanceAnimation(short_list, 3, -1, &state);
  EXPECT_TRUE(step.stop);

  // Nothing plays without delays or with one frame; hiding rewinds.
  EXPECT_EQ(StartAnimation({}, 3, &state), 0);
  EXPECT_FALSE(state.playing);
  EXPECT_EQ(StartAnimation({5}, 1, &state), 0);
  ASSERT_GT(StartAnimation(delays, 3, &state), 0);
  AdvanceAnimation(delays, 3, -1, &state);
  StopAnimation(&state);
  EXPECT_EQ(state.frame, 0);
  EXPECT_FALSE(state.playing);
  EXPECT_TRUE(AdvanceAnimation(delays, 3, -1, &state).stop);
}

}  // namespace
}  // namespace ui

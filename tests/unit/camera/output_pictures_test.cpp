// The output pictures' hand-over from the writer (the preview thread) to the reader (the
// application's thread): the reader takes the newest published frame, whole, and it stays as it
// was until the reader asks again, however far the writer runs ahead meanwhile.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "camera/output_pictures.h"

namespace zelcnv::camera {
namespace {

using imaging::FrameBitmap;

// A frame is told from the others by its number, written into every 32-bit word of the picture:
// a picture whose words disagree holds parts of two frames.
void StampFrame(FrameBitmap& picture, uint32_t frame) {
  uint8_t* bits = picture.Bits();
  const size_t bytes = static_cast<size_t>(picture.Stride()) * picture.Height();
  for (size_t at = 0; at + sizeof frame <= bytes; at += sizeof frame) {
    std::memcpy(bits + at, &frame, sizeof frame);
  }
}

// The number every word of the picture holds; false when the words disagree or there are none.
bool FrameStampOf(const FrameBitmap& picture, uint32_t* frame) {
  const uint8_t* bits = picture.Bits();
  const size_t bytes = static_cast<size_t>(picture.Stride()) * picture.Height();
  if (bits == nullptr || bytes < sizeof *frame) return false;
  std::memcpy(frame, bits, sizeof *frame);
  for (size_t at = sizeof *frame; at + sizeof *frame <= bytes; at += sizeof *frame) {
    uint32_t word;
    std::memcpy(&word, bits + at, sizeof word);
    if (word != *frame) return false;
  }
  return true;
}

// Frames are numbered from 1: 0 stands for no picture, or a torn one.
uint32_t FrameStampOrZero(const FrameBitmap* picture) {
  uint32_t frame = 0;
  if (picture == nullptr || !FrameStampOf(*picture, &frame)) return 0;
  return frame;
}

// The three pictures, as the writer comes to them when the reader takes every frame at once.
std::vector<FrameBitmap*> AllThree(OutputPictures& pictures) {
  std::vector<FrameBitmap*> all;
  for (int i = 0; i < 3; ++i) {
    FrameBitmap& back = pictures.Back();
    all.push_back(&back);
    EXPECT_EQ(&pictures.Publish(), &back) << "Publish returns the picture just filled";
    EXPECT_EQ(pictures.Newest(), &back) << "the reader takes the frame just published";
  }
  return all;
}

TEST(OutputPicturesCreate, GivesThreePicturesOfTheSizeAskedAndNoFrameYet) {
  OutputPictures pictures;
  ASSERT_TRUE(pictures.Create(64, 48, 24));
  EXPECT_EQ(pictures.Width(), 64);
  EXPECT_EQ(pictures.Height(), 48);
  EXPECT_EQ(pictures.BitsPerPixel(), 24);
  EXPECT_EQ(pictures.Newest(), nullptr);
  EXPECT_EQ(pictures.Newest(), nullptr) << "asking again makes no frame";

  const std::vector<FrameBitmap*> all = AllThree(pictures);
  EXPECT_EQ(std::set<FrameBitmap*>(all.begin(), all.end()).size(), 3u);
  for (const FrameBitmap* picture : all) {
    EXPECT_EQ(picture->Width(), 64);
    EXPECT_EQ(picture->Height(), 48);
    EXPECT_EQ(picture->BitsPerPixel(), 24);
    EXPECT_NE(picture->Bits(), nullptr);
  }
}

TEST(OutputPicturesCreate, ARefusedSizeLeavesAllThreeEmptyAndNoFrame) {
  struct Args {
    int32_t width, height;
    uint16_t bits;
  };
  for (const Args& a :
       {Args{0, 48, 24}, Args{64, -1, 24}, Args{64, 48, 0}, Args{INT32_MAX, INT32_MAX, 64}}) {
    SCOPED_TRACE(testing::Message() << a.width << " x " << a.height << " x " << a.bits);
    OutputPictures pictures;
    ASSERT_TRUE(pictures.Create(64, 48, 24));
    StampFrame(pictures.Back(), 1);
    pictures.Publish();
    ASSERT_NE(pictures.Newest(), nullptr);

    // A picture keeps its old pixels when it refuses a size: the old format must not outlive a
    // failed Create in any of the three.
    EXPECT_FALSE(pictures.Create(a.width, a.height, a.bits));
    EXPECT_EQ(pictures.Width(), 0);
    EXPECT_EQ(pictures.Height(), 0);
    EXPECT_EQ(pictures.BitsPerPixel(), 0);
    EXPECT_EQ(pictures.Newest(), nullptr);
    for (const FrameBitmap* picture : AllThree(pictures)) {
      EXPECT_TRUE(picture->Empty());
      EXPECT_EQ(picture->Bits(), nullptr);
    }
  }
}

TEST(OutputPicturesCreate, ANewCreateForgetsTheFramesPublishedBefore) {
  OutputPictures pictures;
  ASSERT_TRUE(pictures.Create(64, 48, 32));
  // One frame held by the reader, one published and not taken yet.
  StampFrame(pictures.Back(), 1);
  pictures.Publish();
  ASSERT_EQ(FrameStampOrZero(pictures.Newest()), 1u);
  StampFrame(pictures.Back(), 2);
  pictures.Publish();

  ASSERT_TRUE(pictures.Create(32, 16, 8));
  EXPECT_EQ(pictures.Newest(), nullptr);
  EXPECT_EQ(pictures.Width(), 32);
  EXPECT_EQ(pictures.BitsPerPixel(), 8);
  for (const FrameBitmap* picture : AllThree(pictures)) {
    EXPECT_EQ(picture->Width(), 32);
    EXPECT_EQ(picture->BitsPerPixel(), 8);
  }
}

TEST(OutputPicturesHandOver, TheReaderKeepsItsFrameWhileTheWriterRunsOnThenTakesTheNewest) {
  OutputPictures pictures;
  ASSERT_TRUE(pictures.Create(16, 8, 32));
  StampFrame(pictures.Back(), 1);
  pictures.Publish();
  const FrameBitmap* held = pictures.Newest();
  ASSERT_EQ(FrameStampOrZero(held), 1u);

  // The writer laps the reader over and over, never onto the picture it holds.
  for (uint32_t frame = 2; frame <= 10; ++frame) {
    FrameBitmap& back = pictures.Back();
    ASSERT_NE(&back, held) << "frame " << frame;
    StampFrame(back, frame);
    const FrameBitmap& published = pictures.Publish();
    EXPECT_EQ(&published, &back);
    // The writer may go on reading what it published.
    EXPECT_EQ(FrameStampOrZero(&published), frame);
  }
  EXPECT_EQ(FrameStampOrZero(held), 1u);

  // Frames 2 to 9 were overtaken: the reader goes straight to 10.
  const FrameBitmap* newest = pictures.Newest();
  EXPECT_NE(newest, held);
  EXPECT_EQ(FrameStampOrZero(newest), 10u);

  // A frame being filled is not published: asking again gives the same picture, unchanged.
  StampFrame(pictures.Back(), 11);
  EXPECT_EQ(pictures.Newest(), newest);
  EXPECT_EQ(FrameStampOrZero(newest), 10u);
  pictures.Publish();
  EXPECT_EQ(FrameStampOrZero(pictures.Newest()), 11u);
}

// The preview thread and the application's thread at once. The writer stamps every picture
// whole with its frame number; the reader checks that what it takes is whole, at least as new as
// the last frame published before it asked, and still the same after the writer has had time to
// run on. Under ThreadSanitizer a write to the picture the reader holds is also reported as a
// race.
TEST(OutputPicturesThreads, TheReaderTakesTheNewestWholeFrameAndItStaysUnchangedWhileHeld) {
  constexpr uint32_t kFrames = 20000;
  // The writer runs at most this many frames ahead of the reader's last one: the two keep in
  // step, so hand-overs happen all through the run however the threads are scheduled, and the
  // writer can still go round the two pictures the reader does not hold twice during one hold.
  constexpr uint32_t kLead = 4;
  OutputPictures pictures;
  ASSERT_TRUE(pictures.Create(64, 48, 32));

  // The last frame published (stored after Publish, read before Newest: a frame seen published
  // is one Newest must give or have overtaken), and the newest the reader took (kFrames once it
  // has left, so that the writer waits no more). The writer spins on `taken`, relaxed: a lock or an
  // acquiring load would order the reader's reads before the writer's next writes and hide from
  // ThreadSanitizer the races this test looks for (and std::atomic::wait loses wake-ups in the
  // MinGW runtime, hanging the test under Wine).
  std::atomic<uint32_t> published{0};
  std::atomic<uint32_t> taken{0};
  std::thread writer([&] {
    for (uint32_t frame = 1; frame <= kFrames; ++frame) {
      while (frame > taken.load(std::memory_order_relaxed) + kLead) std::this_thread::yield();
      StampFrame(pictures.Back(), frame);
      pictures.Publish();
      published.store(frame);
    }
  });

  // The reader, on this thread; the first fault ends it and is reported after the join.
  std::string fault;
  uint32_t held = 0;
  for (uint32_t before = 0; before != kFrames;) {
    before = published.load();
    const FrameBitmap* picture = pictures.Newest();
    uint32_t frame = 0;
    if (picture == nullptr) {
      if (before == 0) continue;
      fault = "no frame, though frame " + std::to_string(before) + " was published";
      break;
    }
    if (!FrameStampOf(*picture, &frame)) {
      fault = "a torn picture after frame " + std::to_string(held);
      break;
    }
    if (frame == 0) {
      fault = "a picture no frame was written to, after frame " + std::to_string(held);
      break;
    }
    // Older than what was published before the call, or than what the reader took before.
    if (frame < before || frame < held) {
      fault = "frame " + std::to_string(frame) + " after frame " + std::to_string(held) +
              ", though frame " + std::to_string(before) + " was published";
      break;
    }
    if (frame != held) {
      held = frame;
      taken.store(frame, std::memory_order_relaxed);
    }
    // Let the writer run on, then look again at the picture still held.
    std::this_thread::yield();
    uint32_t again = 0;
    if (!FrameStampOf(*picture, &again) || again != frame) {
      fault = "frame " + std::to_string(frame) + " changed while held";
      break;
    }
  }
  taken.store(kFrames, std::memory_order_relaxed);
  writer.join();

  EXPECT_EQ(fault, "");
  EXPECT_EQ(held, kFrames) << "the last frame published reaches the reader";
}

}  // namespace
}  // namespace zelcnv::camera

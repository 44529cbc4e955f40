// The decode-ahead worker's take from a view's index: which entries it feeds and decodes,
// and when running out of entries means "not yet" rather than the end of the recording.
#include <gtest/gtest.h>

#include "playback/AheadQueue.h"

namespace tq {
namespace {

// Entries 0..count-1 at 33 ms apart, key frames every third.
void Fill(FrameTable* t, int32_t count) {
  ASSERT_TRUE(t->Allocate(64));
  for (int32_t i = 0; i < count; ++i)
    ASSERT_TRUE(t->Append(FrameEntry{100, uint32_t(i * 33), uint8_t(i % 3 == 0 ? 1 : 0), uint32_t(i * 100)}));
}

struct TakeCase {
  const char* name;
  int32_t count;  // entries indexed so far
  int32_t cursor;
  int delay;
  bool keyOnly, fresh, complete;
  int want;
  int32_t cursorAfter;
  AheadTake take;  // when want is kAheadFrame
};

TEST(AheadTake, takes_the_right_entries_and_ends_only_on_a_complete_index) {
  const TakeCase cases[] = {
      // Out of entries: the indexer may still append (the race that ended play at frame 0).
      {"past the last entry, indexing goes on", 6, 6, 1, false, false, false, kAheadNotYet, 6, {}},
      {"past the last entry, index complete", 6, 6, 1, false, false, true, kAheadEnd, 6, {}},
      {"key frames only, none left yet", 6, 4, 1, true, false, false, kAheadNotYet, 6, {}},
      {"key frames only, none left at all", 6, 4, 1, true, false, true, kAheadEnd, 6, {}},
      {"key frame whose followers are not indexed yet", 4, 3, 1, true, false, false, kAheadNotYet, 3, {}},
      {"key frame at the very end of a complete index", 4, 3, 1, true, false, true, kAheadEnd, 3, {}},
      {"nothing indexed, complete", 0, 0, 1, false, true, true, kAheadNotYet, 0, {}},
      // Takes.
      {"fresh key frame is fed with its followers", 8, 0, 2, false, true, false, kAheadFrame, 3, {0, 0, 2, 0}},
      {"key frames only skip to the next key", 8, 1, 1, true, false, false, kAheadFrame, 5, {3, 3, 4, 3}},
      {"ordinary frame returns the one (delay) back", 8, 4, 2, false, false, false, kAheadFrame, 5, {4, -1, 4, 2}},
      {"ordinary frame near the start shows entry 0", 8, 1, 2, false, false, false, kAheadFrame, 2, {1, -1, 1, 0}},
      {"no delay decodes in place", 8, 5, 0, false, true, false, kAheadFrame, 6, {5, -1, 5, 5}},
  };
  for (const TakeCase& c : cases) {
    SCOPED_TRACE(c.name);
    FrameTable t;
    Fill(&t, c.count);
    int32_t cursor = c.cursor;
    AheadTake got;
    EXPECT_EQ(TakeAhead(t, &cursor, c.delay, c.keyOnly, c.fresh, c.complete, &got), c.want);
    EXPECT_EQ(cursor, c.cursorAfter);
    if (c.want != kAheadFrame) continue;
    EXPECT_EQ(got.entry, c.take.entry);
    EXPECT_EQ(got.feedFrom, c.take.feedFrom);
    EXPECT_EQ(got.decode, c.take.decode);
    EXPECT_EQ(got.shown, c.take.shown);
  }
}

}  // namespace
}  // namespace tq

// The owner of files, sockets and the window layer's handles: whatever it is
// asked to do, each value it held is closed exactly once, and one it handed
// back with Release is never closed by it.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "untUniqueHandle.h"

namespace {

std::vector<int> gClosed;

struct TCountingTraits {
  static int Invalid() noexcept { return -1; }
  static void Close(int h) noexcept { gClosed.push_back(h); }
};
using TOwner = TUniqueHandle<int, TCountingTraits>;

struct TOwnerCase {
  const char* Name;
  std::function<void()> Steps;  // owners made here end inside
  std::vector<int> Closed;      // in this order
};

TEST(UniqueHandle, ClosesEachValueOnceWhateverHappensToItsOwner) {
  const TOwnerCase cases[] = {
      {"end of scope", [] { TOwner a(1); }, {1}},
      {"empty owner", [] { TOwner a; }, {}},
      {"moved out of",
       [] {
         TOwner a(1);
         TOwner b(std::move(a));
         EXPECT_FALSE(a);
         EXPECT_EQ(b.Get(), 1);
       },
       {1}},
      {"moved onto a held value",
       [] {
         TOwner a(1), b(2);
         b = std::move(a);
         EXPECT_EQ(gClosed, std::vector<int>{2});
       },
       {2, 1}},
      {"moved onto itself",
       [] {
         TOwner a(1);
         TOwner& same = a;
         a = std::move(same);
         EXPECT_EQ(a.Get(), 1);
       },
       {1}},
      {"slot handed out for a new value",
       [] {
         TOwner a(1);
         *a.Put() = 2;
       },
       {1, 2}},
      {"reset to another value", [] { TOwner a(1); a.Reset(2); a.Reset(); }, {1, 2}},
      {"released to the caller", [] { TOwner a(1); EXPECT_EQ(a.Release(), 1); }, {}},
  };
  for (const TOwnerCase& c : cases) {
    SCOPED_TRACE(c.Name);
    gClosed.clear();
    c.Steps();
    EXPECT_EQ(gClosed, c.Closed);
  }
}

}  // namespace

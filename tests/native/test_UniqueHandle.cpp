// The owner of files, sockets and the window layer's handles: whatever it is
// asked to do, each value it held is closed exactly once, and one it handed
// back with Release is never closed by it. And the scope guards: the work
// runs on the paths it is meant for, and its own error never hides the one
// that ended the scope.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "untScope.h"
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

TEST(ScopeGuards, RunOnTheirPathsAndNeverHideTheErrorThatEndedTheScope) {
  struct Case {
    bool onFailureOnly, scopeThrows, workThrows;
    int runs;             // times the work ran
    const char* escapes;  // what left the scope
  } cases[] = {
      {false, false, false, 1, ""},     {false, true, false, 1, "scope"}, {false, false, true, 1, "work"},
      {false, true, true, 1, "scope"},  {true, false, false, 0, ""},      {true, true, false, 1, "scope"},
      {true, true, true, 1, "scope"},
  };
  for (const Case& c : cases) {
    int runs = 0;
    std::string escaped;
    auto work = [&] {
      ++runs;
      if (c.workThrows) throw std::runtime_error("work");
    };
    try {
      if (c.onFailureOnly) {
        TOnFailure guard(work);
        if (c.scopeThrows) throw std::runtime_error("scope");
      } else {
        TOnExit guard(work);
        if (c.scopeThrows) throw std::runtime_error("scope");
      }
    } catch (const std::exception& e) {
      escaped = e.what();
    }
    EXPECT_EQ(runs, c.runs) << c.onFailureOnly << c.scopeThrows << c.workThrows;
    EXPECT_EQ(escaped, c.escapes) << c.onFailureOnly << c.scopeThrows << c.workThrows;
  }
}

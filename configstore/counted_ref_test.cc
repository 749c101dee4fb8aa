#include "configstore/counted_ref.h"

#include <functional>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace gatekeeper {
namespace {

// Counts its references and records when the last one goes.
struct Counted {
  int refs = 1;  // the creator's reference
  bool freed = false;
  void addRef() { ++refs; }
  void release() {
    if (--refs == 0) freed = true;
  }
};

TEST(CountedRefTest, EveryWayOfHoldingKeepsTheCountRight) {
  using Ref = CountedRef<Counted>;
  struct Case {
    const char* name;
    // Starts from `held`, a reference shared on a; a and b each also hold the test's own.
    // Whatever it makes lives in `kept` until the counts are read.
    std::function<void(Ref& held, std::vector<Ref>& kept, Counted& a, Counted& b)> act;
    int countA, countB;  // while held and kept are alive
  };
  const std::vector<Case> cases = {
      {"share takes one of its own", [](Ref&, std::vector<Ref>&, Counted&, Counted&) {}, 2, 1},
      {"adopt takes one over",
       [](Ref&, std::vector<Ref>& kept, Counted&, Counted& b) {
         b.addRef();
         kept.push_back(Ref::adopt(&b));
       },
       2, 2},
      {"a copy shares",
       [](Ref& held, std::vector<Ref>& kept, Counted&, Counted&) { kept.push_back(held); }, 3, 1},
      {"a move hands it on",
       [](Ref& held, std::vector<Ref>& kept, Counted&, Counted&) {
         kept.push_back(std::move(held));
         EXPECT_EQ(held.get(), nullptr);
       },
       2, 1},
      {"copy assignment drops the old one",
       [](Ref& held, std::vector<Ref>& kept, Counted&, Counted& b) {
         kept.push_back(Ref::share(&b));
         held = kept.back();
       },
       1, 3},
      {"move assignment drops the old one",
       [](Ref& held, std::vector<Ref>&, Counted&, Counted& b) { held = Ref::share(&b); }, 1, 2},
      {"an adopted reference is taken over",
       [](Ref& held, std::vector<Ref>&, Counted&, Counted& b) {
         b.addRef();
         held = Ref::adopt(&b);
       },
       1, 2},
      {"self-assignment keeps it",
       [](Ref& held, std::vector<Ref>&, Counted& a, Counted&) {
         const Ref& same = held;
         held = same;
         EXPECT_EQ(held.get(), &a);
       },
       2, 1},
      {"reset drops it at once",
       [](Ref& held, std::vector<Ref>&, Counted&, Counted&) {
         held.reset();
         EXPECT_EQ(held.get(), nullptr);
       },
       1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Counted a;
    Counted b;
    {
      Ref held = Ref::share(&a);
      std::vector<Ref> kept;
      kept.reserve(2);
      c.act(held, kept, a, b);
      EXPECT_EQ(a.refs, c.countA);
      EXPECT_EQ(b.refs, c.countB);
    }
    // Every reference made was dropped with its holder; the test's own remain.
    EXPECT_EQ(a.refs, 1);
    EXPECT_EQ(b.refs, 1);
  }
}

TEST(CountedRefTest, TheLastReleaseFreesAndEmptyReferencesTouchNothing) {
  Counted object;
  {
    auto ref = CountedRef<Counted>::adopt(&object);  // the creator's reference
    const CountedRef<Counted> empty;
    const CountedRef<Counted> shared = CountedRef<Counted>::share(nullptr);
    EXPECT_EQ(empty, nullptr);
    EXPECT_EQ(shared, nullptr);
    EXPECT_FALSE(object.freed);
  }
  EXPECT_TRUE(object.freed);
}

}  // namespace
}  // namespace gatekeeper

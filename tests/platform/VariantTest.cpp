#include "platform/Variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

TEST(Variant, CopiesOfATextShareItAndCompareByContent)
{
  const TVariant text(std::string(100, 'x'));
  const TVariant copy = text;
  EXPECT_EQ(&copy.AsString(), &text.AsString());
  EXPECT_EQ(copy, text);
  // Equal texts in separate blocks are still equal values.
  EXPECT_EQ(TVariant(std::string(100, 'x')), text);
  EXPECT_NE(TVariant(std::string(99, 'x')), text);
  EXPECT_EQ(TVariant(""), TVariant(std::string()));
  EXPECT_EQ(TVariant("").AsString(), "");
}

TEST(Variant, AssignmentReleasesWhatWasHeldAndSurvivesSelfAssignment)
{
  TVariant value("first text, long enough to need a heap block of its own");
  const TVariant other("second");
  value = other;
  EXPECT_EQ(value.AsString(), "second");
  value = value;
  EXPECT_EQ(value.AsString(), "second");
  value = std::move(value);
  EXPECT_EQ(value.AsString(), "second");
  value = TVariant(3);
  EXPECT_EQ(value.AsInteger(), 3);
  EXPECT_EQ(other.AsString(), "second");
}

TEST(Variant, AMovedFromValueIsEmptyAndTheTextMovesWithoutACopy)
{
  TVariant source("moved text");
  const std::string* held = &source.AsString();
  const TVariant target(std::move(source));
  EXPECT_EQ(&target.AsString(), held);
  EXPECT_TRUE(source.IsEmpty());  // NOLINT(bugprone-use-after-move): the state is the point
}

TEST(Variant, KindsNeverCompareEqualAcrossEachOther)
{
  EXPECT_NE(TVariant::Date(2.5), TVariant(2.5));
  EXPECT_NE(TVariant(1), TVariant(1.0));
  EXPECT_NE(TVariant(true), TVariant(1));
  EXPECT_NE(TVariant::Null(), TVariant());
  EXPECT_EQ(TVariant::Null(), TVariant::Null());
  EXPECT_EQ(TVariant::Currency({12345}), TVariant::Currency({12345}));
  EXPECT_NE(TVariant::Currency({12345}), TVariant::Currency({12346}));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_NE(TVariant(nan), TVariant(nan));
}

TEST(Variant, EachAccessorRefusesAnotherKind)
{
  EXPECT_THROW((void)TVariant(1.5).AsInteger(), std::bad_variant_access);
  EXPECT_THROW((void)TVariant(1).AsString(), std::bad_variant_access);
  EXPECT_THROW((void)TVariant("1").AsDouble(), std::bad_variant_access);
  EXPECT_THROW((void)TVariant::Date(1).AsDouble(), std::bad_variant_access);
  EXPECT_THROW((void)TVariant().AsBoolean(), std::bad_variant_access);
  EXPECT_THROW((void)TVariant::Null().AsCurrency(), std::bad_variant_access);
  EXPECT_EQ(TVariant::Date(1.25).AsDate(), 1.25);
  EXPECT_EQ(TVariant::Currency({-7}).AsCurrency().Scaled, -7);
  EXPECT_FALSE(TVariant(false).AsBoolean());
}

TEST(Variant, ATextSharedAcrossThreadsIsFreedOnceByItsLastHolder)
{
  // The count is atomic: threads copying and dropping one text must neither
  // free it early nor twice (the sanitizer build would see either).
  const TVariant shared(std::string(64, 's'));
  auto churn = [&shared] {
    for (int i = 0; i < 20000; ++i) {
      std::vector<TVariant> copies(4, shared);
      ASSERT_EQ(copies.back().AsString().size(), 64u);
    }
  };
  std::thread a(churn);
  std::thread b(churn);
  a.join();
  b.join();
  EXPECT_EQ(shared.AsString(), std::string(64, 's'));
}

TEST(Variant, AnUncountedTextSharesTheBlockAndItsCopiesOutliveTheOwner)
{
  auto owner = std::make_unique<TVariant>(std::string(40, 'u'));
  TVariant held;
  held.AssignUncounted(*owner);
  EXPECT_EQ(&held.AsString(), &owner->AsString());
  TVariant copied = held;
  TVariant assigned;
  assigned = held;
  TVariant movedFrom;
  movedFrom.AssignUncounted(*owner);
  TVariant moved = std::move(movedFrom);
  EXPECT_TRUE(movedFrom.IsEmpty());
  // Copies and moves took counts of their own: the block lives on after its
  // owner, and the uncounted holder is dropped without touching it (a
  // sanitizer build reports any touch of the freed block).
  owner.reset();
  held = TVariant();
  EXPECT_EQ(copied.AsString(), std::string(40, 'u'));
  EXPECT_EQ(assigned.AsString(), std::string(40, 'u'));
  EXPECT_EQ(moved.AsString(), std::string(40, 'u'));
}

TEST(Variant, AssignUncountedTakesOtherKindsAndItselfAsAPlainAssignment)
{
  TVariant value("before");
  value.AssignUncounted(TVariant(2.5));
  EXPECT_EQ(value.AsDouble(), 2.5);
  TVariant text(std::string(30, 't'));
  text.AssignUncounted(text);
  TVariant keep = text;
  text = TVariant();
  EXPECT_EQ(keep.AsString(), std::string(30, 't'));
}

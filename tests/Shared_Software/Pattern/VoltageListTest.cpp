#include "Shared_Software/Pattern/VoltageListClass.h"
#include "support/ListWarnings.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace ostrander;

namespace {

using Pairs = std::vector<std::pair<int, double>>;

// Contents front to back; also checks the back links and the count.
Pairs Contents(const VoltageListClass& list) {
    Pairs out;
    const VoltageListEntry* prev = nullptr;
    for (const VoltageListEntry* e = list.First(); e != nullptr; e = e->next) {
        EXPECT_EQ(e->prev, prev);
        out.emplace_back(e->Actuator, e->Voltage);
        prev = e;
    }
    EXPECT_EQ(list.Last(), prev);
    EXPECT_EQ(list.Count(), static_cast<int>(out.size()));
    return out;
}

std::vector<int> Numbers(const VoltageListClass& list) {
    std::vector<int> out;
    for (const auto& p : Contents(list))
        out.push_back(p.first);
    return out;
}

void Fill(VoltageListClass& list, const Pairs& pairs) {
    for (const auto& [n, v] : pairs)
        list.Insert(n, v);
}

} // namespace

TEST(VoltageList, InsertGoesAfterThePredecessorElseToTheFront) {
    struct Case {
        const char* name;
        std::vector<int> inserted;
        std::vector<int> order;
    } cases[] = {
        {"ascending", {1, 2, 3, 4}, {1, 2, 3, 4}},
        {"predecessor absent goes to the front", {5, 3, 4}, {3, 4, 5}},
        {"descending", {3, 2, 1}, {1, 2, 3}},
        {"into the middle", {1, 3, 2}, {3, 1, 2}},
        {"after the first of equal numbers", {1, 2, 1, 2}, {1, 2, 1, 2}},
        {"zero and negatives", {0, -1, 1}, {-1, 0, 1}},
        {"lowest number", {INT32_MIN, INT32_MIN + 1}, {INT32_MIN, INT32_MIN + 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::internal::CaptureStderr();
        VoltageListClass list;
        for (int n : c.inserted)
            EXPECT_TRUE(list.Insert(n, 10.0 * n));
        EXPECT_EQ(Numbers(list), c.order);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    }
}

TEST(VoltageList, FindReturnsTheFirstMatchFromTheFront) {
    VoltageListClass list;
    // The second 1 finds no 0 and goes to the front, ahead of the first 1.
    Fill(list, {{1, 1.0}, {2, 2.0}, {1, 3.0}});
    ASSERT_EQ(Numbers(list), (std::vector<int>{1, 1, 2}));
    ASSERT_NE(list.Find(1), nullptr);
    EXPECT_EQ(list.Find(1)->Voltage, 3.0);
    EXPECT_EQ(list.Find(2)->Voltage, 2.0);
    EXPECT_EQ(list.Find(7), nullptr);
    list.Find(2)->Voltage = 9.0; // entries are changed in place
    EXPECT_EQ(list.Find(2)->Voltage, 9.0);
}

TEST(VoltageList, SetFromArrayNumbersFromOne) {
    const double volts[] = {0.5, 1.5, 2.5};
    VoltageListClass list;
    EXPECT_TRUE(list.SetFromArray(volts, 3));
    EXPECT_EQ(Contents(list), (Pairs{{1, 0.5}, {2, 1.5}, {3, 2.5}}));
    EXPECT_TRUE(list.SetFromArray(volts, 0));
    EXPECT_TRUE(list.SetFromArray(volts, -4));
    EXPECT_TRUE(list.SetFromArray(nullptr, 3));
    EXPECT_EQ(list.Count(), 3);
}

TEST(VoltageList, CopyToEqualCountsPairsEntriesByNumberInPlace) {
    VoltageListClass source, target;
    Fill(source, {{1, 10.0}, {2, 20.0}, {5, 50.0}}); // order 5, 1, 2
    Fill(target, {{2, 0.0}, {5, 0.0}, {1, 0.0}});    // order 1, 5, 2
    ASSERT_EQ(Numbers(source), (std::vector<int>{5, 1, 2}));
    ASSERT_EQ(Numbers(target), (std::vector<int>{1, 5, 2}));
    const VoltageListEntry* firstTarget = target.First();

    EXPECT_TRUE(source.CopyTo(&target));
    EXPECT_EQ(Contents(target), (Pairs{{1, 10.0}, {5, 50.0}, {2, 20.0}}));
    EXPECT_EQ(target.First(), firstTarget); // the same entries, not a rebuild
    EXPECT_TRUE(source.CopyTo(&source));
    EXPECT_EQ(Contents(source), (Pairs{{5, 50.0}, {1, 10.0}, {2, 20.0}}));
}

TEST(VoltageList, CopyToEqualCountsFailsAtTheFirstNumberTheTargetLacks) {
    VoltageListClass source, target;
    Fill(source, {{1, 10.0}, {2, 20.0}, {3, 30.0}, {4, 40.0}});
    Fill(target, {{1, 0.0}, {2, 0.0}, {7, 0.0}, {8, 0.0}}); // order 7, 8, 1, 2
    ASSERT_EQ(Numbers(target), (std::vector<int>{7, 8, 1, 2}));
    EXPECT_FALSE(source.CopyTo(&target));
    // 1 and 2 were paired before 3 was missed; the rest is untouched.
    EXPECT_EQ(Contents(target), (Pairs{{7, 0.0}, {8, 0.0}, {1, 10.0}, {2, 20.0}}));
}

TEST(VoltageList, CopyToAnotherLengthRebuildsAnExactCopy) {
    VoltageListClass source, target;
    Fill(source, {{4, 4.0}, {2, 2.0}, {3, 3.0}}); // order 2, 3, 4
    Fill(target, {{9, 9.0}});
    EXPECT_TRUE(source.CopyTo(&target));
    EXPECT_EQ(Contents(target), Contents(source));

    VoltageListClass empty;
    EXPECT_TRUE(empty.CopyTo(&target));
    EXPECT_EQ(Contents(target), Pairs{});
    EXPECT_TRUE(source.CopyTo(&target)); // into an empty list
    EXPECT_EQ(Contents(target), Contents(source));
    EXPECT_FALSE(source.CopyTo(nullptr));
}

TEST(VoltageList, ClearEmptiesAndTheListIsReusable) {
    VoltageListClass list;
    Fill(list, {{1, 1.0}, {2, 2.0}});
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.First(), nullptr);
    EXPECT_EQ(list.Last(), nullptr);
    Fill(list, {{3, 3.0}});
    EXPECT_EQ(Contents(list), (Pairs{{3, 3.0}}));
}

TEST(VoltageList, DestructionRemovesEveryEntryWithoutWarnings) {
    testing::internal::CaptureStderr();
    {
        VoltageListClass list;
        const double volts[100] = {};
        list.SetFromArray(volts, 100);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(VoltageList, DamagedListWarnsAndNeitherLoopsNorMiscounts) {
    VoltageListClass list;
    Fill(list, {{1, 1.0}, {2, 2.0}});
    VoltageListEntry* one = list.First();
    VoltageListEntry* two = list.Last();
    // Break the list: its last entry claims a successor.
    VoltageListEntry stray;
    two->next = &stray;

    test::CapturedListWarnings hooked;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(list.Insert(3, 3.0));
    std::string warning = testing::internal::GetCapturedStderr();
    EXPECT_NE(warning.find("Shared_Software/Pattern/VoltageListClass"), std::string::npos)
        << warning;
    // After the last entry the insert is an append, with the append's checks.
    EXPECT_NE(warning.find("LLBACK element (\"NewEntry\") from list (\"*this\"):\n"
                           "   LIST AND LAST LIST ELEMENT INCONSISTENT."),
              std::string::npos)
        << warning;
    EXPECT_EQ(list.Count(), 2);

    testing::internal::CaptureStderr();
    EXPECT_FALSE(list.Insert(7, 7.0)); // to the front: the front checks see the damage too
    warning = testing::internal::GetCapturedStderr();
    EXPECT_NE(warning.find("LLFRONT element (\"NewEntry\") from list (\"*this\"):"),
              std::string::npos)
        << warning;
    EXPECT_EQ(list.Count(), 2);

    // Destruction of the damaged list warns and stops instead of looping.
    testing::internal::CaptureStderr();
    {
        VoltageListClass* damaged = new VoltageListClass;
        Fill(*damaged, {{1, 1.0}});
        VoltageListEntry* e = damaged->First();
        e->prev = &stray;
        delete damaged; // leaves the entry allocated
        delete e;
    }
    warning = testing::internal::GetCapturedStderr();
    EXPECT_NE(warning.find("LLREMOVE element (\"Entry\") from list (\"*this\"):"),
              std::string::npos)
        << warning;
    EXPECT_EQ(hooked.Take().size(), 3u); // one for each of the three operations

    two->next = nullptr;
    EXPECT_EQ(one->next, two);
}

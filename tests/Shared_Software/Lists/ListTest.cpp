// Checked intrusive list: linking, unlinking, and the warnings of every
// failed check, which must leave list and elements exactly as they were.
#include "Shared_Software/Lists/tl_list.h"
#include "support/ListWarnings.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace ostrander {
namespace {

struct Node : ListLinks<Node> {
    int id = 0;
};

// Ids along next from first, and along prev from last (reversed), which must agree.
std::vector<int> Forward(const ListHead<Node>& list) {
    std::vector<int> ids;
    for (Node* n = list.first; n != nullptr && ids.size() < 100; n = n->next)
        ids.push_back(n->id);
    return ids;
}
std::vector<int> Backward(const ListHead<Node>& list) {
    std::vector<int> ids;
    for (Node* n = list.last; n != nullptr && ids.size() < 100; n = n->prev)
        ids.insert(ids.begin(), n->id);
    return ids;
}

// The list is the owner itself, as in the pattern and voltage list classes.
struct Owner : ListHead<Node> {
    int Before(Node* NewEntry, Node* Entry) {
        const int line = __LINE__ + 1;
        LLBEFORE(*this, NewEntry, Entry);
        return line;
    }
    int After(Node* NewEntry, Node* Entry) {
        const int line = __LINE__ + 1;
        LLAFTER(*this, NewEntry, Entry);
        return line;
    }
    int Remove(Node* Entry) {
        const int line = __LINE__ + 1;
        LLREMOVE(*this, Entry);
        return line;
    }
};

struct Fixture {
    Node n[5];
    Owner list;
    std::vector<const void*> marked;
    Fixture() {
        for (int i = 0; i < 5; ++i)
            n[i].id = i;
    }
    // Links n[0..count-1] in order.
    void Chain(int count) {
        for (int i = 0; i < count; ++i) {
            n[i].prev = i > 0 ? &n[i - 1] : nullptr;
            n[i].next = i + 1 < count ? &n[i + 1] : nullptr;
        }
        list.first = count > 0 ? &n[0] : nullptr;
        list.last = count > 0 ? &n[count - 1] : nullptr;
    }
    // Records the links just before the operation under test.
    void Mark() { marked = Snapshot(); }
    std::vector<const void*> Snapshot() const {
        std::vector<const void*> s{list.first, list.last};
        for (const Node& node : n) {
            s.push_back(node.next);
            s.push_back(node.prev);
        }
        return s;
    }
};

std::string Warning(int line, const std::string& head, const std::string& tail) {
    return "WARNING (<NULL> -- tests/Shared_Software/Lists/ListTest.cpp:" + std::to_string(line) +
           "):\n   " + head + "\n   " + tail + "\n";
}
unsigned long A(const void* p) {
    return static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(p));
}
std::string ListDump(const std::string& name, const ListHead<Node>& list) {
    char buf[256];
    std::snprintf(buf, sizeof buf, "list (\"%s\") = 0x%08lx:  (0x%08lx, 0x%08lx)\n", name.c_str(),
                  A(&list), A(list.first), A(list.last));
    return buf;
}
std::string ElementDump(const std::string& name, const Node* e) {
    char buf[256];
    std::snprintf(buf, sizeof buf, "   \"%s\" -- 0x%08lx: (0x%08lx  0x%08lx)\n", name.c_str(), A(e),
                  A(e->prev), A(e->next));
    return buf;
}

TEST(CheckedList, LinksInEveryPosition) {
    Fixture f;
    ListHead<Node>& list = f.list;
    testing::internal::CaptureStderr();
    LLBACK(list, &f.n[1]); // empty list: first and last
    EXPECT_EQ(list.first, &f.n[1]);
    EXPECT_EQ(list.last, &f.n[1]);
    LLFRONT(list, &f.n[0]);
    LLBACK(list, &f.n[3]);
    LLAFTER(list, &f.n[2], &f.n[1]);  // middle
    LLBEFORE(list, &f.n[4], &f.n[0]); // before first: a prepend
    EXPECT_EQ(Forward(list), (std::vector<int>{4, 0, 1, 2, 3}));
    EXPECT_EQ(Backward(list), Forward(list));

    LLREMOVE(list, &f.n[4]); // first
    LLREMOVE(list, &f.n[3]); // last
    LLREMOVE(list, &f.n[1]); // middle
    EXPECT_EQ(Forward(list), (std::vector<int>{0, 2}));
    EXPECT_EQ(Backward(list), Forward(list));
    EXPECT_EQ(f.n[1].next, nullptr);
    EXPECT_EQ(f.n[1].prev, nullptr);

    LLAFTER(list, &f.n[3], &f.n[2]); // after last: an append
    LLBEFORE(list, &f.n[1], &f.n[2]);
    EXPECT_EQ(Forward(list), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(Backward(list), Forward(list));

    for (int i : {2, 0, 3, 1})
        LLREMOVE(list, &f.n[i]);
    EXPECT_EQ(list.first, nullptr);
    EXPECT_EQ(list.last, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

struct WarningCase {
    const char* name;
    // Breaks the fixture as the case needs, runs one operation and returns
    // the expected output; `line` receives the line of the use site.
    std::function<std::string(Fixture&, int& line)> run;
};

const WarningCase kWarningCases[] = {
    {"back null element",
     [](Fixture& f, int& line) {
         ListHead<Node>& ListOfActuators = f.list;
         Node* Actuator = nullptr;
         f.Mark();
         line = __LINE__ + 1;
         LLBACK(ListOfActuators, Actuator);
         return Warning(line,
                        "LLBACK append element (\"Actuator\") onto list (\"ListOfActuators\"):",
                        "NULL ELEMENT pointer.");
     }},
    {"back element not free",
     [](Fixture& f, int& line) {
         f.Chain(2);
         ListHead<Node>& ListOfActuators = f.list;
         Node* Actuator = &f.n[4];
         Actuator->prev = &f.n[3];
         f.Mark();
         line = __LINE__ + 1;
         LLBACK(ListOfActuators, Actuator);
         return Warning(line,
                        "LLBACK append element (\"Actuator\") onto list (\"ListOfActuators\"):",
                        "ELEMENT NOT FREE.");
     }},
    {"back list inconsistent",
     [](Fixture& f, int& line) {
         f.Chain(2);
         f.list.last = nullptr;
         ListHead<Node>& ListOfActuators = f.list;
         Node* Actuator = &f.n[4];
         f.Mark();
         line = __LINE__ + 1;
         LLBACK(ListOfActuators, Actuator);
         return Warning(line, "LLBACK element (\"Actuator\") from list (\"ListOfActuators\"):",
                        "LIST INCONSISTENT.") +
                ListDump("(ListOfActuators)", f.list);
     }},
    {"back last element linked on",
     [](Fixture& f, int& line) {
         f.Chain(2);
         f.n[1].next = &f.n[3];
         ListHead<Node>& ListOfActuators = f.list;
         Node* Actuator = &f.n[4];
         f.Mark();
         line = __LINE__ + 1;
         LLBACK(ListOfActuators, Actuator);
         return Warning(line, "LLBACK element (\"Actuator\") from list (\"ListOfActuators\"):",
                        "LIST AND LAST LIST ELEMENT INCONSISTENT.") +
                ListDump("(ListOfActuators)", f.list) +
                ElementDump("(ListOfActuators).last", &f.n[1]);
     }},
    {"front null element",
     [](Fixture& f, int& line) {
         ListHead<Node>& ActuatorList = f.list;
         Node* ActuatorEntry = nullptr;
         f.Mark();
         line = __LINE__ + 1;
         LLFRONT(ActuatorList, ActuatorEntry);
         return Warning(line,
                        "LLFRONT insert element (\"ActuatorEntry\") into list (\"ActuatorList\"):",
                        "NULL ELEMENT.");
     }},
    {"front element not free",
     [](Fixture& f, int& line) {
         f.Chain(3);
         ListHead<Node>& ActuatorList = f.list;
         Node* ActuatorEntry = &f.n[1];
         f.Mark();
         line = __LINE__ + 1;
         LLFRONT(ActuatorList, ActuatorEntry);
         return Warning(line,
                        "LLFRONT insert element (\"ActuatorEntry\") before ((list).first) in list "
                        "(\"ActuatorList\"):",
                        "ELEMENT NOT FREE.");
     }},
    {"front list inconsistent",
     [](Fixture& f, int& line) {
         f.list.last = &f.n[0];
         ListHead<Node>& ActuatorList = f.list;
         Node* ActuatorEntry = &f.n[4];
         f.Mark();
         line = __LINE__ + 1;
         LLFRONT(ActuatorList, ActuatorEntry);
         return Warning(line,
                        "LLFRONT insert element (\"ActuatorEntry\") into list (\"ActuatorList\"):",
                        "LIST INCONSISTENT.") +
                ListDump("(ActuatorList)", f.list);
     }},
    {"front first element linked back",
     [](Fixture& f, int& line) {
         f.Chain(2);
         f.n[0].prev = &f.n[3];
         ListHead<Node>& ActuatorList = f.list;
         Node* ActuatorEntry = &f.n[4];
         f.Mark();
         line = __LINE__ + 1;
         LLFRONT(ActuatorList, ActuatorEntry);
         return Warning(line, "LLFRONT element (\"ActuatorEntry\") from list (\"ActuatorList\"):",
                        "LIST AND FIRST LIST ELEMENT INCONSISTENT.") +
                ListDump("(ActuatorList)", f.list) + ElementDump("(ActuatorList).first", &f.n[0]);
     }},
    {"before element not free",
     [](Fixture& f, int& line) {
         f.Chain(3);
         Owner& o = f.list;
         f.n[4].next = &f.n[3];
         f.Mark();
         line = o.Before(&f.n[4], &f.n[2]);
         return Warning(line,
                        "LLBEFORE insert element (\"NewEntry\") before element (\"Entry\") in list "
                        "(\"*this\"):",
                        "ELEMENT NOT FREE.");
     }},
    {"before the first element checks as a prepend",
     [](Fixture& f, int& line) {
         f.Chain(3);
         Owner& o = f.list;
         f.Mark();
         line = o.Before(&f.n[1], &f.n[0]);
         return Warning(line,
                        "LLFRONT insert element (\"NewEntry\") before ((list).first) in list "
                        "(\"*this\"):",
                        "ELEMENT NOT FREE.");
     }},
    {"before a reference outside the list",
     [](Fixture& f, int& line) {
         f.Chain(2);
         Owner& o = f.list;
         f.Mark();
         line = o.Before(&f.n[4], &f.n[3]);
         return Warning(line,
                        "LLBEFORE insert element (\"NewEntry\") before element (\"Entry\") in list "
                        "(\"*this\"):",
                        "REFERENCE ELEMENT NOT IN LIST.") +
                ListDump("(*this)", o) + ElementDump("(Entry)", &f.n[3]);
     }},
    {"after with the last element linked on",
     [](Fixture& f, int& line) {
         f.Chain(3);
         f.n[2].next = &f.n[3];
         Owner& o = f.list;
         f.Mark();
         line = o.After(&f.n[4], &f.n[0]);
         return Warning(line, "LLAFTER element (\"NewEntry\") from list (\"*this\"):",
                        "LIST AND LAST LIST ELEMENT INCONSISTENT.") +
                ListDump("(*this)", o) + ElementDump("(*this).last", &f.n[2]);
     }},
    {"after a null reference",
     [](Fixture& f, int& line) {
         f.Chain(2);
         Owner& o = f.list;
         f.Mark();
         line = o.After(&f.n[4], nullptr);
         return Warning(line,
                        "LLAFTER insert element (\"NewEntry\") after element (\"Entry\") in list "
                        "(\"*this\"):",
                        "NULL REFERENCE ELEMENT pointer.");
     }},
    {"remove from an empty list",
     [](Fixture& f, int& line) {
         Owner& o = f.list;
         f.Mark();
         line = o.Remove(&f.n[0]);
         return Warning(line, "LLREMOVE element (\"Entry\") from list (\"*this\"):", "LIST EMPTY.");
     }},
    {"remove a null element",
     [](Fixture& f, int& line) {
         Owner& o = f.list;
         o.first = o.last = &f.n[0];
         f.Mark();
         line = o.Remove(nullptr);
         return Warning(
             line, "LLREMOVE element (\"Entry\") from list (\"*this\"):", "NULL ELEMENT pointer.");
     }},
    {"remove from an inconsistent list",
     [](Fixture& f, int& line) {
         Owner& o = f.list;
         o.first = &f.n[0];
         f.Mark();
         line = o.Remove(&f.n[0]);
         return Warning(line, "LLREMOVE element (\"Entry\") from list (\"*this\"):",
                        "LIST INCONSISTENT.") +
                ListDump("(*this)", o);
     }},
    {"remove with the first element linked back",
     [](Fixture& f, int& line) {
         f.Chain(2);
         f.n[0].prev = &f.n[4];
         Owner& o = f.list;
         f.Mark();
         line = o.Remove(&f.n[1]);
         return Warning(line, "LLREMOVE element (\"Entry\") from list (\"*this\"):",
                        "LIST AND FIRST LIST ELEMENT INCONSISTENT.") +
                ListDump("(*this)", o) + ElementDump("(*this).first", &f.n[0]);
     }},
    {"remove a free element",
     [](Fixture& f, int& line) {
         f.Chain(2);
         Owner& o = f.list;
         f.Mark();
         line = o.Remove(&f.n[3]);
         char zeros[128];
         std::snprintf(zeros, sizeof zeros, "   \"(Entry)\" -- 0x%08lx: (0x00000000  0x00000000)\n",
                       A(&f.n[3]));
         return Warning(line, "LLREMOVE element (\"Entry\") from list (\"*this\"):",
                        "ELEMENT NOT IN LIST.") +
                ListDump("(*this)", o) + zeros;
     }},
    {"print a null element",
     [](Fixture& f, int& line) {
         Node* none = nullptr;
         f.Mark();
         line = __LINE__ + 1;
         LLPRINTEL(none, "(ActuatorList).first");
         return Warning(line,
                        "LLPRINTEL element(\"(ActuatorList).first\") :", "NULL ELEMENT pointer.");
     }},
};

TEST(CheckedList, FailedChecksWarnAndChangeNothing) {
    for (const WarningCase& c : kWarningCases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        int line = 0;
        test::CapturedListWarnings hooked;
        testing::internal::CaptureStderr();
        const std::string expected = c.run(f, line);
        const std::string output = testing::internal::GetCapturedStderr();
        EXPECT_EQ(output, expected);
        // The hook sees the warning block, without the dumps that follow it.
        const std::vector<std::string> warnings = hooked.Take();
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_EQ(expected.substr(0, warnings[0].size()), warnings[0]);
        EXPECT_EQ(warnings[0].find("WARNING (", 1), std::string::npos);
        EXPECT_FALSE(f.marked.empty());
        EXPECT_EQ(f.Snapshot(), f.marked);
    }
}

// Removes a null element: one warning.
void ProvokeOneWarning() {
    ListHead<Node> list;
    Node* none = nullptr;
    LLREMOVE(list, none);
}

TEST(CheckedList, AWarningFailsTheTestUnlessCaptured) {
    testing::internal::CaptureStderr();
    EXPECT_NONFATAL_FAILURE(ProvokeOneWarning(),
                            "LLREMOVE element (\"none\") from list (\"list\")");
    {
        test::CapturedListWarnings hooked;
        ProvokeOneWarning();
        ProvokeOneWarning();
        EXPECT_EQ(hooked.Take().size(), 2u);
        EXPECT_TRUE(hooked.Take().empty());
    }
    EXPECT_NONFATAL_FAILURE(ProvokeOneWarning(),
                            "NULL ELEMENT pointer."); // the failing hook is back
    testing::internal::GetCapturedStderr();
}

} // namespace
} // namespace ostrander

// The shared lists: each keeps its own order and duplicate rule, and the clear-all empties
// exactly the lists marked for it.
#include "state/AppState.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

TEST(SharedLists, SortedIgnoreDuplicatesAndClearRespectsMarks)
{
    AppState s;
    s.CreateStringList();
    int sorted = 0, cleared = 0;
    for (size_t i = 0; i < kSharedLists.size(); ++i) {
        auto id = static_cast<SharedList>(i);
        s.list(id).add("b");
        s.list(id).add("a");
        s.list(id).add("b");
        if (kSharedLists[i].sorted) {
            ++sorted;
            EXPECT_EQ(s.list(id).items(), (std::vector<std::string>{"a", "b"})) << kSharedLists[i].name;
        } else {
            EXPECT_EQ(s.list(id).items(), (std::vector<std::string>{"b", "a", "b"})) << kSharedLists[i].name;
        }
        cleared += kSharedLists[i].cleared;
    }
    EXPECT_EQ(sorted, 20);   // the window's 19 plus the obtained-files list
    EXPECT_EQ(cleared, 33);  // the window's 32 plus the obtained-files list
    s.StringListAllClear();
    for (size_t i = 0; i < kSharedLists.size(); ++i)
        EXPECT_EQ(s.list(static_cast<SharedList>(i)).empty(), kSharedLists[i].cleared) << kSharedLists[i].name;
}

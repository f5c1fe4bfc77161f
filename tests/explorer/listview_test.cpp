// Sorting of the explorer's lists on a real list view: keys, both
// directions, the prefix rule, bottom items and the stored column.
#include <gtest/gtest.h>

#include <string>

#include "explorer/explorer.h"
#include "tests/catalogue/startuptest.h"

using namespace startuptest;

namespace {

PageSpec TwoColumns()
{
    PageSpec desc = {};
    desc.commandId = kPageStartup;
    desc.sortOption = "SortStartup";
    desc.columnCount = 2;
    desc.columnTitles[0] = 627;
    desc.columnTitles[1] = 628;
    desc.columnWidths[0] = 0.5;
    desc.columnWidths[1] = 0.5;
    desc.bottomColumns = 1;
    return desc;
}

std::string Order(HWND list)
{
    std::string order;
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        char text[64];
        GetRowText(list, row, 0, text, sizeof(text));
        order += std::string(order.empty() ? "" : ",") + text;
    }
    return order;
}

TEST(ListSort, DirectionsPrefixBottomAndStoredColumn)
{
    SavedValue stored(HKEY_CURRENT_USER, kOptionsKey, "SortStartup");
    SavedValue update(HKEY_CURRENT_USER, kOptionsKey, "Update");
    InitCommonControls();
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT, 0, 0, 400, 300, nullptr,
                                nullptr, nullptr, nullptr);
    ASSERT_NE(list, nullptr);
    const PageSpec desc = TwoColumns();
    InsertColumns(list, desc);
    ClearSortKeys();
    // "beta" and "Beta2" differ only after the shorter one ends: equal.
    const char* titles[] = {"gamma", "Beta2", "alpha", "beta", "Disabled"};
    const char* seconds[] = {"3", "1", "5", "2", "4"};
    for (int i = 0; i < 5; ++i) {
        InsertRow(list, titles[i], -1, i);
        SetSortKey(i, 0, titles[i]);
        SetSortKey(i, 1, seconds[i]);
    }
    SetSortBottom(4, 1);
    ResetSortDirections();

    SortByColumnClick(list, desc, 0);
    EXPECT_EQ(Order(list), "alpha,Beta2,beta,gamma,Disabled");
    EXPECT_EQ(ReadOption("SortStartup", 0), 1);
    SortByColumnClick(list, desc, 0);
    EXPECT_EQ(Order(list), "gamma,Beta2,beta,alpha,Disabled");
    // A refill sorts by the stored column in its current (now ascending)
    // direction, without turning it.
    SortByStoredColumn(list, desc);
    EXPECT_EQ(Order(list), "alpha,Beta2,beta,gamma,Disabled");
    // Column 1 keeps no bottom items.
    SortByColumnClick(list, desc, 1);
    EXPECT_EQ(Order(list), "Beta2,beta,gamma,Disabled,alpha");

    // Columns the list does not have, stored or clicked, change nothing.
    for (const char* damaged : {"7", "-3", "abc", "99999999999"}) {
        SetText(HKEY_CURRENT_USER, kOptionsKey, "SortStartup", damaged);
        SortByStoredColumn(list, desc);
        EXPECT_EQ(Order(list), "Beta2,beta,gamma,Disabled,alpha") << damaged;
    }
    SortByColumnClick(list, desc, 5);
    EXPECT_EQ(Order(list), "Beta2,beta,gamma,Disabled,alpha");
    DestroyWindow(list);
}

TEST(ListSort, DateKeys)
{
    char key[16];
    DateSortKey("03/07/2026 9:05 PM", key);
    EXPECT_STREQ(key, "202603070905");
    DateSortKey("12/31/2025 11:59", key);
    EXPECT_STREQ(key, "202512311159");
    DateSortKey("12/31/2025", key);
    EXPECT_STREQ(key, " ");
    DateSortKey("", key);
    EXPECT_STREQ(key, " ");
}

}  // namespace

#include "platform/Menu.h"
#include "platform/MessageBox.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

std::vector<std::string> texts(HMENU menu)
{
    std::vector<std::string> out;
    for (const auto& item : getMenuItems(menu))
        out.push_back(item.text + "#" + std::to_string(item.id));
    return out;
}

} // namespace

TEST(Menu, InsertByPositionDeleteByIdAndRead)
{
    UniqueMenu owned(createMenu());
    HMENU menu = owned.get();
    EXPECT_EQ(getMenuItemCount(menu), 0);
    EXPECT_TRUE(insertMenuItem(menu, 0, 10, "b"));
    EXPECT_TRUE(insertMenuItem(menu, 0, 11, "a"));
    EXPECT_TRUE(insertMenuItem(menu, 99, 12, "d"));  // past the end appends
    EXPECT_TRUE(insertMenuItem(menu, 2, 13, "c"));
    EXPECT_TRUE(insertMenuItem(menu, -1, 14, "e"));
    EXPECT_EQ(texts(menu), (std::vector<std::string>{"a#11", "b#10", "c#13", "d#12", "e#14"}));

    MenuItem item;
    ASSERT_TRUE(getMenuItem(menu, 2, item));
    EXPECT_EQ(item.id, 13u);
    EXPECT_EQ(item.text, "c");
    EXPECT_FALSE(getMenuItem(menu, 5, item));
    EXPECT_FALSE(getMenuItem(menu, -1, item));

    EXPECT_TRUE(deleteMenuItem(menu, 13));
    EXPECT_FALSE(deleteMenuItem(menu, 13));  // deleting what is not there does nothing
    EXPECT_EQ(getMenuItemCount(menu), 4);

    // Two items with one id: deletes remove them one at a time.
    insertMenuItem(menu, 0, 10, "b2");
    EXPECT_TRUE(deleteMenuItem(menu, 10));
    EXPECT_EQ(texts(menu), (std::vector<std::string>{"a#11", "b#10", "d#12", "e#14"}));

    HMENU gone = owned.release();
    EXPECT_TRUE(destroyMenu(gone));
    EXPECT_FALSE(isMenu(gone));
    EXPECT_EQ(getMenuItemCount(gone), -1);
    EXPECT_FALSE(insertMenuItem(gone, 0, 1, "x"));
    EXPECT_TRUE(getMenuItems(gone).empty());
}

TEST(MessageBox, DefaultButtonAnswersWithoutAHookAndTheHookDecidesWithOne)
{
    struct Case {
        UINT type;
        int answer;
    };
    for (auto [type, answer] : {Case{MB_OK, IDOK}, Case{MB_OKCANCEL | MB_ICONWARNING, IDOK},
                                Case{MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL}, Case{MB_YESNO, IDYES},
                                Case{MB_YESNO | MB_DEFBUTTON2, IDNO},
                                Case{MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
                                Case{MB_RETRYCANCEL | MB_ICONERROR, IDRETRY}}) {
        EXPECT_EQ(defaultMessageBoxAnswer(type), answer) << type;
#ifndef _WIN32  // Windows shows the system's box and waits for a user
        EXPECT_EQ(messageBox(nullptr, "text", "caption", type), answer) << type;
#endif
    }

    std::string seen;
    auto previous = setMessageBoxHook([&](HWND, const std::string& text, const std::string& caption, UINT type) {
        seen = caption + "|" + text + "|" + std::to_string(type);
        return IDCANCEL;
    });
    EXPECT_FALSE(previous);
    EXPECT_EQ(messageBox(nullptr, "Reindex?", "Question", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(seen, "Question|Reindex?|1");
    EXPECT_TRUE(setMessageBoxHook({}));
#ifndef _WIN32
    EXPECT_EQ(messageBox(nullptr, "x", "y", MB_OKCANCEL), IDOK);
#endif
}

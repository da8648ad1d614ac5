// Rows reach the records shown on them when stored numbers no longer equal positions.
#include "app_fixture.h"

#include "devlist/fields.h"

namespace shelltest {
namespace {

// "junk" is dropped at load and leaves a gap: the list holds A 001, C 003, D 004.
class GappedListTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        writeList(
            {rec(1, "F0001000", "A"), "junk", rec(3, "F0001000", "C"), rec(4, "F0001000", "D")});
        start();
    }
    std::string flags(size_t i) { return devlist::FieldGet(devlist::kFlags, st().listStore[i]); }
};

TEST_F(GappedListTest, CheckBoxAndGroupSelectMarkTheRecordShownOnTheRow) {
    m_app->listEditor().rowClicked(1, true);
    EXPECT_EQ(flags(1), "F0001001");
    EXPECT_EQ(flags(2), "F0001000");
    m_app->listEditor().clearAll();
    m_app->listEditor().groupCheck(1);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(flags(i), "F0001001") << i;
}

TEST_F(GappedListTest, RecordEditorLoadsAndStoresTheRecordShownOnTheRow) {
    m_app->selectRow(1);
    m_app->listEditor().editSelected();
    EXPECT_EQ(st().edit.rec.listName, "C");
    st().edit.rec.listName = "C2";
    m_app->listEditor().saveRecord();
    EXPECT_EQ(devlist::FieldGet(devlist::kListName, st().listStore[1]), "C2");
    EXPECT_EQ(devlist::FieldGet(devlist::kListName, st().listStore[2]), "D");
    EXPECT_EQ(m_app->recordIndexOfRow(2), 2);
    EXPECT_EQ(m_app->recordIndexOfRow(3), -1);
}

TEST_F(GappedListTest, ListEditMarksReachTheShownLinesAfterADelete) {
    m_app->listEditor().enterListEdit();
    m_app->selectRow(0);
    m_dialogs.answer(true);
    m_app->listEditor().deleteRecord();  // C 003, D 004 at rows 0 and 1
    m_app->listEditor().rowClicked(0, true);
    m_dialogs.answer(true);
    m_app->listEditor().assignGroups();  // no box ticked: leaves every group
    EXPECT_EQ(devlist::FieldGet(devlist::kFlags, st().viewStore[0]), "F0000001");
    EXPECT_EQ(devlist::FieldGet(devlist::kFlags, st().viewStore[1]), "F0001000");
}

}  // namespace
}  // namespace shelltest

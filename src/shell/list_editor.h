// The window's list editing: the record editor, list-edit mode with its order, renumbering and
// sorting, and the check marks with their groups. Each operation changes the state, asks its
// questions through the dialogs port and tells the window to show the result; the list view,
// the masks and the list file stay the window's, reached through the hooks.
#pragma once

#include <functional>
#include <string>

#include "platform/dialogs.h"
#include "shell/list_files.h"
#include "shell/record_delete.h"
#include "shell/window_state.h"

namespace shell {

class ListEditor {
public:
    struct Hooks {
        std::function<void()> showState;  // the window should show the state now
        std::function<void(const std::string& filterWord, ListSource source)> setListData;
        std::function<void()> maskListView;  // redraw the committed list through the filter
        std::function<void(int mode)> btnMask;
        std::function<int(int row)> recordIndexOfRow;
        std::function<void(int row)> selectRow;
    };

    ListEditor(WindowState& state, platform::Dialogs& dialogs, ListFiles& listFiles, Hooks hooks);

    // The record editor
    void editData(int row);      // loads the record of row; its number label is index + 1
    void editSaveNo(int index);  // index: recordIndexOfRow of the row the record was loaded from
    void defaltData();
    void editSelected();    // "選択編集" and a double click
    void saveRecord();      // "設定保存"
    void recordDefaults();  // "初期値"

    // List-edit mode
    void enterListEdit();
    void applyListEdit();
    void leaveListEdit();
    void addRecord();
    void moveUp();
    void moveDown();
    void deleteRecord();
    void renumber();
    void sortList();
    bool active() const { return m_state.listEditShown; }

    // Check marks and groups
    void checkStatusSave(int row);
    void rowClicked(int row, bool checked);  // a click that left the row's box so
    void checkAll();
    void clearAll();
    void groupCheck(int g);
    void assignGroups();
    void deleteChecked();

private:
    void notify();
    bool confirm(const std::string& text);
    void setCheckAll(bool on);
    bool everyWorkingLineShown() const;
    void setListData(const std::string& filterWord, ListSource source);
    int recordIndexOfRow(int row) const;

    WindowState& m_state;
    platform::Dialogs& m_dialogs;
    ListFiles& m_listFiles;
    Hooks m_hooks;
    RecordDelete m_recordDelete;
};

}  // namespace shell

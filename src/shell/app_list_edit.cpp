// The window's list editing: the record editor, list-edit mode with its order, renumbering and
// sorting, and the check marks with their groups. Each operation changes the state, asks its
// questions through the dialogs port and tells the window to show the result.
#include "devlist/check_marks.h"
#include "devlist/fields.h"
#include "devlist/list_edit.h"
#include "shell/app.h"
#include "text/cp932.h"

namespace shell {

// ---------------------------------------------------------------------------------------------
// Record editor

void App::editData(int row) {
    btnMask(kBusyMask);
    if (row < 0 || row >= static_cast<int>(m_state.listView.size())) return;
    // "選択編集" is refused while list-edit changes are pending, so a working-copy index then
    // names the same line of the committed list.
    devlist::EditData(m_state.edit, recordIndexOfRow(row), m_state.listStore);
}

void App::editSaveNo(int index) {
    WindowState& s = m_state;
    if (index >= 0 && static_cast<size_t>(index) < s.listStore.size()) {
        auto& line = s.listStore[static_cast<size_t>(index)];
        line = devlist::RecordLineFromPanel(index + 1, s.edit, line);
    }
    listSave();
}

void App::defaltData() {
    devlist::DefaltData(m_state.edit);
}

void App::editSelected() {
    WindowState& s = m_state;
    if (s.isEnabled(Control::Apply)) {
        notify();
        m_dialogs.warning(text::sj("選択編集を行うには適用してください。"));
        return;
    }
    s.editShown = true;
    if (s.selectedRow >= 0) editData(s.selectedRow);
    notify();
}

void App::saveRecord() {
    WindowState& s = m_state;
    s.edit.rec.flags = devlist::FlagsFromGroupBoxes(s.edit.rec.flags, s.edit.group);
    s.editShown = false;
    long long n = devlist::ParseNumber(s.edit.numberLabel, 0);
    if (n > 0 && n <= devlist::kMaxRecords) editSaveNo(static_cast<int>(n - 1));
    maskListView();
    btnMask(kIdleMask);
    if (s.listEditShown) s.viewStore = s.listStore;
    notify();
}

void App::recordDefaults() {
    defaltData();
    notify();
}

// ---------------------------------------------------------------------------------------------
// List-edit mode

void App::enterListEdit() {
    WindowState& s = m_state;
    s.listEditShown = true;
    ++s.listEditVisit;
    s.setEnabled(Control::Apply, false);
    s.viewStore = s.listStore;
    m_listFiles.importDropped();
    setListData("", ListSource::ViewStore);
    notify();
}

void App::applyListEdit() {
    WindowState& s = m_state;
    if (!s.isEnabled(Control::Apply)) return;
    if (!confirm(text::sj("編集内容を適用しますか？"))) return;
    m_listFiles.importApplied();
    s.listStore = s.viewStore;
    setListData("", ListSource::ViewStore);
    s.setEnabled(Control::Apply, false);
    s.setEnabled(Control::AddRecord, true);
    listSave();
    notify();
}

void App::leaveListEdit() {
    WindowState& s = m_state;
    if (s.isEnabled(Control::Apply) && !confirm(text::sj("編集内容を適用せずに戻りますか？"))) {
        return;
    }
    m_listFiles.importDropped();
    s.settingsShown = false;
    s.listEditShown = false;
    ++s.listEditVisit;
    s.setEnabled(Control::Apply, false);
    setListData("", ListSource::ListStore);
    listSave();
    notify();
}

bool App::everyWorkingLineShown() const {
    return m_state.groupStore.size() == m_state.viewStore.size();
}

void App::addRecord() {
    WindowState& s = m_state;
    if (!s.isEnabled(Control::AddRecord)) return;
    if (!everyWorkingLineShown() || s.viewStore.size() > devlist::kMaxRecords - 1) return;
    if (!confirm(text::sj("新規に登録データを追加しますか？"))) return;
    defaltData();
    s.viewStore.lines().push_back(
        devlist::RecordLineFromPanel(static_cast<long long>(s.viewStore.size()) + 1, s.edit));
    setListData("", ListSource::ViewStore);
    s.setEnabled(Control::Apply, true);
    s.setEnabled(Control::AddRecord, false);  // one new record per apply
    notify();
}

void App::moveUp() {
    WindowState& s = m_state;
    int sel = s.selectedRow;
    if (!s.isEnabled(Control::MoveUp) || sel <= 0 ||
        !devlist::MoveUp(s.viewStore, recordIndexOfRow(sel))) {
        return;
    }
    setListData("", ListSource::ViewStore);
    selectRow(sel - 1);
    s.setEnabled(Control::Apply, true);
    notify();
}

void App::moveDown() {
    WindowState& s = m_state;
    int sel = s.selectedRow;
    if (!s.isEnabled(Control::MoveDown) || sel + 1 == static_cast<int>(s.listView.size())) return;
    if (sel < 0) {
        s.setEnabled(Control::Apply, true);
        notify();
        return;
    }
    if (!devlist::MoveDown(s.viewStore, recordIndexOfRow(sel))) return;
    setListData("", ListSource::ViewStore);
    selectRow(sel + 1);
    s.setEnabled(Control::Apply, true);
    notify();
}

void App::deleteRecord() {
    m_recordDelete.run();
}

void App::renumber() {
    WindowState& s = m_state;
    // Renumbering keeps only the shown entries, so it is offered where the view shows the
    // whole working copy: in list-edit mode.
    if (!s.listEditShown || !everyWorkingLineShown()) return;
    s.workStore = devlist::Renumber(s.listView, s.viewStore);
    s.viewStore = s.workStore;
    setListData("", ListSource::ViewStore);
    s.settings.sortOrder = 0;
    s.setEnabled(Control::Apply, true);  // a renumbering on its own can be applied
    notify();
}

void App::sortList() {
    WindowState& s = m_state;
    s.workStore = s.viewStore;
    // No selection (only a hand-edited settings file leaves one) sorts by "No" ascending.
    auto column = (s.settings.sortKey >= 0 && s.settings.sortKey < devlist::kSortColumns)
                      ? static_cast<devlist::SortColumn>(s.settings.sortKey)
                      : devlist::SortColumn::No;
    auto order =
        s.settings.sortOrder == 1 ? devlist::SortOrder::Descending : devlist::SortOrder::Ascending;
    s.viewStore = devlist::SortRecords(s.viewStore, column, order);
    setListData("", ListSource::ViewStore);
    if (confirm(text::sj("No.が再振り分けされます。よろしいですか？"))) {
        s.setEnabled(Control::Apply, true);
    } else {
        s.viewStore = s.workStore;
    }
    setListData("", ListSource::ViewStore);
    notify();
}

// ---------------------------------------------------------------------------------------------
// Check marks and groups

void App::checkStatusSave(int row) {
    WindowState& s = m_state;
    if (row < 0 || static_cast<size_t>(row) >= s.listView.size()) return;
    bool checked = s.listView[static_cast<size_t>(row)].checked;
    int index = recordIndexOfRow(row);
    if (s.listViewSource != ListSource::ViewStore) {
        devlist::CheckStatusSave(s.groupStore, row, index, checked, s.listStore);
        return;
    }
    // The rows show the working copy. Its lines are the committed list's lines only while no
    // edit is pending; after a move, sort or delete the same index holds another device, so
    // the mark then stays in the working copy, which "適用" commits.
    devlist::CheckStatusSave(s.groupStore, row, index, checked, s.viewStore);
    if (!s.isEnabled(Control::Apply)) {
        devlist::CheckStatusSave(s.groupStore, row, index, checked, s.listStore);
    }
}

void App::rowClicked(int row, bool checked) {
    WindowState& s = m_state;
    if (row < 0 || static_cast<size_t>(row) >= s.listView.size()) return;
    s.selectedRow = row;
    s.listView[static_cast<size_t>(row)].checked = checked;
    checkStatusSave(row);
    notify();
}

void App::setCheckAll(bool on) {
    WindowState& s = m_state;
    for (size_t k = 0; k < s.listView.size(); ++k) {
        s.listView[k].checked = on;
        checkStatusSave(static_cast<int>(k));
    }
    notify();
}

void App::checkAll() {
    setCheckAll(true);
}
void App::clearAll() {
    setCheckAll(false);
}

void App::groupCheck(int g) {
    WindowState& s = m_state;
    for (size_t k = 0; k < s.listView.size(); ++k) {
        s.listView[k].checked = devlist::RowInGroup(s.groupStore, static_cast<int>(k), g);
        checkStatusSave(static_cast<int>(k));
    }
    notify();
}

void App::assignGroups() {
    WindowState& s = m_state;
    for (size_t k = 0; k < s.listView.size(); ++k) checkStatusSave(static_cast<int>(k));
    size_t n = devlist::CountChecked(s.listView);
    if (n == 0) return;
    if (!confirm(text::sj("チェックされている ") + std::to_string(n) +
                 text::sj("台をグループ化しますか？"))) {
        return;
    }
    devlist::AssignGroups(s.listView, s.viewStore, s.assignGroup[0], s.assignGroup[1],
                          s.assignGroup[2]);
    s.setEnabled(Control::Apply, true);
    notify();
}

void App::deleteChecked() {
    WindowState& s = m_state;
    size_t n = devlist::CountChecked(s.listView);
    if (n == 0) return;
    if (!confirm(text::sj("チェックされている ") + std::to_string(n) +
                 text::sj("台をリストから削除しますか？"))) {
        return;
    }
    s.workStore = devlist::WithoutChecked(s.listView, s.viewStore);
    s.viewStore = s.workStore;
    setListData("", ListSource::ViewStore);
    s.setEnabled(Control::Apply, true);
    notify();
}

}  // namespace shell

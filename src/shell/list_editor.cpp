// The window's list editing: the record editor, list-edit mode with its order, renumbering and
// sorting, and the check marks with their groups. Each operation changes the state, asks its
// questions through the dialogs port and tells the window to show the result.
#include "shell/list_editor.h"

#include "devlist/check_marks.h"
#include "devlist/fields.h"
#include "devlist/list_edit.h"
#include "text/cp932.h"

namespace shell {

ListEditor::ListEditor(WindowState& state, platform::Dialogs& dialogs, ListFiles& listFiles,
                       Hooks hooks)
    : m_state(state),
      m_dialogs(dialogs),
      m_listFiles(listFiles),
      m_hooks(std::move(hooks)),
      m_recordDelete(m_state, m_dialogs,
                     {[this] { notify(); }, [this] { setListData("", ListSource::ViewStore); }}) {}

void ListEditor::notify() {
    if (m_hooks.showState) m_hooks.showState();
}

bool ListEditor::confirm(const std::string& text) {
    notify();
    return m_dialogs.confirm(text);
}

void ListEditor::setListData(const std::string& filterWord, ListSource source) {
    m_hooks.setListData(filterWord, source);
}

int ListEditor::recordIndexOfRow(int row) const {
    return m_hooks.recordIndexOfRow(row);
}

// ---------------------------------------------------------------------------------------------
// Record editor

void ListEditor::editData(int row) {
    m_hooks.btnMask(kBusyMask);
    if (row < 0 || row >= static_cast<int>(m_state.listView.size())) return;
    // "選択編集" is refused while list-edit changes are pending, so a working-copy index then
    // names the same line of the committed list.
    devlist::EditData(m_state.edit, recordIndexOfRow(row), m_state.listStore);
}

void ListEditor::editSaveNo(int index) {
    WindowState& s = m_state;
    if (index >= 0 && static_cast<size_t>(index) < s.listStore.size()) {
        auto& line = s.listStore[static_cast<size_t>(index)];
        const std::string before = line;
        line = devlist::RecordLineFromPanel(index + 1, s.edit, line);
        m_listFiles.recordEdited(static_cast<size_t>(index), before, line);
    }
    m_listFiles.save();
}

void ListEditor::defaltData() {
    devlist::DefaltData(m_state.edit);
}

void ListEditor::editSelected() {
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

void ListEditor::saveRecord() {
    WindowState& s = m_state;
    s.edit.rec.flags = devlist::FlagsFromGroupBoxes(s.edit.rec.flags, s.edit.group);
    s.editShown = false;
    long long n = devlist::ParseNumber(s.edit.numberLabel, 0);
    if (n > 0 && n <= devlist::kMaxRecords) editSaveNo(static_cast<int>(n - 1));
    m_hooks.maskListView();
    m_hooks.btnMask(kIdleMask);
    if (s.listEditShown) {
        s.viewStore = s.listStore;
        s.workingReordered = false;
    }
    notify();
}

void ListEditor::recordDefaults() {
    defaltData();
    notify();
}

// ---------------------------------------------------------------------------------------------
// List-edit mode

void ListEditor::enterListEdit() {
    WindowState& s = m_state;
    s.listEditShown = true;
    ++s.listEditVisit;
    s.setEnabled(Control::Apply, false);
    s.viewStore = s.listStore;
    s.workingReordered = false;
    m_listFiles.importDropped();
    setListData("", ListSource::ViewStore);
    notify();
}

void ListEditor::applyListEdit() {
    WindowState& s = m_state;
    if (!s.isEnabled(Control::Apply)) return;
    if (!confirm(text::sj("編集内容を適用しますか？"))) return;
    m_listFiles.importApplied();
    s.listStore = s.viewStore;
    // The save may bring in records another writer added: the rows show them.
    m_listFiles.save();
    s.workingReordered = false;
    setListData("", ListSource::ViewStore);
    s.setEnabled(Control::Apply, false);
    s.setEnabled(Control::AddRecord, true);
    notify();
}

void ListEditor::leaveListEdit() {
    WindowState& s = m_state;
    if (s.isEnabled(Control::Apply) && !confirm(text::sj("編集内容を適用せずに戻りますか？"))) {
        return;
    }
    m_listFiles.importDropped();
    s.settingsShown = false;
    s.listEditShown = false;
    ++s.listEditVisit;
    s.workingReordered = false;
    s.setEnabled(Control::Apply, false);
    m_listFiles.save();
    setListData("", ListSource::ListStore);
    notify();
}

bool ListEditor::everyWorkingLineShown() const {
    return m_state.groupStore.size() == m_state.viewStore.size();
}

void ListEditor::addRecord() {
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

void ListEditor::moveUp() {
    WindowState& s = m_state;
    int sel = s.selectedRow;
    if (!s.isEnabled(Control::MoveUp) || sel <= 0 ||
        !devlist::MoveUp(s.viewStore, recordIndexOfRow(sel))) {
        return;
    }
    s.workingReordered = true;
    setListData("", ListSource::ViewStore);
    m_hooks.selectRow(sel - 1);
    s.setEnabled(Control::Apply, true);
    notify();
}

void ListEditor::moveDown() {
    WindowState& s = m_state;
    int sel = s.selectedRow;
    if (!s.isEnabled(Control::MoveDown) || sel + 1 == static_cast<int>(s.listView.size())) return;
    if (sel < 0) {
        s.setEnabled(Control::Apply, true);
        notify();
        return;
    }
    if (!devlist::MoveDown(s.viewStore, recordIndexOfRow(sel))) return;
    s.workingReordered = true;
    setListData("", ListSource::ViewStore);
    m_hooks.selectRow(sel + 1);
    s.setEnabled(Control::Apply, true);
    notify();
}

void ListEditor::deleteRecord() {
    const size_t before = m_state.viewStore.size();
    m_recordDelete.run();
    if (m_state.viewStore.size() != before) m_state.workingReordered = true;
}

void ListEditor::renumber() {
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

void ListEditor::sortList() {
    WindowState& s = m_state;
    s.workStore = s.viewStore;
    // No selection (only a hand-edited settings file leaves one) sorts by "No" ascending.
    auto column = (s.settings.sortKey >= 0 && s.settings.sortKey < devlist::kSortColumns)
                      ? static_cast<devlist::SortColumn>(s.settings.sortKey)
                      : devlist::SortColumn::No;
    auto order = s.settings.sortOrder == 0   ? devlist::SortOrder::Ascending
                 : s.settings.sortOrder == 1 ? devlist::SortOrder::Descending
                                             : devlist::SortOrder::Unchanged;
    s.viewStore = devlist::SortRecords(s.viewStore, column, order);
    setListData("", ListSource::ViewStore);
    if (confirm(text::sj("No.が再振り分けされます。よろしいですか？"))) {
        s.workingReordered = true;
        s.setEnabled(Control::Apply, true);
    } else {
        s.viewStore = s.workStore;
    }
    setListData("", ListSource::ViewStore);
    notify();
}

// ---------------------------------------------------------------------------------------------
// Check marks and groups

void ListEditor::checkStatusSave(int row) {
    WindowState& s = m_state;
    if (row < 0 || static_cast<size_t>(row) >= s.listView.size()) return;
    bool checked = s.listView[static_cast<size_t>(row)].checked;
    int index = recordIndexOfRow(row);
    if (s.listViewSource != ListSource::ViewStore) {
        devlist::CheckStatusSave(s.groupStore, row, index, checked, s.listStore);
        return;
    }
    // The rows show the working copy, whose groups may have been assigned since the view was
    // drawn: only the mark changes there, and "適用" commits it with those groups. The committed
    // list takes the mark too, so that "戻る" keeps it, while the same index still names the same
    // device there; after a move, sort, delete or import it may name another.
    devlist::StoreCheckMark(s.viewStore, index, checked);
    if (!s.workingReordered) devlist::StoreCheckMark(s.listStore, index, checked);
}

void ListEditor::rowClicked(int row, bool checked) {
    WindowState& s = m_state;
    if (row < 0 || static_cast<size_t>(row) >= s.listView.size()) return;
    s.selectedRow = row;
    s.listView[static_cast<size_t>(row)].checked = checked;
    checkStatusSave(row);
    notify();
}

void ListEditor::setCheckAll(bool on) {
    WindowState& s = m_state;
    for (size_t k = 0; k < s.listView.size(); ++k) {
        s.listView[k].checked = on;
        checkStatusSave(static_cast<int>(k));
    }
    notify();
}

void ListEditor::checkAll() {
    setCheckAll(true);
}
void ListEditor::clearAll() {
    setCheckAll(false);
}

void ListEditor::groupCheck(int g) {
    WindowState& s = m_state;
    for (size_t k = 0; k < s.listView.size(); ++k) {
        s.listView[k].checked = devlist::RowInGroup(s.groupStore, static_cast<int>(k), g);
        checkStatusSave(static_cast<int>(k));
    }
    notify();
}

void ListEditor::assignGroups() {
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

void ListEditor::deleteChecked() {
    WindowState& s = m_state;
    size_t n = devlist::CountChecked(s.listView);
    if (n == 0) return;
    if (!confirm(text::sj("チェックされている ") + std::to_string(n) +
                 text::sj("台をリストから削除しますか？"))) {
        return;
    }
    s.workStore = devlist::WithoutChecked(s.listView, s.viewStore);
    s.viewStore = s.workStore;
    s.workingReordered = true;
    setListData("", ListSource::ViewStore);
    s.setEnabled(Control::Apply, true);
    notify();
}

}  // namespace shell

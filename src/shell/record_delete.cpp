#include "shell/record_delete.h"

#include <memory>
#include <string>

#include "devlist/fields.h"
#include "fleet/record_identity.h"
#include "text/cp932.h"

namespace shell {

int RecordDelete::workingLineOfRow(int row) const {
    const WindowState& s = m_state;
    if (row < 0 || static_cast<size_t>(row) >= s.listView.size()) return -1;
    int line = s.listView[static_cast<size_t>(row)].line;
    const devlist::LineStore& shown =
        s.listViewSource == ListSource::ViewStore ? s.viewStore : s.listStore;
    if (line < 0 || static_cast<size_t>(line) >= shown.size()) return -1;
    if (s.listViewSource == ListSource::ViewStore) return line;
    // Drawn from the committed list: the same line at the same place, else its first copy.
    const std::string& record = shown[static_cast<size_t>(line)];
    const auto& working = s.viewStore.lines();
    if (static_cast<size_t>(line) < working.size() &&
        working[static_cast<size_t>(line)] == record) {
        return line;
    }
    for (size_t k = 0; k < working.size(); ++k) {
        if (working[k] == record) return static_cast<int>(k);
    }
    return -1;
}

void RecordDelete::run() {
    WindowState& s = m_state;
    if (!s.isEnabled(Control::Delete) || s.selectedRow < 0 ||
        static_cast<size_t>(s.selectedRow) >= s.listView.size() ||
        s.groupStore.size() != s.viewStore.size()) {
        return;
    }
    int row = s.selectedRow;
    long long n = devlist::LeadingNumber(s.listView[static_cast<size_t>(row)].text);
    int line = workingLineOfRow(row);
    const fleet::RecordIdentity record =
        fleet::IdentityOf(std::make_shared<const devlist::LineStore>(s.viewStore), line);
    if (m_hooks.showState) m_hooks.showState();
    if (!m_dialogs.askYesNo(text::sj("No.") + devlist::ZeroPad(n, 3) +
                            text::sj(" を削除してよろしいですか？"))) {
        return;
    }
    // The question is modal: a result may have been carried into the record meanwhile, or the
    // working copy changed around it. The record is found again as a result's writer finds it.
    auto& working = s.viewStore.lines();
    if (line >= 0) line = fleet::FindRecord(s.viewStore, record);
    if (line >= 0) {
        working.erase(working.begin() + line);
        s.setEnabled(Control::Apply, true);
    }
    if (m_hooks.showWorkingList) m_hooks.showWorkingList();
    if (m_hooks.showState) m_hooks.showState();
}

}  // namespace shell

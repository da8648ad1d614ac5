// "削除" of the list-edit panel: after the question, the selected record leaves the working
// copy. The view may have been drawn from the committed list (the record editor's "設定保存"
// redraws it so while the working copy equals it), so the record is found in the working copy
// by its line, not taken from whichever store the view was drawn from. The question is modal:
// a result carried into the record while it is open changes its bytes, so the confirmed delete
// finds the record again by its identity, as a result's writer does.
#pragma once

#include <functional>

#include "platform/dialogs.h"
#include "shell/window_state.h"

namespace shell {

class RecordDelete {
public:
    struct Hooks {
        std::function<void()> showState;        // the window should show the state now
        std::function<void()> showWorkingList;  // redraw the list view from the working copy
    };

    RecordDelete(WindowState& state, platform::Dialogs& dialogs, Hooks hooks)
        : m_state(state), m_dialogs(dialogs), m_hooks(std::move(hooks)) {}

    // Deletes the record of the selected row from the working copy once the operator said Yes.
    void run();

private:
    // The working-copy line of the record shown in row; -1 when the working copy holds none.
    int workingLineOfRow(int row) const;

    WindowState& m_state;
    platform::Dialogs& m_dialogs;
    Hooks m_hooks;
};

}  // namespace shell

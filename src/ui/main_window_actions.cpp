// The buttons that hand work to the device sessions, the LAN search and the desktop. Each one
// reaches its controller through the App; a controller whose services were not given to the App
// leaves its buttons without effect.
#include <QPlainTextEdit>

#include "shell/desktop_actions.h"
#include "shell/lan_search.h"
#include "shell/session_controller.h"
#include "ui/main_window.h"

namespace ui {

void MainWindow::withSessions(void (shell::SessionController::*operation)()) {
    if (auto* c = m_app.sessions()) run([c, operation] { (c->*operation)(); });
}

void MainWindow::withDesktop(void (shell::DesktopActions::*operation)()) {
    if (auto* d = m_app.desktop()) run([d, operation] { (d->*operation)(); });
}

void MainWindow::onBulkCheck() {
    withSessions(&shell::SessionController::bulkCheck);
}
void MainWindow::onBulkSend() {
    withSessions(&shell::SessionController::bulkSend);
}
void MainWindow::onStop() {
    withSessions(&shell::SessionController::stop);
}
void MainWindow::onSingleCheck() {
    withSessions(&shell::SessionController::singleCheck);
}
void MainWindow::onSingleSend() {
    withSessions(&shell::SessionController::singleSend);
}

void MainWindow::onLanSearch() {
    if (auto* search = m_app.lanSearch()) run([search] { search->run(); });
}

void MainWindow::onHttpConnect() {
    withDesktop(&shell::DesktopActions::openDeviceWebPage);
}
void MainWindow::onChooseCommonSendFile() {
    withDesktop(&shell::DesktopActions::chooseCommonSendFile);
}
void MainWindow::onChooseSendFile() {
    withDesktop(&shell::DesktopActions::chooseSendFile);
}
void MainWindow::onClearMessage() {
    withDesktop(&shell::DesktopActions::clearMessage);
}
void MainWindow::onViewBeforeVariables() {
    withDesktop(&shell::DesktopActions::viewPreWriteVariables);
}
void MainWindow::onViewCommLogFile() {
    withDesktop(&shell::DesktopActions::viewCommLog);
}
void MainWindow::onViewSendFile() {
    withDesktop(&shell::DesktopActions::viewSendFile);
}
void MainWindow::onViewAfterVariables() {
    withDesktop(&shell::DesktopActions::viewPostWriteVariables);
}
void MainWindow::onViewDeviceLog() {
    withDesktop(&shell::DesktopActions::viewDeviceLog20);
}

// Before the first session the area shows the window's own store; from then on the text of
// the session being served or last served.
void MainWindow::syncTerminal() {
    const shell::SessionController* c = m_app.sessions();
    if (c && c->current()) {
        m_terminalMirror->sync(c->terminal(), c->terminalId());
        m_terminal.shown = false;
    } else {
        m_terminalMirror->forget();
        syncArea(m_terminal);
    }
}

// Area 3 shows the served session's device log, which grows with every chunk of a dump, the
// way the terminal shows its text: by the new bytes only. Typing into it would change nothing
// the session keeps, so it takes no input meanwhile.
void MainWindow::syncDeviceLogArea() {
    StoreArea& area = m_storeAreas[2];
    const shell::SessionController* c = m_app.sessions();
    if (c && c->current()) {
        if (!area.edit->isReadOnly()) area.edit->setReadOnly(true);
        m_deviceLogMirror->sync(c->current()->deviceLog(), c->terminalId());
        area.shown = false;
    } else {
        m_deviceLogMirror->forget();
        syncArea(area);
    }
}

}  // namespace ui

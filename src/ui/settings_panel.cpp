// The settings panel: the run options, the waits around the start and end commands, the
// working folder and the filter history. Its boxes and check boxes write the settings fields
// of the state directly; the pass key is bound too, but never shown.
#include "ui/main_window.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/qt/qt_text.h"
#include "ui/widgets.h"

namespace ui {

using platform::qt::ui;
using shell::Control;

void MainWindow::buildSettingsPanel() {
    auto& s = m_app.state();
    QWidget* p = m_settingsPanel = makePanel(this, "SettingsPanel", kPanelHeight);
    QWidget* strip = makeTabStrip(p);
    makeTabLabel(strip, ui("基本"), 0, false);
    makeTabLabel(strip, ui("List編集"), 1, false);
    makeTabLabel(strip, ui("設定"), 2, true);

    QGroupBox* options = makeGroup(p, ui("設定確認/設定送信 オプション"), QRect(6, 36, 428, 50));
    bindCheck(makeCheck(options, ui("時刻設定を行う"), QRect(12, 22, 200, 22)),
              &s.settings.setTime);

    QGroupBox* send = makeGroup(p, ui("設定送信"), QRect(6, 90, 428, 74));
    bindCheck(makeCheck(send, ui("名称を機器登録"), QRect(12, 22, 136, 22)),
              &s.settings.registerName);
    bindCheck(makeCheck(send, ui("接続IPアドレスを登録"), QRect(152, 22, 160, 22)),
              &s.settings.registerIp);
    bindCheck(makeCheck(send, ui("dhcp 無効設定"), QRect(316, 22, 108, 22)),
              &s.settings.disableDhcp);
    bindCheck(makeCheck(send, ui("WRITE"), QRect(12, 46, 136, 22)), &s.settings.write);
    bindCheck(makeCheck(send, ui("CPURESET"), QRect(152, 46, 160, 22)), &s.settings.cpuReset);

    int y = 172;
    makeCaption(p, ui("終了コマンド送信wait(秒)"), QRect(6, y, 170, kRowHeight));
    bindBox(makeBox(p, ui("終了コマンド送信wait(秒)"), QRect(180, y, 60, kRowHeight)),
            &s.settings.endWait)
        .commaAllowed = true;
    y = 200;
    makeCaption(p, ui("開始コマンド送信wait(秒)"), QRect(6, y, 170, kRowHeight));
    bindBox(makeBox(p, ui("開始コマンド送信wait(秒)"), QRect(180, y, 60, kRowHeight)),
            &s.settings.startWait)
        .commaAllowed = true;
    y = 228;
    makeCaption(p, ui("作業フォルダ"), QRect(6, y, 100, kRowHeight));
    bindBox(makeBox(p, ui("作業フォルダ"), QRect(110, y, 324, kRowHeight)), &s.settings.workFolder)
        .commaAllowed = true;

    QPushButton* clearHistory = makeButton(p, ui("フィルター履歴クリア"), QRect(6, 260, 170, 26));
    connectButton(clearHistory, [this] { m_app.clearFilterHistory(); });

    // The pass key is kept in the settings file only; its caption and box stay hidden.
    QLabel* passCaption =
        makeCaption(p, QStringLiteral("PASS-KEY"), QRect(240, 260, 70, kRowHeight));
    passCaption->hide();
    QLineEdit* passKey = makeBox(p, QStringLiteral("PASS-KEY"), QRect(314, 260, 120, kRowHeight));
    bindBox(passKey, &s.settings.passKey);
    passKey->hide();

    QLabel* version =
        makeLabel(p, QStringLiteral("QLX-Setting Ver. 1.00"), QRect(6, 308, 240, 24), "version");
    QFont bold = font();
    bold.setBold(true);
    version->setFont(bold);

    QPushButton* back = makeButton(p, ui("戻る"), QRect(346, 304, 88, 28));
    connectButton(back, [this] { m_app.leaveSettings(); });
}

}  // namespace ui

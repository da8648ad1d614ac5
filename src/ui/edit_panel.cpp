// The record editor: the boxes of one device record, its groups, its send file and message,
// and the viewers of the files its sessions left. The boxes edit the state's edit copy; only
// "設定保存" writes it back into the list.
#include "ui/main_window.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/qt/qt_text.h"
#include "ui/widgets.h"

namespace ui {

using platform::qt::ui;
using shell::Control;

void MainWindow::buildEditPanel() {
    auto& e = m_app.state().edit;
    QWidget* p = m_editPanel = makePanel(this, "EditPanel", kPanelHeight);
    constexpr int kCaptionW = 78, kBoxH = 21;
    // Two columns of caption + box.
    auto left = [&](const char* caption, int y, int boxWidth = 130) {
        makeCaption(p, ui(caption), QRect(4, y, kCaptionW, kBoxH));
        return makeBox(p, ui(caption), QRect(84, y, boxWidth, kBoxH));
    };
    auto right = [&](const char* caption, int y) {
        makeCaption(p, ui(caption), QRect(220, y, kCaptionW, kBoxH));
        return makeBox(p, ui(caption), QRect(300, y, 136, kBoxH));
    };

    makeCaption(p, QStringLiteral("No"), QRect(4, 6, kCaptionW, kBoxH));
    m_numberLabel = makeLabel(p, QString(), QRect(84, 6, 60, kBoxH), "display");
    m_numberLabel->setAccessibleName(QStringLiteral("No"));
    m_numberLabel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    makeCaption(p, ui("保存名称"), QRect(150, 6, 66, kBoxH));
    bindBox(makeBox(p, ui("保存名称"), QRect(220, 6, 142, kBoxH)), &e.saveName);
    QPushButton* defaults = makeButton(p, ui("初期値"), QRect(366, 5, 70, 23));
    connectButton(defaults, [this] { m_app.listEditor().recordDefaults(); });

    bindBox(left("リスト名称", 32), &e.rec.listName, 20);
    bindBox(right("機器名称", 32), &e.rec.deviceName, 30);
    bindBox(left("IPアドレス", 56), &e.rec.ipAddress);
    bindBox(right("MACアドレス", 56), &e.rec.macAddress);
    bindBox(left("ポート HTTP", 80), &e.rec.httpPort);
    bindBox(right("TELNET", 80), &e.rec.telnetPort);
    bindBox(left("ユーザーID", 104), &e.rec.userId);
    QLineEdit* password = right("パスワード", 104);
    password->setEchoMode(QLineEdit::Password);
    password->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    bindBox(password, &e.rec.password);
    bindBox(left("model / Ver", 128, 352), &e.rec.modelVersion);

    makeCaption(p, ui("設定項目"), QRect(4, 152, kCaptionW, kBoxH));
    m_flagsLabel = makeLabel(p, QString(), QRect(84, 152, 130, kBoxH), "display");
    m_flagsLabel->setAccessibleName(ui("設定項目"));
    m_flagsLabel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    makeCaption(p, ui("グループ"), QRect(220, 152, kCaptionW, kBoxH));
    for (int g = 0; g < 3; ++g) {
        bindCheck(makeCheck(p, QString::number(g + 1), QRect(304 + 44 * g, 152, 40, kBoxH)),
                  &e.group[g]);
    }

    bindBox(left("送信ファイル", 176, 316), &e.rec.sendFile);
    QPushButton* chooser = makeChooserButton(p, ui("送信ファイル選択"), QRect(404, 175, 32, 23));
    connectButton(chooser, [this] { onChooseSendFile(); });
    bindBox(left("メッセージ", 200, 316), &e.rec.message);
    QPushButton* clear = makeButton(p, QStringLiteral("C"), QRect(404, 199, 32, 23));
    connectButton(clear, [this] { onClearMessage(); });
    bindBox(left("最終送信", 224, 200), &e.rec.lastSend);

    struct Viewer {
        const char* caption;
        void (MainWindow::*slot)();
    };
    const Viewer viewers[] = {
        {"書込前変数", &MainWindow::onViewBeforeVariables},
        {"通信ログ", &MainWindow::onViewCommLogFile},
        {"送信ファイル", &MainWindow::onViewSendFile},
        {"書込後変数", &MainWindow::onViewAfterVariables},
        {"機器LOG 20", &MainWindow::onViewDeviceLog},
    };
    int x = 4;
    for (const auto& v : viewers) {
        QPushButton* b = makeButton(p, ui(v.caption), QRect(x, 256, 84, 26));
        connectButton(b, [this, slot = v.slot] { (this->*slot)(); });
        x += 87;
    }

    QPushButton* save = makeButton(p, ui("設定保存"), QRect(254, 304, 88, 28));
    connectButton(save, [this] { m_app.listEditor().saveRecord(); });
    QPushButton* back = makeButton(p, ui("戻る"), QRect(346, 304, 88, 28));
    connectButton(back, [this] { m_app.leaveRecordEdit(); });
}

}  // namespace ui

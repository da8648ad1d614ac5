// The basic panel, always beneath the others: the filter, the group check buttons, the send
// method and common send file, and the bulk and single device runs. Its tabs open the list
// editing and the settings panels, which then cover it.
#include "ui/main_window.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "platform/qt/qt_text.h"
#include "ui/widgets.h"

namespace ui {

using platform::qt::ui;
using shell::Control;

void MainWindow::buildBasicPanel() {
    auto& s = m_app.state();
    QWidget* p = m_basicPanel = makePanel(this, "BasicPanel", kBasicHeight);
    QWidget* strip = makeTabStrip(p);
    makeTabLabel(strip, ui("基本"), 0, true);
    QPushButton* listEditTab = makeButton(strip, ui("List編集"), tabRect(1));
    setRole(listEditTab, "inactiveTab");
    listEditTab->setCursor(Qt::PointingHandCursor);
    setControl(Control::ListEditTab, listEditTab);
    connectButton(listEditTab, [this] { m_app.listEditor().enterListEdit(); });
    QPushButton* settingsTab = makeButton(strip, ui("設定"), tabRect(2));
    setRole(settingsTab, "inactiveTab");
    settingsTab->setCursor(Qt::PointingHandCursor);
    setControl(Control::SettingsTab, settingsTab);
    connectButton(settingsTab, [this] { m_app.openSettings(); });

    int y = 38;
    makeCaption(p, ui("フィルター"), QRect(6, y, 84, kRowHeight));
    m_countLabel = makeBox(p, ui("件数"), QRect(92, y, 62, kRowHeight));
    m_countLabel->setReadOnly(true);
    m_countLabel->setAlignment(Qt::AlignCenter);
    m_filterBox = new QComboBox(p);
    m_filterBox->setEditable(true);
    m_filterBox->setInsertPolicy(QComboBox::NoInsert);
    m_filterBox->setCompleter(nullptr);
    m_filterBox->setGeometry(156, y, 146, kRowHeight);
    m_filterBox->setAccessibleName(ui("フィルター"));
    m_filterBox->lineEdit()->setAccessibleName(ui("フィルター"));
    setControl(Control::FilterBox, m_filterBox);
    m_filterText = &bindBox(m_filterBox->lineEdit(), &s.filterText);
    m_filterText->commaAllowed = true;
    connect(m_filterBox, &QComboBox::activated, this, [this](int index) {
        run([this, index] {
            const auto& words = m_app.state().filterHistory.words();
            if (index >= 0 && static_cast<size_t>(index) < words.size()) {
                m_app.state().filterText = words[static_cast<size_t>(index)];
            }
        });
    });
    QPushButton* apply = makeButton(p, ui("実行"), QRect(304, y, 62, kRowHeight));
    setControl(Control::Filter, apply);
    connectButton(apply, [this] { m_app.applyFilter(); });
    // Enter in the filter box does what the button does, while the button may be pressed.
    connect(m_filterBox->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        if (m_app.state().isEnabled(Control::Filter)) run([this] { m_app.applyFilter(); });
    });
    QPushButton* showAll = makeButton(p, ui("全表示"), QRect(370, y, 64, kRowHeight));
    setControl(Control::ShowAll, showAll);
    connectButton(showAll, [this] { m_app.showAll(); });

    y = 66;
    makeCaption(p, ui("グループ指定"), QRect(6, y, 84, kRowHeight));
    const Control groups[] = {Control::Group1, Control::Group2, Control::Group3};
    for (int g = 1; g <= 3; ++g) {
        QPushButton* b =
            makeButton(p, QString::number(g), QRect(92 + 38 * (g - 1), y, 36, kRowHeight));
        setControl(groups[g - 1], b);
        connectButton(b, [this, g] { m_app.listEditor().groupCheck(g); });
    }
    QPushButton* checkAll = makeButton(p, ui("全チェック"), QRect(212, y, 108, kRowHeight));
    setControl(Control::CheckAll, checkAll);
    connectButton(checkAll, [this] { m_app.listEditor().checkAll(); });
    QPushButton* clearAll = makeButton(p, ui("全解除"), QRect(324, y, 110, kRowHeight));
    setControl(Control::ClearAll, clearAll);
    connectButton(clearAll, [this] { m_app.listEditor().clearAll(); });

    y = 94;
    makeCaption(p, ui("送信方法"), QRect(6, y, 84, kRowHeight));
    auto* method = new QWidget(p);
    method->setGeometry(92, y, 180, kRowHeight);
    method->setAccessibleName(ui("送信方法"));
    m_sendCommon = new QRadioButton(ui("共通"), method);
    m_sendCommon->setGeometry(8, 0, 70, kRowHeight);
    m_sendCommon->setAccessibleName(ui("共通"));
    m_sendSingle = new QRadioButton(ui("個別"), method);
    m_sendSingle->setGeometry(84, 0, 70, kRowHeight);
    m_sendSingle->setAccessibleName(ui("個別"));
    m_sendMethod = new QButtonGroup(this);
    m_sendMethod->addButton(m_sendCommon, 0);
    m_sendMethod->addButton(m_sendSingle, 1);
    setControl(Control::SendMethod, method);
    connect(m_sendMethod, &QButtonGroup::idClicked, this,
            [this](int id) { run([this, id] { m_app.state().settings.sendMethod = id; }); });

    y = 122;
    makeCaption(p, ui("共通送信ファイル"), QRect(6, y, 100, kRowHeight));
    QLineEdit* commonFile = makeBox(p, ui("共通送信ファイル"), QRect(108, y, 292, kRowHeight));
    setControl(Control::CommonSendFile, commonFile);
    bindBox(commonFile, &s.settings.commonSendFile).commaAllowed = true;
    QPushButton* chooser =
        makeChooserButton(p, ui("共通送信ファイル選択"), QRect(402, y, 32, kRowHeight));
    setControl(Control::CommonSendFileChooser, chooser);
    connectButton(chooser, [this] { onChooseCommonSendFile(); });

    QGroupBox* bulk = makeGroup(p, ui("一斉接続"), QRect(6, 154, 428, 70));
    QPushButton* bulkCheck = makeButton(bulk, ui("設定確認"), QRect(12, 24, 132, 34));
    setControl(Control::BulkCheck, bulkCheck);
    connectButton(bulkCheck, [this] { onBulkCheck(); });
    QPushButton* bulkSend = makeButton(bulk, ui("設定送信"), QRect(148, 24, 132, 34));
    setControl(Control::BulkSend, bulkSend);
    connectButton(bulkSend, [this] { onBulkSend(); });
    QPushButton* stop = makeButton(bulk, ui("停止"), QRect(284, 24, 132, 34));
    setControl(Control::Stop, stop);
    connectButton(stop, [this] { onStop(); });

    QGroupBox* single = makeGroup(p, ui("個別接続"), QRect(6, 232, 428, 70));
    QPushButton* singleCheck = makeButton(single, ui("設定確認"), QRect(12, 24, 132, 34));
    setControl(Control::SingleCheck, singleCheck);
    connectButton(singleCheck, [this] { onSingleCheck(); });
    QPushButton* singleSend = makeButton(single, ui("設定送信"), QRect(148, 24, 132, 34));
    setControl(Control::SingleSend, singleSend);
    connectButton(singleSend, [this] { onSingleSend(); });
    QPushButton* http = makeButton(single, ui("HTTP接続"), QRect(284, 24, 132, 34));
    setControl(Control::SingleHttp, http);
    connectButton(http, [this] { onHttpConnect(); });
}

}  // namespace ui

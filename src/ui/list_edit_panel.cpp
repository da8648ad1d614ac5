// The list editing panel: sorting, registering devices by LAN search or by hand, list import
// and export, the list file, moving and deleting records, and grouping the checked ones. The
// changes are made on a working copy that "適用" commits and "戻る" leaves.
#include "ui/main_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "platform/qt/qt_text.h"
#include "ui/widgets.h"

namespace ui {

using platform::qt::ui;
using shell::Control;

void MainWindow::buildListEditPanel() {
    auto& s = m_app.state();
    QWidget* p = m_listEditPanel = makePanel(this, "ListEditPanel", kPanelHeight);
    QWidget* strip = makeTabStrip(p);
    makeTabLabel(strip, ui("基本"), 0, false);
    makeTabLabel(strip, ui("List編集"), 1, true);
    makeTabLabel(strip, ui("設定"), 2, false);

    int y = 38;
    makeCaption(p, ui("並び替え"), QRect(6, y, 84, kRowHeight));
    QComboBox* key =
        makeChoice(p, ui("並び替え項目"),
                   {QStringLiteral("No"), QStringLiteral("Name"), QStringLiteral("IP address"),
                    QStringLiteral("File"), QStringLiteral("Model"), QStringLiteral("Time"),
                    QStringLiteral("Message")},
                   QRect(92, y, 120, kRowHeight));
    setControl(Control::SortKey, key);
    bindChoice(key, &s.settings.sortKey);
    QComboBox* order =
        makeChoice(p, ui("並び順"), {ui("昇順"), ui("降順")}, QRect(216, y, 80, kRowHeight));
    setControl(Control::SortOrder, order);
    bindChoice(order, &s.settings.sortOrder);
    QPushButton* sort = makeButton(p, ui("並び替え"), QRect(300, y, 134, kRowHeight));
    connectButton(sort, [this] { m_app.listEditor().sortList(); });

    y = 66;
    makeCaption(p, ui("機器登録"), QRect(6, y, 84, kRowHeight));
    QPushButton* search = makeButton(p, ui("LAN上 検索"), QRect(92, y, 170, kRowHeight));
    setControl(Control::LanSearch, search);
    connectButton(search, [this] { onLanSearch(); });
    QPushButton* add = makeButton(p, ui("手動入力"), QRect(266, y, 168, kRowHeight));
    setControl(Control::AddRecord, add);
    connectButton(add, [this] { m_app.listEditor().addRecord(); });

    y = 94;
    makeCaption(p, ui("List 操作"), QRect(6, y, 84, kRowHeight));
    QPushButton* import = makeButton(p, ui("List インポート"), QRect(92, y, 170, kRowHeight));
    connectButton(import, [this] { m_app.listImport(); });
    QPushButton* exportList =
        makeButton(p, ui("List エクスポート"), QRect(266, y, 168, kRowHeight));
    connectButton(exportList, [this] { m_app.listExport(); });

    y = 122;
    makeCaption(p, ui("List ファイル"), QRect(6, y, 84, kRowHeight));
    QLineEdit* listFile = makeBox(p, ui("List ファイル"), QRect(92, y, 342, kRowHeight));
    bindBox(
        listFile, [this]() -> const std::string& { return m_app.state().settings.listFile; },
        [this](const std::string& bytes) { m_app.listFileEdited(bytes); })
        .commaAllowed = true;

    QGroupBox* order2 = makeGroup(p, ui("List順編集"), QRect(6, 152, 428, 58));
    QPushButton* editSel = makeButton(order2, ui("選択編集"), QRect(10, 24, 130, 26));
    connectButton(editSel, [this] { m_app.listEditor().editSelected(); });
    QPushButton* up = makeButton(order2, ui("▲"), QRect(146, 24, 84, 26));
    setControl(Control::MoveUp, up);
    connectButton(up, [this] { m_app.listEditor().moveUp(); });
    QPushButton* down = makeButton(order2, ui("▼"), QRect(234, 24, 84, 26));
    setControl(Control::MoveDown, down);
    connectButton(down, [this] { m_app.listEditor().moveDown(); });
    QPushButton* del = makeButton(order2, ui("削除"), QRect(322, 24, 96, 26));
    setControl(Control::Delete, del);
    connectButton(del, [this] { m_app.listEditor().deleteRecord(); });

    QGroupBox* bulk = makeGroup(p, ui("チェック項目による一括設定"), QRect(6, 216, 428, 58));
    makeCaption(bulk, ui("グループ"), QRect(10, 25, 64, kRowHeight));
    for (int g = 0; g < 3; ++g) {
        QCheckBox* c =
            makeCheck(bulk, QString::number(g + 1), QRect(82 + 40 * g, 25, 38, kRowHeight));
        bindCheck(c, &s.assignGroup[g]);
    }
    QPushButton* assign = makeButton(bulk, ui("グループ化"), QRect(210, 24, 100, 26));
    connectButton(assign, [this] { m_app.listEditor().assignGroups(); });
    QPushButton* delChecked = makeButton(bulk, ui("一斉削除"), QRect(318, 24, 100, 26));
    connectButton(delChecked, [this] { m_app.listEditor().deleteChecked(); });

    QPushButton* applyEdit = makeButton(p, ui("適用"), QRect(254, 304, 88, 28));
    setControl(Control::Apply, applyEdit);
    connectButton(applyEdit, [this] { m_app.listEditor().applyListEdit(); });
    QPushButton* back = makeButton(p, ui("戻る"), QRect(346, 304, 88, 28));
    connectButton(back, [this] { m_app.listEditor().leaveListEdit(); });
}

}  // namespace ui

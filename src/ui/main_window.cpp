#include "ui/main_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QToolTip>

#include "platform/qt/qt_text.h"
#include "ui/box_input.h"
#include "ui/device_list.h"

namespace ui {

using platform::qt::toQString;
using platform::qt::ui;
using shell::Control;

namespace {

// Fixed areas of the window, in client pixels.
constexpr int kOperationX = 584, kOperationY = 304;
constexpr int kPanelWidth = 440, kBasicHeight = 320, kPanelHeight = 340;
constexpr int kStatusHeight = 19;
constexpr int kRowHeight = 23;

// The column captions over the list: text, x, width (each 20 high at y 2).
struct HeaderCaption {
    const char* text;
    int x, width;
};
constexpr HeaderCaption kHeaderCaptions[] = {
    {"No", 16, 32},      {"Name", 50, 168},  {"IP address", 220, 124}, {"File", 346, 94},
    {"Model", 442, 191}, {"Time", 634, 150}, {"Message", 786, 234},
};

// The fixed-pitch face in which one Shift-JIS byte takes one 8-px cell at 16 px.
QFont cellFont() {
    QFont f(QStringLiteral("IPAGothic"));
    f.setPixelSize(16);
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    f.setKerning(false);
    return f;
}

QFont windowFont() {
    QFont f(QStringLiteral("IPAPGothic"));
    f.setPixelSize(12);
    return f;
}

void setRole(QWidget* w, const char* role) {
    w->setProperty("qlxRole", QString::fromLatin1(role));
}

QLabel* makeLabel(QWidget* parent, const QString& text, QRect r, const char* role) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(r);
    l->setAccessibleName(text);
    setRole(l, role);
    return l;
}

QLabel* makeCaption(QWidget* parent, const QString& text, QRect r) {
    QLabel* l = makeLabel(parent, text, r, "caption");
    l->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    return l;
}

QPushButton* makeButton(QWidget* parent, const QString& text, QRect r) {
    auto* b = new QPushButton(text, parent);
    b->setGeometry(r);
    b->setAccessibleName(text);
    b->setAutoDefault(false);
    return b;
}

QLineEdit* makeBox(QWidget* parent, const QString& accessibleName, QRect r) {
    auto* e = new QLineEdit(parent);
    e->setGeometry(r);
    e->setAccessibleName(accessibleName);
    return e;
}

QCheckBox* makeCheck(QWidget* parent, const QString& text, QRect r) {
    auto* c = new QCheckBox(text, parent);
    c->setGeometry(r);
    c->setAccessibleName(text);
    return c;
}

QGroupBox* makeGroup(QWidget* parent, const QString& title, QRect r) {
    auto* g = new QGroupBox(title, parent);
    g->setGeometry(r);
    g->setAccessibleName(title);
    return g;
}

QComboBox* makeChoice(QWidget* parent, const QString& accessibleName, const QStringList& items,
                      QRect r) {
    auto* c = new QComboBox(parent);
    c->addItems(items);
    c->setGeometry(r);
    c->setAccessibleName(accessibleName);
    return c;
}

QWidget* makePanel(QWidget* parent, const char* name, int height) {
    auto* p = new QWidget(parent);
    p->setObjectName(QString::fromLatin1(name));
    p->setAccessibleName(QString::fromLatin1(name));
    p->setAttribute(Qt::WA_StyledBackground);
    p->setGeometry(kOperationX, kOperationY, kPanelWidth, height);
    setRole(p, "panel");
    return p;
}

// The tab strip of a panel; returns the strip so that the basic panel can put buttons there.
QWidget* makeTabStrip(QWidget* panel) {
    auto* strip = new QWidget(panel);
    strip->setGeometry(3, 3, 434, 28);
    strip->setAttribute(Qt::WA_StyledBackground);
    setRole(strip, "tabStrip");
    return strip;
}

QRect tabRect(int index) {
    return QRect(2 + 98 * index, 2, 96, 25);
}

QLabel* makeTabLabel(QWidget* strip, const QString& text, int index, bool active) {
    QLabel* l = makeLabel(strip, text, tabRect(index), active ? "activeTab" : "inactiveTab");
    l->setAlignment(Qt::AlignCenter);
    return l;
}

QPlainTextEdit* makeTextArea(QWidget* parent, QRect r) {
    auto* t = new QPlainTextEdit(parent);
    t->setGeometry(r);
    return t;
}

}  // namespace

MainWindow::MainWindow(shell::App& app, QWidget* parent) : QWidget(parent), m_app(app) {
    setWindowTitle(QStringLiteral("QLX-Setting"));
    setAccessibleName(QStringLiteral("QLX-Setting"));
    // A fixed-size dialog frame: a caption and a close button, no minimise, maximise or resize.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(windowFont());
    setObjectName(QStringLiteral("MainWindow"));
    setAttribute(Qt::WA_StyledBackground);
    setFixedSize(m_app.state().clientWidth, m_app.state().clientHeight);

    buildMainAreas();
    // Created in their stacking order, lowest first: a later sibling covers an earlier one.
    buildBasicPanel();
    buildListEditPanel();
    buildSettingsPanel();
    buildEditPanel();
    buildEnlargedAreas();
    applyStyle();

    m_hintTimer.setSingleShot(true);
    connect(&m_hintTimer, &QTimer::timeout, this, [this] { m_inputHint->clear(); });

    m_app.setObserver([this] { refresh(); });
    refresh();
}

MainWindow::~MainWindow() {
    m_app.setObserver(nullptr);
}

void MainWindow::centre() {
    QScreen* screen = this->screen();
    if (!screen) return;
    QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    bool mayClose = m_app.closeQuery();
    refresh();
    if (mayClose) {
        event->accept();
    } else {
        event->ignore();
    }
}

void MainWindow::run(const std::function<void()>& operation) {
    if (m_refreshing) return;
    operation();
    refresh();
}

void MainWindow::connectButton(QAbstractButton* button, std::function<void()> operation) {
    connect(button, &QAbstractButton::clicked, this,
            [this, op = std::move(operation)] { run(op); });
}

void MainWindow::setControl(Control c, QWidget* w) {
    m_controls[static_cast<size_t>(c)] = w;
}

// --- The main areas -------------------------------------------------------------------------

void MainWindow::buildMainAreas() {
    m_header = new QWidget(this);
    m_header->setGeometry(0, 0, 1025, 33);
    for (const auto& c : kHeaderCaptions) {
        QLabel* l = makeLabel(m_header, QString::fromLatin1(c.text), QRect(c.x, 2, c.width, 20),
                              "columnCaption");
        QFont bold = font();
        bold.setBold(true);
        l->setFont(bold);
    }

    m_list = new DeviceListView(this);
    m_list->setObjectName(QStringLiteral("ListView"));
    m_list->setAccessibleName(QStringLiteral("ListView"));
    m_list->setGeometry(2, 24, 1018, 270);
    m_list->setFont(cellFont());
    setControl(Control::ListView, m_list);
    m_list->listModel()->onCheckToggled = [this](int row, bool checked) {
        run([this, row, checked] { m_app.rowClicked(row, checked); });
    };
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_refreshing) return;
        int row = m_list->selectedRow();
        if (row != m_app.state().selectedRow) run([this, row] { m_app.selectRow(row); });
    });
    connect(m_list, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        int row = index.row();
        run([this, row] {
            m_app.selectRow(row);
            m_app.editSelected();
        });
    });

    auto* terminal = makeTextArea(this, QRect(2, 312, 577, 169));
    terminal->setObjectName(QStringLiteral("TerminalView"));
    terminal->setAccessibleName(QStringLiteral("TerminalView"));
    terminal->setReadOnly(true);
    terminal->setLineWrapMode(QPlainTextEdit::NoWrap);
    terminal->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    terminal->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    terminal->setUndoRedoEnabled(false);
    terminal->setFont(cellFont());
    setRole(terminal, "darkText");
    bindArea(m_terminal, terminal, &m_app.state().terminalView).followEnd = true;
    m_terminalMirror = std::make_unique<TerminalMirror>(terminal);

    QPushButton* clsUp = makeButton(this, ui("↑CLS"), QRect(4, 486, 64, 22));
    connectButton(clsUp, [this] { m_app.clearTerminal(); });
    QPushButton* clsDown = makeButton(this, ui("↓CLS"), QRect(72, 486, 64, 22));
    connectButton(clsDown, [this] { m_app.clearCommLog(); });

    auto* log = makeTextArea(this, QRect(2, 512, 577, 129));
    log->setObjectName(QStringLiteral("CommLogView"));
    log->setAccessibleName(QStringLiteral("CommLogView"));
    log->setReadOnly(true);
    log->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log->setUndoRedoEnabled(false);
    log->setFont(cellFont());
    setRole(log, "darkText");
    bindArea(m_commLog, log, &m_app.state().commLogView).followEnd = true;

    m_statusLine = new QLabel(this);
    m_statusLine->setObjectName(QStringLiteral("StatusLine"));
    m_statusLine->setAccessibleName(ui("ステータス"));
    m_statusLine->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_inputHint = new QLabel(m_statusLine);
    m_inputHint->setObjectName(QStringLiteral("InputHint"));
    m_inputHint->setAccessibleName(ui("入力ヒント"));
    m_inputHint->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setRole(m_inputHint, "hint");
}

// --- BasicPanel -----------------------------------------------------------------------------

void MainWindow::buildBasicPanel() {
    auto& s = m_app.state();
    QWidget* p = m_basicPanel = makePanel(this, "BasicPanel", kBasicHeight);
    QWidget* strip = makeTabStrip(p);
    makeTabLabel(strip, ui("基本"), 0, true);
    QPushButton* listEditTab = makeButton(strip, ui("List編集"), tabRect(1));
    setRole(listEditTab, "inactiveTab");
    setControl(Control::ListEditTab, listEditTab);
    connectButton(listEditTab, [this] { m_app.enterListEdit(); });
    QPushButton* settingsTab = makeButton(strip, ui("設定"), tabRect(2));
    setRole(settingsTab, "inactiveTab");
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
        connectButton(b, [this, g] { m_app.groupCheck(g); });
    }
    QPushButton* checkAll = makeButton(p, ui("全チェック"), QRect(212, y, 108, kRowHeight));
    setControl(Control::CheckAll, checkAll);
    connectButton(checkAll, [this] { m_app.checkAll(); });
    QPushButton* clearAll = makeButton(p, ui("全解除"), QRect(324, y, 110, kRowHeight));
    setControl(Control::ClearAll, clearAll);
    connectButton(clearAll, [this] { m_app.clearAll(); });

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
    QPushButton* chooser = makeButton(p, QStringLiteral("..."), QRect(402, y, 32, kRowHeight));
    chooser->setAccessibleName(ui("共通送信ファイル選択"));
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

// --- ListEditPanel --------------------------------------------------------------------------

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
    connectButton(sort, [this] { m_app.sortList(); });

    y = 66;
    makeCaption(p, ui("機器登録"), QRect(6, y, 84, kRowHeight));
    QPushButton* search = makeButton(p, ui("LAN上 検索"), QRect(92, y, 170, kRowHeight));
    setControl(Control::LanSearch, search);
    connectButton(search, [this] { onLanSearch(); });
    QPushButton* add = makeButton(p, ui("手動入力"), QRect(266, y, 168, kRowHeight));
    setControl(Control::AddRecord, add);
    connectButton(add, [this] { m_app.addRecord(); });

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
    connectButton(editSel, [this] { m_app.editSelected(); });
    QPushButton* up = makeButton(order2, ui("▲"), QRect(146, 24, 84, 26));
    setControl(Control::MoveUp, up);
    connectButton(up, [this] { m_app.moveUp(); });
    QPushButton* down = makeButton(order2, ui("▼"), QRect(234, 24, 84, 26));
    setControl(Control::MoveDown, down);
    connectButton(down, [this] { m_app.moveDown(); });
    QPushButton* del = makeButton(order2, ui("削除"), QRect(322, 24, 96, 26));
    setControl(Control::Delete, del);
    connectButton(del, [this] { m_app.deleteRecord(); });

    QGroupBox* bulk = makeGroup(p, ui("チェック項目による一括設定"), QRect(6, 216, 428, 58));
    makeCaption(bulk, ui("グループ"), QRect(10, 25, 64, kRowHeight));
    for (int g = 0; g < 3; ++g) {
        QCheckBox* c =
            makeCheck(bulk, QString::number(g + 1), QRect(82 + 40 * g, 25, 38, kRowHeight));
        bindCheck(c, &s.assignGroup[g]);
    }
    QPushButton* assign = makeButton(bulk, ui("グループ化"), QRect(210, 24, 100, 26));
    connectButton(assign, [this] { m_app.assignGroups(); });
    QPushButton* delChecked = makeButton(bulk, ui("一斉削除"), QRect(318, 24, 100, 26));
    connectButton(delChecked, [this] { m_app.deleteChecked(); });

    QPushButton* applyEdit = makeButton(p, ui("適用"), QRect(254, 304, 88, 28));
    setControl(Control::Apply, applyEdit);
    connectButton(applyEdit, [this] { m_app.applyListEdit(); });
    QPushButton* back = makeButton(p, ui("戻る"), QRect(346, 304, 88, 28));
    connectButton(back, [this] { m_app.leaveListEdit(); });
}

// --- SettingsPanel --------------------------------------------------------------------------

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

// --- EditPanel ------------------------------------------------------------------------------

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
    connectButton(defaults, [this] { m_app.recordDefaults(); });

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
    QPushButton* chooser = makeButton(p, QStringLiteral("..."), QRect(404, 175, 32, 23));
    chooser->setAccessibleName(ui("送信ファイル選択"));
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
    connectButton(save, [this] { m_app.saveRecord(); });
    QPushButton* back = makeButton(p, ui("戻る"), QRect(346, 304, 88, 28));
    connectButton(back, [this] { m_app.leaveRecordEdit(); });
}

// --- The enlarged layout ----------------------------------------------------------------------

void MainWindow::buildEnlargedAreas() {
    auto& s = m_app.state();
    devlist::LineStore* stores[] = {&s.groupStore, &s.listStore,      &s.deviceLogStore,
                                    &s.sendStore,  &s.searchRegStore, &s.searchReplyStore,
                                    &s.viewStore,  &s.workStore};
    QFont numberFont = font();
    numberFont.setPixelSize(21);
    numberFont.setBold(true);
    for (int i = 0; i < 8; ++i) {
        int y = 96 * i;
        QString number = QString::number(i + 1);
        QLabel* l = makeLabel(this, number, QRect(1048, y, 22, 26), "storeNumber");
        l->setFont(numberFont);
        auto* area = makeTextArea(this, QRect(1072, y, 300, 90));
        area->setAccessibleName(number);
        area->setLineWrapMode(QPlainTextEdit::NoWrap);
        bindArea(m_storeAreas[static_cast<size_t>(i)], area, stores[i]);
        m_enlargedOnly.push_back(l);
        m_enlargedOnly.push_back(area);
    }

    QLineEdit* lastPacket = makeBox(this, QStringLiteral("LastPacket"), QRect(0, 680, 465, 21));
    bindBox(lastPacket, &s.lastPacket);
    m_enlargedOnly.push_back(lastPacket);

    auto* lowered = new QFrame(this);
    lowered->setGeometry(0, 704, 377, 49);
    lowered->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_enlargedOnly.push_back(lowered);
    bindBox(makeBox(lowered, QStringLiteral("Model Ver"), QRect(0, 2, 169, 21)), &s.modelVerBox);
    bindBox(makeBox(lowered, QStringLiteral("PC IP Address"), QRect(176, 2, 121, 21)), &s.pcIpBox);
    bindBox(makeBox(lowered, QStringLiteral("UDP Host"), QRect(304, 2, 57, 21)), &s.udpHostBox);
    makeLabel(lowered, QStringLiteral("PC IP Address"), QRect(176, 27, 121, 18), "plain");
    makeLabel(lowered, QStringLiteral("UDP Host"), QRect(304, 27, 70, 18), "plain");

    QPushButton* renumber = makeButton(this, ui("No 再設定"), QRect(440, 736, 137, 22));
    connectButton(renumber, [this] { m_app.renumber(); });
    m_enlargedOnly.push_back(renumber);
}

void MainWindow::applyStyle() {
    setStyleSheet(QStringLiteral(R"(
#MainWindow, QWidget[qlxRole="panel"] { background-color: rgb(112,144,160); }
QLabel[qlxRole="caption"], QLabel[qlxRole="columnCaption"] {
    background-color: rgb(80,96,96); color: white; padding-left: 2px; }
QWidget[qlxRole="tabStrip"] { background-color: rgb(96,128,144); }
QLabel[qlxRole="activeTab"] { background-color: rgb(0,48,80); color: white; font-weight: bold; }
QLabel[qlxRole="inactiveTab"], QPushButton[qlxRole="inactiveTab"] {
    background-color: rgb(64,96,112); color: rgb(96,128,144); border: none; }
QPushButton[qlxRole="inactiveTab"]:hover { color: white; }
QPushButton[qlxRole="inactiveTab"]:disabled { color: rgb(80,112,128); }
QLabel[qlxRole="display"] { background-color: white; color: black; padding-left: 2px; }
#ListView, QPlainTextEdit[qlxRole="darkText"] {
    background-color: rgb(0,48,80); color: white; selection-background-color: rgb(0,120,215);
    selection-color: white; }
#ListView { border: none; }
QLabel[qlxRole="hint"] { color: rgb(200,0,0); font-weight: bold; }
QGroupBox { font-weight: bold; }
QGroupBox QPushButton, QGroupBox QCheckBox, QGroupBox QLabel { font-weight: normal; }
)"));
}

// --- Bindings -------------------------------------------------------------------------------

MainWindow::TextBox& MainWindow::bindBox(QLineEdit* edit, std::string* field, size_t byteLimit) {
    return bindBox(
        edit, [field]() -> const std::string& { return *field; },
        [field](const std::string& bytes) { *field = bytes; }, byteLimit);
}

MainWindow::TextBox& MainWindow::bindBox(QLineEdit* edit, std::function<const std::string&()> get,
                                         std::function<void(const std::string&)> set,
                                         size_t byteLimit) {
    auto box = std::make_unique<TextBox>();
    box->edit = edit;
    box->get = std::move(get);
    box->set = std::move(set);
    box->byteLimit = byteLimit;
    TextBox& ref = *box;
    m_boxes.push_back(std::move(box));
    connect(edit, &QLineEdit::textEdited, this,
            [this, &ref](const QString& typed) { boxEdited(ref, typed); });
    return ref;
}

void MainWindow::boxEdited(TextBox& box, const QString& typed) {
    if (m_refreshing) return;
    BoxInput in = checkBoxInput(typed, box.byteLimit, box.commaAllowed);
    if (!in.bytes) {
        // Put back what the box showed, with the caret where the refused input began.
        int caret =
            box.edit->cursorPosition() - static_cast<int>(typed.size() - box.shownText.size());
        box.edit->setText(box.shownText);
        box.edit->setCursorPosition(std::clamp(caret, 0, static_cast<int>(box.shownText.size())));
        showHint(box.edit, refusalHint(in.refusal, box.byteLimit));
        return;
    }
    box.shownText = typed;
    box.shownBytes = *in.bytes;
    box.shown = true;
    std::string bytes = std::move(*in.bytes);
    run([&box, &bytes] { box.set(bytes); });
}

void MainWindow::syncBox(TextBox& box) {
    const std::string& now = box.get();
    if (box.shown && now == box.shownBytes) return;
    box.shownBytes = now;
    box.shownText = toQString(now);
    box.shown = true;
    box.edit->setText(box.shownText);
    box.edit->setCursorPosition(0);
}

MainWindow::StoreArea& MainWindow::bindArea(StoreArea& area, QPlainTextEdit* edit,
                                            devlist::LineStore* store) {
    area.edit = edit;
    area.store = store;
    if (!edit->isReadOnly()) {
        connect(edit, &QPlainTextEdit::textChanged, this, [this, &area] { areaEdited(area); });
    }
    return area;
}

void MainWindow::areaEdited(StoreArea& area) {
    if (m_refreshing) return;
    BoxInput in = checkAreaInput(area.edit->toPlainText());
    if (!in.bytes) {
        area.shown = false;  // shown again from the store, which the refused input never reached
        showHint(area.edit, refusalHint(in.refusal, 0));
        refresh();
        return;
    }
    run([&area, &in] {
        area.store->setText(*in.bytes);
        area.shownLines = area.store->lines();
    });
}

void MainWindow::syncArea(StoreArea& area) {
    const std::vector<std::string>& now = area.store->lines();
    if (area.shown && now == area.shownLines) return;
    QPlainTextEdit* edit = area.edit;
    const std::vector<std::string>& old = area.shownLines;
    size_t common = 0;
    if (area.shown) {
        while (common < old.size() && common < now.size() && old[common] == now[common]) ++common;
    }
    auto joined = [&now](size_t from) {
        QString text;
        for (size_t i = from; i < now.size(); ++i) {
            if (i > from) text += u'\n';
            text += lineForDisplay(now[i]);
        }
        return text;
    };
    if (!area.shown || common == 0 || now.empty()) {
        edit->setPlainText(joined(0));
    } else {
        // Only the lines from the first difference on are replaced: a growing terminal text
        // costs its new lines, not the whole text again.
        QTextDocument* doc = edit->document();
        QTextCursor c(doc);
        if (common < old.size()) {
            QTextBlock first = doc->findBlockByNumber(static_cast<int>(common));
            if (common == now.size()) {
                // Lines were removed from the end: cut from the end of the last kept line.
                QTextBlock last = first.previous();
                c.setPosition(last.position() + last.length() - 1);
            } else {
                c.setPosition(first.position());
            }
            c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            c.insertText(joined(common));
        } else {
            c.movePosition(QTextCursor::End);
            c.insertText(QStringLiteral("\n") + joined(common));
        }
    }
    area.shownLines = now;
    area.shown = true;
    if (area.followEnd) {
        // The newest line in view, the caret at the start of the last line.
        QTextCursor c(edit->document());
        c.movePosition(QTextCursor::End);
        c.movePosition(QTextCursor::StartOfBlock);
        edit->setTextCursor(c);
        edit->ensureCursorVisible();
    }
}

void MainWindow::bindCheck(QAbstractButton* box, bool* field) {
    m_checks.push_back({box, field});
    connect(box, &QAbstractButton::clicked, this,
            [this, field](bool on) { run([field, on] { *field = on; }); });
}

void MainWindow::bindChoice(QComboBox* box, int* field) {
    m_choices.push_back({box, field});
    connect(box, &QComboBox::activated, this,
            [this, field](int index) { run([field, index] { *field = index; }); });
}

void MainWindow::showHint(QWidget* at, const QString& hint) {
    m_inputHint->setText(hint);
    m_hintTimer.start(5000);
    QToolTip::showText(at->mapToGlobal(QPoint(0, at->height())), hint, at);
}

// --- Refresh --------------------------------------------------------------------------------

void MainWindow::refresh() {
    if (m_refreshing) return;
    QScopedValueRollback guard(m_refreshing, true);
    const auto& s = m_app.state();

    refreshWindowSize();
    m_listEditPanel->setVisible(s.listEditShown);
    m_settingsPanel->setVisible(s.settingsShown);
    m_editPanel->setVisible(s.editShown);

    for (size_t i = 0; i < m_controls.size(); ++i) {
        if (m_controls[i]) m_controls[i]->setEnabled(s.isEnabled(static_cast<Control>(i)));
    }

    refreshList();
    QString count = toQString(s.countLabel);
    if (m_countLabel->text() != count) m_countLabel->setText(count);
    refreshFilterBox();
    for (auto& box : m_boxes) syncBox(*box);
    for (auto& c : m_checks) {
        if (c.box->isChecked() != *c.field) c.box->setChecked(*c.field);
    }
    for (auto& c : m_choices) {
        int index = *c.field >= 0 && *c.field < c.box->count() ? *c.field : -1;
        if (c.box->currentIndex() != index) c.box->setCurrentIndex(index);
    }
    refreshSendMethod();

    QString number = toQString(s.edit.numberLabel);
    if (m_numberLabel->text() != number) m_numberLabel->setText(number);
    QString flags = toQString(s.edit.rec.flags);
    if (m_flagsLabel->text() != flags) m_flagsLabel->setText(flags);

    syncTerminal();
    syncArea(m_commLog);
    QString status = toQString(s.statusText);
    if (m_statusLine->text() != status) m_statusLine->setText(status);

    // The stores are large and hidden in the normal layout: they are mirrored only when seen.
    if (s.enlargedLayout) {
        for (auto& area : m_storeAreas) syncArea(area);
    }
    m_everRefreshed = true;
}

void MainWindow::refreshWindowSize() {
    const auto& s = m_app.state();
    QSize client(s.clientWidth, s.clientHeight);
    if (size() != client || !m_everRefreshed) {
        setFixedSize(client);
        m_statusLine->setGeometry(0, client.height() - kStatusHeight, client.width(),
                                  kStatusHeight);
        m_inputHint->setGeometry(client.width() - 424, 0, 420, kStatusHeight);
    }
    for (QWidget* w : m_enlargedOnly) {
        if (w->isVisibleTo(this) != s.enlargedLayout) w->setVisible(s.enlargedLayout);
    }
}

void MainWindow::refreshList() {
    const auto& s = m_app.state();
    DeviceListModel* model = m_list->listModel();
    if (!m_everRefreshed || s.listRevision != m_shownRevision) {
        m_list->setUpdatesEnabled(false);
        model->resetEntries(s.listView);
        m_shownRevision = s.listRevision;
        m_list->setUpdatesEnabled(true);
    } else {
        model->syncChecks(s.listView);
    }
    if (m_list->selectedRow() != s.selectedRow) m_list->selectRow(s.selectedRow);
}

void MainWindow::refreshFilterBox() {
    const auto& words = m_app.state().filterHistory.words();
    if (m_shownHistory == words) return;
    m_shownHistory = words;
    QStringList items;
    items.reserve(static_cast<qsizetype>(words.size()));
    for (const auto& w : words) items.push_back(toQString(w));
    m_filterBox->clear();
    m_filterBox->addItems(items);
    m_filterBox->setCurrentIndex(-1);
    // Changing the items changes the box's text; the text is the state's filter word.
    m_filterBox->setEditText(m_filterText->shownText);
}

void MainWindow::refreshSendMethod() {
    int method = m_app.state().settings.sendMethod;
    if (m_sendMethod->checkedId() == method) return;
    if (method == 0 || method == 1) {
        m_sendMethod->button(method)->setChecked(true);
    } else {
        // No choice: an exclusive group cannot uncheck its checked button.
        m_sendMethod->setExclusive(false);
        m_sendCommon->setChecked(false);
        m_sendSingle->setChecked(false);
        m_sendMethod->setExclusive(true);
    }
}

}  // namespace ui

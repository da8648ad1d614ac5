// The window itself: its frame, the main areas every layout shows (the column captions, the list,
// the terminal and the communication log, the status line), the style sheet, and the refresh
// that shows the state. The panels are built in files of their own, each one only creating its
// widgets; bindings.cpp binds them to the state.
#include "ui/main_window.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
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

#include "devlist/record_details.h"
#include "platform/qt/qt_text.h"
#include "ui/box_input.h"
#include "ui/device_list.h"
#include "ui/tab_order.h"
#include "ui/text_tail.h"
#include "ui/widgets.h"

namespace ui {

using platform::qt::toQString;
using platform::qt::ui;
using shell::Control;

namespace {

constexpr int kStatusHeight = 19;
// The least time between two refreshes asked for by the App, and the most.
constexpr qint64 kRefreshGapMs = 50;
constexpr qint64 kRefreshGapMaxMs = 250;

// The column captions over the list: text, x, width (each 20 high at y 2).
struct HeaderCaption {
    const char* text;
    int x, width;
};
constexpr HeaderCaption kHeaderCaptions[] = {
    {"No", 16, 32},      {"Name", 50, 168},  {"IP address", 220, 124}, {"File", 346, 94},
    {"Model", 442, 191}, {"Time", 634, 150}, {"Message", 786, 234},
};

}  // namespace

namespace {
constexpr int kOperationAreaLeft = 584;
constexpr int kListBottom = 296;
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
    // The operation area starts right of the text areas; the list ends above them.
    SetReadingTabOrder(this, kOperationAreaLeft, kListBottom);

    m_hintTimer.setSingleShot(true);
    connect(&m_hintTimer, &QTimer::timeout, this, [this] { m_inputHint->clear(); });

    m_refreshTimer.setSingleShot(true);
    connect(&m_refreshTimer, &QTimer::timeout, this, [this] { refresh(); });

    m_app.setObserver([this] { requestRefresh(); });
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
    bool mayClose = m_app.start().closeQuery();
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
    // The captions stand over their columns however far the list is scrolled sideways.
    connect(m_list->horizontalScrollBar(), &QScrollBar::valueChanged, m_header,
            [this](int x) { m_header->move(-x, 0); });
    m_list->listModel()->onCheckToggled = [this](int row, bool checked) {
        run([this, row, checked] { m_app.listEditor().rowClicked(row, checked); });
    };
    m_list->listModel()->toolTipOf = [this](int row) {
        const shell::WindowState& s = m_app.state();
        const int line = m_app.recordIndexOfRow(row);
        if (line < 0) return QString();
        const devlist::LineStore& store =
            s.listViewSource == shell::ListSource::ViewStore ? s.viewStore : s.listStore;
        // Rich text of escaped lines: a device's text is shown as it is, never as markup.
        QString text = toQString(devlist::RecordDetails(store[static_cast<size_t>(line)]));
        return QStringLiteral("<p style=\"white-space:pre\">") +
               text.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")) +
               QStringLiteral("</p>");
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
            m_app.listEditor().editSelected();
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
    // Wrapped at any character, as the shell counts the displayed lines it keeps
    // (shell::DisplayedLines, kCommLogColumns cells wide).
    log->setWordWrapMode(QTextOption::WrapAnywhere);
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

void MainWindow::applyStyle() {
    setStyleSheet(QStringLiteral(R"(
#MainWindow, QWidget[qlxRole="panel"] { background-color: rgb(112,144,160); }
QLabel[qlxRole="caption"], QLabel[qlxRole="columnCaption"] {
    background-color: rgb(80,96,96); color: white; padding-left: 2px; }
QWidget[qlxRole="tabStrip"] { background-color: rgb(96,128,144); }
QLabel[qlxRole="activeTab"] { background-color: rgb(0,48,80); color: white; font-weight: bold; }
QLabel[qlxRole="inactiveTab"] {
    background-color: rgb(64,96,112); color: rgb(96,128,144); border: none; }
QPushButton[qlxRole="inactiveTab"] {
    background-color: rgb(208,224,232); color: rgb(0,48,80); border: 1px solid rgb(0,48,80);
    border-bottom: none; border-top-left-radius: 4px; border-top-right-radius: 4px; }
QPushButton[qlxRole="inactiveTab"]:hover { background-color: white; }
QPushButton[qlxRole="inactiveTab"]:disabled {
    background-color: rgb(64,96,112); color: rgb(96,128,144); border: none; }
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

// --- Refresh --------------------------------------------------------------------------------

void MainWindow::requestRefresh() {
    if (m_refreshTimer.isActive()) return;
    // A refresh costing more than the gap would otherwise take the whole loop under a flood.
    const qint64 gap = std::clamp(2 * m_lastRefreshMs, kRefreshGapMs, kRefreshGapMaxMs);
    const qint64 since = m_sinceRefresh.isValid() ? m_sinceRefresh.elapsed() : gap;
    m_refreshTimer.start(static_cast<int>(since >= gap ? 0 : gap - since));
}

void MainWindow::refresh() {
    if (m_refreshing) return;
    QScopedValueRollback guard(m_refreshing, true);
    m_refreshTimer.stop();
    QElapsedTimer cost;
    cost.start();
    ++m_refreshCount;
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
    for (auto& [label, text] : m_labels) {
        QString now = toQString(*text);
        if (label->text() != now) label->setText(now);
    }

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
        for (auto& area : m_storeAreas) {
            if (&area == &m_storeAreas[2]) {
                syncDeviceLogArea();
            } else {
                syncArea(area);
            }
        }
    }
    m_everRefreshed = true;
    m_lastRefreshMs = cost.elapsed();
    m_sinceRefresh.start();
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

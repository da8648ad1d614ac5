// The program's one window. It holds no state of its own: every value it shows comes from the
// App's WindowState, and every user action becomes a call of an App operation (or, for a box,
// check box or choice, a write of the state field it shows). After each call, and whenever the
// App reports a change (also before a question and inside waits), the whole window is refreshed
// from the state; a refresh touches only widgets whose value differs, and the list is rebuilt
// only when the state's list revision changed. The App's reports are coalesced: a burst of them
// (a device streaming text) is shown by one refresh, at most every kRefreshGapMs, so that the
// event loop keeps serving timers and sockets on time under any flood.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/app.h"
#include "ui/terminal_mirror.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace ui {

class DeviceListView;

class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(shell::App& app, QWidget* parent = nullptr);
    ~MainWindow() override;

    void refresh();
    // Shows the state soon: at once when the window was quiet, else kRefreshGapMs (or twice
    // the last refresh's cost) after the last refresh. Many requests, one refresh.
    void requestRefresh();
    // How often the window has shown the state.
    uint64_t refreshCount() const { return m_refreshCount; }
    // Moves the window to the middle of its screen.
    void centre();

    DeviceListView* listView() const { return m_list; }
    QWidget* basicPanel() const { return m_basicPanel; }
    QWidget* listEditPanel() const { return m_listEditPanel; }
    QWidget* settingsPanel() const { return m_settingsPanel; }
    QWidget* editPanel() const { return m_editPanel; }
    QPlainTextEdit* terminalView() const { return m_terminal.edit; }
    QPlainTextEdit* commLogView() const { return m_commLog.edit; }
    QLabel* statusLine() const { return m_statusLine; }
    QLabel* inputHint() const { return m_inputHint; }
    QLineEdit* countLabel() const { return m_countLabel; }
    QComboBox* filterBox() const { return m_filterBox; }
    QLabel* numberLabel() const { return m_numberLabel; }
    QLabel* flagsLabel() const { return m_flagsLabel; }
    QWidget* control(shell::Control c) const { return m_controls[static_cast<size_t>(c)]; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // A one-line box showing a state text.
    struct TextBox {
        QLineEdit* edit = nullptr;
        std::function<const std::string&()> get;
        std::function<void(const std::string&)> set;
        size_t byteLimit = 0;
        bool commaAllowed = false;  // not a record field
        bool shown = false;
        std::string shownBytes;
        QString shownText;
    };
    // A multi-line area showing a line store. A store too large to show whole is shown by its
    // tail and cannot be typed into meanwhile: the typed text would replace the whole store.
    struct StoreArea {
        QPlainTextEdit* edit = nullptr;
        devlist::LineStore* store = nullptr;
        bool followEnd = false;  // keep the newest line in view
        bool editable = false;   // the operator may type into it while it shows the whole store
        bool shown = false;
        bool tailOnly = false;               // shows the store's tail, or long lines in pieces
        size_t tailBytes = kShownTailBytes;  // the most of the store shown
        size_t tailLines = kShownTailLines;
        std::vector<std::string> shownLines;
    };
    struct CheckBinding {
        QAbstractButton* box;
        bool* field;
    };
    struct ChoiceBinding {
        QComboBox* box;
        int* field;
    };

    void buildMainAreas();
    void buildBasicPanel();
    void buildListEditPanel();
    void buildSettingsPanel();
    void buildEditPanel();
    void buildEnlargedAreas();
    void applyStyle();

    // Runs an operation of the App, then shows the state it left. Ignored while refreshing, so
    // that a widget set from the state never calls back into the App.
    void run(const std::function<void()>& operation);
    void connectButton(QAbstractButton* button, std::function<void()> operation);
    void setControl(shell::Control c, QWidget* w);

    TextBox& bindBox(QLineEdit* edit, std::string* field, size_t byteLimit = 0);
    TextBox& bindBox(QLineEdit* edit, std::function<const std::string&()> get,
                     std::function<void(const std::string&)> set, size_t byteLimit = 0);
    void boxEdited(TextBox& box, const QString& typed);
    void syncBox(TextBox& box);
    StoreArea& bindArea(StoreArea& area, QPlainTextEdit* edit, devlist::LineStore* store);
    void areaEdited(StoreArea& area);
    void syncArea(StoreArea& area);
    void showAreaTail(StoreArea& area);
    void bindCheck(QAbstractButton* box, bool* field);
    void bindChoice(QComboBox* box, int* field);
    void showHint(QWidget* at, const QString& hint);

    void refreshWindowSize();
    void refreshList();
    void refreshFilterBox();
    void refreshSendMethod();

    // The hand-offs to the sessions, the LAN search and the desktop.
    void withSessions(void (shell::SessionController::*operation)());
    void withDesktop(void (shell::DesktopActions::*operation)());
    void onBulkCheck();
    void onBulkSend();
    void onStop();
    void onSingleCheck();
    void onSingleSend();
    void onHttpConnect();
    void onLanSearch();
    void onChooseCommonSendFile();
    void onChooseSendFile();
    void onClearMessage();
    void onViewBeforeVariables();
    void onViewCommLogFile();
    void onViewSendFile();
    void onViewAfterVariables();
    void onViewDeviceLog();
    void syncTerminal();
    void syncDeviceLogArea();

    shell::App& m_app;
    bool m_refreshing = false;
    bool m_everRefreshed = false;
    QTimer m_refreshTimer;
    QElapsedTimer m_sinceRefresh;
    qint64 m_lastRefreshMs = 0;
    uint64_t m_refreshCount = 0;
    uint64_t m_shownRevision = 0;
    std::vector<std::string> m_shownHistory;

    std::array<QWidget*, static_cast<size_t>(shell::Control::Count)> m_controls{};
    std::vector<std::unique_ptr<TextBox>> m_boxes;
    std::vector<CheckBinding> m_checks;
    std::vector<ChoiceBinding> m_choices;
    std::vector<std::pair<QLabel*, const std::string*>> m_labels;  // captions set by the state

    QWidget* m_header = nullptr;
    DeviceListView* m_list = nullptr;
    StoreArea m_terminal;
    std::unique_ptr<TerminalMirror> m_terminalMirror;
    StoreArea m_commLog;
    QLabel* m_statusLine = nullptr;
    QLabel* m_inputHint = nullptr;
    QTimer m_hintTimer;

    QWidget* m_basicPanel = nullptr;
    QWidget* m_listEditPanel = nullptr;
    QWidget* m_settingsPanel = nullptr;
    QWidget* m_editPanel = nullptr;

    QLineEdit* m_countLabel = nullptr;
    QComboBox* m_filterBox = nullptr;
    TextBox* m_filterText = nullptr;
    QButtonGroup* m_sendMethod = nullptr;
    QRadioButton* m_sendCommon = nullptr;
    QRadioButton* m_sendSingle = nullptr;
    QLabel* m_numberLabel = nullptr;
    QLabel* m_flagsLabel = nullptr;

    // Seen only in the enlarged layout.
    std::vector<QWidget*> m_enlargedOnly;
    std::array<StoreArea, 8> m_storeAreas;
    // Area 3 follows the served session's device log as the terminal follows its terminal text.
    std::unique_ptr<TerminalMirror> m_deviceLogMirror;
};

}  // namespace ui

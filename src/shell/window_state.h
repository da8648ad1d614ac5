// Everything the window remembers, as plain data: the line stores, the list view, the record
// being edited, the boxes, check boxes and choices, which controls are enabled and which panels
// are shown. The Qt window only mirrors this state.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "devlist/edit_panel.h"
#include "devlist/line_store.h"
#include "devlist/list_view.h"
#include "fleet/settings_table.h"

namespace shell {

// Controls whose enabled state the program changes. The first 23 are the ones the masks set.
enum class Control {
    Stop,                   // "停止" (一斉接続)
    ListView,               // the device list
    BulkCheck,              // "設定確認" (一斉接続)
    BulkSend,               // "設定送信" (一斉接続)
    SingleSend,             // "設定送信" (個別接続)
    SingleHttp,             // "HTTP接続" (個別接続)
    SingleCheck,            // "設定確認" (個別接続)
    ListEditTab,            // "List編集" tab button
    SettingsTab,            // "設定" tab button
    LanSearch,              // "LAN上 検索"
    Filter,                 // "実行"
    ShowAll,                // "全表示"
    Group1,                 // "1" (グループ指定)
    Group2,                 // "2"
    Group3,                 // "3"
    CheckAll,               // "全チェック"
    ClearAll,               // "全解除"
    FilterBox,              // the filter drop-down
    SortKey,                // sort-key list
    SortOrder,              // sort-order list
    SendMethod,             // "共通" / "個別"
    CommonSendFile,         // common send-file box
    CommonSendFileChooser,  // its chooser button
    // Not masked:
    Apply,      // "適用": the pending-edits flag of list-edit mode
    AddRecord,  // "手動入力"
    MoveUp,     // "▲"
    MoveDown,   // "▼"
    Delete,     // "削除"
    Count
};
constexpr int kMaskedControls = 23;
constexpr int kBusyMask = 1010;
constexpr int kIdleMask = 1011;

constexpr int kNormalWidth = 1024, kNormalHeight = 670;
constexpr int kEnlargedWidth = 1400, kEnlargedHeight = 800;

// The store a list view is drawn from: the committed list, or the working copy of list-edit mode.
enum class ListSource { ListStore, ViewStore };

// The boxes, check boxes and choices whose values the settings file keeps.
struct SettingsBoxes {
    // Keys and defaults: fleet/settings_table.h.
    std::string passKey{fleet::DefaultText(fleet::Setting::PassKey)};        // hidden
    std::string workFolder{fleet::DefaultText(fleet::Setting::WorkFolder)};  // "作業フォルダ"
    std::string endWait{fleet::DefaultText(fleet::Setting::EndWait)};  // "終了コマンド送信wait(秒)"
    std::string startWait{"1"};  // not stored, "開始コマンド送信wait(秒)"
    std::string listFile{fleet::DefaultText(fleet::Setting::ListFile)};  // "List ファイル"
    std::string commonSendFile{
        fleet::DefaultText(fleet::Setting::CommonSendFile)};          // "共通送信ファイル"
    int sortKey = fleet::DefaultNumber(fleet::Setting::SortKey);      // 0..6, -1 none selected
    int sortOrder = fleet::DefaultNumber(fleet::Setting::SortOrder);  // 0 "昇順", 1 "降順", -1 none
    int sendMethod =
        fleet::DefaultNumber(fleet::Setting::SendMethod);        // 0 "共通", 1 "個別", -1 none
    bool setTime = fleet::DefaultBool(fleet::Setting::SetTime);  // "時刻設定を行う"
    bool registerName = fleet::DefaultBool(fleet::Setting::RegisterName);  // "名称を機器登録"
    bool registerIp = fleet::DefaultBool(fleet::Setting::RegisterIp);  // "接続IPアドレスを登録"
    bool disableDhcp = false;                                // not stored, "dhcp 無効設定"
    bool write = fleet::DefaultBool(fleet::Setting::Write);  // "WRITE"
    bool cpuReset = fleet::DefaultBool(fleet::Setting::CpuReset);            // "CPURESET"
    std::string ownAddress{fleet::DefaultText(fleet::Setting::OwnAddress)};  // the search's own
    bool history = fleet::DefaultBool(fleet::Setting::History);  // runs keep a settings history
};

struct WindowState {
    WindowState();

    // Window
    bool enlargedLayout = false;
    int clientWidth = kNormalWidth;
    int clientHeight = kNormalHeight;
    std::string statusText;

    // Screens: BasicPanel is always shown; the highest shown panel is in front.
    bool listEditShown = false;
    // Changes on every entry into list editing and every exit from it, so that an operation
    // that waited can tell whether the working copy it started on is still the one shown.
    uint64_t listEditVisit = 0;
    // Whether a record of the working copy may stand at another index than in the committed
    // list since list editing began or was applied (a move, sort, delete or import). Until then
    // an index names the same device in both, and a check mark can be stored in both.
    bool workingReordered = false;
    bool settingsShown = false;
    bool editShown = false;

    std::array<bool, static_cast<size_t>(Control::Count)> enabled{};
    bool isEnabled(Control c) const { return enabled[static_cast<size_t>(c)]; }
    void setEnabled(Control c, bool on) { enabled[static_cast<size_t>(c)] = on; }

    // Line stores
    devlist::LineStore groupStore;        // 1
    devlist::LineStore listStore;         // 2
    devlist::LineStore deviceLogStore;    // 3
    devlist::LineStore sendStore;         // 4
    devlist::LineStore searchRegStore;    // 5
    devlist::LineStore searchReplyStore;  // 6
    devlist::LineStore viewStore;         // 7
    devlist::LineStore workStore;         // 8
    // How far deviceLogStore follows the served session's device log (in the enlarged layout):
    // the session, the log's generation, the log bytes taken over, the store's line count after
    // them and the loop's tick count then. Anything else found there next time means the store
    // is filled afresh.
    struct LogFollow {
        uint64_t session = 0;
        uint64_t generation = 0;
        size_t bytes = 0;
        size_t lines = 0;
        uint32_t tick = 0;
        bool valid = false;
    };
    LogFollow deviceLogFollow;

    // The list view: entries, selection (-1 none) and a revision that changes on every rebuild.
    std::vector<devlist::ListEntry> listView;
    ListSource listViewSource = ListSource::ListStore;  // the store the entries' lines index
    std::string listFilter;                             // the word the entries were filtered by
    int selectedRow = -1;
    uint64_t listRevision = 0;
    std::string countLabel;

    // Filter row
    std::string filterText;
    devlist::FilterHistory filterHistory;

    // Record editor and list-edit panel
    devlist::EditPanel edit;
    bool assignGroup[3] = {false, false, false};  // "グループ" boxes of the bulk settings group
    std::string listFilePath;                     // the list file in use

    SettingsBoxes settings;
    // The "data" folder beside the program by its native name. Files the program forms there
    // are named through platform::nativeIn; workFolder is its code page 932 text, with a
    // trailing "/", and names the folder only where code page 932 can hold its name.
    std::filesystem::path workFolderPath;
    std::string workFolder;

    // Text areas
    devlist::LineStore terminalView;
    devlist::LineStore commLogView;
    std::string lastPacket;  // "最終TCPパケットデータ" at start
    // Network status boxes (seen in the enlarged layout)
    std::string modelVerBox{"Model Ver"};
    std::string pcIpBox{"192.168.0.22"};
    std::string udpHostBox{"23"};
    // The captions below those boxes; the LAN search replaces them with the own address and
    // the target host of its latest pass.
    std::string pcIpCaption{"PC IP Address"};
    std::string udpHostCaption{"UDP Host"};
};

}  // namespace shell

#include "shell/session_controller.h"

#include <charconv>
#include <limits>

#include "devlist/device_record.h"
#include "devlist/fields.h"
#include "fleet/fleet_run.h"
#include "fleet/result_rule.h"
#include "fleet/send_file.h"
#include "platform/files.h"
#include "session/result_record.h"
#include "shell/app.h"
#include "shell/comm_log.h"
#include "shell/list_files.h"
#include "text/cp932.h"

namespace shell {
namespace {

using session::SessionMode;

constexpr uint32_t kSequencerMs = 500;
constexpr uint32_t kPauseAfterFailureMs = 1000;
constexpr uint32_t kDefaultEndWaitMs = 2000;

bool isCheckMode(SessionMode m) {
    return m == SessionMode::SingleCheck || m == SessionMode::BulkCheck;
}
bool isBulk(SessionMode m) {
    return m == SessionMode::BulkCheck || m == SessionMode::BulkSend;
}
bool isSingle(SessionMode m) {
    return m == SessionMode::SingleCheck || m == SessionMode::SingleSend;
}

// A decimal integer with an optional sign, or nothing.
std::optional<long long> decimal(std::string_view s) {
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    long long v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return v;
}

// The pause after a success: the end-command wait in seconds, 2 s when it is no number, none
// when it is 0 or less.
uint32_t endWaitMs(const std::string& box) {
    auto seconds = decimal(box);
    if (!seconds) return kDefaultEndWaitMs;
    if (*seconds <= 0) return 0;
    constexpr long long kMaxSeconds = std::numeric_limits<uint32_t>::max() / 1000;
    return static_cast<uint32_t>(std::min(*seconds, kMaxSeconds) * 1000);
}

// Line `record` of the committed list, or nothing: a row's index may come from the working
// copy, which can be longer.
std::string recordLine(const WindowState& s, int record) {
    if (record < 0 || static_cast<size_t>(record) >= s.listStore.size()) return {};
    return s.listStore[static_cast<size_t>(record)];
}

}  // namespace

SessionController::SessionController(App& app, platform::EventLoop& loop,
                                     platform::Dialogs& dialogs, platform::Clock& clock,
                                     platform::Network& network)
    : m_app(app),
      m_loop(loop),
      m_dialogs(dialogs),
      m_clock(clock),
      m_network(network),
      m_sequencerTimer(loop.createTimer()) {
    m_sequencerTimer->setCallback([this] { sequencer(); });
}

SessionController::~SessionController() = default;

const session::BoundedText& SessionController::terminal() const {
    return m_session ? m_session->terminal() : m_idleTerminal;
}

void SessionController::sessionChanged() {
    // The device-log store of the enlarged layout keeps the newest part of the log only (the
    // whole log stays in the session and its file), and while a dump streams in it follows at
    // most every kFollowGapMs: splitting every chunk of a dump into lines would cost the dump
    // again.
    constexpr size_t kLogStoreBytes = size_t{1} << 20;
    constexpr size_t kLogStoreLines = 20000;
    constexpr uint32_t kFollowGapMs = 100;
    WindowState& s = m_app.state();
    if (m_session && s.enlargedLayout) {
        const session::BoundedText& log = m_session->deviceLog();
        WindowState::LogFollow& follow = s.deviceLogFollow;
        const bool sameSession = follow.valid && follow.session == m_generation;
        // The settings lines do not change during a session.
        if (!sameSession || s.sendStore.size() != m_session->sendStore().size())
            s.sendStore = m_session->sendStore();
        const session::SessionStep step = m_session->step();
        const bool dumping =
            step == session::SessionStep::DumpBefore || step == session::SessionStep::DumpAfter;
        const uint32_t now = m_loop.tickCount();
        const bool fresh = !sameSession || follow.generation != log.generation() ||
                           log.size() < follow.bytes || s.deviceLogStore.size() != follow.lines;
        if (fresh || !dumping || now - follow.tick >= kFollowGapMs) {
            std::vector<std::string>& lines = s.deviceLogStore.lines();
            const std::string_view bytes = log.bytes();
            size_t from = fresh ? 0 : follow.bytes;
            if (fresh) lines.clear();
            if (bytes.size() - from > kLogStoreBytes) {
                // Lines that would be dropped at once are not split at all.
                from = bytes.size() - kLogStoreBytes;
                size_t lineEnd = bytes.find("\r\n", from);
                if (lineEnd + 2 < bytes.size()) from = lineEnd + 2;
                lines.clear();
            }
            // The log holds whole lines, each followed by CR LF.
            for (size_t at = from; at < bytes.size();) {
                size_t end = std::min(bytes.find("\r\n", at), bytes.size());
                lines.emplace_back(bytes.substr(at, end - at));
                at = end + 2;
            }
            if (lines.size() > 2 * kLogStoreLines)
                lines.erase(lines.begin(), lines.end() - static_cast<ptrdiff_t>(kLogStoreLines));
            follow = {m_generation, log.generation(), bytes.size(), lines.size(), now, true};
        }
    }
    if (m_session) s.lastPacket = m_session->lastPacket();
    m_app.refreshWindow();
}

void SessionController::clearTerminal() {
    if (m_session) m_session->clearTerminal();
    m_idleTerminal.clear();
    m_app.refreshWindow();
}

void SessionController::log(const std::string& text) {
    m_app.logMessage(text);
}

std::string SessionController::sendMethodCaption() const {
    switch (m_app.state().settings.sendMethod) {
        case 0:
            return text::sj("共通");
        case 1:
            return text::sj("個別");
        default:
            return {};
    }
}

// ---------------------------------------------------------------------------------------------
// Single runs

void SessionController::singleCheck() {
    startSingle(SessionMode::SingleCheck);
}
void SessionController::singleSend() {
    startSingle(SessionMode::SingleSend);
}

void SessionController::startSingle(SessionMode mode) {
    WindowState& s = m_app.state();
    m_okCount = 0;
    m_ngCount = 0;
    int row = s.selectedRow;
    if (row < 0) return;
    int record = m_app.recordIndexOfRow(row);
    std::string line = recordLine(s, record);
    std::string question =
        "No." + devlist::ZeroPad(record + 1, 3) + " " + devlist::FieldGet(devlist::kListName, line);
    if (mode == SessionMode::SingleCheck) {
        question += text::sj(" 確認のみ接続しますか？");
    } else {
        question += " " + sendMethodCaption() + text::sj("設定ファイルを送信しますか？");
    }
    m_app.refreshWindow();
    if (!m_dialogs.confirm(question)) return;
    // The question kept the loop running: the row may be gone.
    row = s.selectedRow;
    if (row < 0) return;
    m_mode = mode;
    // A bulk run whose controls "戻る" unlocked ends here, and its progress line and report
    // with it.
    finishReport();
    m_runRecords.clear();
    m_runNext = 0;
    s.statusText.clear();
    s.listEditShown = false;
    s.editShown = true;
    m_sessionRow = row;
    m_app.editData(row);
    dataSend(row);
}

// ---------------------------------------------------------------------------------------------
// Bulk runs

void SessionController::bulkCheck() {
    startBulk(SessionMode::BulkCheck);
}
void SessionController::bulkSend() {
    startBulk(SessionMode::BulkSend);
}

void SessionController::startBulk(SessionMode mode) {
    WindowState& s = m_app.state();
    m_okCount = 0;
    m_ngCount = 0;
    std::vector<int> records;
    for (size_t row = 0; row < s.listView.size(); ++row) {
        m_app.checkStatusSave(static_cast<int>(row));
        if (s.listView[row].checked)
            records.push_back(m_app.recordIndexOfRow(static_cast<int>(row)));
    }
    if (records.empty()) return;
    std::string k = std::to_string(records.size());
    std::string question =
        mode == SessionMode::BulkCheck
            ? text::sj("チェックされている ") + k + text::sj("台に設定確認を行いますか？")
            : text::sj("チェックされている ") + k + text::sj("台に") + sendMethodCaption() +
                  text::sj("設定ファイルを送信しますか？");
    m_app.refreshWindow();
    if (!m_dialogs.confirm(question)) return;
    if (mode == SessionMode::BulkCheck) m_app.btnMask(kBusyMask);
    // A session left running by "戻る" no longer hands its result on.
    ++m_generation;
    m_sequencerTimer->stop();
    finishReport();
    m_report.begin(s.workFolderPath, m_clock.now());
    if (mode == SessionMode::BulkSend) {
        for (size_t row = 0; row < s.listView.size(); ++row)
            m_app.checkStatusSave(static_cast<int>(row));
    }
    m_mode = mode;
    m_sessionRow = 0;
    m_runRecords = std::move(records);
    m_runNext = 0;
    while (m_runNext < m_runRecords.size()) {
        int record = m_runRecords[m_runNext++];
        if (m_app.rowOfRecord(record) >= 0 && serve(record)) return;
    }
    finishRun(true);
}

bool SessionController::serve(int record) {
    int row = m_app.rowOfRecord(record);
    m_sessionRow = row;
    m_app.selectRow(row);
    m_app.checkStatusSave(row);
    m_app.editData(row);
    return dataSend(row);
}

void SessionController::stop() {
    m_mode = SessionMode::Stopped;
    m_app.refreshWindow();
}

// ---------------------------------------------------------------------------------------------
// Session start

bool SessionController::dataSend(int row) {
    WindowState& s = m_app.state();
    const bool checkMode = isCheckMode(m_mode);
    fleet::SendFileLoad send = fleet::LoadSendFile(
        fleet::SendFilePath(s.settings.sendMethod, s.settings.commonSendFile, s.edit.rec.sendFile),
        checkMode);
    if (!send.missing.empty()) {
        notServed(row, send.missing);
        return false;
    }
    session::SendLines& lines = send.lines;

    // Replacing the session closes the previous device's connection.
    m_session.reset();
    m_dialogueMode = m_mode;
    ++m_generation;
    uint64_t generation = m_generation;

    int record = m_app.recordIndexOfRow(row);
    m_servedRecord = record;
    // The result goes to this record, wherever the operator moves it meanwhile.
    m_target = fleet::IdentityOf(std::make_shared<const devlist::LineStore>(s.listStore), record);
    std::string line = recordLine(s, record);
    std::string host = devlist::FieldGet(devlist::kIpAddress, line);
    long long port = session::TelnetPortOf(devlist::FieldGet(devlist::kTelnetPort, line));
    m_loaded = s.edit.rec;
    m_port = port;
    m_startTime = m_clock.now();
    m_startFileTime = std::filesystem::file_time_type::clock::now();
    m_startTick = m_loop.tickCount();
    m_endTick = m_startTick;

    const SettingsBoxes& o = s.settings;
    session::SessionContext context{
        m_loop,
        m_clock,
        m_dialogs,
        s.edit,
        {o.setTime, o.registerIp, o.disableDhcp, o.registerName, o.write, o.cpuReset},
        m_dialogueMode,
        s.workFolderPath,
        [this](const std::string& text) { log(text); },
        [this, generation] {
            // Only the session being served hands its result on.
            if (generation != m_generation) return;
            m_endTick = m_loop.tickCount();
            m_sequencerTimer->start(kSequencerMs);
        },
        [this, generation] {
            if (generation == m_generation) sessionChanged();
        }};
    m_session =
        std::make_unique<session::DeviceSession>(std::move(context), m_network.createTcpSocket());
    if (isBulk(m_mode)) showProgress();
    m_session->start(host, port, m_sessionRow + 1, std::move(lines.lines), lines.resetPending);
    m_app.refreshWindow();
    return true;
}

// A send without its settings file would connect, stream nothing and end as a success: the
// device is not connected at all. A single run says so in its error box; a bulk run notes it
// in the log and its report, counts it as a failure and goes on with the next device.
void SessionController::notServed(int row, const std::string& reason) {
    WindowState& s = m_app.state();
    if (isBulk(m_mode)) {
        ++m_ngCount;
        log(reason);
        const int record = m_app.recordIndexOfRow(row);
        if (m_report.active())
            m_report.addNotServed(
                fleet::NotServedRow(record + 1, recordLine(s, record), m_clock.now(), reason));
        return;
    }
    m_dialogs.error(reason);
    s.editShown = false;
    m_app.btnMask(kIdleMask);
    m_app.selectRow(-1);
    m_app.refreshWindow();
}

void SessionController::showProgress() {
    WindowState& s = m_app.state();
    const std::string line = recordLine(s, m_servedRecord);
    s.statusText = text::sj(" 一斉接続 ") + std::to_string(m_runNext) + "/" +
                   std::to_string(m_runRecords.size()) + text::sj("台目 No.") +
                   devlist::ZeroPad(m_servedRecord + 1, 3) + " " +
                   devlist::FieldGet(devlist::kListName, line) + text::sj(" (成功:") +
                   std::to_string(m_okCount) + text::sj(" 失敗:") + std::to_string(m_ngCount) + ")";
}

// ---------------------------------------------------------------------------------------------
// The sequencer: 500 ms after every end of a session

void SessionController::sequencer() {
    WindowState& s = m_app.state();
    m_sequencerTimer->stop();
    uint32_t pause = kPauseAfterFailureMs;
    if (m_servedRecord < 0 || !m_session) return;

    // The result is taken from the session's own copy of the record's boxes: by now the editor
    // may hold another record, which "戻る" lets the operator open during the session.
    const devlist::EditPanel& served = m_session->served();
    const auto& read = served.rec;
    platform::LocalTime now = m_clock.now();
    fleet::Outcome outcome;
    outcome.result = m_session->result();
    outcome.failureText = m_session->failureText();
    outcome.resetPending = m_session->resetPending();
    if (read.modelVersion != m_loaded.modelVersion) outcome.modelVersion = read.modelVersion;
    if (read.macAddress != m_loaded.macAddress) outcome.macAddress = read.macAddress;
    if (read.deviceName != m_loaded.deviceName) outcome.deviceName = read.deviceName;
    outcome.lastSend = platform::dateText(now) + " " + platform::timeText(now);
    const std::optional<std::string> resultMessage = fleet::ResultMessage(outcome);
    const std::string message = resultMessage.value_or(read.message);
    if (resultMessage) {
        if (m_session->result() == session::kResultOk) {
            ++m_okCount;
            m_session->clearResetPending();
            pause = endWaitMs(s.settings.endWait);
        } else {
            ++m_ngCount;
        }
    }
    // The editor shows the result while it still holds the served record.
    if (s.edit.numberLabel == served.numberLabel) {
        s.edit.rec.lastSend = outcome.lastSend;
        s.edit.rec.message = message;
    }
    // Only the result fields of the record change: a save name of the record's own is kept, as
    // the record editor keeps it, and whatever a runner wrote into the file meanwhile stays.
    const int record = m_servedRecord;
    if (m_app.listFiles().writeResult(m_target, outcome) == ListFiles::ResultWrite::Gone) {
        log(text::sj("No.") + devlist::ZeroPad(record + 1, 3) +
            text::sj(" の記録先が変更されたため、結果を記録しませんでした。"));
    }
    reportServed(resultMessage.value_or(""));

    int selected = s.selectedRow;
    m_app.setListData("", ListSource::ListStore);
    m_app.selectRow(selected);

    if (isSingle(m_mode)) {
        std::string result = "No." + devlist::ZeroPad(record + 1, 3) + text::sj(" 結果:") + message;
        log(result);
        m_dialogs.information(result);
        s.editShown = false;
        m_app.btnMask(kIdleMask);
        m_app.selectRow(-1);
        m_app.refreshWindow();
        return;
    }
    if (isBulk(m_mode)) {
        s.editShown = false;
        showProgress();
        uint64_t generation = m_generation;
        m_app.delay(pause);
        if (generation != m_generation) return;  // another start took over meanwhile
        // "停止" during the pause ends the run here, as it does during a session.
        if (m_mode == SessionMode::Stopped) {
            finishRun(false);
            return;
        }
        while (m_runNext < m_runRecords.size()) {
            int next = m_runRecords[m_runNext++];
            if (m_app.rowOfRecord(next) >= 0 && serve(next)) return;
        }
        finishRun(true);
        return;
    }
    finishRun(false);
}

// A bulk run's served device goes into the run's report with the transcript of its session.
void SessionController::reportServed(const std::string& message) {
    if (!m_report.active() || !m_session) return;
    const std::string line = m_target.bytes;
    fleet::ReportRow row;
    row.number = m_servedRecord + 1;
    row.name = devlist::FieldGet(devlist::kListName, line);
    row.address = devlist::FieldGet(devlist::kIpAddress, line);
    row.port = m_port;
    row.start = m_startTime;
    row.end = m_clock.now();
    row.durationMs = m_endTick - m_startTick;
    row.message = message;
    const devlist::EditPanel& served = m_session->served();
    row.files = m_session->savedFiles();
    row.changed = fleet::SessionChanges(*m_session, m_app.state().workFolderPath, served.saveName,
                                        m_startFileTime);
    m_report.add(std::move(row), m_session->terminal().bytes());
}

void SessionController::finishReport() {
    if (m_report.active()) log(m_report.finish());
}

void SessionController::finishRun(bool summary) {
    WindowState& s = m_app.state();
    finishReport();
    m_runRecords.clear();
    m_runNext = 0;
    s.statusText.clear();
    m_app.btnMask(kIdleMask);
    m_app.selectRow(-1);
    s.editShown = false;
    if (summary) {
        std::string text = text::sj("一斉接続 ") + std::to_string(m_okCount + m_ngCount) +
                           text::sj("台 実行しました(成功:") + std::to_string(m_okCount) +
                           text::sj(" 失敗:") + std::to_string(m_ngCount) + ")";
        log(text);
        m_dialogs.information(text);
    }
    m_app.refreshWindow();
}

}  // namespace shell

#include "shell/session_controller.h"

#include "devlist/device_record.h"
#include "devlist/fields.h"
#include "fleet/fleet_run.h"
#include "fleet/result_rule.h"
#include "text/cp932.h"

namespace shell {
namespace {

using session::SessionMode;

bool isBulk(SessionMode m) {
    return m == SessionMode::BulkCheck || m == SessionMode::BulkSend;
}
bool isSingle(SessionMode m) {
    return m == SessionMode::SingleCheck || m == SessionMode::SingleSend;
}

// Line `record` of the committed list, or nothing: a row's index may come from the working
// copy, which can be longer.
std::string recordLine(const WindowState& s, int record) {
    if (record < 0 || static_cast<size_t>(record) >= s.listStore.size()) return {};
    return s.listStore[static_cast<size_t>(record)];
}

}  // namespace

SessionController::SessionController(WindowState& state, ListFiles& listFiles,
                                     ListEditor& listEditor, platform::EventLoop& loop,
                                     platform::Dialogs& dialogs, platform::Clock& clock,
                                     platform::Network& network, Hooks hooks)
    : m_state(state),
      m_listFiles(listFiles),
      m_listEditor(listEditor),
      m_loop(loop),
      m_dialogs(dialogs),
      m_clock(clock),
      m_network(network),
      m_hooks(std::move(hooks)) {}

SessionController::~SessionController() {
    m_run.reset();
    commitHistory();
}

uint64_t SessionController::terminalId() const {
    return (m_runs << 32) + (m_run ? m_run->sessionId() : 0);
}

const session::BoundedText& SessionController::terminal() const {
    const session::DeviceSession* served = current();
    return served ? served->terminal() : m_idleTerminal;
}

void SessionController::sessionChanged() {
    // The device-log store of the enlarged layout keeps the newest part of the log only (the
    // whole log stays in the session and its file), and while a dump streams in it follows at
    // most every kFollowGapMs: splitting every chunk of a dump into lines would cost the dump
    // again.
    constexpr size_t kLogStoreBytes = size_t{1} << 20;
    constexpr size_t kLogStoreLines = 20000;
    constexpr uint32_t kFollowGapMs = 100;
    WindowState& s = m_state;
    const session::DeviceSession* served = current();
    if (served && s.enlargedLayout) {
        const session::BoundedText& log = served->deviceLog();
        WindowState::LogFollow& follow = s.deviceLogFollow;
        const uint64_t id = terminalId();
        const bool sameSession = follow.valid && follow.session == id;
        // The settings lines do not change during a session.
        if (!sameSession || s.sendStore.size() != served->sendStore().size())
            s.sendStore = served->sendStore();
        const session::SessionStep step = served->step();
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
            follow = {id, log.generation(), bytes.size(), lines.size(), now, true};
        }
    }
    if (served) s.lastPacket = served->lastPacket();
    m_hooks.showState();
}

void SessionController::clearTerminal() {
    if (m_run && m_run->session()) m_run->session()->clearTerminal();
    m_idleTerminal.clear();
    m_hooks.showState();
}

void SessionController::log(const std::string& text) {
    m_hooks.logMessage(text);
}

std::string SessionController::sendMethodCaption() const {
    switch (m_state.settings.sendMethod) {
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
    WindowState& s = m_state;
    m_okCount = 0;
    m_ngCount = 0;
    m_failures.clear();
    int row = s.selectedRow;
    if (row < 0) return;
    int record = m_hooks.recordIndexOfRow(row);
    std::string line = recordLine(s, record);
    std::string question =
        "No." + devlist::ZeroPad(record + 1, 3) + " " + devlist::FieldGet(devlist::kListName, line);
    if (mode == SessionMode::SingleCheck) {
        question += text::sj(" 確認のみ接続しますか？");
    } else {
        question += " " + sendMethodCaption() + text::sj("設定ファイルを送信しますか？");
    }
    m_hooks.showState();
    if (!m_dialogs.confirm(question)) return;
    // The question kept the loop running: the row may be gone.
    row = s.selectedRow;
    if (row < 0) return;
    m_mode = mode;
    // A bulk run whose controls "戻る" unlocked ends here, and its progress line and report
    // with it.
    dropRun();
    finishReport();
    s.statusText.clear();
    s.listEditShown = false;
    s.editShown = true;
    m_sessionRow = row;
    begin({m_hooks.recordIndexOfRow(row)});
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
    WindowState& s = m_state;
    m_okCount = 0;
    m_ngCount = 0;
    m_failures.clear();
    std::vector<int> records;
    for (size_t row = 0; row < s.listView.size(); ++row) {
        m_listEditor.checkStatusSave(static_cast<int>(row));
        if (s.listView[row].checked)
            records.push_back(m_hooks.recordIndexOfRow(static_cast<int>(row)));
    }
    if (records.empty()) return;
    std::string k = std::to_string(records.size());
    std::string question =
        mode == SessionMode::BulkCheck
            ? text::sj("チェックされている ") + k + text::sj("台に設定確認を行いますか？")
            : text::sj("チェックされている ") + k + text::sj("台に") + sendMethodCaption() +
                  text::sj("設定ファイルを送信しますか？");
    m_hooks.showState();
    if (!m_dialogs.confirm(question)) return;
    if (mode == SessionMode::BulkCheck) m_hooks.btnMask(kBusyMask);
    // A session left running by "戻る" no longer hands its result on.
    dropRun();
    finishReport();
    m_report.begin(s.workFolderPath, m_clock.now());
    if (mode == SessionMode::BulkSend) {
        for (size_t row = 0; row < s.listView.size(); ++row)
            m_listEditor.checkStatusSave(static_cast<int>(row));
    }
    m_mode = mode;
    m_sessionRow = 0;
    begin(records);
}

void SessionController::dropRun() {
    if (m_run) m_run->finishWrites();
    m_run.reset();
    m_served.clear();
}

void SessionController::stop() {
    m_mode = SessionMode::Stopped;
    m_hooks.showState();
}

// ---------------------------------------------------------------------------------------------
// The run

void SessionController::begin(const std::vector<int>& records) {
    WindowState& s = m_state;
    const auto list = std::make_shared<const devlist::LineStore>(s.listStore);
    std::vector<fleet::FleetDevice> devices;
    for (int record : records) {
        // The result goes to this record, wherever the operator moves it meanwhile.
        fleet::RecordIdentity identity = fleet::IdentityOf(list, record);
        devices.push_back({record + 1, recordLine(s, record), std::move(identity)});
    }
    const SettingsBoxes& o = s.settings;
    fleet::FleetOptions options;
    options.mode = m_mode;
    options.workFolder = s.workFolderPath;
    options.panel = &s.edit;
    options.pauseAfterLast = isBulk(m_mode);
    options.pauseAfterRecord = true;
    options.keepTexts = true;
    // The run this one replaces keeps what it recorded.
    commitHistory();
    std::erase_if(m_committing, [](const auto& r) { return r->idle(); });
    if (o.history) {
        m_recorder = std::make_unique<history::RunRecorder>(history::HistoryPath(s.workFolderPath));
        options.recorder = m_recorder.get();
        m_historyVerb = session::IsCheckMode(m_mode) ? "check" : "send";
    }
    m_runNext = 0;
    m_runTotal = devices.size();
    ++m_runs;
    fleet::FleetRun::Hooks hooks;
    hooks.deviceDone = [this](const fleet::DeviceResult& r) { deviceDone(r); };
    hooks.recorded = [this](const fleet::FleetDevice& d, const fleet::ListWriter::Result& w) {
        recorded(d, w);
    };
    hooks.finished = [this] {
        commitHistory();
        finished();
    };
    hooks.serving = [this](const fleet::FleetDevice& d) { return serving(d); };
    hooks.log = [this](const std::string& line) { log(line); };
    hooks.changed = [this] { sessionChanged(); };
    hooks.settings = [&o]() -> const fleet::RunSettings& { return o; };
    if (!m_writer || m_writer->path() != s.listFilePath)
        m_writer = std::make_unique<fleet::ListWriter>(s.listFilePath, fleet::Numbering::ByPlace);
    m_listFiles.warnOfSecondName(s.listFilePath);
    m_run =
        std::make_unique<fleet::FleetRun>(m_loop, m_clock, m_network, m_dialogs, m_writer.get(),
                                          std::move(options), std::move(devices), std::move(hooks));
    m_run->start();
}

// A bulk run's device: its row selected and loaded; a single run's row is loaded.
std::optional<int> SessionController::serving(const fleet::FleetDevice& device) {
    const int record = device.number - 1;
    if (isBulk(m_mode)) {
        ++m_runNext;
        const int row = m_hooks.rowOfRecord(record);
        if (row < 0) return std::nullopt;
        m_sessionRow = row;
        m_hooks.selectRow(row);
        m_listEditor.checkStatusSave(row);
    } else if (m_mode == SessionMode::Stopped) {
        // "停止" during the pause ends the run here, as it does during a session.
        m_run->stop();
        return std::nullopt;
    }
    m_listEditor.editData(m_sessionRow);
    m_servedRecord = record;
    if (isBulk(m_mode)) showProgress();
    m_hooks.showState();
    return m_sessionRow + 1;
}

void SessionController::deviceDone(const fleet::DeviceResult& r) {
    if (!r.served) {
        notServed(r);
        return;
    }
    WindowState& s = m_state;
    const devlist::EditPanel& served = r.session->served();
    const std::optional<std::string> resultMessage = fleet::ResultMessage(*r.outcome);
    const std::string message = resultMessage.value_or(served.rec.message);
    if (resultMessage) {
        if (r.success) {
            ++m_okCount;
        } else {
            ++m_ngCount;
            m_failures.push_back(
                {r.device.number, devlist::FieldGet(devlist::kListName, r.device.record), message});
        }
    }
    // The editor shows the result while it still holds the served record.
    if (s.edit.numberLabel == served.numberLabel) {
        s.edit.rec.lastSend = r.outcome->lastSend;
        s.edit.rec.message = message;
    }
    // Only the result fields of the record change: a save name of the record's own is kept, as
    // the record editor keeps it, and whatever a runner wrote into the file meanwhile stays. The
    // run's list writer writes it; the rest follows once it is in the list (recorded).
    m_served.push_back({*r.outcome, r.row, std::move(r.transcript), message});
    if (isSingle(m_mode)) return;
    if (isBulk(m_mode)) {
        s.editShown = false;
        showProgress();
        m_hooks.showState();
        return;
    }
    m_run->stop();  // "停止": the run ends after this device, without a pause
}

void SessionController::recorded(const fleet::FleetDevice& device,
                                 const fleet::ListWriter::Result& write) {
    if (m_served.empty()) return;
    WindowState& s = m_state;
    Served done = std::move(m_served.front());
    m_served.pop_front();
    const int record = device.number - 1;
    const bool recorded = m_listFiles.resultRecorded(device.identity, done.outcome, write) !=
                          ListFiles::ResultWrite::Gone;
    if (!recorded) {
        log(text::sj("No.") + devlist::ZeroPad(record + 1, 3) +
            text::sj(" の記録先が変更されたため、結果を記録しませんでした。"));
    }
    // A bulk run's served device goes into the run's report with the transcript of its session.
    if (m_report.active()) {
        done.row.recorded = recorded;
        m_report.add(std::move(done.row), std::move(done.transcript));
    }

    int selected = s.selectedRow;
    m_hooks.setListData("", ListSource::ListStore);
    m_hooks.selectRow(selected);

    if (isSingle(m_mode)) {
        std::string result =
            "No." + devlist::ZeroPad(record + 1, 3) + text::sj(" 結果:") + done.message;
        log(result);
        m_dialogs.information(result);
        s.editShown = false;
        m_hooks.btnMask(kIdleMask);
        m_hooks.selectRow(-1);
        m_hooks.showState();
        return;
    }
    if (isBulk(m_mode)) {
        // The list view was built again, and its progress line with it.
        showProgress();
        m_hooks.showState();
    }
}

// A send without its settings file would connect, stream nothing and end as a success: the
// device is not connected at all. A single run says so in its error box; a bulk run notes it
// in the log and its report, counts it as a failure and goes on with the next device.
void SessionController::notServed(const fleet::DeviceResult& r) {
    WindowState& s = m_state;
    const std::string& reason = r.row.message;
    if (isBulk(m_mode)) {
        ++m_ngCount;
        m_failures.push_back(
            {r.device.number, devlist::FieldGet(devlist::kListName, r.device.record), reason});
        log(reason);
        if (m_report.active()) {
            fleet::ReportRow row = r.row;
            row.recorded = false;  // its list line is left as it was
            m_report.addNotServed(std::move(row));
        }
        return;
    }
    m_dialogs.error(reason);
    s.editShown = false;
    m_hooks.btnMask(kIdleMask);
    m_hooks.selectRow(-1);
    m_hooks.showState();
}

void SessionController::finished() {
    if (isBulk(m_mode)) {
        finishRun(true);
    } else if (m_mode == SessionMode::Stopped) {
        finishRun(false);
    }
}

void SessionController::commitHistory() {
    if (!m_recorder) return;
    m_recorder->commit({m_historyVerb, "window", m_runTotal, static_cast<size_t>(m_okCount),
                        static_cast<size_t>(m_ngCount)});
    m_committing.push_back(std::move(m_recorder));
}

void SessionController::showProgress() {
    WindowState& s = m_state;
    const std::string line = recordLine(s, m_servedRecord);
    s.statusText = text::sj(" 一斉接続 ") + std::to_string(m_runNext) + "/" +
                   std::to_string(m_runTotal) + text::sj("台目 No.") +
                   devlist::ZeroPad(m_servedRecord + 1, 3) + " " + devlist::FieldGet(2, line) +
                   text::sj(" (成功:") + std::to_string(m_okCount) + text::sj(" 失敗:") +
                   std::to_string(m_ngCount) + ")";
}

void SessionController::finishReport() {
    if (m_report.active()) log(m_report.finish());
}

void SessionController::finishRun(bool summary) {
    WindowState& s = m_state;
    finishReport();
    m_runNext = 0;
    m_runTotal = 0;
    s.statusText.clear();
    m_hooks.btnMask(kIdleMask);
    m_hooks.selectRow(-1);
    s.editShown = false;
    if (summary) {
        const std::vector<std::string> lines = BulkSummaryLines(m_okCount, m_ngCount, m_failures);
        std::string logged = lines.front();
        std::string shown = lines.front();
        for (size_t i = 1; i < lines.size(); ++i) {
            logged += "\r\n" + lines[i];  // one log line each
            shown += "\n" + lines[i];
        }
        log(logged);
        m_dialogs.information(shown);
    }
    m_hooks.showState();
}

}  // namespace shell

#include "runner/search_command.h"

#include <set>

#include "devlist/fields.h"
#include "devlist/list_file.h"
#include "discovery/search_request.h"
#include "fleet/lan_search_rule.h"
#include "fleet/lan_search_run.h"
#include "fleet/list_writer.h"
#include "platform/files.h"
#include "runner/messages.h"
#include "runner/run_texts.h"

namespace runner {

int SearchCommand::body() {
    if (int refused = loadList(); refused != kExitOk) return refused;
    if (std::string names = SecondNameProblem(m_files); m_options.apply && !names.empty()) {
        complain(names);
        return kExitFiles;
    }
    const std::optional<std::string> own = ownAddress();
    if (!own) return kExitFiles;
    devlist::LineStore replies, records;
    if (!search(*own, replies, records)) return kExitFiles;

    const devlist::LineStore before = m_list ? m_list->records : devlist::LineStore();
    const discovery::MergeResult merged = discovery::MacCheckIns(records, before);
    if (merged.nothingFound) {
        say(Tr("No device was found."));
        return kExitOk;
    }
    printFound(records);
    printMerge(before, merged);
    std::fflush(terminal().out());
    if (!m_options.apply) {
        say(Tr("the list is unchanged: --apply stores it"));
        return kExitOk;
    }
    return store(records);
}

int SearchCommand::loadList() {
    m_list = fleet::LoadList(m_files.listFile);
    if (!m_list && platform::fileExists(m_files.listFile)) {
        SayListUnreadable(terminal(), m_files.listFile);
        return kExitFiles;
    }
    if (m_list && !m_list->unnumbered.empty()) {
        devlist::ListBuild unnumbered;
        unnumbered.unnumbered = m_list->unnumbered;
        SayLoadNotes(terminal(), m_files.listFile, unnumbered);
    }
    return kExitOk;
}

std::optional<std::string> SearchCommand::ownAddress() {
    platform::HostAddress& host = m_context.host;
    const fleet::OwnAddress chosen =
        fleet::ChooseOwnAddress(m_options.ownAddress, m_files.settings.ownAddress,
                                [&host] { return host.firstIpv4(host.hostName()); });
    if (chosen.settingsIgnored) say(Tr("the settings key \"ownip\" holds no address: ignored"));
    const std::string& own = chosen.address;
    switch (chosen.from) {
        case fleet::OwnAddressFrom::CommandLine:
            say(Fill(Tr("own address %1 (--own-address)"), {own}));
            break;
        case fleet::OwnAddressFrom::Settings:
            say(Fill(Tr("own address %1 (settings key \"ownip\")"), {own}));
            break;
        case fleet::OwnAddressFrom::Host:
            say(Fill(Tr("own address %1 (the host's)"), {own}));
            break;
        case fleet::OwnAddressFrom::Nowhere:
            say(Tr("The PC's IP address cannot be found, so the LAN search cannot run."));
            return std::nullopt;
    }
    return own;
}

bool SearchCommand::search(const std::string& own, devlist::LineStore& replies,
                           devlist::LineStore& records) {
    std::set<std::string> strangers;
    fleet::LanSearchRun::Hooks hooks;
    hooks.ownAddress = [&own] { return std::optional<std::string>(own); };
    const Terminal& t = terminal();
    hooks.portRefused = [&t] {
        t.complain(Fill(Tr("cannot open UDP port %1"), {std::to_string(discovery::kReplyPort)}));
    };
    // A device answers every request; it is printed once, from the collection.
    hooks.received = [&t, &strangers](const platform::Datagram& d, bool accepted) {
        if (accepted) return;
        const std::string from = d.fromAddress + ":" + std::to_string(d.fromPort);
        if (strangers.insert(from).second)
            t.say(Fill(Tr("ignored what %1 sent: it is not a search reply"), {from}));
    };
    bool complete = false, ended = false;
    hooks.done = [this, &complete, &ended](bool ok) {
        complete = ok;
        ended = true;
        m_context.serving.wake();
    };
    fleet::LanSearchRun search(m_context.loop, m_context.udp, fleet::LanSearchRun::Port::BindOnce,
                               replies, records, std::move(hooks));
    search.start();
    m_context.serving.serve([&] { return ended || !search.running(); }, {});
    search.close();
    return complete;
}

// Each device found, once, by what identifies it; never the login the search gives a new record.
void SearchCommand::printFound(const devlist::LineStore& records) const {
    using devlist::FieldGet;
    for (const std::string& r : records.lines()) {
        std::fprintf(terminal().out(), "found %s %s %s %s\n",
                     Shown(FieldGet(devlist::kIpAddress, r)).c_str(),
                     Shown(FieldGet(devlist::kMacAddress, r)).c_str(),
                     Shown(FieldGet(devlist::kModelVersion, r)).c_str(),
                     Shown(FieldGet(devlist::kDeviceName, r)).c_str());
    }
}

// What the merge does to the list: said as done with --apply, else as what it would do.
void SearchCommand::printMerge(const devlist::LineStore& before,
                               const discovery::MergeResult& merged) const {
    using devlist::FieldGet;
    const bool apply = m_options.apply;
    std::FILE* out = terminal().out();
    const devlist::LineStore& after = merged.viewStore;
    for (size_t i = 0; i < before.size() && i < after.size(); ++i) {
        const std::string was = FieldGet(devlist::kIpAddress, before[i]);
        const std::string now = FieldGet(devlist::kIpAddress, after[i]);
        if (was == now) continue;
        std::fprintf(out, "No.%s %s: address %s -> %s\n", devlist::ZeroPad(long(i) + 1, 3).c_str(),
                     apply ? "changes" : "would change", Shown(was).c_str(), Shown(now).c_str());
    }
    for (size_t i = before.size(); i < after.size(); ++i) {
        std::fprintf(out, "No.%s %s: %s %s %s\n", devlist::ZeroPad(long(i) + 1, 3).c_str(),
                     apply ? "is added" : "would be added",
                     Shown(FieldGet(devlist::kIpAddress, after[i])).c_str(),
                     Shown(FieldGet(devlist::kMacAddress, after[i])).c_str(),
                     Shown(FieldGet(devlist::kModelVersion, after[i])).c_str());
    }
    if (merged.leftOut > 0) {
        std::fprintf(out, "%zu device(s) %s: the list holds %d records at most\n", merged.leftOut,
                     apply ? "are left out" : "would be left out", devlist::kMaxRecords);
    }
}

int SearchCommand::store(const devlist::LineStore& records) {
    // What the stored list leaves out of the file (comments, text past a record's length, lines
    // past the last record) stays in a copy beside it, as the window keeps it; an edit made
    // meanwhile stays.
    const std::string& listFile = m_files.listFile;
    size_t lost = 0, stored = 0;
    const fleet::ListRewrite w =
        fleet::RewriteList(listFile, fleet::LockRule::Required, [&](const fleet::ListNow& now) {
            std::optional<fleet::LoadedList> list;
            if (now.bytes) list = fleet::ParseList(*now.bytes, listFile);
            if (now.bytes && !list) return fleet::ListChange{};  // no list any more
            const discovery::MergeResult merged =
                discovery::MacCheckIns(records, list ? list->records : devlist::LineStore());
            stored = merged.viewStore.size();
            fleet::ListChange change{merged.viewStore.toBytes(), {}};
            if (list && list->lostLines > 0) {
                lost = list->lostLines;
                change.keepAside.push_back(std::move(list->bytes));
            }
            return change;
        });
    return sayStored(w, lost, stored);
}

int SearchCommand::sayStored(const fleet::ListRewrite& w, size_t lost, size_t stored) const {
    const std::string& listFile = m_files.listFile;
    if (!w.keptNames.empty())
        say(Fill(Tr("kept the list as it was in %1: %2 line(s) of it are not in the stored list"),
                 {Shown(w.keptNames.front()), std::to_string(lost)}));
    switch (w.status) {
        case fleet::ListRewrite::Status::Written:
            break;
        case fleet::ListRewrite::Status::NoLock:
            complain(Fill(Tr("cannot lock the device list %1"), {Shown(listFile)}));
            return kExitFiles;
        case fleet::ListRewrite::Status::NotWritten:
        case fleet::ListRewrite::Status::Unreadable:
            SayListUnreadable(terminal(), listFile);
            return kExitFiles;
        case fleet::ListRewrite::Status::BackupFailed:
        case fleet::ListRewrite::Status::WriteFailed:
            say(Fill(Tr("cannot write %1"), {Shown(w.failed)}));
            return kExitFiles;
    }
    say(Fill(Tr("stored %1 records in %2"), {std::to_string(stored), Shown(listFile)}));
    return kExitOk;
}

}  // namespace runner

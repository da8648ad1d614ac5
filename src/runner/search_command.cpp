#include "runner/search_command.h"

#include <QCoreApplication>
#include <cstdio>
#include <optional>
#include <set>

#include "devlist/fields.h"
#include "devlist/list_file.h"
#include "discovery/registration.h"
#include "discovery/search_request.h"
#include "fleet/lan_search_rule.h"
#include "fleet/lan_search_run.h"
#include "fleet/list_writer.h"
#include "platform/event_loop.h"
#include "platform/files.h"
#include "platform/qt/qt_event_loop.h"
#include "platform/qt/qt_host_address.h"
#include "platform/qt/qt_udp_socket.h"
#include "runner/messages.h"
#include "runner/run_files.h"
#include "runner/run_texts.h"
#include "text/cp932.h"

namespace runner {
namespace {

// Each device found, once, by what identifies it; never the login the search gives a new record.
void printFound(const devlist::LineStore& records) {
    using devlist::FieldGet;
    for (const std::string& r : records.lines()) {
        std::printf("found %s %s %s %s\n", Shown(FieldGet(devlist::kIpAddress, r)).c_str(),
                    Shown(FieldGet(devlist::kMacAddress, r)).c_str(),
                    Shown(FieldGet(devlist::kModelVersion, r)).c_str(),
                    Shown(FieldGet(devlist::kDeviceName, r)).c_str());
    }
}

// What the merge does to the list: said as done with --apply, else as what it would do.
void printMerge(const devlist::LineStore& before, const discovery::MergeResult& merged,
                bool apply) {
    using devlist::FieldGet;
    const devlist::LineStore& after = merged.viewStore;
    for (size_t i = 0; i < before.size() && i < after.size(); ++i) {
        const std::string was = FieldGet(devlist::kIpAddress, before[i]);
        const std::string now = FieldGet(devlist::kIpAddress, after[i]);
        if (was == now) continue;
        std::printf("No.%s %s: address %s -> %s\n", devlist::ZeroPad(long(i) + 1, 3).c_str(),
                    apply ? "changes" : "would change", Shown(was).c_str(), Shown(now).c_str());
    }
    for (size_t i = before.size(); i < after.size(); ++i) {
        std::printf("No.%s %s: %s %s %s\n", devlist::ZeroPad(long(i) + 1, 3).c_str(),
                    apply ? "is added" : "would be added",
                    Shown(FieldGet(devlist::kIpAddress, after[i])).c_str(),
                    Shown(FieldGet(devlist::kMacAddress, after[i])).c_str(),
                    Shown(FieldGet(devlist::kModelVersion, after[i])).c_str());
    }
    if (merged.leftOut > 0) {
        std::printf("%zu device(s) %s: the list holds %d records at most\n", merged.leftOut,
                    apply ? "are left out" : "would be left out", devlist::kMaxRecords);
    }
}

}  // namespace

int SearchCommand::run() {
    const CliOptions& o = m_options;
    RunFiles files = LocateRunFiles(o);
    if (!files.error.empty()) {
        Complain(files.error);
        return kExitFiles;
    }
    auto list = fleet::LoadList(files.listFile);
    // A missing list is an empty one for the search, as the window starts with one.
    if (!list && platform::fileExists(files.listFile)) {
        SayListUnreadable(files.listFile);
        return kExitFiles;
    }
    if (list && !list->unnumbered.empty()) {
        devlist::ListBuild unnumbered;
        unnumbered.unnumbered = list->unnumbered;
        SayLoadNotes(files.listFile, unnumbered);
    }
    if (std::string names = SecondNameProblem(files); o.apply && !names.empty()) {
        Complain(names);
        return kExitFiles;
    }

    platform::qt::QtHostAddress host;
    const fleet::OwnAddress chosen =
        fleet::ChooseOwnAddress(o.ownAddress, files.settings.ownAddress,
                                [&host] { return host.firstIpv4(host.hostName()); });
    if (chosen.settingsIgnored) Say(Tr("the settings key \"ownip\" holds no address: ignored"));
    const std::string& own = chosen.address;
    switch (chosen.from) {
        case fleet::OwnAddressFrom::CommandLine:
            Say(Fill(Tr("own address %1 (--own-address)"), {own}));
            break;
        case fleet::OwnAddressFrom::Settings:
            Say(Fill(Tr("own address %1 (settings key \"ownip\")"), {own}));
            break;
        case fleet::OwnAddressFrom::Host:
            Say(Fill(Tr("own address %1 (the host's)"), {own}));
            break;
        case fleet::OwnAddressFrom::Nowhere:
            Say(Tr("The PC's IP address cannot be found, so the LAN search cannot run."));
            return kExitFiles;
    }

    platform::qt::QtEventLoop loop;
    platform::qt::QtUdpFactory udp;
    devlist::LineStore replies, records;
    std::set<std::string> strangers;
    fleet::LanSearchRun::Hooks hooks;
    hooks.ownAddress = [&own] { return std::optional<std::string>(own); };
    hooks.portRefused = [] {
        Complain(Fill(Tr("cannot open UDP port %1"), {std::to_string(discovery::kReplyPort)}));
    };
    // A device answers every request; it is printed once, from the collection.
    hooks.received = [&strangers](const platform::Datagram& d, bool accepted) {
        if (accepted) return;
        const std::string from = d.fromAddress + ":" + std::to_string(d.fromPort);
        if (strangers.insert(from).second)
            Say(Fill(Tr("ignored what %1 sent: it is not a search reply"), {from}));
    };
    bool complete = false;
    hooks.done = [&complete](bool ok) {
        complete = ok;
        QCoreApplication::quit();
    };
    fleet::LanSearchRun search(loop, udp, fleet::LanSearchRun::Port::BindOnce, replies, records,
                               std::move(hooks));
    search.start();
    if (search.running()) QCoreApplication::exec();
    search.close();
    if (!complete) return kExitFiles;

    const devlist::LineStore before = list ? list->records : devlist::LineStore();
    discovery::MergeResult merged = search.merge(before);
    if (merged.nothingFound) {
        Say(Tr("No device was found."));
        return kExitOk;
    }
    printFound(records);
    printMerge(before, merged, o.apply);
    std::fflush(stdout);
    if (!o.apply) {
        Say(Tr("the list is unchanged: --apply stores it"));
        return kExitOk;
    }

    // The list as it is now, merged once more under the lock: an edit made meanwhile stays.
    // What the stored list leaves out of the file (comments, text past a record's length, lines
    // past the last record) stays in a copy beside it, as the window keeps it.
    size_t lost = 0;
    const fleet::ListRewrite w = fleet::RewriteList(
        files.listFile, fleet::LockRule::Required, [&](const fleet::ListNow& now) {
            std::optional<fleet::LoadedList> list;
            if (now.bytes) list = fleet::ParseList(*now.bytes, files.listFile);
            if (now.bytes && !list) return fleet::ListChange{};  // no list any more
            merged = discovery::MacCheckIns(records, list ? list->records : devlist::LineStore());
            fleet::ListChange change{merged.viewStore.toBytes(), {}};
            if (list && list->lostLines > 0) {
                lost = list->lostLines;
                change.keepAside.push_back(std::move(list->bytes));
            }
            return change;
        });
    if (!w.keptNames.empty())
        Say(Fill(Tr("kept the list as it was in %1: %2 line(s) of it are not in the stored list"),
                 {Shown(w.keptNames.front()), std::to_string(lost)}));
    switch (w.status) {
        case fleet::ListRewrite::Status::Written:
            break;
        case fleet::ListRewrite::Status::NoLock:
            Complain(Fill(Tr("cannot lock the device list %1"), {Shown(files.listFile)}));
            return kExitFiles;
        case fleet::ListRewrite::Status::NotWritten:
        case fleet::ListRewrite::Status::Unreadable:
            SayListUnreadable(files.listFile);
            return kExitFiles;
        case fleet::ListRewrite::Status::BackupFailed:
        case fleet::ListRewrite::Status::WriteFailed:
            Say(Fill(Tr("cannot write %1"), {Shown(w.failed)}));
            return kExitFiles;
    }
    Say(Fill(Tr("stored %1 records in %2"),
             {std::to_string(merged.viewStore.size()), Shown(files.listFile)}));
    return kExitOk;
}

}  // namespace runner

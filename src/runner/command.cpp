#include "runner/command.h"

#include "platform/scratch_folder.h"
#include "runner/messages.h"
#include "runner/run_texts.h"

namespace runner {

int Command::run() {
    m_started = m_context.clock.now();
    const Prologue p = prologue();
    if (p.sweepScratch)
        platform::sweepScratchFolders(platform::temporaryFolder(), kPlanScratchPrefix);
    if (int refused = openFiles(); refused != kExitOk) return refused;
    if (int refused = loadList(p.list); refused != kExitOk) return refused;
    if (p.select) {
        m_devices = SelectDevices(terminal(), m_options, *m_list);
        if (m_devices.empty()) return kExitUsage;
    }
    return body();
}

int Command::openFiles() {
    m_files = LocateRunFiles(m_options);
    if (!m_files.error.empty()) {
        complain(m_files.error);
        return kExitFiles;
    }
    if (std::string clash = ReportClash(m_options.reportFile, m_files); !clash.empty()) {
        complain(clash);
        return kExitUsage;
    }
    return kExitOk;
}

int Command::loadList(ListUse use) {
    if (use == ListUse::None) return kExitOk;
    if (use == ListUse::Noted) {
        m_list = LoadRunList(terminal(), m_files);
        return m_list ? kExitOk : kExitFiles;
    }
    m_list = fleet::LoadList(m_files.listFile);
    if (m_list) return kExitOk;
    SayListUnreadable(terminal(), m_files.listFile);
    return kExitFiles;
}

void Command::serveRun(fleet::FleetRun& run) {
    run.start();
    m_context.serving.serve([&run] { return run.finished(); }, [this, &run] { interrupted(run); });
}

void Command::interrupted(fleet::FleetRun& run) {
    if (++m_interrupts == 1) {
        if (!m_options.quiet) complain(Tr("stopping after the devices in progress"));
        run.stop();
        return;
    }
    run.abort();
    // Say why the program still waits: another program may be holding the list's lock.
    if (run.writesPending() > 0)
        complain(Fill(Tr("recording %1 result(s) in the list before exiting"),
                      {std::to_string(run.writesPending())}));
}

std::function<void()> Command::finishedHook() {
    return [this] { m_context.serving.wake(); };
}

int Command::sayStops(const fleet::FleetRun& run, size_t notServed) const {
    if (const auto& failure = run.saveFailure()) {
        complain(Fill(Tr("cannot save %1: %2; no further device was started"),
                      {failure->file.string(), SystemReason(failure->error)}));
    }
    if (m_interrupts == 0) return kExitOk;
    complain(Fill(Tr("interrupted, %1 device(s) not served"), {std::to_string(notServed)}));
    return kExitInterrupted;
}

std::function<void(const std::string&)> Command::boxLine() const {
    const Terminal& t = terminal();
    return [&t](const std::string& text) { SayBox(t, text); };
}

}  // namespace runner

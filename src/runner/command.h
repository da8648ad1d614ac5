// A verb of the runner: the prologue every verb shares (the files, a report that would replace
// one of them, the list and the selection), run once before the verb's own steps, on the ports
// of the context main built.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "fleet/fleet_run.h"
#include "fleet/list_writer.h"
#include "platform/clock.h"
#include "runner/cli_options.h"
#include "runner/context.h"
#include "runner/run_files.h"

namespace runner {

class Command {
public:
    Command(const CliOptions& options, Context& context) : m_options(options), m_context(context) {}
    virtual ~Command() = default;
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    // The prologue, then the verb's own steps; the exit code.
    int run();

protected:
    enum class ListUse {
        None,   // the verb reads the list itself, if at all
        Quiet,  // read, saying only why it is no list
        Noted,  // read as a run reads it, saying what the load left out
    };
    struct Prologue {
        bool sweepScratch = false;  // remove the scratch folders killed plans left
        ListUse list = ListUse::None;
        bool select = false;  // the records the command line selects; none is a usage error
    };
    virtual Prologue prologue() const = 0;
    virtual int body() = 0;

    const Terminal& terminal() const { return m_context.terminal; }
    void say(const std::string& utf8) const { m_context.terminal.say(utf8); }
    void complain(const std::string& utf8) const { m_context.terminal.complain(utf8); }

    // Starts the run and serves it on the loop until it has finished. Ctrl-C and its kin: the
    // first stops the run after the devices in progress, a second closes their connections; the
    // results already taken are still written. m_interrupts counts them. The run's finished
    // hook must wake the serving (finishedHook).
    void serveRun(fleet::FleetRun& run);
    std::function<void()> finishedHook();
    // The closing complaints a run and a plan share; kExitInterrupted after an interrupt, else
    // kExitOk.
    int sayStops(const fleet::FleetRun& run, size_t notServed) const;
    // A dialogue's boxes, as lines on the error stream.
    std::function<void(const std::string&)> boxLine() const;

    const CliOptions& m_options;
    Context& m_context;
    platform::LocalTime m_started;  // when the verb began, before its prologue
    RunFiles m_files;
    std::optional<fleet::LoadedList> m_list;
    std::vector<fleet::FleetDevice> m_devices;
    int m_interrupts = 0;

private:
    int openFiles();
    void interrupted(fleet::FleetRun& run);
    int loadList(ListUse use);
};

}  // namespace runner

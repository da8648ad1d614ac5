// qlx-setting-cli: the device list's bulk runs and the LAN search without the window.
#include <sys/stat.h>

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/memory.h"
#include "platform/qt/qt_event_loop.h"
#include "platform/qt/qt_host_address.h"
#include "platform/qt/qt_tcp_socket.h"
#include "platform/qt/qt_udp_socket.h"
#include "runner/cli_options.h"
#include "runner/messages.h"
#include "runner/process_serving.h"
#include "runner/verbs.h"

namespace {

// The verbs that serve devices: an interrupt stops them after the devices in progress.
bool servesDevices(runner::Verb verb) {
    return verb == runner::Verb::Check || verb == runner::Verb::Send || verb == runner::Verb::Plan;
}

// The verbs that wait on the Qt loop.
bool usesLoop(runner::Verb verb) {
    return servesDevices(verb) || verb == runner::Verb::Search;
}

}  // namespace

int main(int argc, char** argv) {
    // A reader of the progress that went away (a closed pipe) must not end a run half done: a
    // write to it fails with EPIPE, which the program shrugs off.
    std::signal(SIGPIPE, SIG_IGN);
    platform::ReturnLargeBuffersToTheSystem();
    // Everything the runner makes (the work folder, device files, transcripts, reports, the
    // list) holds settings and logins: the user's alone, as the window keeps its own folders.
    // A file that exists keeps its mode.
    ::umask(077);
    runner::OpenCatalogue();
    const runner::CliOptions options =
        runner::ParseCli(std::vector<std::string>(argv + 1, argv + argc));
    if (!options.error.empty()) {
        const std::string error =
            runner::Fill(runner::Tr(options.errorPattern.c_str()), options.errorArgs);
        std::fprintf(stderr, "qlx-setting-cli: %s\n%s\n", error.c_str(),
                     runner::Tr("Try qlx-setting-cli --help").c_str());
        return runner::kExitUsage;
    }
    if (options.help) {
        std::fputs(runner::Tr(runner::kUsage).c_str(), stdout);
        return runner::kExitOk;
    }
    if (options.version) {
        std::fputs(runner::kVersion, stdout);
        return runner::kExitOk;
    }
    std::unique_ptr<QCoreApplication> app;
    if (usesLoop(options.verb)) app = std::make_unique<QCoreApplication>(argc, argv);
    // Before any thread starts, so that none takes the signals.
    std::optional<runner::SignalWatch> interrupts;
    if (servesDevices(options.verb)) interrupts.emplace();
    platform::qt::QtEventLoop loop;
    platform::qt::QtNetwork network;
    platform::qt::QtUdpFactory udp;
    platform::qt::QtHostAddress host;
    platform::SystemClock clock;
    runner::Terminal terminal(stdout, stderr);
    runner::ProcessServing serving(interrupts ? &*interrupts : nullptr);
    runner::Context context{loop, network, udp, host, clock, terminal, serving};
    return runner::RunVerb(options, context);
}

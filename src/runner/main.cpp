// qlx-setting-cli: the device list's bulk runs and the LAN search without the window.
#include <sys/stat.h>

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/memory.h"
#include "runner/cli_options.h"
#include "runner/diff_command.h"
#include "runner/history_command.h"
#include "runner/messages.h"
#include "runner/plan_command.h"
#include "runner/run_command.h"
#include "runner/search_command.h"

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
    if (options.verb == runner::Verb::Diff) return runner::DiffCommand(options).run();
    if (options.verb == runner::Verb::History) return runner::HistoryCommand(options).run();
    if (options.verb == runner::Verb::Drift) return runner::DriftCommand(options).run();
    QCoreApplication app(argc, argv);
    if (options.verb == runner::Verb::Search) return runner::SearchCommand(options).run();
    if (options.verb == runner::Verb::Plan) return runner::PlanCommand(options).run();
    return runner::RunCommand(options).run();
}

#include "runner/verbs.h"

#include "runner/diff_command.h"
#include "runner/history_command.h"
#include "runner/plan_command.h"
#include "runner/run_command.h"
#include "runner/search_command.h"

namespace runner {

int RunVerb(const CliOptions& o, Context& context) {
    switch (o.verb) {
        case Verb::Diff:
            return DiffCommand(o, context).run();
        case Verb::History:
            return HistoryCommand(o, context).run();
        case Verb::Drift:
            return DriftCommand(o, context).run();
        case Verb::Search:
            return SearchCommand(o, context).run();
        case Verb::Plan:
            return PlanCommand(o, context).run();
        case Verb::None:
        case Verb::Check:
        case Verb::Send:
            break;
    }
    return RunCommand(o, context).run();
}

}  // namespace runner

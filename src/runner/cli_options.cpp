#include "runner/cli_options.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <string_view>

#include "devlist/fields.h"
#include "discovery/search_request.h"
#include "fleet/fleet_run.h"
#include "runner/messages.h"
#include "text/cp932.h"

namespace runner {

namespace {

// The verbs an option belongs to, one bit each. An option of another verb is refused rather
// than ignored: "check --apply" would otherwise look like it stored something.
constexpr unsigned kCheck = 1, kSend = 2, kPlan = 4, kSearch = 8, kDiff = 16, kHistory = 32,
                   kDrift = 64;
constexpr unsigned kServing = kCheck | kSend | kPlan;
// The verbs that take a selection of records.
constexpr unsigned kSelecting = kServing | kHistory | kDrift;
// Where the window's files are: every verb reads them, so a script may pass one set to all.
constexpr unsigned kEvery = kServing | kSearch | kDiff | kHistory | kDrift;

struct OptionScope {
    std::string_view option;
    unsigned verbs;
};

constexpr OptionScope kScopes[] = {
    {"--list", kEvery},
    {"--ini", kEvery},
    {"--work", kEvery},
    {"--parallel", kServing},
    {"--quiet", kServing},
    {"-q", kServing},
    {"--apply", kSearch},
    {"--own-address", kSearch},
    {"--pace", kCheck | kSend},
    {"--read-only", kPlan},
    {"--report", kServing | kHistory | kDrift},
    {"--history", kCheck | kSend | kHistory | kDrift},
    {"--no-history", kCheck | kSend},
    {"--since", kHistory},
    {"--at", kHistory},
    {"--golden", kDrift},
};

unsigned bitOf(Verb verb) {
    switch (verb) {
        case Verb::Check:
            return kCheck;
        case Verb::Send:
            return kSend;
        case Verb::Plan:
            return kPlan;
        case Verb::Search:
            return kSearch;
        case Verb::Diff:
            return kDiff;
        case Verb::History:
            return kHistory;
        case Verb::Drift:
            return kDrift;
        case Verb::None:
            break;
    }
    return kEvery;  // no verb yet: the missing verb is the error to show
}

const char* nameOf(Verb verb) {
    switch (verb) {
        case Verb::Check:
            return "check";
        case Verb::Send:
            return "send";
        case Verb::Plan:
            return "plan";
        case Verb::Search:
            return "search";
        case Verb::Diff:
            return "diff";
        case Verb::History:
            return "history";
        case Verb::Drift:
            return "drift";
        case Verb::None:
            break;
    }
    return "";
}

// True when `option` (a known one) belongs to `verb`; selection options serve the devices.
bool belongsTo(std::string_view option, bool selection, Verb verb) {
    unsigned verbs = selection ? kSelecting : kEvery;
    for (const auto& s : kScopes)
        if (s.option == option) verbs = s.verbs;
    return (verbs & bitOf(verb)) != 0;
}

}  // namespace

const char* const kVersion = "qlx-setting-cli " QLX_VERSION "\n";

const char* const kUsage =
    "Usage: qlx-setting-cli check|send [SELECTION] [--list FILE] [--ini FILE] [--work DIR]\n"
    "                       [--parallel N] [--report FILE.csv|FILE.json] [--quiet]\n"
    "                       [--pace prescribed|prompt] [--history DIR] [--no-history]\n"
    "       qlx-setting-cli plan [SELECTION] [--list FILE] [--ini FILE] [--parallel N]\n"
    "                       [--report FILE.csv|FILE.json] [--quiet] [--read-only]\n"
    "       qlx-setting-cli search [--own-address A.B.C.D] [--apply] [--list FILE] [--ini FILE]\n"
    "       qlx-setting-cli diff NUMBER [--list FILE] [--ini FILE] [--work DIR]\n"
    "       qlx-setting-cli history [SELECTION] [--since DATE] [--report FILE] [--history DIR]\n"
    "       qlx-setting-cli history NUMBER --at DATE [--history DIR]\n"
    "       qlx-setting-cli drift --golden FILE [SELECTION] [--report FILE] [--history DIR]\n"
    "       qlx-setting-cli --help | --version\n"
    "\n"
    "Serves the devices of the QLX device list without the window: the same dialogue, the\n"
    "same files in the work folder, the same results in the same list file, with the options,\n"
    "waits and send file of the window's settings file.\n"
    "\n"
    "  check                 checks each selected device (\"設定確認\")\n"
    "  send                  sends each selected device its settings file (\"設定送信\")\n"
    "  plan                  what a send would change: checks each selected device and\n"
    "                        compares its variables with the NAME=VALUE lines of the settings\n"
    "                        file send would stream to it (names without a leading \".\").\n"
    "                        Per device on standard output, in record order:\n"
    "                          would change NAME: OLD -> NEW\n"
    "                          would add NAME: VALUE\n"
    "                          would send: TEXT      (a line that is not NAME=VALUE)\n"
    "                        or \"no change\". Records nothing in the list and leaves the work\n"
    "                        folder alone: the dumps go beside the transcripts in the\n"
    "                        report's folder (FILE.d when that folder is the work folder),\n"
    "                        or into a scratch folder qlx-plan-XXXXXX in $TMPDIR, removed at\n"
    "                        the end (or by the next run or plan when this one was killed).\n"
    "                        Exit 0 every device answered, 1 some failed\n"
    "                        --read-only: only what a check reads, for a check that must\n"
    "                        change nothing: no send file is needed or compared, a device's\n"
    "                        result is all it gives (\"failed: ...\" under a device that\n"
    "                        failed); exit 0 every device answered, 1 some failed\n"
    "  search                the LAN search: prints every reply and what the merge into the\n"
    "                        list would change; --apply stores the merged list\n"
    "  diff NUMBER           what the last send to record NUMBER changed: its variables before\n"
    "                        the settings (the \"q1\" dump in the work folder) against those\n"
    "                        after them (\"q2\"), matched by name wherever they stand; lines\n"
    "                        that are not name=value are matched whole. One line per change\n"
    "                        on standard output, sorted by name, whole lines last:\n"
    "                          changed NAME: OLD -> NEW\n"
    "                          added   NAME: VALUE\n"
    "                          removed NAME: VALUE\n"
    "                          added   line: TEXT\n"
    "                          removed line: TEXT\n"
    "                        an empty value as (empty), control bytes as \\xNN; \"no change\"\n"
    "                        when the dumps agree. Exit 0; 2 when the list has no record\n"
    "                        NUMBER; 3 when a dump is missing, unreadable or older than the\n"
    "                        send (a check writes only \"q2\"), or whose first line names\n"
    "                        another record (see qlx-setting(5) on save names)\n"
    "  history               the runs in which each selected device's settings changed, read\n"
    "                        from the settings history (newest first), with the changes in\n"
    "                        diff's words; --since DATE: only runs from then on. No device\n"
    "                        is connected. --report: CSV or JSON, a row per run and device\n"
    "  history NUMBER --at DATE\n"
    "                        the dump record NUMBER's device held at DATE (YYYY-MM-DD\n"
    "                        [HH:MM[:SS]]), byte for byte; exit 1 when the history has none\n"
    "  drift --golden FILE   how each selected device's last dump in the history differs from\n"
    "                        what the send file FILE would set, in plan's words:\n"
    "                          would change NAME: OLD -> NEW\n"
    "                        and \"no dump\" for a device the history has not seen. No\n"
    "                        device is connected. Exit 0 nothing drifts, 1 something does.\n"
    "                        --report: CSV (No,Name,Address,State,Count,Names) or JSON\n"
    "\n"
    "SELECTION (each option selects on its own; every further option narrows the set):\n"
    "  --checked             the records whose check mark is set (the default when no\n"
    "                        selection option is given)\n"
    "  --all                 every record\n"
    "  --group 1|2|3         the members of a group\n"
    "  --no 3,7-12           records by number\n"
    "  --failed              records whose stored message is not a success (\"#000 ...\"),\n"
    "                        checked or not\n"
    "  --match WORD          records whose list line shows WORD (the window's filter)\n"
    "A selection that selects no record is a usage error (exit 2).\n"
    "\n"
    "  --list FILE           the list file (default: \"listcsv\" of the settings file)\n"
    "  --ini FILE            the settings file (default: the window's)\n"
    "  --work DIR            the work folder for the device files (default: the window's)\n"
    "                        --list, --ini and --work are taken by every verb; any other\n"
    "                        option only by the verbs shown with it above (else exit 2)\n"
    "  --parallel N          devices served at once, 1 to 128 (default 1: the window's own\n"
    "                        sequence); the pause between devices applies per worker\n"
    "  --report FILE         one row per device served, CSV (code page 932) or, for a name\n"
    "                        ending .json, JSON (UTF-8); a folder of the same name beside it\n"
    "                        keeps each device's transcript. Each row says whether its\n"
    "                        result reached the list (CSV column Recorded: yes or no; JSON\n"
    "                        \"recorded\"), and \"unrecorded\" counts those that did not\n"
    "  --quiet               print only the summary\n"
    "  --pace prescribed|prompt\n"
    "                        how the dialogue moves on (default: \"pace\" in the settings\n"
    "                        file, else prescribed). prescribed is the window's: 200 ms before\n"
    "                        each login answer, 500 ms before a result is recorded, 1 s after\n"
    "                        a failure. prompt goes on as soon as the device's answer is in\n"
    "                        and records the result at once: for devices that answer each\n"
    "                        command promptly and once, a few ms a device instead of over 1 s.\n"
    "                        The end-command wait (\"wait1\", 2 s) still follows each success:\n"
    "                        set wait1=0 for speed. A refusal within 200 ms of the login\n"
    "                        still counts: a send holds its settings for those 200 ms.\n"
    "                        Per device, one at a time (bench/README.md):\n"
    "                                      wait1=2 (default)   wait1=0\n"
    "                          prescribed  3.1 s               1.1 s\n"
    "                          prompt      about 2 s           2-4 ms\n"
    "                        so prompt alone saves a third; with wait1=0 it saves the rest\n"
    "  --own-address A.B.C.D the address the search takes as this PC's own (else \"ownip\",\n"
    "                        else the host's address)\n"
    "  --history DIR         the settings history (default: history.git in the work folder).\n"
    "                        check and send record each device's dump there, one commit per\n"
    "                        run that changed something; \"git -C DIR log -p\" reads it\n"
    "  --no-history          record nothing in the history (also \"history=0\" in the\n"
    "                        settings file)\n"
    "\n"
    "Progress goes to standard error, one line per device as it ends. Ctrl-C lets the\n"
    "devices in progress finish and records their results; a second Ctrl-C closes them.\n"
    "\n"
    "A device file that cannot be saved in the work folder (full, read-only) gives that\n"
    "device \"#508 NG File Save Error\" at once; no further device is started, and the run\n"
    "exits 3 naming the file and the reason. The summary counts as successes only those\n"
    "in the list.\n"
    "\n"
    "A device whose text outgrew what the run may keep gets \"#507 NG Text Cut\": its file\n"
    "says in its first line that its head is cut, and plan and diff do not compare it. A\n"
    "list with a second name (a hard link) or a lock file that is not a plain file is\n"
    "refused before the first device (exit 3).\n"
    "\n"
    "Messages and this help follow the locale (LC_ALL, LC_MESSAGES, LANG): Japanese under\n"
    "ja_JP.UTF-8, English under C. Exit codes, what plan, search and diff print on standard\n"
    "output and the report never change with it.\n"
    "\n"
    "Exit codes: 0 every device succeeded, 1 some device failed (or its record was gone),\n"
    "2 usage error, 3 the list or settings file cannot be read or written, 130 interrupted.\n";

CliOptions ParseCli(const std::vector<std::string>& args) {
    CliOptions o;
    auto fail = [&o](const char* pattern, std::vector<std::string> args = {}) {
        o.errorPattern = pattern;
        o.errorArgs = std::move(args);
        o.error = Fill(pattern, o.errorArgs);
        return o;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool hasValue = false;
        if (auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
            hasValue = true;
        }
        auto take = [&]() {
            if (hasValue) return true;
            if (i + 1 >= args.size()) return false;
            value = args[++i];
            return true;
        };
        bool selectionTakesValue = false;
        const bool selection = fleet::IsSelectionOption(arg, selectionTakesValue);
        if (i > 0 && arg.starts_with("-") && !belongsTo(arg, selection, o.verb))
            return fail(N_("%1 is not an option of %2"), {arg, nameOf(o.verb)});
        if (i == 0 && (arg == "check" || arg == "send" || arg == "search")) {
            o.verb = arg == "check" ? Verb::Check : arg == "send" ? Verb::Send : Verb::Search;
        } else if (i == 0 && arg == "diff") {
            o.verb = Verb::Diff;
        } else if (i == 0 && arg == "plan") {
            o.verb = Verb::Plan;
        } else if (i == 0 && (arg == "history" || arg == "drift")) {
            o.verb = arg == "history" ? Verb::History : Verb::Drift;
        } else if (o.verb == Verb::History && o.recordNumber == 0 && !arg.starts_with("-")) {
            auto [end, ec] = std::from_chars(arg.data(), arg.data() + arg.size(), o.recordNumber);
            if (ec != std::errc() || end != arg.data() + arg.size() || o.recordNumber < 1 ||
                o.recordNumber > devlist::kMaxRecords)
                return fail(N_("history takes a record number, 1 to 999"));
        } else if (arg == "--no-history") {
            o.noHistory = true;
        } else if (arg == "--since" || arg == "--at") {
            if (!take()) return fail(N_("%1 needs a value"), {arg});
            auto when = ParseDate(value, arg == "--at");
            if (!when) return fail(N_("%1 takes a date: YYYY-MM-DD [HH:MM[:SS]]"), {arg});
            (arg == "--at" ? o.at : o.since) = when;
        } else if (arg == "--history" || arg == "--golden") {
            if (!take() || value.empty()) return fail(N_("%1 needs a value"), {arg});
            (arg == "--history" ? o.historyPath : o.golden) = value;
        } else if (o.verb == Verb::Diff && o.recordNumber == 0 && !arg.starts_with("-")) {
            auto [end, ec] = std::from_chars(arg.data(), arg.data() + arg.size(), o.recordNumber);
            if (ec != std::errc() || end != arg.data() + arg.size() || o.recordNumber < 1 ||
                o.recordNumber > devlist::kMaxRecords)
                return fail(N_("diff takes a record number, 1 to 999"));
        } else if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "--quiet" || arg == "-q") {
            o.quiet = true;
        } else if (arg == "--apply") {
            o.apply = true;
        } else if (arg == "--read-only") {
            o.readOnly = true;
        } else if (arg == "--pace") {
            if (!take() || !(o.pace = fleet::PaceNamed(value)))
                return fail(N_("--pace takes prompt or prescribed"));
        } else if (selection) {
            if (selectionTakesValue && !take()) return fail(N_("%1 needs a value"), {arg});
            std::string v = value;
            if (arg == "--match") {
                // Typed in UTF-8; the list holds code page 932.
                auto encoded = text::encode(value);
                if (!encoded)
                    return fail(N_("--match: the word cannot be written in code page 932"));
                v = *encoded;
            }
            // The core's refusal, a fixed text the catalogue holds too.
            if (auto e = fleet::AddSelectionOption(o.selection, arg, v); !e.empty()) {
                fail("%1");
                o.errorPattern = e;
                return o;
            }
        } else if (arg == "--list" || arg == "--ini" || arg == "--work" || arg == "--report" ||
                   arg == "--parallel" || arg == "--own-address") {
            if (!take() || value.empty()) return fail(N_("%1 needs a value"), {arg});
            if (arg == "--list") {
                auto encoded = text::encode(value);
                if (!encoded)
                    return fail(N_("--list: the path cannot be written in code page 932"));
                o.listFile = *encoded;
            } else if (arg == "--ini") {
                o.iniFile = value;
            } else if (arg == "--work") {
                o.workFolder = value;
            } else if (arg == "--report") {
                o.reportFile = value;
            } else if (arg == "--own-address") {
                if (!discovery::IsDottedIpv4(value)) return fail(N_("--own-address takes A.B.C.D"));
                o.ownAddress = value;
            } else {
                int n = 0;
                auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
                if (ec != std::errc() || end != value.data() + value.size() || n < 1 ||
                    n > fleet::kMaxParallel)
                    return fail(N_("--parallel takes 1 to 128"));
                o.parallel = n;
            }
        } else {
            return fail(N_("unknown argument %1"), {arg});
        }
    }
    if (o.help || o.version) return o;
    if (o.verb == Verb::None)
        return fail(N_("no verb given (check, send, plan, search, diff, history or drift)"));
    if (o.verb == Verb::Diff && o.recordNumber == 0) return fail(N_("diff needs a record number"));
    if (o.verb == Verb::History && o.at && o.recordNumber == 0)
        return fail(N_("history --at needs a record number"));
    if (o.verb == Verb::Drift && o.golden.empty()) return fail(N_("drift needs --golden FILE"));
    return o;
}

std::optional<int64_t> ParseDate(const std::string& text, bool endOfDay) {
    struct tm t {};
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char sep = 0;
    int used = 0;
    const char* s = text.c_str();
    if (std::sscanf(s, "%4d-%2d-%2d%n", &year, &month, &day, &used) != 3 || used != 10)
        return std::nullopt;
    const bool dateOnly = text.size() == 10;
    if (!dateOnly) {
        int more = 0;
        if (std::sscanf(s + 10, "%c%2d:%2d%n", &sep, &hour, &minute, &more) != 3 ||
            (sep != ' ' && sep != 'T'))
            return std::nullopt;
        size_t at = 10 + static_cast<size_t>(more);
        if (at < text.size()) {
            int secs = 0;
            if (std::sscanf(s + at, ":%2d%n", &second, &secs) != 1 ||
                at + static_cast<size_t>(secs) != text.size())
                return std::nullopt;
        }
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    if (dateOnly && endOfDay) {
        hour = 23;
        minute = 59;
        second = 59;
    }
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    const time_t when = std::mktime(&t);
    if (when == static_cast<time_t>(-1)) return std::nullopt;
    return static_cast<int64_t>(when);
}

}  // namespace runner

// The command line of every verb: what each takes, and that an option of another verb is a
// usage error rather than something quietly ignored.
#include "runner/cli_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using runner::ParseCli;
using runner::Verb;

struct Line {
    std::vector<std::string> args;
    Verb verb;          // when accepted
    std::string error;  // empty: accepted; else a part of the error text
};

TEST(RunnerCommandLine, EachVerbTakesItsOwnOptionsAndRefusesThoseOfAnother) {
    const std::vector<Line> lines = {
        // check and send: a selection, the files, the run's options.
        {{"check"}, Verb::Check, ""},
        {{"check", "--all", "--parallel", "4", "--report", "r.csv", "--quiet"}, Verb::Check, ""},
        {{"send", "--group", "2", "--failed", "--match", "hall", "--no", "3,7-12"}, Verb::Send, ""},
        {{"send", "--list", "l.csv", "--ini", "s.Ini", "--work", "w", "-q"}, Verb::Send, ""},
        {{"check", "--apply"}, Verb::Check, "--apply is not an option of check"},
        {{"send", "--own-address", "127.0.0.1"}, Verb::Send, "--own-address is not an option"},
        {{"check", "--parallel", "129"}, Verb::Check, "--parallel takes 1 to 128"},
        {{"check", "--report"}, Verb::Check, "--report needs a value"},
        {{"check", "--pace", "fast"}, Verb::Check, "--pace takes prompt or prescribed"},
        // plan: as check, and the same files.
        {{"plan", "--checked", "--parallel=3", "--report=p.json", "--work", "w"}, Verb::Plan, ""},
        {{"plan", "--apply"}, Verb::Plan, "--apply is not an option of plan"},
        {{"plan", "--read-only", "--all"}, Verb::Plan, ""},
        {{"check", "--read-only"}, Verb::Check, "--read-only is not an option of check"},
        {{"send", "--read-only"}, Verb::Send, "--read-only is not an option of send"},
        // search: its address and --apply, the files, nothing of a run.
        {{"search", "--own-address", "127.0.0.1", "--apply", "--list", "l.csv"}, Verb::Search, ""},
        {{"search", "--ini", "s.Ini", "--work", "w"}, Verb::Search, ""},
        {{"search", "--parallel", "5"}, Verb::Search, "--parallel is not an option of search"},
        {{"search", "--all"}, Verb::Search, "--all is not an option of search"},
        {{"search", "--report", "r.csv"}, Verb::Search, "--report is not an option of search"},
        {{"search", "--quiet"}, Verb::Search, "--quiet is not an option of search"},
        {{"search", "--own-address", "10.0.0"}, Verb::Search, "--own-address takes A.B.C.D"},
        // diff: a record number and the files.
        {{"diff", "3", "--list", "l.csv", "--ini", "s.Ini", "--work", "w"}, Verb::Diff, ""},
        {{"diff", "3", "--failed"}, Verb::Diff, "--failed is not an option of diff"},
        {{"diff", "3", "--parallel", "2"}, Verb::Diff, "--parallel is not an option of diff"},
        {{"diff", "--apply", "3"}, Verb::Diff, "--apply is not an option of diff"},
        {{"diff"}, Verb::Diff, "diff needs a record number"},
        {{"diff", "1000"}, Verb::Diff, "1 to 999"},
        // history and drift: a selection, the files, the history; nothing of a run.
        {{"check", "--history", "h.git", "--no-history"}, Verb::Check, ""},
        {{"plan", "--no-history"}, Verb::Plan, "--no-history is not an option of plan"},
        {{"history", "--all", "--since", "2026-01-02", "--report", "h.csv"}, Verb::History, ""},
        {{"history", "3", "--at", "2026-01-02 10:11:12", "--history", "h.git"}, Verb::History, ""},
        {{"history", "--at", "2026-01-02"}, Verb::History, "history --at needs a record number"},
        {{"history", "--since", "yesterday"}, Verb::History, "--since takes a date"},
        {{"history", "--since", "2026-13-01"}, Verb::History, "--since takes a date"},
        {{"history", "--parallel", "2"}, Verb::History, "--parallel is not an option of history"},
        {{"history", "--golden", "g"}, Verb::History, "--golden is not an option of history"},
        {{"drift", "--golden", "g.txt", "--group", "1", "--report", "d.json"}, Verb::Drift, ""},
        {{"drift", "--all"}, Verb::Drift, "drift needs --golden FILE"},
        {{"drift", "--golden", "g", "--at", "2026-01-02"}, Verb::Drift, "--at is not an option"},
        {{"drift", "--golden", "g", "--pace", "prompt"}, Verb::Drift, "--pace is not an option"},
        // Without a verb, or with one that is none.
        {{"--all"}, Verb::None, "no verb given"},
        {{"frobnicate"}, Verb::None, "unknown argument frobnicate"},
        {{"check", "--frobnicate"}, Verb::Check, "unknown argument --frobnicate"},
    };
    for (const auto& l : lines) {
        std::string shown;
        for (const auto& a : l.args) shown += a + " ";
        const auto o = ParseCli(l.args);
        if (l.error.empty()) {
            EXPECT_EQ(o.error, "") << shown;
            EXPECT_EQ(o.verb, l.verb) << shown;
        } else {
            EXPECT_NE(o.error.find(l.error), std::string::npos) << shown << "-> " << o.error;
        }
    }
}

TEST(RunnerCommandLine, HelpAndVersionGoWithEveryVerbOrNone) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--help"}, {"-h"}, {"check", "--help"}, {"search", "--help"}, {"diff", "--help"}}) {
        const auto o = ParseCli(args);
        EXPECT_TRUE(o.help && o.error.empty()) << args.back() << " " << o.error;
    }
    const auto v = ParseCli({"plan", "--version"});
    EXPECT_TRUE(v.version && v.error.empty()) << v.error;
}

TEST(RunnerCommandLine, OptionsKeepTheirValues) {
    const auto o = ParseCli({"check", "--no", "2", "--parallel", "7", "--report", "r.json",
                             "--work", "w", "--ini", "s.Ini", "--list", "l.csv"});
    ASSERT_EQ(o.error, "");
    EXPECT_EQ(o.parallel, 7);
    EXPECT_EQ(o.reportFile, "r.json");
    EXPECT_EQ(o.workFolder, "w");
    EXPECT_EQ(o.iniFile, "s.Ini");
    EXPECT_EQ(o.listFile, "l.csv");
    const auto s = ParseCli({"search", "--own-address=127.0.0.1", "--apply"});
    EXPECT_EQ(s.ownAddress, "127.0.0.1");
    EXPECT_TRUE(s.apply);
    EXPECT_EQ(ParseCli({"diff", "12"}).recordNumber, 12);
    EXPECT_TRUE(ParseCli({"plan", "--read-only"}).readOnly);
    EXPECT_FALSE(ParseCli({"plan"}).readOnly);
    const auto h = ParseCli({"history", "4", "--at", "2026-03-04", "--history", "h.git"});
    EXPECT_EQ(h.recordNumber, 4);
    EXPECT_EQ(h.historyPath, "h.git");
    // A date alone: its end for --at (what the device held that day), its start for --since.
    ASSERT_TRUE(h.at);
    EXPECT_EQ(*h.at, *runner::ParseDate("2026-03-04 23:59:59", false));
    EXPECT_EQ(*ParseCli({"history", "--since", "2026-03-04"}).since,
              *runner::ParseDate("2026-03-04T00:00", false));
    EXPECT_EQ(ParseCli({"drift", "--golden", "g.txt"}).golden, "g.txt");
    EXPECT_TRUE(ParseCli({"send", "--no-history"}).noHistory);
}

}  // namespace

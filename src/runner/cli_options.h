// The command line of qlx-setting-cli: one verb and its options.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fleet/selection.h"
#include "session/session_state.h"

namespace runner {

enum class Verb { None, Check, Send, Search, Diff, Plan, History, Drift };

// The exit codes, as --help names them.
constexpr int kExitOk = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitFiles = 3;
constexpr int kExitInterrupted = 130;

struct CliOptions {
    Verb verb = Verb::None;
    bool help = false;
    bool version = false;
    fleet::Selection selection;
    std::string listFile;    // --list, code page 932 (as the settings hold it); empty: settings
    std::string iniFile;     // --ini, native; empty: the window's settings file
    std::string workFolder;  // --work, native; empty: the window's work folder
    std::string reportFile;  // --report, native
    int parallel = 1;
    bool quiet = false;
    std::optional<session::Pace> pace;  // --pace; none: the settings file's "pace"
    std::string ownAddress;             // search --own-address
    bool apply = false;                 // search --apply
    bool readOnly = false;              // plan --read-only
    int recordNumber = 0;               // diff NUMBER, history NUMBER
    std::string historyPath;            // --history, native; empty: history.git in the work folder
    bool noHistory = false;             // --no-history
    std::optional<int64_t> since;       // history --since, seconds since 1970
    std::optional<int64_t> at;          // history --at
    std::string golden;                 // drift --golden, native
    std::string error;                  // non-empty: a usage error
    // The same error as a message pattern (English, "%1" for each argument) and its
    // arguments, for the operator's language.
    std::string errorPattern;
    std::vector<std::string> errorArgs;
};

CliOptions ParseCli(const std::vector<std::string>& args);

// "YYYY-MM-DD", "YYYY-MM-DD HH:MM" or "YYYY-MM-DD HH:MM:SS" (or with a "T"), local time; a
// date alone means the end of that day when `endOfDay` (history --at), else its start. Seconds
// since 1970, nullopt when it is no such date.
std::optional<int64_t> ParseDate(const std::string& text, bool endOfDay);

extern const char* const kUsage;
extern const char* const kVersion;

}  // namespace runner

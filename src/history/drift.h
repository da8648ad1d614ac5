// Drift: how far each device's last recorded dump is from what a settings file would set, judged
// from the history alone (no device is connected), in the words of a plan.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace history {

struct DriftRow {
    enum class State { Same, Drifted, NoDump };
    int number = 0;
    std::string name;     // code page 932
    std::string address;  //
    State state = State::NoDump;
    std::vector<std::string> names;    // the variables that differ
    std::vector<std::string> changes;  // "would change NAME: OLD -> NEW", "would add NAME: V"
};

// dump: the device's last recorded dump; none: it has none yet.
DriftRow DriftOf(int number, std::string name, std::string address,
                 const std::optional<std::string>& dump, const std::vector<std::string>& golden);

const char* StateName(DriftRow::State state);  // "same", "drifted", "no dump"

struct DriftSummary {
    std::string selection;
    std::string golden;  // the file as given
    platform::LocalTime start, end;
    std::string version;
};

// CSV (code page 932): No,Name,Address,State,Count,Names.
std::string DriftCsv(const std::vector<DriftRow>& rows);
// {"run":{...,"selected","drifted","noDump"},"devices":[...]}
std::string DriftJson(const DriftSummary& run, const std::vector<DriftRow>& rows);

}  // namespace history

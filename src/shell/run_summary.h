// What the window says when a bulk run ends: the count of devices served, then the failures the
// operator has to look after, so that none of them has to be hunted for in a long list.
#pragma once

#include <string>
#include <vector>

namespace shell {

// A device the run did not configure: its record number, its name and the result it got.
struct RunFailure {
    int number = 0;
    std::string name;
    std::string result;
};

// How many failures the summary names one by one; the rest are counted.
constexpr size_t kFailuresNamed = 10;

// "一斉接続 50台 実行しました(成功:48 失敗:2)", then one line per failure ("No.004 name 結果:..."),
// at most kFailuresNamed of them, then "ほか N台" for the rest.
std::vector<std::string> BulkSummaryLines(int ok, int ng, const std::vector<RunFailure>& failures);

}  // namespace shell

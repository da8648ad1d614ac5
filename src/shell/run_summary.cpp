#include "shell/run_summary.h"

#include "devlist/fields.h"
#include "text/cp932.h"

namespace shell {

std::vector<std::string> BulkSummaryLines(int ok, int ng, const std::vector<RunFailure>& failures) {
    std::vector<std::string> lines;
    lines.push_back(text::sj("一斉接続 ") + std::to_string(ok + ng) +
                    text::sj("台 実行しました(成功:") + std::to_string(ok) + text::sj(" 失敗:") +
                    std::to_string(ng) + ")");
    const size_t named = std::min(failures.size(), kFailuresNamed);
    for (size_t i = 0; i < named; ++i) {
        const RunFailure& f = failures[i];
        lines.push_back("No." + devlist::ZeroPad(f.number, 3) + " " + f.name + text::sj(" 結果:") +
                        f.result);
    }
    if (failures.size() > named)
        lines.push_back(text::sj("ほか ") + std::to_string(failures.size() - named) +
                        text::sj("台"));
    return lines;
}

}  // namespace shell

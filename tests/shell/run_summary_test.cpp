// The summary after a bulk run: the count first, then the failures by number, name and result,
// ten at most, then how many more.
#include <gtest/gtest.h>

#include "shell/run_summary.h"
#include "text/cp932.h"

namespace {

using text::sj;

std::vector<shell::RunFailure> failures(int n) {
    std::vector<shell::RunFailure> f;
    for (int i = 1; i <= n; ++i)
        f.push_back({i * 2, "dev" + std::to_string(i), "#404 NG Time Out"});
    return f;
}

TEST(BulkSummary, NamesTheFirstTenFailuresAndCountsTheRest) {
    struct Case {
        int ok, ng;
        size_t lines;
        const char* last;
    };
    const Case cases[] = {
        {50, 0, 1, "一斉接続 50台 実行しました(成功:50 失敗:0)"},
        {48, 2, 3, "No.004 dev2 結果:#404 NG Time Out"},
        {0, 10, 11, "No.020 dev10 結果:#404 NG Time Out"},
        {38, 12, 12, "ほか 2台"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ng);
        const auto lines = shell::BulkSummaryLines(c.ok, c.ng, failures(c.ng));
        ASSERT_EQ(lines.size(), c.lines);
        EXPECT_EQ(lines.front(), sj("一斉接続 ") + std::to_string(c.ok + c.ng) +
                                     sj("台 実行しました(成功:") + std::to_string(c.ok) +
                                     sj(" 失敗:") + std::to_string(c.ng) + ")");
        EXPECT_EQ(lines.back(), sj(c.last));
        if (c.lines > 1) {
            EXPECT_EQ(lines[1], sj("No.002 dev1 結果:#404 NG Time Out"));
        }
    }
}

}  // namespace

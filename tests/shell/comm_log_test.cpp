// The communication log keeps eleven displayed lines, a long line counting as the lines it wraps
// to, and only whole lines go.
#include "shell/comm_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/cp932.h"

namespace shell {
namespace {

TEST(CommLog, KeepsElevenDisplayedLinesOfWholeLines) {
    const size_t w = kCommLogColumns;
    // A message whose logged line, after its 20-byte time stamp, takes `cells` bytes.
    auto message = [](size_t cells) { return std::string(cells - 20, 'x'); };
    // 2w bytes, but its double-byte character would straddle the first edge: three lines.
    const std::string straddle = message(w - 1) + text::sj("漢") + std::string(w - 1, 'x');
    std::vector<std::string> tenThenWrapped(10, "a");
    tenThenWrapped.push_back(message(2 * w + 1));
    struct Case {
        std::vector<std::string> messages;
        std::vector<size_t> kept;  // displayed lines of each line kept, oldest first
    } cases[] = {
        {std::vector<std::string>(12, "a"), std::vector<size_t>(11, 1)},
        {std::vector<std::string>(12, message(w)), std::vector<size_t>(11, 1)},
        {std::vector<std::string>(7, message(w + 1)), {2, 2, 2, 2, 2}},
        {std::vector<std::string>(4, straddle), {3, 3, 3}},
        {tenThenWrapped, {1, 1, 1, 1, 1, 1, 1, 1, 3}},
        {{"a", "a", message(12 * w)}, {12}},
    };
    for (const auto& c : cases) {
        devlist::LineStore view;
        for (const std::string& m : c.messages) LogMessage(view, platform::LocalTime{}, m);
        std::vector<size_t> kept;
        for (const std::string& line : view.lines()) kept.push_back(DisplayedLines(line));
        EXPECT_EQ(kept, c.kept) << c.messages.back();
        ASSERT_FALSE(view.empty());
        EXPECT_EQ(view[view.size() - 1], "2000/01/01 00:00:00 " + c.messages.back());
    }
}

}  // namespace
}  // namespace shell

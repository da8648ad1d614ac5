// The communication log keeps what it shows: eleven displayed lines, a long line counting as
// the lines it wraps to, and only whole lines going.
#include "shell/comm_log.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "text/cp932.h"

namespace shell {
namespace {

constexpr size_t kStamp = 20;  // "yyyy/mm/dd hh:nn:ss "

// A message whose logged line takes `cells` bytes.
std::string message(size_t cells) {
    return std::string(cells - kStamp, 'x');
}

TEST(CommLog, KeepsElevenDisplayedLinesOfWholeLines) {
    const size_t w = kCommLogColumns;
    const std::string one = message(w);      // fills one displayed line exactly
    const std::string two = message(w + 1);  // one cell over: two
    // 2w bytes, but its double-byte character would straddle the first edge: three lines.
    const std::string straddle = message(w - 1) + text::sj("漢") + std::string(w - 1, 'x');
    const std::string three = message(2 * w + 1);
    const std::string huge = message(12 * w);
    struct Case {
        const char* what;
        std::vector<std::string> messages;
        std::vector<size_t> kept;  // displayed lines of each line kept, oldest first
    } cases[] = {
        {"twelve short lines", std::vector<std::string>(12, "a"), std::vector<size_t>(11, 1)},
        {"lines that fill the width", std::vector<std::string>(12, one),
         std::vector<size_t>(11, 1)},
        {"lines one cell too long", std::vector<std::string>(7, two), {2, 2, 2, 2, 2}},
        {"a double-byte character at the edge", std::vector<std::string>(4, straddle), {3, 3, 3}},
        {"a wrapped line after ten short ones",
         {"a", "a", "a", "a", "a", "a", "a", "a", "a", "a", three},
         {1, 1, 1, 1, 1, 1, 1, 1, 3}},
        {"a line longer than the log", {"a", "a", huge}, {12}},
    };
    for (const auto& c : cases) {
        devlist::LineStore view;
        for (const std::string& m : c.messages) LogMessage(view, platform::LocalTime{}, m);
        std::vector<size_t> kept;
        for (const std::string& line : view.lines()) kept.push_back(DisplayedLines(line));
        EXPECT_EQ(kept, c.kept) << c.what;
        // The newest line is the last message, whole and time-stamped.
        ASSERT_FALSE(view.empty()) << c.what;
        EXPECT_EQ(view[view.size() - 1], "2000/01/01 00:00:00 " + c.messages.back()) << c.what;
    }
}

}  // namespace
}  // namespace shell

// Turning the lines of a list file into records. A line is a record when it holds ",F" (the
// comma after the number and the F of the flags) after a number; its number is its position
// in the file, so the stored numbers never need to be trusted.
#include "devlist/list_file.h"

#include <algorithm>

#include "devlist/fields.h"
#include "platform/files.h"
#include "text/cp932.h"

namespace devlist {

namespace {

constexpr std::string_view kRecordMark = ",F";
constexpr size_t kMarkWindow = 10;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// Backup names tried in turn: "<file>.bak", "<file>.bak2", "<file>.bak3", ...
constexpr int kBackupNames = 999;
// The width of every record number the programs write ("001").
constexpr size_t kNumberDigits = 3;

bool allDigits(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return (c & 0x80) == 0; });
}

bool allBlank(const LineStore& raw) {
    return std::all_of(raw.lines().begin(), raw.lines().end(),
                       [](const std::string& l) { return l.empty(); });
}

// "3, 7行目", or "1, 2, 3, 4, 5行目ほか4行" past kLinesNamed lines.
std::string namedLines(const std::vector<int>& lines) {
    std::string named;
    for (size_t i = 0; i < lines.size() && i < kLinesNamed; ++i) {
        if (i > 0) named += ", ";
        named += std::to_string(lines[i]);
    }
    named += text::sj("行目");
    if (lines.size() > kLinesNamed)
        named += text::sj("ほか") + std::to_string(lines.size() - kLinesNamed) + text::sj("行");
    return named;
}

std::string spreadsheetHint() {
    return text::sj(
        "表計算ソフトからは、CSV形式・文字コードShift-JISで、見出し行を付けず、"
        "すべてのセルを引用符(\")で囲まずに保存してください。");
}

}  // namespace

bool HasRecordMark(const LineStore& raw) {
    if (raw.empty()) return false;
    std::string_view head = std::string_view(raw[0]).substr(0, kMarkWindow);
    return head.find(kRecordMark) != std::string_view::npos;
}

bool IsPlainlyUtf8(const LineStore& raw) {
    if (!raw.empty() && raw[0].starts_with(kUtf8Bom)) return true;
    // Line breaks are ASCII in both encodings, so the lines can be judged one by one.
    bool foreign = false;
    for (const std::string& line : raw.lines()) {
        if (isAscii(line)) continue;
        if (!text::isUtf8(line)) return false;
        foreign = true;
    }
    if (!foreign) return false;
    return std::any_of(raw.lines().begin(), raw.lines().end(),
                       [](const std::string& l) { return !text::isCp932(l); });
}

ListRefusal CheckList(const LineStore& raw) {
    if (allBlank(raw)) return ListRefusal::Empty;
    if (IsPlainlyUtf8(raw)) return ListRefusal::Utf8;
    if (!HasRecordMark(raw)) return ListRefusal::NoRecordMark;
    return ListRefusal::None;
}

bool HasRecordNumber(std::string_view line) {
    size_t mark = line.find(kRecordMark);
    return mark != std::string_view::npos && allDigits(line.substr(0, mark));
}

ListBuild BuildListRecords(const LineStore& raw) {
    ListBuild build;
    build.refusal = CheckList(raw);
    build.accepted = build.refusal == ListRefusal::None;
    if (!build.accepted) {
        // An empty file has nothing to lose; anything else that is refused is kept aside.
        build.lossy = build.refusal != ListRefusal::Empty;
        return build;
    }
    size_t count = std::min(raw.size(), static_cast<size_t>(kMaxRecords));
    build.records.lines().reserve(count);
    for (size_t i = 0; i < count; ++i) {
        std::string_view line = raw[i];
        size_t mark = line.find(kRecordMark);
        // A blank line carries nothing; any other dropped line is a loss.
        if (mark == std::string_view::npos) {
            if (!line.empty()) ++build.lost;
            continue;
        }
        // Numbered by position, a header row would become a device the next save makes real.
        if (!HasRecordNumber(line)) {
            ++build.lost;
            build.unnumbered.push_back(static_cast<int>(i) + 1);
            continue;
        }
        if (mark != kNumberDigits && mark > 0)
            build.shortNumbered.push_back(static_cast<int>(i) + 1);
        std::string_view body = line.substr(mark + 1);
        if (body.size() > kRecordCut) {
            ++build.lost;
            build.cut.push_back(static_cast<int>(i) + 1);
        }
        std::string rec = ZeroPad(static_cast<long long>(i) + 1, 3);
        rec += ',';
        rec.append(body.substr(0, kRecordCut));
        build.records.lines().push_back(std::move(rec));
        build.fileLine.push_back(static_cast<int>(i));
    }
    for (size_t i = count; i < raw.size(); ++i)
        if (!raw[i].empty()) ++build.lost;
    build.lossy = build.lost > 0;
    return build;
}

std::string ListRefusalText(const std::string& path, ListRefusal why) {
    switch (why) {
        case ListRefusal::None:
            return {};
        case ListRefusal::Empty:
            return path + text::sj(" には機器の行がありません。");
        case ListRefusal::Utf8:
            return path +
                   text::sj(
                       " はUTF-8で保存されているため、リストとして読み込みません"
                       "(結果も書き込みません)。") +
                   spreadsheetHint();
        case ListRefusal::NoRecordMark:
            break;
    }
    return path +
           text::sj(
               " はリストファイルとして読み込めません。1行目の先頭10バイト以内に、"
               "番号・カンマ・フラグのF(例: 001,F0000000,...)が必要です。") +
           spreadsheetHint();
}

std::string UnnumberedText(const std::string& path, const std::vector<int>& lines) {
    return path + text::sj(" の ") + namedLines(lines) +
           text::sj("は番号の欄が数字ではない(見出し行など)ため、機器として扱いません。");
}

std::string ShortNumbersText(const std::string& path, const std::vector<int>& lines) {
    return path + text::sj(" の ") + namedLines(lines) +
           text::sj(
               "は番号が3桁ではありません(001 が 1 など)。表計算ソフトで列を数値として開いて"
               "保存したためと思われ、ユーザーIDやパスワードの先頭の0も失われている可能性が"
               "あります(0123 が 123 など)。リストはこのまま読み込みます。列を文字列として扱う"
               "方法は docs/files.md の「For spreadsheet users」(インストール版では "
               "man 5 qlx-setting)にあります。");
}

std::string CutRecordsText(const std::string& path, const std::vector<int>& lines) {
    return path + text::sj(" の ") + namedLines(lines) +
           text::sj(
               "はFから255バイトを超えるため、それより後(行末の最終送信やメッセージなど)を"
               "読み込みません。名称や送信ファイルのパスを短くしてください。");
}

std::vector<std::string> LoadNotes(const std::string& path, const ListBuild& build) {
    std::vector<std::string> notes;
    if (!build.unnumbered.empty()) notes.push_back(UnnumberedText(path, build.unnumbered));
    if (!build.shortNumbered.empty()) notes.push_back(ShortNumbersText(path, build.shortNumbered));
    if (!build.cut.empty()) notes.push_back(CutRecordsText(path, build.cut));
    return notes;
}

ListBackup KeepListBackup(const std::string& path, std::string_view bytes) {
    // An older copy with other content is kept too: the new one takes the next free name.
    const std::string base = path + ".bak";
    for (int n = 1; n <= kBackupNames; ++n) {
        std::string name = n == 1 ? base : base + std::to_string(n);
        if (platform::fileExists(name) || platform::directoryExists(name)) {
            auto held = platform::readFile(name);
            if (!held || *held != bytes) continue;
        } else if (!platform::writeFileAtomic(name, bytes, platform::Access::OwnerOnly)) {
            return {false, name};
        }
        return {true, name};
    }
    return {false, base};
}

}  // namespace devlist

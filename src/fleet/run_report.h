// The report of a fleet run: one row per device served, as CSV in code page 932 (like every
// file the program writes) or as JSON in UTF-8, and beside it a folder of the same name that
// keeps each served device's transcript of the run.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace fleet {

struct ReportRow {
    int number = 0;       // the record number
    std::string name;     // ListName, code page 932
    std::string address;  // IpAddress
    long long port = 0;   // the TELNET port connected to
    platform::LocalTime start;
    platform::LocalTime end;
    uint32_t durationMs = 0;
    std::string message;             // the result message ("#000 OK 正常送信"); empty: none
    std::vector<std::string> files;  // the work-folder files the dialogue wrote, code page 932
    // A send that wrote both its dumps: the variables it changed (fleet::ChangedNames), code
    // page 932. nullopt otherwise (a check, or a send that ended before its second dump).
    std::optional<std::vector<std::string>> changed;
    // Whether the result is in the list; nullopt for a run that records nothing in it (a plan,
    // or the window, which records each result itself).
    std::optional<bool> recorded;
};

// The run as a whole, for the head of the JSON report.
struct RunSummary {
    std::string verb;       // "check" or "send"
    std::string selection;  // the selection options as given (fleet::SelectionText), code page 932
    platform::LocalTime start;
    platform::LocalTime end;
    size_t selected = 0;  // records the selection named; those not served were interrupted
    size_t ok = 0;
    size_t failed = 0;
    size_t unrecorded = 0;  // results that did not reach the list, whatever the reason
    std::string version;    // the program's
};

// "#404 NG Time Out" splits into the code "404" and the text "NG Time Out".
std::string MessageCode(const std::string& message);
std::string MessageText(const std::string& message);

// The CSV is made for spreadsheets: whatever a device sent, it is valid code page 932 (a byte
// that is no character becomes "?"), and no field can run as a formula (one that starts with
// "=", "+", "-" or "@" gets a "'" before it). Times as the list has them.
std::string ReportCsv(const std::vector<ReportRow>& rows);
// The CSV in parts, for a report that grows by a row as each device is served: the head line,
// then each row; together they are ReportCsv's bytes.
std::string ReportCsvHead();
std::string ReportCsvRow(const ReportRow& row);
// One object: "run" (the summary) and "devices" (the rows); times in ISO 8601 with the offset.
// Each row says "ok" (true for a success, "#000") beside "code", so that a script needs no
// result codes to pick the devices that failed.
std::string ReportJson(const RunSummary& run, const std::vector<ReportRow>& rows);

// The report's "Changed" column: empty without a send's dumps, "0" for none, else the count, a
// colon and the names separated by ";" ("2: .sysName;.ntpServer"); a name that holds a ";" or
// a '"' is quoted, its quotes doubled, so that the names can be told apart again.
std::string ChangedColumn(const std::optional<std::vector<std::string>>& changed);

// The report's "Recorded" column: "yes" when the result is in the list, "no" when it did not
// reach it, empty for a run that records nothing (JSON: true, false, null).
std::string RecordedColumn(std::optional<bool> recorded);

// JSON when the path ends ".json" (any letter case), CSV otherwise.
bool IsJsonReport(const std::filesystem::path& report);
// The transcripts' folder: the report's path without its extension.
std::filesystem::path TranscriptFolder(const std::filesystem::path& report);
// "No017-127.0.0.18.txt", with anything a file name must not hold replaced.
std::string TranscriptName(int number, const std::string& address);

// For other reports of the same kind: a CSV field as the report writes it, a JSON string of
// code page 932 text, and names ";"-joined as the Changed column joins them (without its count).
std::string CsvField(const std::string& raw);
std::string JsonString(const std::string& cp932);
std::string NamesColumn(const std::vector<std::string>& names);

}  // namespace fleet

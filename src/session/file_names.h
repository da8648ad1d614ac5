// Names of the files a session writes into the work folder. Their parts come from untrusted
// text (the "保存名称" box, the MAC address and name that the device reports), so a name never
// leads out of the work folder.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

#include "devlist/line_store.h"

namespace session {

// name with every byte that must not appear in a file name replaced by '_': path separators,
// control bytes, the bytes that other systems forbid in names (< > : " | ? *), each dot of a
// ".." and a lone lead byte at the end. A two-byte character is kept whole, even when its
// second byte is '\' or '|'.
std::string SafeFileName(std::string_view name);

std::string PreWriteDumpName(std::string_view saveName);   // saveName + "q1.txt"
std::string PostWriteDumpName(std::string_view saveName);  // saveName + "q2.txt"
std::string Log20Name(std::string_view macAddress);        // "QLX" + MAC digits + "l20.txt"
std::string CommLogName(std::string_view saveName);        // saveName + "R1.txt"

// The device log of a session: by the MAC address the device reported, as Log20Name. Under its
// save name (saveName + "l20.txt") when the device reported none, so that such devices do not
// share one "QLXl20.txt", and when the session writes under its unique name, whose MAC name
// another session was writing.
std::string Log20FileName(std::string_view saveName, std::string_view reportedMac,
                          std::string_view unique);

// The save name a record line gives its files by itself, as the record editor fills its box:
// its own "保存名称", else "QLX" and the digits of its MAC address; empty when it has neither.
std::string RecordSaveName(std::string_view line);

// The save name a session takes once its device has answered, for a record that names no files
// by itself: "QLX" and the digits of the MAC address the device reported, else `unique`.
std::string ReportedSaveName(std::string_view reportedMac, std::string_view unique);

// The save names of a list's records. A record that names no files by itself and whose device
// reports no MAC address either takes a name no other record of the list has: "QLX-No" and its
// record number ("QLX-No003"), with "_" added while another record names the same files by
// itself. Names are compared without regard to letter case, as a work folder on a Windows share
// compares them. Lines that are no records (no ",F") are passed by, so the list as a file holds
// it and the list as loaded give the same names.
class SaveNames {
public:
    explicit SaveNames(const devlist::LineStore& list);
    // The name of the record with this number when its device reports no MAC address.
    std::string unique(int number) const;
    // The name the files of the record with this line and number were written under:
    // RecordSaveName, else unique.
    std::string of(std::string_view line, int number) const;

private:
    std::unordered_set<std::string> m_taken;  // the records' own names, as files compare
};

}  // namespace session

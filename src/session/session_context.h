// What a device session is given: the loop, the clock, the dialogs, the record's boxes and the
// options it reads while it runs, the work folder, and where it reports. The window and a runner
// each fill it; the session owns none of it.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

#include "devlist/edit_panel.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/event_loop.h"
#include "platform/files.h"
#include "session/bounded_text.h"
#include "session/session_state.h"

namespace session {

// The six check boxes that steer the closing commands; read when the device log is in.
struct SessionOptions {
    const bool& setTime;       // "時刻設定を行う"
    const bool& registerIp;    // "接続IPアドレスを登録"
    const bool& disableDhcp;   // "dhcp 無効設定"
    const bool& registerName;  // "名称を機器登録"
    const bool& write;         // "WRITE"
    const bool& cpuReset;      // "CPURESET"
};

// Saves a session's files off the loop, in the order asked: a fleet run's writer thread. done
// runs on the loop's thread at a later dispatch, never inside save, with 0 or the errno of the
// failure; it is dropped when the saver goes first.
class FileSaver {
public:
    virtual ~FileSaver() = default;
    virtual void save(std::filesystem::path path, std::string bytes,
                      std::function<void(int error)> done) = 0;
};

struct SessionContext {
    platform::EventLoop& loop;
    platform::Clock& clock;
    platform::Dialogs& dialogs;
    // The record editor's boxes: the window shows them, and the dialogue reads the login and
    // file names from them and puts the device's values into them while the session runs.
    devlist::EditPanel& panel;
    SessionOptions options;
    const SessionMode& mode;  // the run's mode as it is now ("停止" changes it)
    // The work folder by its native name: the program owns it, so code page 932 need not hold it.
    std::filesystem::path workFolder;
    // A line for the communication log (the text after the time stamp).
    std::function<void(const std::string&)> log;
    // The session has ended (completed, refused at login, timed out): at most once.
    std::function<void()> onEnded;
    // The terminal text or the record's boxes changed; optional.
    std::function<void()> onChanged;
    // What the terminal text and the device log keep at most.
    size_t textCapBytes = BoundedText::kDefaultCapBytes;
    // The run's memory for all its sessions' texts, which they draw from as they grow; none:
    // each text keeps up to its cap.
    TextPool* textPool = nullptr;
    // Prompt pace tests a login chunk as it comes instead of after its pause.
    Pace pace = Pace::Prescribed;
    // A fleet run's saves into its work folder, which it sweeps before its sessions and syncs
    // after them; none: each save on its own.
    platform::SaveBatch* saves = nullptr;
    // Saves the files instead, off the loop: the dialogue waits for each save's result, and
    // the session's end for its last (it comes before `saves`).
    FileSaver* saver = nullptr;
    // For a record that names no files by itself: the name its files take when the device
    // reports no MAC address either (SaveNames::unique); empty: the bare names.
    std::string uniqueSaveName{};
    // Asks the run for the files of a save name learnt from the device: false while another
    // session of the run writes under it, and the session keeps uniqueSaveName. None: granted.
    std::function<bool(const std::string& saveName)> claimSaveName{};
};

}  // namespace session

// Sessions whose files are saved off the loop: the dialogue waits for each save's result, what
// the device sends meanwhile is handled after it in order, the time-out still comes on time, and
// the session ends only once its saves are back; a file that cannot be written, on the loop or
// off it, ends the session at once.
#include <cerrno>

#include "held_saver.h"
#include "session_rig.h"
#include "text/cp932.h"

namespace sessiontest {
namespace {

const std::vector<std::string> kFiles = {"QLX00ee80000001q1.txt", "QLX00ee80000001q2.txt",
                                         "QLX001122334455l20.txt", "QLX00ee80000001R1.txt"};

// The send transcript with the prompt after the first dump in a chunk of its own, which comes
// while that dump is being saved.
std::vector<std::string> splitTranscript() {
    std::vector<std::string> t = sendTranscript();
    t[6] = "&save\r\n.a=1\r\n.b=2\r\nLOAD_END\r\n";
    t.insert(t.begin() + 7, "QLX> ");
    return t;
}

// Every save held while the device goes on (the chunk after the first dump comes during its
// save), then let go: the same bytes sent, the same files byte for byte and the same result as
// saves done on the loop; while a save is pending nothing goes out and the session has not ended.
TEST(PendingSave, ASlowSaveHoldsTheDialogueAndEndsAsASaveOnTheLoop) {
    Rig onLoop;
    onLoop.start({".x=1", ".y=2"});
    onLoop.feedAll(splitTranscript());
    ASSERT_EQ(onLoop.session->result(), session::kResultOk);
    ASSERT_EQ(onLoop.session->savedFiles(), kFiles);

    Rig rig;
    testsupport::HeldSaver saver(rig.loop);
    rig.saver = &saver;
    rig.start({".x=1", ".y=2"});
    const std::vector<std::string> t = splitTranscript();
    int held = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        rig.feed(t[i]);
        if (saver.pending() == 0) continue;
        ++held;
        ASSERT_TRUE(rig.session->savePending());
        const std::string sent = rig.conn().sent();
        if (i == 6) rig.feed(t[++i]);  // the device goes on during the save
        rig.loop.advance(100);
        EXPECT_EQ(rig.conn().sent(), sent);
        EXPECT_EQ(rig.ended, 0);
        saver.release();
        rig.loop.runPending();
        EXPECT_FALSE(rig.session->savePending());
    }
    EXPECT_EQ(held, 4);
    EXPECT_EQ(rig.conn().sent(), onLoop.conn().sent());
    for (const std::string& name : kFiles) EXPECT_EQ(rig.file(name), onLoop.file(name)) << name;
    EXPECT_EQ(rig.session->savedFiles(), kFiles);
    EXPECT_EQ(rig.session->result(), session::kResultOk);
    EXPECT_EQ(rig.ended, 1);
}

// Whichever file cannot be written, saved on the loop (a folder at its name, or a name too long)
// or off it (with a chunk of the device waiting behind the save): the session says so in its
// error box and ends at once with the failure's result. Nothing more goes to the device (a
// failed dump before the settings streams none of them), nothing that waited is handled, no
// later file is written, and the rest of the dialogue and the time-out change nothing.
TEST(PendingSave, AFileThatCannotBeWrittenEndsTheSessionAtOnce) {
    for (const bool held : {false, true}) {
        for (size_t k = 0; k < kFiles.size() + (held ? 0 : 1); ++k) {
            SCOPED_TRACE(std::to_string(k) + (held ? " held" : " on the loop"));
            const bool tooLong = k == kFiles.size();
            Rig rig;
            testsupport::HeldSaver saver(rig.loop);
            if (held) rig.saver = &saver;
            if (tooLong) rig.panel.saveName = std::string(300, 'n');
            if (!held && !tooLong) fs::create_directory(rig.dir / kFiles[k]);
            rig.start({".x=1"});
            size_t saves = 0;
            for (const std::string& chunk : sendTranscript()) {
                if (rig.ended) break;
                rig.feed(chunk);
                if (saver.pending() == 0) continue;
                if (saves++ < k) {
                    saver.release();
                    rig.loop.runPending();
                    continue;
                }
                rig.feed("QLX> ");
                const std::string sent = rig.conn().sent();
                const std::string terminal(rig.session->terminal().bytes());
                saver.release(EACCES);
                rig.loop.runPending();
                EXPECT_EQ(rig.conn().sent(), sent);
                EXPECT_EQ(rig.session->terminal().bytes(), terminal);
            }
            ASSERT_EQ(rig.ended, 1);
            EXPECT_EQ(rig.session->result(), session::kResultSaveFailed);
            EXPECT_FALSE(rig.conn().isOpen());
            const fs::path path = rig.dir / (tooLong ? rig.panel.saveName + "q1.txt" : kFiles[k]);
            ASSERT_TRUE(rig.session->saveFailure());
            EXPECT_EQ(rig.session->saveFailure()->file, path);
            EXPECT_EQ(rig.session->saveFailure()->error, held      ? EACCES
                                                         : tooLong ? ENAMETOOLONG
                                                                   : EISDIR);
            ASSERT_EQ(rig.dialogs.shown().size(), 1u);
            EXPECT_EQ(rig.dialogs.shown()[0].kind, testsupport::ScriptedDialogs::Kind::Error);
            EXPECT_EQ(rig.dialogs.shown()[0].text, path.string() + text::sj(" に書き込めません"));
            EXPECT_EQ(rig.session->savedFiles(),
                      std::vector<std::string>(kFiles.begin(), kFiles.begin() + (tooLong ? 0 : k)));
            std::error_code ec;
            EXPECT_FALSE(fs::is_regular_file(path, ec));
            rig.takeSent();
            for (const std::string& chunk : sendTranscript()) rig.feed(chunk);
            rig.loop.advance(session::kTimeoutDialogueMs);
            EXPECT_EQ(rig.takeSent(), "");
            EXPECT_EQ(rig.ended, 1);
            EXPECT_EQ(rig.session->result(), session::kResultSaveFailed);
        }
    }
}

// The time-out comes on time during a save: the connection closes at once and the result says
// so, but the session ends only when the save is back, with no further step; a save that then
// fails still ends it as a failed save, since its file is lost.
TEST(PendingSave, TheTimeOutComesOnTimeAndTheEndWaitsForTheSave) {
    for (int error : {0, EIO}) {
        SCOPED_TRACE(error);
        Rig rig;
        testsupport::HeldSaver saver(rig.loop);
        rig.saver = &saver;
        rig.mode = SessionMode::SingleCheck;
        rig.start();
        const std::vector<std::string> t = sendTranscript();
        for (size_t i = 0; i < 6; ++i) rig.feed(t[i]);
        rig.feed(t[10]);  // the dump of a check
        ASSERT_EQ(saver.pending(), 1u);
        ASSERT_EQ(saver.next(), rig.dir / kFiles[1]);
        rig.takeSent();
        rig.loop.advance(session::kTimeoutDialogueMs);
        EXPECT_EQ(rig.session->result(), session::kResultTimeOut);
        EXPECT_FALSE(rig.conn().isOpen());
        EXPECT_EQ(rig.ended, 0);
        saver.release(error);
        rig.loop.runPending();
        EXPECT_EQ(rig.ended, 1);
        EXPECT_EQ(rig.session->result(),
                  error == 0 ? session::kResultTimeOut : session::kResultSaveFailed);
        EXPECT_EQ(rig.takeSent(), "");
        EXPECT_EQ(rig.file(kFiles[1]) != "<missing>", error == 0);
        rig.loop.advance(session::kTimeoutDialogueMs);
        EXPECT_EQ(rig.ended, 1);
    }
}

}  // namespace
}  // namespace sessiontest

// The fleet run and the files its devices write: records that share a save name, each row's
// files, a work folder that fails, and the name each record writes under.
#include "fleet_run_fixture.h"
#include "held_saver.h"

namespace fleettest {
namespace {

// Records that name the same files (the same save name: a MAC address left at the default, or a
// "保存名称" of their own) are served one after the other; the others side by side.
TEST_F(FleetRunTest, RecordsSharingASaveNameNeverRunTogether) {
    const std::string kDefault = "00:ee:80:00:00:00";
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        std::string order;  // the devices in the order their sessions started
        int finishedAt;     // two workers; 5500 per device, 1000 between two of one worker
    } cases[] = {
        {"each its own",
         {record(1, "00:ee:80:00:00:01"), record(2, "00:ee:80:00:00:02"),
          record(3, "00:ee:80:00:00:03"), record(4, "00:ee:80:00:00:04")},
         "1234",
         2 * 5500 + 1000},
        // A waiting worker takes the device as soon as its files are free.
        {"all at the default MAC",
         {record(1, kDefault), record(2, kDefault), record(3, kDefault), record(4, kDefault)},
         "1234",
         4 * 5500},
        {"two with one save name of their own",
         {record(1, "00:ee:80:00:00:01", "SITE"), record(2, "00:ee:80:00:00:02", "SITE"),
          record(3, "00:ee:80:00:00:03"), record(4, "00:ee:80:00:00:04")},
         "1324",
         2 * 5500 + 1000},
        {"a save name that is another's default",
         {record(1, "00:ee:80:00:00:01"), record(2, kDefault, "QLX00ee80000001"),
          record(3, "00:ee:80:00:00:03")},
         "132",
         2 * 5500 + 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        useList(c.lines);
        const size_t before = fresh();
        auto run = makeRun(2);
        run->start();
        advance(*run, 40000);
        EXPECT_TRUE(run->finished());
        std::string order;
        for (size_t i = before; i < m_network.connections().size(); ++i)
            order += m_network.connections()[i]->host().back();
        EXPECT_EQ(order, c.order);
        EXPECT_EQ(m_finishedAt, c.finishedAt);
        EXPECT_EQ(run->rows().size(), c.lines.size());
    }
}

// A device that answers writes its files while another record with its save name waits; the
// other's row names no file of the first, and the first's row names its own.
TEST_F(FleetRunTest, EachRowNamesTheFilesOfItsOwnSession) {
    useList({record(1, "00:ee:80:00:00:00"), record(2, "00:ee:80:00:00:00")});
    fresh();
    auto run = makeRun(2);
    run->start();
    m_loop.runPending();
    ASSERT_EQ(m_network.connections().size(), 1u);  // the other waits for the files
    ASSERT_EQ(m_network.connections()[0]->host(), "127.0.0.1");
    play(*m_network.connections()[0], checkAnswers());
    m_loop.advance(20000);
    ASSERT_EQ(run->rows().size(), 2u);
    const fleet::ReportRow& own = run->rows()[0];
    EXPECT_EQ(own.number, 1);
    EXPECT_EQ(own.files,
              (std::vector<std::string>{"QLX00ee80000000q2.txt", "QLX001122334455l20.txt",
                                        "QLX00ee80000000R1.txt"}));
    EXPECT_EQ(run->rows()[1].number, 2);
    EXPECT_TRUE(run->rows()[1].files.empty());
    EXPECT_EQ(run->okCount(), 1);
}

// The work folder turns read-only between two devices: the second ends at once, not by its
// time-out, and no third device is started.
TEST_F(FleetRunTest, AFailedSaveEndsItsDeviceAtOnceAndStartsNoOther) {
    const std::string original = testsupport::readBytes(m_list);
    const fs::path work = m_dir / "work";
    for (session::Pace pace : {session::Pace::Prescribed, session::Pace::Prompt}) {
        SCOPED_TRACE(static_cast<int>(pace));
        testsupport::writeBytes(m_list, original);
        fs::remove_all(work);
        fs::create_directories(work);
        const size_t before = fresh();
        fleet::FleetOptions options;
        options.settings.pace = pace;
        options.workFolder = work;
        auto run = makeRun(1, options);
        run->start();
        for (size_t device = 0; device < 2; ++device) {
            for (int ms = 0; ms < 20000 && m_network.connections().size() <= before + device; ++ms)
                advance(*run, 1);
            ASSERT_EQ(m_network.connections().size(), before + device + 1);
            if (device == 1) ::chmod(work.c_str(), 0555);
            play(*m_network.connections()[before + device], checkAnswers(), run.get());
        }
        ASSERT_EQ(run->rows().size(), 2u);
        EXPECT_LT(run->rows()[1].durationMs, session::kTimeoutDialogueMs);
        advance(*run, 30000);
        ::chmod(work.c_str(), 0755);
        EXPECT_TRUE(run->finished());
        EXPECT_EQ(m_network.connections().size(), before + 2);
        EXPECT_EQ(messageOf(m_list, 0), text::sj("#000 OK 正常送信"));
        EXPECT_EQ(messageOf(m_list, 1), "#508 NG File Save Error");
        EXPECT_EQ(messageOf(m_list, 2), "");
        ASSERT_TRUE(run->saveFailure());
        EXPECT_EQ(run->saveFailure()->file, work / "QLX00ee80000002q2.txt");
        EXPECT_EQ(run->saveFailure()->error, EACCES);
    }
}

// A device's save is slow (held off the loop) when the operator clicks "停止": the run waits for
// the save and the device's end, records its result and starts no other device.
TEST_F(FleetRunTest, AStoppedRunWaitsForAPendingSaveAndStartsNoFurtherDevice) {
    const size_t before = fresh();
    testsupport::HeldSaver saver(m_loop);
    fleet::FleetOptions options;
    options.settings.pace = session::Pace::Prompt;
    options.saver = &saver;
    auto run = makeRun(1, options);
    run->start();
    ASSERT_EQ(m_network.connections().size(), before + 1);
    bool stopped = false;
    for (const std::string& chunk : checkAnswers()) {
        m_network.connections()[before]->deliver(chunk);
        m_loop.runPending();
        advance(*run, 250);
        if (saver.pending() == 0) continue;
        if (!stopped) {
            run->stop();
            advance(*run, 2000);
            EXPECT_FALSE(run->finished());
            EXPECT_TRUE(run->rows().empty());
            stopped = true;
        }
        saver.release();
        advance(*run, 250);
    }
    advance(*run, 30000);
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(run->finished());
    EXPECT_EQ(m_network.connections().size(), before + 1);
    ASSERT_EQ(run->rows().size(), 1u);
    EXPECT_EQ(messageOf(m_list, 0), text::sj("#000 OK 正常送信"));
    EXPECT_EQ(messageOf(m_list, 1), "");
    EXPECT_FALSE(run->saveFailure());
    EXPECT_EQ(saver.pending(), 0u);
}

// The list changes under the run: each row says whether its result reached the list.
TEST_F(FleetRunTest, EachRowSaysWhetherItsResultReachedTheList) {
    const std::string original = testsupport::readBytes(m_list);
    const std::string utf8 = "\xEF\xBB\xBF" + original;  // as a spreadsheet saves it
    const std::string withoutSecond =
        original.substr(0, original.find("002,")) + original.substr(original.find("003,"));
    struct Case {
        const char* what;
        std::string list, recorded;  // the list once the first device answered; y/n per device
        int recordedOk;
    } cases[] = {
        {"untouched", "", "yyyyy", 1},
        {"replaced by a UTF-8 copy", utf8, "nnnnn", 0},
        {"the second record deleted", withoutSecond, "ynyyy", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::writeBytes(m_list, original);
        const size_t before = fresh();
        auto run = makeRun(5);
        run->start();
        m_loop.runPending();
        play(*m_network.connections()[before], checkAnswers());
        if (!c.list.empty()) testsupport::writeBytes(m_list, c.list);
        advance(*run, 40000);
        ASSERT_TRUE(run->finished());
        std::string recorded(5, '?');
        for (const fleet::ReportRow& row : run->rows()) {
            ASSERT_TRUE(row.recorded);
            recorded[static_cast<size_t>(row.number - 1)] = *row.recorded ? 'y' : 'n';
        }
        EXPECT_EQ(recorded, c.recorded);
        EXPECT_EQ(run->unrecordedCount(),
                  static_cast<size_t>(std::count(recorded.begin(), recorded.end(), 'n')));
        EXPECT_EQ(run->recordedOkCount(), c.recordedOk);
    }
}

// A record without a save name or MAC address writes under the one its device reports, else
// under a name no other record has.
TEST_F(FleetRunTest, EachRecordWritesUnderItsOwnTheListsTheDevicesOrAUniqueName) {
    auto files = [](const std::string& name, std::string log = "") {
        if (log.empty()) log = name;
        return std::vector<std::string>{name + "q2.txt", log + "l20.txt", name + "R1.txt"};
    };
    const std::string kMac1 = "00:11:22:33:44:01", kMac2 = "00:11:22:33:44:02";
    struct Case {
        std::vector<std::string> lines;
        std::vector<std::string> reported;  // per record: its device's MAC address, or "refuse"
        std::map<int, std::vector<std::string>> files;  // per record number
    } cases[] = {
        {{record(1, ""), record(2, ""), record(3, "")},
         {kMac1, kMac2, "refuse"},
         {{1, files("QLX001122334401")}, {2, files("QLX001122334402")}, {3, {}}}},
        // A save name of its own, then the list's MAC address, go before the reported one.
        {{record(1, "", "SITE"), record(2, "00:ee:80:00:00:02")},
         {kMac1, kMac2},
         {{1, files("SITE", "QLX001122334401")}, {2, files("QLX00ee80000002", "QLX001122334402")}}},
        // Devices that report none; record 3's own name is "QLX-No001" but for letter case.
        {{record(1, ""), record(2, ""), record(3, "", "qlx-no001")},
         {"", "", kMac1},
         {{1, files("QLX-No001_")},
          {2, files("QLX-No002")},
          {3, files("qlx-no001", "QLX001122334401")}}},
        // The reported MAC address names files another device is writing at that moment.
        {{record(1, kMac1), record(2, "")},
         {kMac1, kMac1},
         {{1, files("QLX001122334401")}, {2, files("QLX-No002")}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines[0]);
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        useList(c.lines);
        auto run = makeRun(static_cast<int>(c.lines.size()), {}, false);
        const size_t before = m_network.connections().size();
        run->start();
        m_loop.runPending();
        ASSERT_EQ(m_network.connections().size() - before, c.lines.size());  // side by side
        for (size_t k = 0; k < checkAnswers().size(); ++k) {
            for (size_t i = 0; i < c.lines.size(); ++i) {
                std::vector<std::string> chunks = checkAnswers();
                chunks[4] = "?ifPhysAddress=" + c.reported[i] + "\r\nQLX> ";
                if (c.reported[i] == "refuse") chunks = {"login Incorrect\r\n"};
                if (k < chunks.size()) m_network.connections()[before + i]->deliver(chunks[k]);
                m_loop.runPending();
            }
            m_loop.advance(250);  // past the login pause
        }
        m_loop.advance(20000);
        ASSERT_TRUE(run->finished());
        std::map<int, std::vector<std::string>> written;
        for (const fleet::ReportRow& row : run->rows()) written[row.number] = row.files;
        EXPECT_EQ(written, c.files);
    }
}

}  // namespace
}  // namespace fleettest

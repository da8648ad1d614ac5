// The program as other tests and operators run it: the listening lines, then a clean stop.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// The simulator is built beside the test programs.
std::string programPath() {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "qlx-devsim").string();
}

int run(std::vector<std::string> args, std::string& out, bool stop) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    args.insert(args.begin(), programPath());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (rc != 0) return -1;
    char buf[4096];
    // Up to the last line the program prints when it is ready, or to its end.
    for (ssize_t n; out.find("search 0.0.0.0:") == std::string::npos &&
                    (n = read(pipeFds[0], buf, sizeof buf)) > 0;)
        out.append(buf, static_cast<size_t>(n));
    if (stop) kill(pid, SIGTERM);
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Program, SaysWhereItListensAndStopsCleanlyOnSigterm) {
    std::string out;
    EXPECT_EQ(run({"--search-port", "0", "--device", "127.0.0.241:0,name=ROOM-A", "--device",
                   "127.0.0.242:0,name=\\x01"},
                  out, true),
              0);
    EXPECT_TRUE(out.starts_with("listening 127.0.0.241:")) << out;
    EXPECT_NE(out.find(" ROOM-A\nlistening 127.0.0.242:"), std::string::npos) << out;
    EXPECT_NE(out.find(" \\x01\nsearch 0.0.0.0:"), std::string::npos) << out;
}

TEST(Program, ServesAThousandDevicesFromAFile) {
    auto file = std::filesystem::temp_directory_path() /
                ("devsim_fleet_" + std::to_string(getpid()) + ".txt");
    {
        std::ofstream out(file);
        for (int k = 0; k < 999; ++k)
            out << "127.0." << 1 + k / 254 << "." << 1 + k % 254 << ":0\n";
    }
    std::string out;
    EXPECT_EQ(run({"--search-port", "0", "--devices", file.string()}, out, true), 0);
    std::filesystem::remove(file);
    size_t listening = 0;
    for (size_t at = 0; (at = out.find("listening 127.0.", at)) != std::string::npos; ++at)
        ++listening;
    EXPECT_EQ(listening, 999u);
    EXPECT_NE(out.find("listening 127.0.4.237:"), std::string::npos);
}

// Help needs no device.
TEST(Program, RefusesBadArgumentsAndPrintsHelp) {
    std::string out;
    EXPECT_EQ(run({"--device", "192.168.0.2"}, out, false), 2);
    EXPECT_EQ(run({"--help"}, out, false), 0);
    EXPECT_NE(out.find("--device DEVICE"), std::string::npos);
    EXPECT_NE(out.find("--devices FILE"), std::string::npos);
}

}  // namespace

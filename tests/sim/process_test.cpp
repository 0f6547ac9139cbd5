// The zorenc-sim program as a subprocess: its printed port, its link, its
// options, and its flash file kept from one run to the next.
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "line.h"
#include "sim/board.h"

extern char **environ;

namespace zorsim {
namespace {

using namespace zorsim_test;

class SimProcess {
public:
    ~SimProcess() { Stop(); }

    // Starts the program and reads the port path it prints; empty on failure.
    std::string Start(std::vector<std::string> args)
    {
        args.insert(args.begin(), ZORSIM_EXE);
        std::vector<char *> argv;
        for (std::string &a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        int pipeFds[2];
        if (pipe(pipeFds) != 0) {
            return {};
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        const int rc = posix_spawn(&pid_, ZORSIM_EXE, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFds[1]);
        if (rc != 0) {
            pid_ = -1;
        }
        // The program prints its port in one write.
        std::string path;
        pollfd p = {pipeFds[0], POLLIN, 0};
        char text[256] = {};
        if (pid_ > 0 && poll(&p, 1, 5000) > 0 && read(pipeFds[0], text, sizeof text - 1) > 0) {
            path.assign(text, std::strcspn(text, "\n"));
        }
        close(pipeFds[0]);
        return path;
    }

    // Ends the program with SIGTERM; its exit status, or -1.
    int Stop()
    {
        if (pid_ <= 0) {
            return -1;
        }
        kill(pid_, SIGTERM);
        int status = 0;
        pid_t done = 0;
        for (int i = 0; i < 500 && done == 0; ++i) {
            done = waitpid(pid_, &status, WNOHANG);
            if (done == 0) {
                usleep(10000);
            }
        }
        if (done == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
        pid_ = -1;
        return done > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
};

TEST(SimProcess, KeepsFlashInItsFileAcrossRuns)
{
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/zorsim-test-XXXXXX";
    char *dir = &pattern[0];
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string flash = std::string(dir) + "/flash";
    const std::string link = std::string(dir) + "/port";
    {
        SimProcess sim;
        const std::string path = sim.Start({"--flash", flash, "--link", link});
        ASSERT_FALSE(path.empty());
        char target[256] = {};
        ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(path, target);
        Line line(link);
        ASSERT_TRUE(line.ok());
        EXPECT_EQ(line.Transact('W', reg::kEncResolution, 2500).status, kStatusOk);
        EXPECT_EQ(line.Transact('W', 0x0209, 555).status, kStatusOk);
        EXPECT_EQ(line.Transact('W', reg::kSaveFlash, 1).status, kStatusOk);
        EXPECT_EQ(line.Transact('W', 0x0209, 777).status, kStatusOk); // not saved
        EXPECT_EQ(sim.Stop(), 0);
        EXPECT_NE(access(link.c_str(), F_OK), 0);
    }
    {
        SimProcess sim;
        const std::string path = sim.Start({"--flash", flash, "--inputs", "0x55"});
        ASSERT_FALSE(path.empty());
        Line line(path);
        ASSERT_TRUE(line.ok());
        EXPECT_EQ(line.Transact('R', reg::kEncResolution, 0).value, 2500u);
        EXPECT_EQ(line.Transact('R', 0x0209, 0).value, 555u);
        EXPECT_EQ(line.Transact('R', reg::kDiState, 0).value, 0x55u);
        EXPECT_EQ(sim.Stop(), 0);
    }
    unlink(flash.c_str());
    rmdir(dir);
}

} // namespace
} // namespace zorsim

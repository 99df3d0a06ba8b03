// A compile interrupted while it writes the compiled file: the temporary file
// beside the destination goes, an existing destination stays as it was, and
// the program ends with the signal's own status.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/harness.h"

namespace {

namespace fs = std::filesystem;

// About 9 MB of source and 12 MB of compiled file: the write lasts long
// enough to be caught in the act.
std::string largeSource() {
    std::string line;
    for (int i = 0; i < 1000; ++i) line += "c16";
    line += "\n";
    std::string source = ".ASSIGN 1 {midi1}\n(t1)";
    source.reserve(source.size() + 3000 * line.size());
    for (int i = 0; i < 3000; ++i) source += line;
    return source;
}

// Starts `vlc3 song.vls` in the directory, its output thrown away; the
// signal given is ignored in it from the start, as under nohup.
pid_t startCompile(const TempDir& dir, int ignored = 0) {
    const std::string binary = VLC3_BINARY;
    const std::string& workDir = dir.path();
    char* argv[] = {const_cast<char*>(binary.c_str()), const_cast<char*>("song.vls"), nullptr};
    pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(workDir.c_str()) != 0) ::_exit(126);
        if (!::freopen("/dev/null", "w", stderr)) ::_exit(126);
        if (ignored) ::signal(ignored, SIG_IGN);
        ::alarm(120);
        ::execv(binary.c_str(), argv);
        ::_exit(127);
    }
    return pid;
}

bool temporaryExists(const TempDir& dir) {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(dir.path(), ignored)) {
        if (entry.path().filename().string().starts_with("song.VLD.")) return true;
    }
    return false;
}

// Runs compiles until one is stopped while its temporary file is there, then
// sends the signal and lets it go on. Returns its wait status, or -1 when no
// attempt was caught writing. A compile that finished first replaced the old
// file: it is put back before the next attempt.
int interruptWhileWriting(const TempDir& dir, int signal, int ignored = 0) {
    for (int attempt = 0; attempt < 25; ++attempt) {
        dir.write("song.VLD", "old");
        pid_t pid = startCompile(dir, ignored);
        if (pid < 0) return -1;
        int status = 0;
        bool caught = false;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (!temporaryExists(dir)) continue;
            ::kill(pid, SIGSTOP);
            ::waitpid(pid, &status, WUNTRACED);
            caught = temporaryExists(dir);
            if (caught) ::kill(pid, signal);
            ::kill(pid, SIGCONT);
            ::waitpid(pid, &status, 0);
            break;
        }
        if (caught) return status;
    }
    return -1;
}

TEST(InterruptedWrite, RemovesTheTemporaryAndKeepsTheOldFile) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        TempDir dir;
        dir.write("song.vls", largeSource());
        int status = interruptWhileWriting(dir, signal);
        ASSERT_NE(status, -1) << "no compile was caught while writing";
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "status " << status;
        EXPECT_EQ(dir.list(), (std::vector<std::string>{"song.VLD", "song.vls"}));
        EXPECT_EQ(textOf(dir.read("song.VLD")), "old");
    }
}

// A hang-up ignored from the start (nohup) stays ignored: the compile ends
// normally and replaces the old file.
TEST(InterruptedWrite, AnIgnoredSignalStaysIgnored) {
    TempDir dir;
    dir.write("song.vls", largeSource());
    int status = interruptWhileWriting(dir, SIGHUP, SIGHUP);
    ASSERT_NE(status, -1) << "no compile was caught while writing";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"song.VLD", "song.vls"}));
    EXPECT_EQ(dir.read("song.VLD").size(), 12000120u);
}

// Before the temporary file exists nothing is to be removed: the signal ends
// the compile at once.
TEST(InterruptedWrite, AnInterruptWhileCompilingLeavesEverythingAsItWas) {
    TempDir dir;
    dir.write("song.vls", largeSource());
    dir.write("song.VLD", "old");
    pid_t pid = startCompile(dir);
    ASSERT_GT(pid, 0);
    ::usleep(20 * 1000);
    ::kill(pid, SIGINT);
    int status = 0;
    ::waitpid(pid, &status, 0);
    // Rarely the compile is already done; then the file is whole and new.
    if (WIFSIGNALED(status)) {
        EXPECT_EQ(WTERMSIG(status), SIGINT);
        EXPECT_EQ(textOf(dir.read("song.VLD")), "old");
    } else {
        EXPECT_EQ(dir.read("song.VLD").size(), 12000120u);
    }
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"song.VLD", "song.vls"}));
}

}  // namespace

#include "base/replacing_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <iterator>

namespace {

constexpr int kInterruptSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The temporary file being written, for the interrupt handler to remove;
// null while there is none. A signal handler can reach nothing but a global.
std::atomic<const char*> g_temporaryFile{nullptr};

extern "C" void removeTemporaryAndEnd(int signal) {
    if (const char* name = g_temporaryFile.load()) ::unlink(name);
    // Then end as the signal asks: its default action, with the status a
    // shell reports for it.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

}  // namespace

bool writeAll(int fd, const void* bytes, size_t count) {
    const auto* at = static_cast<const unsigned char*>(bytes);
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::write(fd, at + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

ReplacingFile::ReplacingFile(std::string destination)
    : destination_(std::move(destination)), temporary_(destination_ + ".XXXXXX") {
    static_assert(std::size(kInterruptSignals) == std::size(decltype(previous_){}));
    sigemptyset(&signals_);
    for (int s : kInterruptSignals) sigaddset(&signals_, s);
    for (size_t i = 0; i < std::size(kInterruptSignals); ++i) {
        struct sigaction action = {};
        action.sa_handler = removeTemporaryAndEnd;
        sigemptyset(&action.sa_mask);
        ::sigaction(kInterruptSignals[i], nullptr, &previous_[i]);
        if (previous_[i].sa_handler != SIG_IGN) ::sigaction(kInterruptSignals[i], &action, nullptr);
    }
    // Creating the temporary and noting it for the handler happen as one
    // step: an interrupt between them waits.
    holdSignals();
    fd_ = ::mkstemp(temporary_.data());
    if (fd_ >= 0) g_temporaryFile.store(temporary_.c_str());
    int error = errno;
    releaseSignals();
    if (fd_ >= 0) {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd_, 0666 & ~mask);
    }
    errno = error;
}

ReplacingFile::~ReplacingFile() {
    int error = errno;
    if (!finished_ && fd_ >= 0) {
        ::close(fd_);
        removeTemporary();
    }
    for (size_t i = 0; i < std::size(kInterruptSignals); ++i) ::sigaction(kInterruptSignals[i], &previous_[i], nullptr);
    errno = error;
}

ReplacingFile::Outcome ReplacingFile::finish(bool written) {
    finished_ = true;
    if (::close(fd_) != 0) written = false;
    int error = errno;
    if (!written) {
        removeTemporary();
        errno = error;
        return Outcome::kWriteFailed;
    }
    holdSignals();
    bool renamed = ::rename(temporary_.c_str(), destination_.c_str()) == 0;
    error = errno;
    if (!renamed) ::unlink(temporary_.c_str());
    g_temporaryFile.store(nullptr);
    releaseSignals();
    errno = error;
    return renamed ? Outcome::kReplaced : Outcome::kRenameFailed;
}

void ReplacingFile::removeTemporary() {
    holdSignals();
    ::unlink(temporary_.c_str());
    g_temporaryFile.store(nullptr);
    releaseSignals();
}

void ReplacingFile::holdSignals() { ::sigprocmask(SIG_BLOCK, &signals_, &before_); }
void ReplacingFile::releaseSignals() { ::sigprocmask(SIG_SETMASK, &before_, nullptr); }

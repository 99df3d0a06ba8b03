// Writing a file so that it appears whole or not at all: the bytes go to a
// temporary file beside the destination, which is renamed into place once
// everything is written. A failure, or an interrupt (Ctrl-C, a hang-up, a
// kill) while the temporary exists, removes the temporary, so neither a
// partial file nor a stray temporary is left and an existing destination
// stays as it was. vlc3 and vld2mid write their files this way.
#pragma once
#include <signal.h>

#include <cstddef>
#include <string>

// Writes all of the bytes to the descriptor, going on after interrupted
// writes; false on any failure, with errno telling why.
bool writeAll(int fd, const void* bytes, size_t count);

class ReplacingFile {
public:
    // Creates the temporary beside `destination`, readable and writable as a
    // new file would be (the umask applies). While it exists the interrupt
    // signals remove it before the program ends; a signal that was ignored
    // stays ignored.
    explicit ReplacingFile(std::string destination);
    // Removes the temporary unless it was renamed into place.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Whether the temporary could be created; errno tells why not.
    bool opened() const { return fd_ >= 0; }
    int descriptor() const { return fd_; }

    enum class Outcome { kReplaced, kWriteFailed, kRenameFailed };
    // Closes the temporary and, when `written` says every byte went out,
    // renames it into place. Otherwise, or when closing or renaming fails,
    // the temporary is removed. errno is that of the failure.
    Outcome finish(bool written);

private:
    void removeTemporary();
    void holdSignals();
    void releaseSignals();

    std::string destination_;
    std::string temporary_;
    int fd_ = -1;
    bool finished_ = false;
    sigset_t signals_;
    sigset_t before_;
    struct sigaction previous_[3];
};

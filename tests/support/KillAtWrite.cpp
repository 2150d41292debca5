// Preloaded into a program under test (LD_PRELOAD): counts the writes and syncs it makes to
// regular files (write, pwrite, pwrite64, writev, fsync, fdatasync) and kills the process with
// SIGKILL just before the one numbered $SKYVANE_KILL_AT_WRITE (from 1), so that a test can stop a
// run at each of its disk writes in turn. Without the variable it only passes the calls on.
#include <dlfcn.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<long> g_count{0};

long KillAt() {
    static const long killAt = [] {
        const char* text = std::getenv("SKYVANE_KILL_AT_WRITE");
        return text != nullptr ? std::atol(text) : 0L;
    }();
    return killAt;
}

void CountDiskWrite(int fd) {
    struct stat st;
    if (KillAt() <= 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        return;
    }
    if (g_count.fetch_add(1) + 1 == KillAt()) {
        raise(SIGKILL);
    }
}

template <class F> F Next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" {

ssize_t write(int fd, const void* buf, size_t count) {
    CountDiskWrite(fd);
    return Next<decltype(&write)>("write")(fd, buf, count);
}

ssize_t pwrite(int fd, const void* buf, size_t count, off_t offset) {
    CountDiskWrite(fd);
    return Next<decltype(&pwrite)>("pwrite")(fd, buf, count, offset);
}

ssize_t pwrite64(int fd, const void* buf, size_t count, off64_t offset) {
    CountDiskWrite(fd);
    return Next<decltype(&pwrite64)>("pwrite64")(fd, buf, count, offset);
}

ssize_t writev(int fd, const struct iovec* iov, int iovcnt) {
    CountDiskWrite(fd);
    return Next<decltype(&writev)>("writev")(fd, iov, iovcnt);
}

int fsync(int fd) {
    CountDiskWrite(fd);
    return Next<decltype(&fsync)>("fsync")(fd);
}

int fdatasync(int fd) {
    CountDiskWrite(fd);
    return Next<decltype(&fdatasync)>("fdatasync")(fd);
}

} // extern "C"

// Preloaded into the controllers of the slowed run: each fsync and fdatasync
// waits for the one disk (an exclusive flock on a shared lock file), takes
// 2 ms there, then flushes for real before letting the next one in. A run's
// flushes are thus served one at a time across every controller, fewer than
// 500 a second, as one slow disk serves them, whatever this machine's disk is.
#include "slow_disk.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

using Flush = int (*)(int);

long long Nanoseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
}

// Counted under the lock, so two processes never count over each other.
void Count(int lock, long long since) {
    bench::slow_disk::Served served{};
    if (::pread(lock, &served, sizeof served, 0) != static_cast<ssize_t>(sizeof served)) served = {};
    ++served.flushes;
    served.heldNanoseconds += static_cast<unsigned long long>(Nanoseconds() - since);
    // A count that cannot be written shows in the benchmark as flushes missing.
    [[maybe_unused]] const ssize_t written = ::pwrite(lock, &served, sizeof served, 0);
}

// Opened at every flush: a lock of its own, so that threads of one process queue as well.
int OpenLock() {
    const char* path = std::getenv(bench::slow_disk::kLockVariable);
    if (!path || !*path) return -1;
    const int lock = ::open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0) return -1;
    int taken;
    while ((taken = ::flock(lock, LOCK_EX)) != 0 && errno == EINTR) {}
    if (taken == 0) return lock;
    ::close(lock);
    return -1;
}

int SlowFlush(Flush real, int fd) {
    if (!real) {
        errno = ENOSYS;
        return -1;
    }
    // Without its lock the flush is not slowed, and not counted: the benchmark sees that.
    const int lock = OpenLock();
    if (lock < 0) return real(fd);
    const long long taken = Nanoseconds();
    timespec left{0, bench::slow_disk::kFlushMicroseconds * 1000};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {}
    const int result = real(fd);
    const int error = errno;
    Count(lock, taken);
    ::close(lock);  // releases the disk
    errno = error;
    return result;
}

Flush Real(const char* name) { return reinterpret_cast<Flush>(::dlsym(RTLD_NEXT, name)); }

}  // namespace

extern "C" {

int fsync(int fd) {
    static const Flush real = Real("fsync");
    return SlowFlush(real, fd);
}

int fdatasync(int fd) {
    static const Flush real = Real("fdatasync");
    return SlowFlush(real, fd);
}

}  // extern "C"

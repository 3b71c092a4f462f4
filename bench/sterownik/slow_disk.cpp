// Preloaded into the controllers of the slowed run: each fsync and fdatasync
// waits its turn at the one disk (a ticket in a shared queue file, served in
// order), takes 2 ms there, then flushes for real before letting the next one in. A run's
// flushes are thus served one at a time across every controller, fewer than
// 500 a second, as one slow disk serves them, whatever this machine's disk is.
#include "slow_disk.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

using Flush = int (*)(int);

long long Nanoseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
}

// The queue shared by every controller of the run, mapped once a process.
bench::slow_disk::Queue* SharedQueue() {
    static bench::slow_disk::Queue* const queue = []() -> bench::slow_disk::Queue* {
        const char* path = std::getenv(bench::slow_disk::kLockVariable);
        if (!path || !*path) return nullptr;
        const int fd = ::open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) return nullptr;
        // Every process sets the same size: the first one's zeros are the empty queue.
        void* mapped = MAP_FAILED;
        if (::ftruncate(fd, sizeof(bench::slow_disk::Queue)) == 0)
            mapped = ::mmap(nullptr, sizeof(bench::slow_disk::Queue), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        ::close(fd);
        return mapped == MAP_FAILED ? nullptr : static_cast<bench::slow_disk::Queue*>(mapped);
    }();
    return queue;
}

long Futex(unsigned int* word, int operation, unsigned int value, unsigned int bits) {
    return ::syscall(SYS_futex, word, operation, value, nullptr, nullptr, bits);
}

// Waits for its ticket; only the waiters whose tickets share its bit are woken at each turn.
void WaitTurn(bench::slow_disk::Queue& queue, unsigned int ticket) {
    for (;;) {
        const unsigned int serving = __atomic_load_n(&queue.serving, __ATOMIC_ACQUIRE);
        if (serving == ticket) return;
        Futex(&queue.serving, FUTEX_WAIT_BITSET, serving, 1u << (ticket % 32));
    }
}

void EndTurn(bench::slow_disk::Queue& queue) {
    const unsigned int next = __atomic_add_fetch(&queue.serving, 1, __ATOMIC_RELEASE);
    Futex(&queue.serving, FUTEX_WAKE_BITSET, INT_MAX, 1u << (next % 32));
}

int SlowFlush(Flush real, int fd) {
    if (!real) {
        errno = ENOSYS;
        return -1;
    }
    // Without its queue the flush is not slowed, and not counted: the benchmark sees that.
    bench::slow_disk::Queue* const queue = SharedQueue();
    if (!queue) return real(fd);
    WaitTurn(*queue, __atomic_fetch_add(&queue->next, 1, __ATOMIC_ACQ_REL));
    const long long taken = Nanoseconds();
    timespec left{0, bench::slow_disk::kFlushMicroseconds * 1000};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {}
    const int result = real(fd);
    const int error = errno;
    ++queue->served.flushes;
    queue->served.heldNanoseconds += static_cast<unsigned long long>(Nanoseconds() - taken);
    EndTurn(*queue);
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

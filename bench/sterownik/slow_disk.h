#pragma once

// The disk made slow on purpose for one run, so that its figures do not
// depend on the machine's disk: what its LD_PRELOAD library (slow_disk.cpp)
// and the benchmark agree on. No other header, so that the library needs none.

namespace bench::slow_disk {

// The queue file's path, in the controllers' environment. The file is the
// disk's one queue; it begins with what it has served, counted by the flush
// at the disk.
inline constexpr char kLockVariable[] = "HALL_SLOW_DISK_LOCK";
// The wait each flush takes under the lock, before the real flush.
inline constexpr long kFlushMicroseconds = 2000;

// At the start of the lock file, native integers.
struct Served {
    unsigned long long flushes;
    unsigned long long heldNanoseconds;  // the lock held, the real flushes' time included
};

// The disk's queue, after it: a ticket each, served in the order taken, as a
// disk serves its requests (a lock would let any waiter in, and starve some).
struct Queue {
    Served served;
    unsigned int next;     // the next ticket to take
    unsigned int serving;  // the ticket at the disk
};

}  // namespace bench::slow_disk

#pragma once

#include "bench_halls.h"
#include "latency.h"
#include "report.h"
#include "result.h"

#include <cstdint>
#include <vector>

namespace bench {

// A hall's ledger commits so far, and when they were counted.
struct CommitCount {
    TimePoint at;
    std::int64_t commits = 0;
};

// What a ledger that cannot be read means: a controller that failed, or,
// before a run, one whose first commit is still queued at a slow disk, the
// file created and its tables not yet; counting that one from none can only
// raise its figure.
enum class Unreadable { Fails, CountsNone };

// Each hall's, in the order of its names, read from its dziennik.sqlite as
// another program reads it. A hall without the file yet has made none.
hall::Result<std::vector<CommitCount>> CountCommits(const Halls& halls, Unreadable unreadable);

// Each hall's commits a minute between two counts of the same halls.
CommitRates CommitsPerMinute(const std::vector<CommitCount>& before, const std::vector<CommitCount>& after);

}  // namespace bench

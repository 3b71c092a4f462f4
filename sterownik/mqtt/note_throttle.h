#pragma once

#include "clock.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace sterownik {

// Keeps a flood of ignored messages out of the journal: the first few notes
// a topic gives in a minute are logged, the rest are counted, and the count
// is logged in one line once the minute is over.
class NoteThrottle {
public:
    static constexpr int kNotesPerMinute = 3;
    static constexpr std::size_t kTopicLimit = 256;  // topics told apart; the rest share one count

    // The lines to log now for a note about `topic`: none, the note, or a
    // count of those held back and the note.
    std::vector<std::string> admit(std::string_view topic, std::string note, TimePoint now);
    // The counts of minutes that are over, to log without waiting for another note.
    std::vector<std::string> expire(TimePoint now);

private:
    struct Window {
        TimePoint start{};
        int logged = 0;
        int held = 0;
    };
    static std::string Count(std::string_view topic, int held);

    std::map<std::string, Window, std::less<>> windows_;
};

}  // namespace sterownik

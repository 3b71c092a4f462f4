#pragma once

#include "result.h"

#include <functional>
#include <string>

namespace sterownik::loop {

// Starts `body` on a thread that nobody waits for. A part stops it by
// telling it so through the state they share, and lets it finish on its own:
// a library call that takes its time then holds up nothing, and the shared
// state outlives the part for as long as the thread needs it. An exception
// that escapes `body` reaches `ended` with its text instead of ending the
// process; a body that returns calls `ended` with nothing.
hall::Status StartDetached(std::function<void()> body, std::function<void(const std::string& why)> ended);

}  // namespace sterownik::loop

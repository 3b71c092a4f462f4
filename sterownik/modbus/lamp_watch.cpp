#include "lamp_watch.h"

namespace sterownik {

std::vector<LampSignal> WatchSignals(const hall::ModbusLampWatch& watch, const std::vector<std::uint16_t>& read) {
    const std::size_t perWord = watch.readBack ? 1 : hall::kLampsPerRegister;
    std::vector<LampSignal> signals;
    for (std::size_t i = 0; i < watch.lamps.size() && i / perWord < read.size(); ++i) {
        const bool value = (read[i / perWord] >> (i % perWord)) & 1u;
        signals.push_back({watch.lamps[i], watch.readBack, value});
    }
    return signals;
}

}  // namespace sterownik

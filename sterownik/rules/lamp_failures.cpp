#include "lamp_failures.h"

#include <algorithm>
#include <utility>

namespace sterownik {
namespace {

bool IsLamp(int lamp) { return lamp >= 1 && lamp <= hall::kLampCount; }

}  // namespace

std::string_view FailureReason(FailureKind kind) {
    return kind == FailureKind::Reported ? "zgłoszona przez moduł" : "wyjście nie zgadza się";
}

std::vector<LampFailures::Change> LampFailures::read(const std::vector<LampSignal>& readings,
                                                     const hall::LampsLit& lamps, TimePoint now) {
    std::vector<Change> changes;
    for (const LampSignal& signal : readings) {
        if (!signal.readBack) {
            const auto bit = reported_.find(signal.lamp);
            if (bit == reported_.end() || bit->second == signal.value) continue;
            bit->second = signal.value;
            changes.push_back({signal.lamp, FailureKind::Reported, signal.value});
            continue;
        }
        const auto readBack = readBacks_.find(signal.lamp);
        if (readBack == readBacks_.end()) continue;
        readBack->second.value = signal.value;
        compare(signal.lamp, readBack->second, lamps[signal.lamp - 1], now, changes);
    }
    return changes;
}

std::vector<LampFailures::Change> LampFailures::lampsChanged(const hall::LampsLit& lamps, TimePoint now) {
    std::vector<Change> changes;
    for (auto& [lamp, readBack] : readBacks_) compare(lamp, readBack, lamps[lamp - 1], now, changes);
    return changes;
}

std::vector<LampFailures::Change> LampFailures::settle(TimePoint now) {
    std::vector<Change> changes;
    for (auto& [lamp, readBack] : readBacks_) due(lamp, readBack, now, changes);
    return changes;
}

std::optional<TimePoint> LampFailures::nextDeadline() const {
    std::optional<TimePoint> next;
    for (const auto& [lamp, readBack] : readBacks_)
        if (readBack.differs && !readBack.failed)
            next = std::min(next.value_or(TimePoint::max()), *readBack.differs + kMismatchLimit);
    return next;
}

std::vector<LampFailures::Change> LampFailures::watch(const std::set<int>& reported, const std::set<int>& readBack) {
    std::vector<Change> changes;
    for (const auto& [lamp, failed] : reported_)
        if (failed && !reported.contains(lamp)) changes.push_back({lamp, FailureKind::Reported, false});
    for (const auto& [lamp, state] : readBacks_)
        if (state.failed && !readBack.contains(lamp)) changes.push_back({lamp, FailureKind::Mismatch, false});
    std::erase_if(reported_, [&](const auto& item) { return !reported.contains(item.first); });
    std::erase_if(readBacks_, [&](const auto& item) { return !readBack.contains(item.first); });
    for (const int lamp : reported)
        if (IsLamp(lamp)) reported_.try_emplace(lamp, false);
    for (const int lamp : readBack)
        if (IsLamp(lamp)) readBacks_.try_emplace(lamp);
    return changes;
}

std::optional<FailureKind> LampFailures::failure(int lamp) const {
    if (const auto bit = reported_.find(lamp); bit != reported_.end() && bit->second) return FailureKind::Reported;
    if (const auto readBack = readBacks_.find(lamp); readBack != readBacks_.end() && readBack->second.failed)
        return FailureKind::Mismatch;
    return std::nullopt;
}

bool LampFailures::assume(int lamp, FailureKind kind) {
    if (kind == FailureKind::Reported) {
        const auto bit = reported_.find(lamp);
        if (bit == reported_.end()) return false;
        bit->second = true;
        return true;
    }
    const auto readBack = readBacks_.find(lamp);
    if (readBack == readBacks_.end()) return false;
    readBack->second.failed = true;
    return true;
}

std::set<int> LampFailures::watched() const {
    std::set<int> lamps;
    for (const auto& [lamp, bit] : reported_) lamps.insert(lamp);
    for (const auto& [lamp, readBack] : readBacks_) lamps.insert(lamp);
    return lamps;
}

void LampFailures::compare(int lamp, ReadBack& readBack, bool lit, TimePoint now, std::vector<Change>& changes) {
    if (!readBack.value) return;
    if (*readBack.value == lit) {
        readBack.differs.reset();
        if (std::exchange(readBack.failed, false)) changes.push_back({lamp, FailureKind::Mismatch, false});
        return;
    }
    if (!readBack.differs) readBack.differs = now;
    due(lamp, readBack, now, changes);
}

void LampFailures::due(int lamp, ReadBack& readBack, TimePoint now, std::vector<Change>& changes) {
    if (!readBack.differs || readBack.failed || now - *readBack.differs < kMismatchLimit) return;
    readBack.failed = true;
    changes.push_back({lamp, FailureKind::Mismatch, true});
}

}  // namespace sterownik

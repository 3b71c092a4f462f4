#include "hall_rules.h"

#include "controller_config.h"
#include "schedule_files.h"
#include "text_number.h"

#include <algorithm>

namespace sterownik {
namespace {

// Longer than any hall waits, short enough for the clock's range.
constexpr double kLongestDelayMinutes = 1e6;

std::string InputName(int input) { return "czujnik " + std::to_string(input); }

std::string FileName(const std::filesystem::path& file) { return file.generic_string(); }

std::string Unreadable(const std::filesystem::path& file) { return "nie można odczytać pliku " + FileName(file); }

const std::string& StateFileNote() {
    static const std::string note = Unreadable(hall::kStateFilePath) + ", nic nie przełączono";
    return note;
}

// The one zone file note of an event that cannot use it.
std::optional<std::string> ZoneNote(int input, const ZoneFile& zone) {
    const std::string file = FileName(hall::SceneCommandFilePath(input));
    if (zone.state == ZoneFile::State::Missing) return InputName(input) + ": brak strefy (brak pliku " + file + ")";
    if (zone.state == ZoneFile::State::Unreadable) return InputName(input) + ": " + Unreadable(file);
    return std::nullopt;
}

std::string ZonesCause(const std::vector<int>& inputs) {
    std::string list;
    for (const int input : inputs) list += (list.empty() ? " " : ", ") + std::to_string(input);
    return inputs.size() == 1 ? "strefa" + list + " zwolniona" : "strefy" + list + " zwolnione";
}

// Lamps that differ from the file, or nothing.
std::optional<hall::LampsLit> Changed(const hall::LampsLit& before, const hall::LampsLit& after) {
    if (before == after) return std::nullopt;
    return after;
}

// Every command leaves a line, even one that finds the lamps as it would set them.
Outcome Commanded(Outcome outcome) {
    if (!outcome.lamps && outcome.notes.empty()) outcome.notes.push_back(outcome.cause + ": bez zmian");
    return outcome;
}

}  // namespace

std::optional<Duration> DelayOf(std::string_view text) {
    const double minutes = std::min(hall::LeadingNumberValue(text), kLongestDelayMinutes);
    if (!(minutes > 0)) return std::nullopt;
    const auto delay = std::chrono::duration_cast<Duration>(std::chrono::duration<double, std::ratio<60>>(minutes));
    if (delay <= Duration::zero()) return std::nullopt;
    return delay;
}

void HallRules::start(const HallFiles& files, TimePoint now) {
    const Duration delay = files.delay.value_or(kDefaultDelay);
    for (int k = 0; k < hall::kSensorCount; ++k)
        zones_[k] = {files.zones[k].state == ZoneFile::State::Read, false, now + delay};
}

Outcome HallRules::handle(const Event& event, const HallFiles& files, TimePoint now) {
    if (const auto* m = std::get_if<Motion>(&event)) return motion(*m, files, now);
    if (const auto* k = std::get_if<KeyPress>(&event)) return key(*k, files);
    if (const auto* l = std::get_if<SetLamp>(&event)) return Commanded(setLamp(*l, files));
    if (const auto* s = std::get_if<SetScene>(&event))
        return Commanded(scene("polecenie: scena " + std::to_string(s->scene), s->scene, files));
    return Commanded(allOff(files));
}

Outcome HallRules::motion(const Motion& event, const HallFiles& files, TimePoint now) {
    Zone& zone = zones_[event.input - 1];
    // Only the first report of no motion after motion restarts the delay.
    if (!event.present && !(zone.held && zone.moving)) return {};
    Outcome outcome;
    if (!files.delay) {
        outcome.notes.push_back(InputName(event.input) + ": " + Unreadable(hall::kDelayFilePath));
        return outcome;
    }
    if (!event.present) {
        zone.moving = false;
        zone.until = now + *files.delay;
        return outcome;
    }
    const ZoneFile& file = files.zones[event.input - 1];
    if (const std::optional<std::string> note = ZoneNote(event.input, file)) {
        outcome.notes.push_back(*note);
        return outcome;
    }
    zone = {true, true, now + *files.delay};
    if (!files.lamps) {
        outcome.notes.push_back(StateFileNote());
        return outcome;
    }
    hall::LampsLit lamps = *files.lamps;
    for (int i = 0; i < hall::kLampCount; ++i) lamps[i] = lamps[i] || file.lamps[i];
    outcome.lamps = Changed(*files.lamps, lamps);
    outcome.cause = InputName(event.input) + ": ruch";
    return outcome;
}

Outcome HallRules::key(const KeyPress& event, const HallFiles& files) const {
    const std::string name = "klawisz " + hall::KeyName(event.key);
    Outcome outcome;
    const std::string field =
        event.key < static_cast<int>(files.keys.fields.size()) ? files.keys.fields[event.key] : std::string();
    if (field == "0") {
        outcome.notes.push_back(name + ": bez sceny");
        return outcome;
    }
    if (field.size() != 1 || field[0] < '1' || field[0] > '8') {
        outcome.notes.push_back(name + ": brak sceny do odczytania w pliku " + FileName(hall::kKeyFilePath));
        return outcome;
    }
    const int number = field[0] - '0';
    return scene(name + " (scena " + std::to_string(number) + ")", number, files);
}

// Exactly the ticked lamps, as "Załącz scenę" does: a box in the third state is off.
Outcome HallRules::scene(const std::string& cause, int scene, const HallFiles& files) const {
    Outcome outcome;
    const hall::SceneRead& boxes = files.scenes[scene - 1];
    if (!boxes.complete) {
        outcome.notes.push_back(cause + ": " + Unreadable(hall::SceneFilePath(scene)));
        return outcome;
    }
    if (!files.lamps) {
        outcome.notes.push_back(StateFileNote());
        return outcome;
    }
    hall::LampsLit lamps{};
    for (int i = 0; i < hall::kLampCount; ++i) lamps[i] = boxes.boxes[i] == 1;
    outcome.lamps = Changed(*files.lamps, lamps);
    outcome.cause = cause;
    return outcome;
}

Outcome HallRules::setLamp(const SetLamp& event, const HallFiles& files) const {
    Outcome outcome;
    if (!files.lamps) {
        outcome.notes.push_back(StateFileNote());
        return outcome;
    }
    hall::LampsLit lamps = *files.lamps;
    lamps[event.lamp - 1] = event.lit;
    outcome.lamps = Changed(*files.lamps, lamps);
    outcome.cause = std::string("polecenie: ") + (event.lit ? "włącz" : "wyłącz") + " lampę " +
                    std::to_string(event.lamp);
    return outcome;
}

// Every lamp off, as the configurator's all-off; zones stay held, as for a key.
Outcome HallRules::allOff(const HallFiles& files) const {
    Outcome outcome;
    if (!files.lamps) {
        outcome.notes.push_back(StateFileNote());
        return outcome;
    }
    outcome.lamps = Changed(*files.lamps, hall::LampsLit{});
    outcome.cause = "polecenie: wyłącz oświetlenie";
    return outcome;
}

Outcome HallRules::release(const HallFiles& files, TimePoint now) {
    std::vector<int> released;
    for (int k = 0; k < hall::kSensorCount; ++k) {
        if (!zones_[k].held || zones_[k].until > now) continue;
        zones_[k] = {};
        released.push_back(k + 1);
    }
    Outcome outcome;
    if (released.empty()) return outcome;
    outcome.cause = ZonesCause(released);
    // A zone still held whose lamps cannot be known might share them: better
    // to leave the hall lit than switch off what it lights.
    for (int k = 0; k < hall::kSensorCount; ++k) {
        const bool concerned = zones_[k].held || std::find(released.begin(), released.end(), k + 1) != released.end();
        if (concerned && files.zones[k].state == ZoneFile::State::Unreadable) {
            outcome.notes.push_back(outcome.cause + ": " + Unreadable(hall::SceneCommandFilePath(k + 1)) +
                                    ", nic nie przełączono");
            return outcome;
        }
    }
    if (!files.lamps) {
        outcome.notes.push_back(outcome.cause + ": " + StateFileNote());
        return outcome;
    }
    hall::LampsLit lamps = *files.lamps;
    for (int i = 0; i < hall::kLampCount; ++i) {
        bool off = false, kept = false;
        for (int k = 0; k < hall::kSensorCount; ++k) {
            if (!files.zones[k].lamps[i] || files.zones[k].state != ZoneFile::State::Read) continue;
            if (zones_[k].held) kept = true;
            else off = off || std::find(released.begin(), released.end(), k + 1) != released.end();
        }
        if (off && !kept) lamps[i] = false;
    }
    outcome.lamps = Changed(*files.lamps, lamps);
    return outcome;
}

std::optional<TimePoint> HallRules::nextDeadline() const {
    std::optional<TimePoint> next;
    for (const Zone& zone : zones_)
        if (zone.held && (!next || zone.until < *next)) next = zone.until;
    return next;
}

}  // namespace sterownik

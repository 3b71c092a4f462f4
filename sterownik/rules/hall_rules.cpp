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

// The lamps as `change` leaves those of the file; nothing switched while the
// file cannot be read. A release names its cause in that note too.
template <class Change>
Outcome Switched(const HallFiles& files, std::string cause, Change change, bool noteNamesCause = false) {
    Outcome outcome;
    if (!files.lamps) {
        outcome.notes.push_back(noteNamesCause ? cause + ": " + StateFileNote() : StateFileNote());
        return outcome;
    }
    hall::LampsLit lamps = *files.lamps;
    change(lamps);
    outcome.lamps = Changed(*files.lamps, lamps);
    outcome.cause = std::move(cause);
    return outcome;
}

// A scene's number as one digit of a key's assignment or a command's payload.
std::optional<int> SceneDigit(std::string_view text) {
    if (text.size() != 1 || text[0] < '1' || text[0] >= '1' + hall::kSceneCount) return std::nullopt;
    return text[0] - '0';
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

bool NeedsScenes(const Event& event) {
    return std::visit(ForEachKind{[](const Motion&) { return false; }, [](const KeyPress&) { return true; },
                                  [](const SetLamp&) { return false; }, [](const SetScene&) { return true; },
                                  [](const AllOff&) { return false; }},
                      event);
}

Outcome HallRules::handle(const Event& event, const HallFiles& files, TimePoint now) {
    return std::visit(
        ForEachKind{
            [&](const Motion& m) { return motion(m, files, now); }, [&](const KeyPress& k) { return key(k, files); },
            [&](const SetLamp& l) {
                const std::string cause =
                    std::string("polecenie: ") + (l.lit ? "włącz" : "wyłącz") + " lampę " + std::to_string(l.lamp);
                return Commanded(Switched(files, cause, [&](hall::LampsLit& lamps) { lamps[l.lamp - 1] = l.lit; }));
            },
            [&](const SetScene& c) {
                return Commanded(scene("polecenie: scena " + std::to_string(c.scene), c.scene, files));
            },
            // Every lamp off, as the configurator's all-off; zones stay held, as for a key.
            [&](const AllOff&) {
                return Commanded(
                    Switched(files, "polecenie: wyłącz oświetlenie", [](hall::LampsLit& lamps) { lamps = {}; }));
            }},
        event);
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
    return Switched(files, InputName(event.input) + ": ruch", [&](hall::LampsLit& lamps) {
        for (int i = 0; i < hall::kLampCount; ++i) lamps[i] = lamps[i] || file.lamps[i];
    });
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
    const std::optional<int> number = SceneDigit(field);
    if (!number) {
        outcome.notes.push_back(name + ": brak sceny do odczytania w pliku " + FileName(hall::kKeyFilePath));
        return outcome;
    }
    return scene(name + " (scena " + std::to_string(*number) + ")", *number, files);
}

// Exactly the ticked lamps, as "Załącz scenę" does: a box in the third state is off.
Outcome HallRules::scene(const std::string& cause, int scene, const HallFiles& files) const {
    Outcome outcome;
    const hall::SceneRead& boxes = files.scenes[scene - 1];
    if (!boxes.complete) {
        outcome.notes.push_back(cause + ": " + Unreadable(hall::SceneFilePath(scene)));
        return outcome;
    }
    return Switched(files, cause, [&](hall::LampsLit& lamps) {
        for (int i = 0; i < hall::kLampCount; ++i) lamps[i] = boxes.boxes[i] == 1;
    });
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
    const std::string cause = ZonesCause(released);
    // A zone still held whose lamps cannot be known might share them: better
    // to leave the hall lit than switch off what it lights.
    for (int k = 0; k < hall::kSensorCount; ++k) {
        const bool concerned = zones_[k].held || std::find(released.begin(), released.end(), k + 1) != released.end();
        if (concerned && files.zones[k].state == ZoneFile::State::Unreadable) {
            outcome.cause = cause;
            outcome.notes.push_back(cause + ": " + Unreadable(hall::SceneCommandFilePath(k + 1)) +
                                    ", nic nie przełączono");
            return outcome;
        }
    }
    outcome = Switched(
        files, cause,
        [&](hall::LampsLit& lamps) {
            for (int i = 0; i < hall::kLampCount; ++i) {
                bool off = false, kept = false;
                for (int k = 0; k < hall::kSensorCount; ++k) {
                    if (!files.zones[k].lamps[i] || files.zones[k].state != ZoneFile::State::Read) continue;
                    if (zones_[k].held)
                        kept = true;
                    else
                        off = off || std::find(released.begin(), released.end(), k + 1) != released.end();
                }
                if (off && !kept) lamps[i] = false;
            }
        },
        true);
    return outcome;
}

std::optional<TimePoint> HallRules::nextDeadline() const {
    std::optional<TimePoint> next;
    for (const Zone& zone : zones_)
        if (zone.held && (!next || zone.until < *next)) next = zone.until;
    return next;
}

}  // namespace sterownik

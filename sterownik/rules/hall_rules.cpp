#include "hall_rules.h"

#include "config_line.h"
#include "schedule_files.h"
#include "text_number.h"

#include <algorithm>
#include <variant>

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

// A scene's number as one digit of a key's assignment or a command's payload.
std::optional<int> SceneDigit(std::string_view text) {
    if (text.size() != 1 || text[0] < '1' || text[0] >= '1' + hall::kSceneCount) return std::nullopt;
    return text[0] - '0';
}

// How long a release that cannot be carried out waits before it is tried again.
constexpr Duration kReleaseRetry = std::chrono::seconds(1);

}  // namespace

std::optional<Duration> DelayOf(std::string_view text) {
    const double minutes = std::min(hall::LeadingNumberValue(text), kLongestDelayMinutes);
    if (!(minutes > 0)) return std::nullopt;
    const auto delay = std::chrono::duration_cast<Duration>(std::chrono::duration<double, std::ratio<60>>(minutes));
    if (delay <= Duration::zero()) return std::nullopt;
    return delay;
}

Duration DelayInForce(const hall::DelayRead& read) {
    if (read.state != hall::FileState::Read) return kDefaultDelay;
    return DelayOf(read.text).value_or(kDefaultDelay);
}

// The lamps as the group has left them so far, and what it did.
struct HallRules::Pass {
    const HallFiles& files;
    std::optional<hall::LampsLit> lamps;
    std::vector<LogLine> lines;

    void note(std::string text) { lines.push_back({std::move(text), std::nullopt}); }

    // The lamps as `change` leaves them; nothing switched while the state
    // file cannot be read. A release names its cause in that note too.
    template <class Change>
    void switchLamps(const std::string& cause, Change change, bool noteNamesCause = false) {
        if (!lamps) return note(noteNamesCause ? cause + ": " + StateFileNote() : StateFileNote());
        hall::LampsLit after = *lamps;
        change(after);
        if (after == *lamps) return;
        lamps = after;
        lines.push_back({cause, hall::LitCount(after)});
    }

    // Every command leaves a line, even one that finds the lamps as it would set them.
    template <class Command>
    void command(const std::string& cause, Command carryOut) {
        const std::size_t before = lines.size();
        carryOut();
        if (lines.size() == before) note(cause + ": bez zmian");
    }
};

void HallRules::start(const HallFiles& files, TimePoint now) {
    for (int k = 0; k < hall::kSensorCount; ++k)
        zones_[k] = {files.zones[k].state == ZoneFile::State::Read, false, now + files.delay};
}

Outcome HallRules::apply(const std::vector<Arrival>& group, const HallFiles& files, TimePoint now) {
    Pass pass{files, files.lamps, {}};
    for (const Arrival& arrival : group) {
        release(pass, arrival.at);
        const std::size_t first = pass.lines.size();
        handle(arrival.event, pass, arrival.at);
        if (arrival.source.empty()) continue;
        for (std::size_t i = first; i < pass.lines.size(); ++i)
            pass.lines[i].text = arrival.source + ": " + pass.lines[i].text;
    }
    release(pass, now);
    Outcome outcome;
    if (pass.lamps != files.lamps) outcome.lamps = pass.lamps;
    outcome.lines = std::move(pass.lines);
    return outcome;
}

bool NeedsScenes(const Event& event) {
    return std::visit(ForEachKind{[](const Motion&) { return false; }, [](const KeyPress&) { return true; },
                                  [](const SetLamp&) { return false; }, [](const SetLamps&) { return false; },
                                  [](const SetScene&) { return true; }, [](const AllOff&) { return false; }},
                      event);
}

void HallRules::handle(const Event& event, Pass& pass, TimePoint now) {
    std::visit(ForEachKind{[&](const Motion& m) { motion(m, pass, now); }, [&](const KeyPress& k) { key(k, pass); },
                           [&](const SetLamp& l) {
                               const std::string cause = std::string("polecenie: ") + (l.lit ? "włącz" : "wyłącz") +
                                                         " lampę " + std::to_string(l.lamp);
                               pass.command(cause, [&] {
                                   pass.switchLamps(cause, [&](hall::LampsLit& lamps) { lamps[l.lamp - 1] = l.lit; });
                               });
                           },
                           [&](const SetLamps& l) {
                               const std::string cause =
                                   "polecenie: ustaw lampy (" + std::to_string(hall::LitCount(l.which)) + ")";
                               pass.command(cause, [&] {
                                   pass.switchLamps(cause, [&](hall::LampsLit& lamps) {
                                       for (int i = 0; i < hall::kLampCount; ++i)
                                           if (l.which[i]) lamps[i] = l.lit[i];
                                   });
                               });
                           },
                           [&](const SetScene& c) {
                               const std::string cause = "polecenie: scena " + std::to_string(c.scene);
                               pass.command(cause, [&] { scene(cause, c.scene, pass); });
                           },
                           // Every lamp off, as the configurator's all-off; zones stay held, as for a key.
                           [&](const AllOff&) {
                               const std::string cause = "polecenie: wyłącz oświetlenie";
                               pass.command(
                                   cause, [&] { pass.switchLamps(cause, [](hall::LampsLit& lamps) { lamps = {}; }); });
                           }},
               event);
}

void HallRules::motion(const Motion& event, Pass& pass, TimePoint now) {
    Zone& zone = zones_[event.input - 1];
    // Only the first report of no motion after motion restarts the delay.
    if (!event.present && !(zone.held && zone.moving)) return;
    if (!event.present) {
        zone.moving = zone.level = false;
        zone.until = now + pass.files.delay;
        return;
    }
    const ZoneFile& file = pass.files.zones[event.input - 1];
    if (const std::optional<std::string> note = ZoneNote(event.input, file)) return pass.note(*note);
    zone = {true, true, now + pass.files.delay, false, event.level};
    pass.switchLamps(InputName(event.input) + ": ruch", [&](hall::LampsLit& lamps) {
        for (int i = 0; i < hall::kLampCount; ++i) lamps[i] = lamps[i] || file.lamps[i];
    });
}

void HallRules::key(const KeyPress& event, Pass& pass) const {
    const std::string name = "klawisz " + hall::KeyName(event.key);
    const std::vector<std::string>& fields = pass.files.keys.fields;
    const std::string field = event.key < static_cast<int>(fields.size()) ? fields[event.key] : std::string();
    if (field == "0") return pass.note(name + ": bez sceny");
    const std::optional<int> number = SceneDigit(field);
    if (!number) return pass.note(name + ": brak sceny do odczytania w pliku " + FileName(hall::kKeyFilePath));
    scene(name + " (scena " + std::to_string(*number) + ")", *number, pass);
}

// Exactly the ticked lamps, as "Załącz scenę" does: a box in the third state is off.
void HallRules::scene(const std::string& cause, int scene, Pass& pass) const {
    const hall::SceneRead& boxes = pass.files.scenes[scene - 1];
    if (!boxes.complete) return pass.note(cause + ": " + Unreadable(hall::SceneFilePath(scene)));
    pass.switchLamps(cause, [&](hall::LampsLit& lamps) {
        for (int i = 0; i < hall::kLampCount; ++i) lamps[i] = boxes.boxes[i] == 1;
    });
}

void HallRules::release(Pass& pass, TimePoint now) {
    std::vector<int> due;
    for (int k = 0; k < hall::kSensorCount; ++k)
        if (zones_[k].held && !zones_[k].level && zones_[k].until <= now) due.push_back(k + 1);
    if (due.empty()) return;
    const auto isDue = [&](int k) { return std::find(due.begin(), due.end(), k + 1) != due.end(); };
    const std::string cause = ZonesCause(due);
    // A zone whose lamps cannot be known might share them with another: the
    // zones stay held, and lit, until the file can be read again.
    for (int k = 0; k < hall::kSensorCount; ++k) {
        if (!(zones_[k].held && pass.files.zones[k].state == ZoneFile::State::Unreadable)) continue;
        const bool first = std::none_of(due.begin(), due.end(), [&](int d) { return zones_[d - 1].retrying; });
        for (const int d : due) zones_[d - 1].until = now + kReleaseRetry, zones_[d - 1].retrying = true;
        if (first)
            pass.note(cause + ": " + Unreadable(hall::SceneCommandFilePath(k + 1)) +
                      ", nic nie przełączono, ponawiam co sekundę");
        return;
    }
    for (const int d : due) zones_[d - 1] = {};
    pass.switchLamps(
        cause,
        [&](hall::LampsLit& lamps) {
            for (int i = 0; i < hall::kLampCount; ++i) {
                bool off = false, kept = false;
                for (int k = 0; k < hall::kSensorCount; ++k) {
                    if (!pass.files.zones[k].lamps[i] || pass.files.zones[k].state != ZoneFile::State::Read) continue;
                    if (zones_[k].held)
                        kept = true;
                    else
                        off = off || isDue(k);
                }
                if (off && !kept) lamps[i] = false;
            }
        },
        true);
}

std::optional<TimePoint> HallRules::releaseAt(int input) const {
    const Zone& zone = zones_[input - 1];
    if (!zone.held || zone.level) return std::nullopt;
    return zone.until;
}

std::optional<TimePoint> HallRules::nextDeadline() const {
    std::optional<TimePoint> next;
    for (const Zone& zone : zones_)
        if (zone.held && !zone.level && (!next || zone.until < *next)) next = zone.until;
    return next;
}

}  // namespace sterownik

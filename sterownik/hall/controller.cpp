#include "controller.h"

#include "hall_reading.h"

#include <algorithm>

namespace sterownik {

void Controller::start(TimePoint now) {
    log_ << DelayLine() << std::endl;
    const HallFiles files = ReadHallFiles(false);
    delayReadable_ = !files.delayUnreadable;
    rules_.start(files, now);
    known(files.lamps);
    if (!known_) log_ << "nie można odczytać pliku " << hall::kStateFilePath.generic_string() << std::endl;
}

void Controller::reconfigure(TopicTable topics, Discovery discovery) {
    const std::vector<std::string> subscribed = topics_.subscriptions();
    topics_ = std::move(topics);
    discovery_ = std::move(discovery);
    if (!link_ || !link_->connected()) return;
    for (const std::string& topic : subscribed) link_->unsubscribe(topic);
    connected();
}

std::optional<TimePoint> Controller::nextDeadline() const {
    if (!pending_.empty()) return TimePoint{};
    return rules_.nextDeadline();
}

void Controller::settle(TimePoint now) {
    logLines(ignored_.expire(now));
    const std::optional<TimePoint> due = rules_.nextDeadline();
    if (pending_.empty() && (!due || *due > now)) return;
    const bool scenes =
        std::any_of(pending_.begin(), pending_.end(), [](const Arrival& a) { return NeedsScenes(a.event); });
    const HallFiles files = ReadHallFiles(scenes);
    noteDelay(!files.delayUnreadable);
    std::vector<Arrival> group;
    group.swap(pending_);
    carryOut(rules_.apply(group, files, now), files);
}

void Controller::stateFileChanged() {
    if (const hall::os::SysResult<hall::LampsLit> lamps = hall::ReadStateFile()) noticed(*lamps);
}

void Controller::connected() {
    publishedLamps_.reset();
    publishedZones_ = {};
    if (const hall::os::SysResult<hall::LampsLit> lamps = hall::ReadStateFile()) known(*lamps);
    link_->publish(topics_.availability(true));
    if (hub_)
        for (const auto& [device, online] : hub_->availability()) link_->publish(topics_.device(device, online));
    for (const std::string& topic : topics_.subscriptions()) link_->subscribe(topic);
    // Before the lamps, so that Home Assistant has subscribed to their topics
    // when their retained states arrive.
    for (const Message& message : discovery_.messages()) link_->publish(message);
    publishLamps();
    publishZones();
    if (upkeep_) upkeep_->connected();
}

// Only gathered here: the group is carried out once the waiting messages are read.
void Controller::received(std::string_view topic, std::string_view payload, bool retained) {
    const TimePoint now = Clock::now();
    const Incoming incoming = topics_.read(topic, payload, retained);
    if (!incoming) return logLines(ignored_.admit(topic, incoming.error(), now));
    if (*incoming) pending_.push_back({**incoming, now, {}});
}

void Controller::carryOut(const Outcome& outcome, const HallFiles& files) {
    if (files.lamps) noticed(*files.lamps);
    std::string failure;
    if (outcome.lamps) {
        // The lamps follow as soon as every reader sees the file, not after its name is flushed too.
        const hall::Status written = hall::WriteStateFile(hall::StatesOf(*outcome.lamps), [&] {
            known(outcome.lamps);
            publish();
        });
        if (!written)
            failure = "nie można zapisać pliku " + hall::kStateFilePath.generic_string() + ": " + written.error();
    }
    // One line per event; a switch whose write failed says so.
    for (const LogLine& line : outcome.lines) {
        if (!line.lit)
            log_ << line.text << '\n';
        else if (!failure.empty())
            log_ << line.text << ": " << failure << '\n';
        else
            log_ << line.text << ": " << hall::LitLampsPhrase(*line.lit) << '\n';
    }
    log_.flush();
    publish();
}

// A group's messages together, as few packets as they fit in.
void Controller::publish() {
    if (!link_ || !link_->connected()) return;
    link_->hold();
    publishLamps();
    publishZones();
    link_->release();
}

void Controller::logLines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) log_ << line << '\n';
    if (!lines.empty()) log_.flush();
}

// Logged once when it becomes unreadable, not at every event.
void Controller::noteDelay(bool readable) {
    if (!readable && delayReadable_) log_ << DelayLine() << std::endl;
    delayReadable_ = readable;
}

HallView Controller::view() const {
    HallView view;
    view.lamps = known_.value_or(hall::LampsLit{});
    for (int k = 1; k <= hall::kSensorCount; ++k) view.zones[k - 1] = rules_.held(k);
    view.devicesAway = hub_ ? hub_->away() : 0;
    return view;
}

void Controller::attach(ModbusHub* hub) {
    hub_ = hub;
    if (hub_ && known_) hub_->show(*known_);
}

void Controller::arrived(const Event& event, const std::string& source) {
    pending_.push_back({event, Clock::now(), source});
}

void Controller::deviceAvailable(const std::string& device, bool online) {
    if (link_ && link_->connected()) link_->publish(topics_.device(device, online));
}

void Controller::lampSignals(const std::vector<LampSignal>& readings) {
    if (upkeep_) upkeep_->lampSignals(readings);
}

// The devices' outputs follow the lamps, whoever switched them.
void Controller::known(const std::optional<hall::LampsLit>& lamps) {
    known_ = lamps;
    if (hub_ && known_) hub_->show(*known_);
    if (upkeep_ && known_) upkeep_->lampsKnown(*known_);
}

void Controller::noticed(const hall::LampsLit& lamps) {
    if (known_ == lamps) return;
    known(lamps);
    log_ << "plik " << hall::kStateFilePath.generic_string()
         << " zmieniony przez inny program: " << hall::LitLampsPhrase(hall::LitCount(lamps)) << std::endl;
    publishLamps();
}

void Controller::publishLamps() {
    if (!link_ || !link_->connected() || !known_ || publishedLamps_ == known_) return;
    for (int i = 0; i < hall::kLampCount; ++i) {
        if (publishedLamps_ && (*publishedLamps_)[i] == (*known_)[i]) continue;
        for (const Message& message : topics_.lamp(i + 1, (*known_)[i])) link_->publish(message);
    }
    link_->publish(topics_.state(*known_));
    publishedLamps_ = known_;
}

void Controller::publishZones() {
    if (!link_ || !link_->connected()) return;
    for (int k = 1; k <= hall::kSensorCount; ++k) {
        const bool held = rules_.held(k);
        if (publishedZones_[k - 1] == held) continue;
        link_->publish(topics_.zone(k, held));
        publishedZones_[k - 1] = held;
    }
}

}  // namespace sterownik

#include "controller.h"

#include "hall_reading.h"

namespace sterownik {
namespace {

int LitCount(const hall::LampsLit& lamps) {
    int lit = 0;
    for (const bool on : lamps) lit += on;
    return lit;
}

}  // namespace

void Controller::start(TimePoint now) {
    log_ << DelayLine() << std::endl;
    const HallFiles files = ReadHallFiles(false);
    rules_.start(files, now);
    known_ = files.lamps;
    if (!known_) log_ << "nie można odczytać pliku " << hall::kStateFilePath.generic_string() << std::endl;
}

void Controller::deadline(TimePoint now) {
    const std::optional<TimePoint> due = rules_.nextDeadline();
    if (!due || *due > now) return;
    const HallFiles files = ReadHallFiles(false);
    carryOut(rules_.release(files, now), files);
}

void Controller::stateFileChanged() {
    if (const std::optional<hall::LampsLit> lamps = hall::ReadStateFile()) noticed(*lamps);
}

void Controller::connected() {
    publishedLamps_.reset();
    publishedZones_ = {};
    if (const std::optional<hall::LampsLit> lamps = hall::ReadStateFile()) known_ = lamps;
    link_->publish(topics_.availability(true));
    for (const std::string& topic : topics_.subscriptions()) link_->subscribe(topic);
    // Before the lamps, so that Home Assistant has subscribed to their topics
    // when their retained states arrive.
    for (const Message& message : discovery_.messages()) link_->publish(message);
    publishLamps();
    publishZones();
}

void Controller::received(std::string_view topic, std::string_view payload, bool retained) {
    const Incoming incoming = topics_.read(topic, payload, retained);
    if (!incoming) log_ << incoming.error() << std::endl;
    if (!incoming || !*incoming) return;
    const Event& event = **incoming;
    const HallFiles files = ReadHallFiles(NeedsScenes(event));
    carryOut(rules_.handle(event, files, Clock::now()), files);
}

void Controller::carryOut(const Outcome& outcome, const HallFiles& files) {
    if (files.lamps) noticed(*files.lamps);
    for (const std::string& note : outcome.notes) log_ << note << std::endl;
    if (outcome.lamps) {
        if (const hall::Status written = hall::WriteStateFile(hall::StatesOf(*outcome.lamps)); written) {
            known_ = outcome.lamps;
            log_ << outcome.cause << ": " << hall::LitLampsPhrase(LitCount(*outcome.lamps)) << std::endl;
        } else {
            log_ << outcome.cause << ": nie można zapisać pliku " << hall::kStateFilePath.generic_string() << ": "
                 << written.error() << std::endl;
        }
    }
    publishLamps();
    publishZones();
}

void Controller::noticed(const hall::LampsLit& lamps) {
    if (known_ == lamps) return;
    known_ = lamps;
    log_ << "plik " << hall::kStateFilePath.generic_string()
         << " zmieniony przez inny program: " << hall::LitLampsPhrase(LitCount(lamps)) << std::endl;
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

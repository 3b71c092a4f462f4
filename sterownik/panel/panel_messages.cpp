#include "panel_messages.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace sterownik::panel {
namespace {

using nlohmann::json;

// Readable figures: what the page shows needs no more digits than these.
double Rounded(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

std::string Text(const json& message) { return message.dump(-1, ' ', false, json::error_handler_t::replace); }

std::string LampsMessage(const hall::LampsLit& lamps) {
    std::string lit(hall::kLampCount, '0');
    for (int i = 0; i < hall::kLampCount; ++i)
        if (lamps[i]) lit[i] = '1';
    return Text({{"typ", "lampy"}, {"lampy", lit}});
}

std::string ZonesMessage(const std::array<ZoneView, hall::kSensorCount>& zones) {
    json list = json::array();
    for (const ZoneView& zone : zones) {
        switch (zone.state) {
            case ZoneView::State::Free: list.push_back({{"stan", "wolna"}}); break;
            case ZoneView::State::Held: list.push_back({{"stan", "trzymana"}}); break;
            case ZoneView::State::Releasing:
                list.push_back({{"stan", "zwalniana"}, {"pozostalo", zone.secondsLeft}});
                break;
        }
    }
    return Text({{"typ", "strefy"}, {"strefy", list}});
}

std::string DevicesMessage(const std::vector<std::pair<std::string, bool>>& devices) {
    json list = json::array();
    for (const auto& [name, present] : devices) list.push_back({{"nazwa", name}, {"obecne", present}});
    return Text({{"typ", "urzadzenia"}, {"urzadzenia", list}});
}

std::string LedgerMessage(const UpkeepFigures& upkeep) {
    if (!upkeep.ledger) return Text({{"typ", "dziennik"}, {"wylaczony", true}});
    json failed = json::array();
    for (int n = 1; n <= hall::kLampCount; ++n)
        if (upkeep.failures[n - 1]) failed.push_back(n);
    return Text({{"typ", "dziennik"},
                 {"moc", Rounded(upkeep.watts, 1)},
                 {"energia_dzis", Rounded(static_cast<double>(upkeep.todayMicrojoules) / 3.6e12, 3)},
                 {"awarie", failed}});
}

json Parsed(std::string_view body) { return json::parse(body.begin(), body.end(), nullptr, false); }

// A whole number in [low, high] under `key`, or nothing.
std::optional<int> Whole(const json& object, const char* key, int low, int high) {
    const auto value = object.find(key);
    if (value == object.end() || !value->is_number_integer()) return std::nullopt;
    const auto number = value->get<std::int64_t>();
    if (number < low || number > high) return std::nullopt;
    return static_cast<int>(number);
}

}  // namespace

std::string HallMessage(const std::string& hall, const Viewer& viewer) {
    return Text({{"typ", "hala"},
                 {"nazwa", hall},
                 {"uzytkownik", viewer.user ? json(*viewer.user) : json(nullptr)},
                 {"polecenia", viewer.user.has_value()}});
}

Sections SectionMessages(const PanelView& view) {
    return {LampsMessage(view.lamps), ZonesMessage(view.zones), DevicesMessage(view.devices),
            LedgerMessage(view.upkeep)};
}

std::string HeartbeatMessage() { return R"({"typ":"puls"})"; }

std::string LampMessage(const PanelView& view, int lamp) {
    json message = {{"typ", "lampa"}, {"lampa", lamp}, {"zywotnosc", nullptr}, {"awaria", nullptr}};
    const UpkeepFigures& upkeep = view.upkeep;
    if (const std::optional<FailureKind> failure = upkeep.failures[lamp - 1])
        message["awaria"] = std::string(FailureReason(*failure));
    if (!upkeep.ledger || !upkeep.totals) return Text(message);
    const hall::LampFigures& figures = (*upkeep.totals)[lamp - 1];
    const double hours = static_cast<double>(figures.litMs) / 3.6e6;
    message["godziny"] = Rounded(hours, 2);
    message["wlaczenia"] = figures.switchOns;
    if (const std::optional<double> rated = upkeep.ratedHours[lamp - 1])
        message["zywotnosc"] = Rounded(hours / *rated * 100.0, 1);
    return Text(message);
}

std::optional<int> LampAsked(std::string_view message) {
    const json parsed = Parsed(message);
    if (!parsed.is_object() || parsed.value("typ", json()) != "lampa") return std::nullopt;
    return Whole(parsed, "lampa", 1, hall::kLampCount);
}

std::string SessionBody(const Viewer& viewer, bool preview) {
    return Text({{"uzytkownik", viewer.user ? json(*viewer.user) : json(nullptr)},
                 {"polecenia", viewer.user.has_value()},
                 {"podglad", preview && !viewer.user}});
}

std::string ErrorBody(std::string_view text) { return Text({{"blad", text}}); }

hall::Result<Event> ReadCommand(std::string_view body) {
    const json parsed = Parsed(body);
    if (!parsed.is_object() || !parsed.contains("polecenie") || !parsed["polecenie"].is_string())
        return hall::Unexpected(std::string("nieznane polecenie"));
    const std::string command = parsed["polecenie"];
    if (command == "wylacz") return Event(AllOff{});
    if (command == "scena") {
        if (const std::optional<int> scene = Whole(parsed, "scena", 1, hall::kSceneCount))
            return Event(SetScene{*scene});
        return hall::Unexpected(std::string("zły numer sceny"));
    }
    if (command == "lampa") {
        const std::optional<int> lamp = Whole(parsed, "lampa", 1, hall::kLampCount);
        const auto lit = parsed.find("wl");
        if (!lamp) return hall::Unexpected(std::string("zły numer lampy"));
        if (lit == parsed.end() || !lit->is_boolean()) return hall::Unexpected(std::string("brak stanu lampy"));
        return Event(SetLamp{*lamp, lit->get<bool>()});
    }
    return hall::Unexpected(std::string("nieznane polecenie"));
}

hall::Result<Credentials> ReadCredentials(std::string_view body) {
    const json parsed = Parsed(body);
    const auto text = [&](const char* key) -> const json* {
        const auto value = parsed.find(key);
        return value != parsed.end() && value->is_string() ? &*value : nullptr;
    };
    if (!parsed.is_object() || !text("uzytkownik") || !text("haslo"))
        return hall::Unexpected(std::string("oczekiwano użytkownika i hasła"));
    return Credentials{text("uzytkownik")->get<std::string>(), text("haslo")->get<std::string>()};
}

}  // namespace sterownik::panel

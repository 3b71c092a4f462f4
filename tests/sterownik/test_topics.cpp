#include "discovery.h"
#include "topics.h"

#include <QTest>
#include <nlohmann/json.hpp>

using namespace sterownik;
using nlohmann::json;
// The event a message gives; a struct of its own, as Qt's meta types would
// look for an ordering that an optional variant only seems to have.
struct Expected {
    std::optional<Event> event;
};
Q_DECLARE_METATYPE(Expected)

namespace {

// The name's id is pinned in the rows: a changed one would orphan Home Assistant's entities.
hall::ControllerConfig Config() {
    hall::ControllerConfig config;
    config.name = "Łódź/hala1";
    config.sensorTopics[1] = "modul/input/0";
    return config;
}

}  // namespace

class TestTopics : public QObject {
    Q_OBJECT

private slots:
    void reader_data();
    void reader();
    void discovery_data();
    void discovery();
    void ledgerFigures();
    void siteHallsUnderOneCentre();
};

// "P/" stands for hala/Łódź/hala1/. No event: one log line.
void TestTopics::reader_data() {
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<Expected>("event");
    const Expected none;
    const QByteArray big = R"({"occupancy":true,"x":")" + QByteArray(65536, 'a') + "\"}";
    QTest::newRow("zigbee, other keys ignored")
        << "P/czujnik/5" << QByteArray(R"({"a":{},"occupancy":true})") << Expected{Motion{5, true}};
    QTest::newRow("zigbee, a device's own topic")
        << "modul/input/0" << QByteArray(R"( {"occupancy" :false})") << Expected{Motion{2, false}};
    QTest::newRow("zigbee: occupancy a string") << "P/czujnik/5" << QByteArray(R"({"occupancy":"true"})") << none;
    QTest::newRow("zigbee: occupancy nested") << "P/czujnik/5" << QByteArray(R"({"a":{"occupancy":true}})") << none;
    QTest::newRow("JSON array") << "P/czujnik/5" << QByteArray(R"([{"occupancy":true}])") << none;
    QTest::newRow("JSON cut short") << "P/czujnik/5" << QByteArray(R"({"occupancy":true)") << none;
    QTest::newRow("JSON deeply nested") << "P/czujnik/5" << QByteArray(60000, '[') << none;
    QTest::newRow("JSON over 64 KiB") << "P/czujnik/5" << big << none;
    QTest::newRow("lamp on, any case") << "P/lampa/12/set" << QByteArray("oN") << Expected{SetLamp{12, true}};
    QTest::newRow("lamp 108 off") << "P/lampa/108/set" << QByteArray("OFF") << Expected{SetLamp{108, false}};
    QTest::newRow("lamp: 1 is no command") << "P/lampa/12/set" << QByteArray("1") << none;
    QTest::newRow("lamp 109") << "P/lampa/109/set" << QByteArray("ON") << none;
    QTest::newRow("scene 8") << "P/scena/set" << QByteArray("8") << Expected{SetScene{8}};
    QTest::newRow("scene 9") << "P/scena/set" << QByteArray("9") << none;
    QTest::newRow("all off, any payload") << "P/wylacz/set" << QByteArray() << Expected{AllOff{}};
}

void TestTopics::reader() {
    QFETCH(QString, topic);
    QFETCH(QByteArray, payload);
    QFETCH(Expected, event);
    const std::string full = topic.replace("P/", "hala/Łódź/hala1/").toStdString();
    const Incoming incoming = TopicTable(Config()).read(full, payload.toStdString(), false);
    QCOMPARE(incoming.has_value(), event.event.has_value());
    if (incoming) QVERIFY(*incoming == event.event);
}

// One entity of each kind: its topic, and its keys beside those every entity has.
void TestTopics::discovery_data() {
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QString>("keys");
    QTest::newRow("light")
        << "light/lampa_12"
        << "name=Lampa 12;state_topic=P/lampa/12;command_topic=P/lampa/12/set;payload_on=ON;payload_off=OFF";
    QTest::newRow("binary_sensor")
        << "binary_sensor/strefa_8"
        << "name=Strefa C8;state_topic=P/strefa/8;payload_on=ON;payload_off=OFF;device_class=occupancy";
    QTest::newRow("scene") << "scene/scena_3"
                           << "name=Scena 3;command_topic=P/scena/set;payload_on=3";
    QTest::newRow("button") << "button/wylacz"
                            << "name=Wyłącz oświetlenie;command_topic=P/wylacz/set";
    QTest::newRow("energy, as the energy dashboard takes it")
        << "sensor/energia"
        << "name=Energia;state_topic=P/energia;device_class=energy;state_class=total_increasing;"
           "unit_of_measurement=kWh";
    QTest::newRow("power") << "sensor/moc"
                           << "name=Moc;state_topic=P/moc;device_class=power;state_class=measurement;"
                              "unit_of_measurement=W";
    QTest::newRow("hours") << "sensor/lampa_7_godziny"
                           << "name=Lampa 7 godziny;state_topic=P/lampa/7/godziny;device_class=duration;"
                              "unit_of_measurement=h;state_class=total_increasing;entity_category=diagnostic";
    QTest::newRow("a watched lamp's failure")
        << "binary_sensor/lampa_7_awaria"
        << "name=Lampa 7 awaria;state_topic=P/lampa/7/awaria;payload_on=ON;payload_off=OFF;device_class=problem;"
           "entity_category=diagnostic";
}

// Switched off: the same topics, empty.
void TestTopics::discovery() {
    QFETCH(QString, topic);
    QFETCH(QString, keys);
    hall::ControllerConfig config = Config();
    config.modbus.outputs.push_back({hall::ModbusOutputKind::Coils, "szafa1", 0, {12}, 1, 0, {}});
    config.modbus.watches.push_back({false, false, "szafa1", 0, {7}, {}});
    const std::vector<Message> on = Discovery(config, "1.9").messages();
    config.discovery = false;
    const std::vector<Message> off = Discovery(config, "1.9").messages();
    const QString node = "hala___d__hala1_468d5fcc", object = topic.section('/', 1);
    const std::string wanted = ("homeassistant/" + topic.replace('/', "/" + node + "/") + "/config").toStdString();
    const auto at = std::find_if(on.begin(), on.end(), [&](const Message& m) { return m.topic == wanted; });
    QVERIFY2(on.size() == 125 + 2 + 2 * 108 && at != on.end(), wanted.c_str());
    QVERIFY(off[at - on.begin()].topic == wanted && off[at - on.begin()].payload.empty());
    const json parsed = json::parse(at->payload, nullptr, false);
    keys += ";unique_id=" + node + "_" + object + ";availability_mode=all";
    // Lamp 12 hangs on a Modbus device: there while the hall and the device are.
    const auto entry = [](const char* topic) {
        return json{{"topic", topic}, {"payload_available", "online"}, {"payload_not_available", "offline"}};
    };
    json availability = json::array({entry("hala/Łódź/hala1/dostepnosc")});
    if (object == "lampa_12") availability.push_back(entry("hala/Łódź/hala1/modbus/szafa1"));
    QVERIFY(parsed["availability"] == availability);
    QVERIFY(!parsed.contains("payload_available"));
    QCOMPARE(parsed.value("qos", 0), parsed.contains("command_topic") ? 1 : 0);
    for (const QString& pair : keys.replace("P/", "hala/Łódź/hala1/").split(';'))
        QCOMPARE(QString::fromStdString(parsed.value(pair.section('=', 0, 0).toStdString(), "")), pair.section('=', 1));
    QVERIFY(parsed["device"] == json({{"identifiers", json::array({node.toStdString()})},
                                      {"name", "Hala Łódź/hala1"},
                                      {"sw_version", "1.9"},
                                      {"manufacturer", "VELTRONA"},
                                      {"model", "sterownik"}}));
    QVERIFY(NodeId("a/b") != NodeId("a_b") && NodeId("a/b") != NodeId("a.b"));
    QCOMPARE(parsed.value("enabled_by_default", true), !object.endsWith("_godziny"));
    // Without a ledger, or a lamp unwatched, the entity is removed.
    const std::string unwatched = "homeassistant/binary_sensor/" + node.toStdString() + "/lampa_8_awaria/config";
    QVERIFY(
        std::any_of(on.begin(), on.end(), [&](const Message& m) { return m.topic == unwatched && m.payload.empty(); }));
    config.discovery = true;
    config.ledgerFile.reset();
    const bool ledgers = object == "energia" || object == "moc" || object.endsWith("_godziny");
    QCOMPARE(Discovery(config, "1.9").messages()[at - on.begin()].payload.empty(), ledgers);
}

// 108 lamps at 58 W for ten minutes, and one of them: rounded, never cut, with a dot.
void TestTopics::ledgerFigures() {
    const TopicTable topics(Config());
    QCOMPARE(topics.energy(108 * 58'000 * 600'000LL), (Message{"hala/Łódź/hala1/energia", "1.044"}));
    QCOMPARE(topics.energy(3'599'999'999'999).payload, "1.000");
    QCOMPARE(topics.hours(7, 600'000), (Message{"hala/Łódź/hala1/lampa/7/godziny", "0.17"}));
    QCOMPARE(topics.power(108 * 58.5).payload, "6318");
    QCOMPARE(topics.failure(40, true), (Message{"hala/Łódź/hala1/lampa/40/awaria", "ON"}));
}

// Two sites' halls named alike, each under its site's prefix: a Home Assistant
// that hears both sites finds two devices, each naming its own site's topics.
void TestTopics::siteHallsUnderOneCentre() {
    hall::ControllerConfig a, b;
    a.name = b.name = "hala1";
    a.topicPrefix = "zaklad-a";
    b.topicPrefix = "firma/zaklad b";
    QVERIFY(TopicTable(a).read("zaklad-a/hala/hala1/czujnik/3", "1", false).value() == Event(Motion{3, true}));
    QVERIFY(!TopicTable(a).read("hala/hala1/czujnik/3", "1", false).has_value());
    QCOMPARE(TopicTable(a).availability(true), (Message{"zaklad-a/hala/hala1/dostepnosc", "online"}));
    const std::vector<Message> fromA = Discovery(a, "1.9").messages(), fromB = Discovery(b, "1.9").messages();
    const json lamp = json::parse(fromA[11].payload), other = json::parse(fromB[11].payload);
    const auto text = [](const json& value) { return QString::fromStdString(value.get<std::string>()); };
    QCOMPARE(QString::fromStdString(fromA[11].topic), "homeassistant/light/zaklad-a_hala_hala1/lampa_12/config");
    QCOMPARE(text(lamp["unique_id"]), "zaklad-a_hala_hala1_lampa_12");
    QCOMPARE(text(lamp["state_topic"]), "zaklad-a/hala/hala1/lampa/12");
    QCOMPARE(text(lamp["command_topic"]), "zaklad-a/hala/hala1/lampa/12/set");
    QCOMPARE(text(lamp["availability"][0]["topic"]), "zaklad-a/hala/hala1/dostepnosc");
    QCOMPARE(text(lamp["device"]["name"]), "Hala hala1 (zaklad-a)");
    QCOMPARE(text(other["unique_id"]), "firma_zaklad_b_3f10cbc8_hala_hala1_lampa_12");
    QCOMPARE(text(other["state_topic"]), "firma/zaklad b/hala/hala1/lampa/12");
    // Without a prefix the ids stay as they were: Home Assistant keeps its entities.
    QCOMPARE(QString::fromStdString(NodeId("hala1")), "hala_hala1");
}

QTEST_APPLESS_MAIN(TestTopics)
#include "test_topics.moc"

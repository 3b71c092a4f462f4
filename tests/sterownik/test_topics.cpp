#include "discovery.h"
#include "topics.h"

#include <QTest>
#include <nlohmann/json.hpp>

#include <set>

using namespace sterownik;
using nlohmann::json;

namespace {

hall::ControllerConfig Config() {
    hall::ControllerConfig config;
    config.name = "test";
    config.sensorTopics[1] = "modul/input/0";
    return config;
}

// M5+ motion on input 5, M5- none, K0 key A1, L12+ / L12- lamp 12 on / off,
// C3 scene 3, W all off; empty for no event.
QString Described(const std::optional<Event>& event) {
    if (!event) return {};
    if (const auto* m = std::get_if<Motion>(&*event)) return QString("M%1%2").arg(m->input).arg(m->present ? '+' : '-');
    if (const auto* k = std::get_if<KeyPress>(&*event)) return QString("K%1").arg(k->key);
    if (const auto* l = std::get_if<SetLamp>(&*event)) return QString("L%1%2").arg(l->lamp).arg(l->lit ? '+' : '-');
    if (const auto* s = std::get_if<SetScene>(&*event)) return QString("C%1").arg(s->scene);
    return "W";
}

// A key's string value; empty when it is missing or not a string.
QString Text(const json& object, const char* key) {
    const auto value = object.find(key);
    return value != object.end() && value->is_string() ? QString::fromStdString(value->get<std::string>()) : QString();
}

const Message* Find(const std::vector<Message>& messages, const std::string& topic) {
    for (const Message& message : messages)
        if (message.topic == topic) return &message;
    return nullptr;
}

}  // namespace

class TestTopics : public QObject {
    Q_OBJECT

private slots:
    void reader_data();
    void reader();
    void discoveryEntity_data();
    void discoveryEntity();
    void discoveryAsAWhole();
    void nodeId_data();
    void nodeId();
};

void TestTopics::reader_data() {
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("retained");
    QTest::addColumn<QString>("event");
    QTest::addColumn<QString>("note");

    const QByteArray big = R"({"occupancy":true,"x":")" + QByteArray(64 * 1024, 'a') + "\"}";
    QTest::newRow("zigbee motion, other keys ignored")
        << "hala/test/czujnik/5" << QByteArray(R"({"battery":97,"occupancy":true,"illuminance":{"lux":3}})") << false
        << "M5+" << "";
    QTest::newRow("zigbee no motion on a device's own topic")
        << "modul/input/0" << QByteArray(R"( { "occupancy" : false } )") << false << "M2-" << "";
    QTest::newRow("zigbee: occupancy a string") << "hala/test/czujnik/5" << QByteArray(R"({"occupancy":"true"})")
                                                << false << "" << "złą treść czujnika";
    QTest::newRow("zigbee: occupancy a number") << "hala/test/czujnik/5" << QByteArray(R"({"occupancy":1})") << false
                                                << "" << "złą treść czujnika";
    QTest::newRow("zigbee: occupancy null") << "hala/test/czujnik/5" << QByteArray(R"({"occupancy":null})") << false
                                            << "" << "złą treść czujnika";
    QTest::newRow("zigbee: without occupancy") << "hala/test/czujnik/5" << QByteArray(R"({"battery":97})") << false
                                               << "" << "złą treść czujnika";
    QTest::newRow("zigbee: occupancy nested") << "hala/test/czujnik/5" << QByteArray(R"({"a":{"occupancy":true}})")
                                              << false << "" << "złą treść czujnika";
    QTest::newRow("JSON array") << "hala/test/czujnik/5" << QByteArray(R"([{"occupancy":true}])") << false << ""
                                << "złą treść czujnika";
    QTest::newRow("JSON number") << "hala/test/czujnik/5" << QByteArray("3") << false << "" << "złą treść czujnika";
    QTest::newRow("JSON cut short") << "hala/test/czujnik/5" << QByteArray(R"({"occupancy":true)") << false << ""
                                    << "złą treść czujnika";
    QTest::newRow("JSON deeply nested") << "hala/test/czujnik/5" << QByteArray(60000, '[') << false << ""
                                        << "złą treść czujnika";
    QTest::newRow("JSON over 64 KiB") << "hala/test/czujnik/5" << big << false << "" << "za długą treść czujnika";
    QTest::newRow("lamp on, any case") << "hala/test/lampa/12/set" << QByteArray("oN") << false << "L12+" << "";
    QTest::newRow("lamp 108 off") << "hala/test/lampa/108/set" << QByteArray("OFF") << false << "L108-" << "";
    QTest::newRow("lamp: 1 is no command") << "hala/test/lampa/12/set" << QByteArray("1") << false << ""
                                           << "złe polecenie lampy";
    QTest::newRow("lamp 109") << "hala/test/lampa/109/set" << QByteArray("ON") << false << "" << "nieznany temat";
    QTest::newRow("lamp 012") << "hala/test/lampa/012/set" << QByteArray("ON") << false << "" << "nieznany temat";
    QTest::newRow("our own lamp state") << "hala/test/lampa/12" << QByteArray("ON") << false << "" << "nieznany temat";
    QTest::newRow("scene 1") << "hala/test/scena/set" << QByteArray("1") << false << "C1" << "";
    QTest::newRow("scene 8") << "hala/test/scena/set" << QByteArray("8") << false << "C8" << "";
    QTest::newRow("scene 0") << "hala/test/scena/set" << QByteArray("0") << false << "" << "zły numer sceny";
    QTest::newRow("scene 9") << "hala/test/scena/set" << QByteArray("9") << false << "" << "zły numer sceny";
    QTest::newRow("scene 03") << "hala/test/scena/set" << QByteArray("03") << false << "" << "zły numer sceny";
    QTest::newRow("all off, empty") << "hala/test/wylacz/set" << QByteArray() << false << "W" << "";
    QTest::newRow("all off, any payload") << "hala/test/wylacz/set" << QByteArray("PRESS") << false << "W" << "";
    QTest::newRow("retained command is the past") << "hala/test/scena/set" << QByteArray("3") << true << "" << "";
    QTest::newRow("retained zigbee report is the past")
        << "hala/test/czujnik/5" << QByteArray(R"({"occupancy":true})") << true << "" << "";
}

void TestTopics::reader() {
    QFETCH(QString, topic);
    QFETCH(QByteArray, payload);
    QFETCH(bool, retained);
    const Incoming incoming = TopicTable(Config()).read(topic.toStdString(), payload.toStdString(), retained);
    QTEST(Described(incoming.event), "event");
    QFETCH(QString, note);
    const QString logged = QString::fromStdString(incoming.note);
    QVERIFY2(note.isEmpty() ? logged.isEmpty() : logged.contains(note), qPrintable(logged));
    QVERIFY(!logged.contains('\n'));
}

// Each kind's topic and the keys Home Assistant needs for it; every entity
// also carries the keys checked in discoveryEntity().
void TestTopics::discoveryEntity_data() {
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QVariantMap>("keys");
    QTest::newRow("light") << "homeassistant/light/hala_test/lampa_12/config" << "Lampa 12"
                           << QVariantMap{{"state_topic", "hala/test/lampa/12"},
                                          {"command_topic", "hala/test/lampa/12/set"},
                                          {"payload_on", "ON"},
                                          {"payload_off", "OFF"}};
    QTest::newRow("binary_sensor") << "homeassistant/binary_sensor/hala_test/strefa_8/config" << "Strefa C8"
                                   << QVariantMap{{"state_topic", "hala/test/strefa/8"},
                                                  {"payload_on", "ON"},
                                                  {"payload_off", "OFF"},
                                                  {"device_class", "occupancy"}};
    QTest::newRow("scene") << "homeassistant/scene/hala_test/scena_3/config" << "Scena 3"
                           << QVariantMap{{"command_topic", "hala/test/scena/set"}, {"payload_on", "3"}};
    QTest::newRow("button") << "homeassistant/button/hala_test/wylacz/config" << "Wyłącz oświetlenie"
                            << QVariantMap{{"command_topic", "hala/test/wylacz/set"}};
}

void TestTopics::discoveryEntity() {
    QFETCH(QString, topic);
    const std::vector<Message> messages = Discovery(Config(), "1.9").messages();
    const Message* message = Find(messages, topic.toStdString());
    QVERIFY2(message, qPrintable(topic));
    const json config = json::parse(message->payload, nullptr, false);
    QVERIFY(config.is_object());
    QFETCH(QString, name);
    QCOMPARE(Text(config, "name"), name);
    QCOMPARE(Text(config, "unique_id"), "hala_test_" + topic.section('/', 3, 3));
    QCOMPARE(Text(config, "availability_topic"), "hala/test/dostepnosc");
    QCOMPARE(Text(config, "payload_available"), "online");
    QCOMPARE(Text(config, "payload_not_available"), "offline");
    QVERIFY(config.contains("device") && config["device"].is_object());
    const json& device = config["device"];
    QVERIFY(device.value("identifiers", json()) == json::array({"hala_test"}));
    QCOMPARE(Text(device, "name"), "Hala test");
    QCOMPARE(Text(device, "sw_version"), "1.9");
    QFETCH(QVariantMap, keys);
    for (auto key = keys.cbegin(); key != keys.cend(); ++key)
        QCOMPARE(Text(config, key.key().toUtf8().constData()), key.value().toString());
}

// 125 configurations, each valid JSON with its own topic and unique_id, under
// the configured prefix; switched off, the same topics with empty payloads.
void TestTopics::discoveryAsAWhole() {
    hall::ControllerConfig config = Config();
    config.discoveryPrefix = "dom/ha";
    const std::vector<Message> on = Discovery(config, "1.9").messages();
    QCOMPARE(on.size(), 125u);
    std::set<std::string> topics, ids;
    for (const Message& message : on) {
        QVERIFY(message.topic.starts_with("dom/ha/") && message.topic.ends_with("/config"));
        const json parsed = json::parse(message.payload, nullptr, false);
        QVERIFY2(parsed.is_object(), message.payload.c_str());
        topics.insert(message.topic);
        ids.insert(parsed.value("unique_id", ""));
    }
    QCOMPARE(topics.size(), 125u);
    QCOMPARE(ids.size(), 125u);
    config.discovery = false;
    const std::vector<Message> off = Discovery(config, "1.9").messages();
    QCOMPARE(off.size(), on.size());
    for (std::size_t i = 0; i < off.size(); ++i) {
        QCOMPARE(off[i].topic, on[i].topic);
        QVERIFY(off[i].payload.empty());
    }
}

// The id begins with `id`, and differs from that of `other` when one is given.
void TestTopics::nodeId_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("other");
    QTest::newRow("allowed characters kept") << "Hala-1_b" << "hala_Hala-1_b" << "";
    // Pinned: a changed id would leave Home Assistant's entities orphaned.
    QTest::newRow("Polish letters and a level") << "Łódź/hala1" << "hala___d__hala1_468d5fcc" << "";
    QTest::newRow("replaced differs from the literal") << "a/b" << "hala_a_b_" << "a_b";
    QTest::newRow("two replaced names differ") << "a/b" << "hala_a_b_" << "a.b";
}

void TestTopics::nodeId() {
    QFETCH(QString, name);
    QFETCH(QString, id);
    QFETCH(QString, other);
    const QString made = QString::fromStdString(NodeId(name.toStdString()));
    QVERIFY2(made.startsWith(id), qPrintable(made));
    if (!other.isEmpty()) QVERIFY(made != QString::fromStdString(NodeId(other.toStdString())));
    for (const QChar c : made) QVERIFY((c.unicode() < 128 && c.isLetterOrNumber()) || c == '_' || c == '-');
}

QTEST_APPLESS_MAIN(TestTopics)
#include "test_topics.moc"

#include "bms_runs.h"

#include "bench_halls.h"
#include "broker_process.h"
#include "event_tracker.h"
#include "lamp_state.h"
#include "modbus_client.h"
#include "paced_runs.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <iostream>
#include <string>
#include <system_error>
#include <thread>

namespace bench {
namespace {

using namespace std::chrono_literals;

// Each way 500 events, 25 s at the one hall's pace, in blocks that take turns,
// so that neither way has the machine idler or busier than the other.
constexpr int kBlocks = 5;
constexpr int kEventsPerBlock = 100;
constexpr int kCoils = hall::kLampCount;
constexpr int kInputRegisters = 3;
// A reply later than this is none; the client then connects anew after the pause.
constexpr Duration kReplyTime = 1s;
constexpr Duration kReconnectPause = 100ms;

// The building management system: reads the hall in a thread of its own, one
// request after the other, until stopped. A failed request closes the
// connection, so that a late reply is never taken for the next request's.
class BmsReader {
public:
    explicit BmsReader(int port) : port_(port) {}
    ~BmsReader() { stop(); }
    BmsReader(const BmsReader&) = delete;
    BmsReader& operator=(const BmsReader&) = delete;

    void start();
    void stop();
    // What it read, once stopped.
    void take(BmsFigures& figures) const;

private:
    void run();
    bool connect();
    bool read(bool coils);
    void failed();

    const int port_;
    ModbusClient client_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    // The thread's own while it runs.
    std::size_t reads_ = 0, failed_ = 0;
    std::string firstFailure_;
    TimePoint started_{};
    Duration reading_{};
};

void BmsReader::start() {
    stopping_ = false;
    started_ = Clock::now();
    thread_ = std::thread([this] { run(); });
}

void BmsReader::stop() {
    if (!thread_.joinable()) return;
    stopping_ = true;
    thread_.join();
}

void BmsReader::take(BmsFigures& figures) const {
    figures.reads = reads_;
    figures.failed = failed_;
    figures.firstFailure = firstFailure_;
    figures.reading = reading_;
}

void BmsReader::run() {
    bool coils = true;
    for (bool connected = connect(); !stopping_; coils = !coils) {
        if (connected && read(coils)) {
            ++reads_;
            continue;
        }
        failed();
        client_.reset();
        std::this_thread::sleep_for(kReconnectPause);
        connected = !stopping_ && connect();
    }
    reading_ += Clock::now() - started_;
}

bool BmsReader::connect() {
    client_.reset(modbus_new_tcp("127.0.0.1", port_));
    if (!client_) return false;
    const auto limit = std::chrono::duration_cast<std::chrono::microseconds>(kReplyTime).count();
    modbus_set_response_timeout(client_.get(), static_cast<std::uint32_t>(limit / 1'000'000),
                                static_cast<std::uint32_t>(limit % 1'000'000));
    return modbus_connect(client_.get()) == 0;
}

bool BmsReader::read(bool coils) {
    std::array<std::uint8_t, kCoils> bits;
    std::array<std::uint16_t, kInputRegisters> registers;
    if (coils) return modbus_read_bits(client_.get(), 0, kCoils, bits.data()) == kCoils;
    return modbus_read_input_registers(client_.get(), 0, kInputRegisters, registers.data()) == kInputRegisters;
}

void BmsReader::failed() {
    if (failed_++ == 0) firstFailure_ = modbus_strerror(errno);
}

hall::Status StartServing(DriverClient& client, Halls& halls, int brokerPort, int bmsPort) {
    halls.addConfig("serwer_modbus 127.0.0.1:" + std::to_string(bmsPort) + "\n");
    return StartReady(client, halls, brokerPort);
}

// The same controller both times: only the client differs.
hall::Status Run(DriverClient& client, const std::filesystem::path& root, int brokerPort, BmsFigures& figures) {
    const int bmsPort = FreePort();
    if (bmsPort == 0) return hall::Unexpected("brak wolnego portu dla serwera Modbus sterownika");
    Halls halls(root, {"bms"}, std::string(kPacedDelayMinutes));
    if (const hall::Status ready = StartServing(client, halls, brokerPort, bmsPort); !ready) return ready;
    std::cerr << "BMS: jedna hala, " << kBlocks << " razy po " << kEventsPerBlock
              << " zdarzeń bez klienta Modbus i z klientem, który czyta bez przerwy...\n";
    BmsReader reader(bmsPort);
    PacedSamples alone, read;
    hall::Status ran;
    for (int block = 0; block < kBlocks && ran; ++block) {
        ran = PaceBlock(client, halls, kEventsPerBlock, alone);
        if (!ran) break;
        reader.start();
        ran = PaceBlock(client, halls, kEventsPerBlock, read);
        reader.stop();
    }
    reader.take(figures);
    figures.alone = alone.summary();
    figures.read = read.summary();
    if (!ran) return ran;
    if (!halls.stop()) return hall::Unexpected("sterownik nie zakończył się na SIGTERM");
    return {};
}

}  // namespace

hall::Status MeasureBms(const std::filesystem::path& root, std::vector<Watch> watches, BmsFigures& figures) {
    BrokerProcess broker;
    if (const hall::Status started = broker.start(root / "broker-bms", BrokerLimits::Raised); !started) return started;
    watches.push_back(broker.endWatch());
    DriverClient client(std::move(watches));
    if (const hall::Status connected = client.connect(broker.port()); !connected) return connected;
    if (const hall::Status subscribed = client.subscribe(EventTracker::Subscriptions()); !subscribed) return subscribed;
    return Run(client, root, broker.port(), figures);
}

}  // namespace bench

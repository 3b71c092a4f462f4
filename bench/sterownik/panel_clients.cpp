#include "panel_clients.h"

#include <libwebsockets.h>
#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace bench {
namespace {

constexpr const char* kAddress = "127.0.0.1";
constexpr const char* kPath = "/stan";
constexpr const char* kProtocol = "hala";

enum class Stage { Opening, Open, Refused, Closed };

struct Panel {
    Stage stage = Stage::Opening;
    std::size_t received = 0;
};

int Callback(lws* wsi, lws_callback_reasons reason, void* user, void* in, std::size_t len);

const lws_protocols kProtocols[] = {
    {kProtocol, Callback, 0, 0, 0, nullptr, 0},
    {nullptr, nullptr, 0, 0, 0, nullptr, 0},
};

}  // namespace

struct PanelClients::State {
    State(int port, std::string token, int count)
        : port(port),
          host(std::string(kAddress) + ":" + std::to_string(port)),
          origin("http://" + host),
          cookie("sesja=" + std::move(token)),
          panels(static_cast<std::size_t>(count)) {}

    // Set once; libwebsockets reads the host and the origin while it connects.
    const int port;
    const std::string host, origin, cookie;

    mutable std::mutex mutex;
    std::condition_variable changed;
    lws_context* context = nullptr;  // while the thread may service it
    bool stop = false;
    std::vector<Panel> panels;
    std::string firstFailure;

    std::size_t count(Stage stage) const {
        return static_cast<std::size_t>(
            std::count_if(panels.begin(), panels.end(), [stage](const Panel& p) { return p.stage == stage; }));
    }

    // A panel opens once, and then is refused or, once open, closed: a refusal reported twice counts once.
    void moved(std::size_t panel, Stage from, Stage to, const std::string& reason = {}) {
        {
            const std::lock_guard lock(mutex);
            Panel& p = panels[panel];
            if (p.stage != from) return;
            p.stage = to;
            if (firstFailure.empty() && to != Stage::Open)
                firstFailure =
                    to == Stage::Refused ? "odmowa połączenia (" + reason + ")" : "serwer zamknął połączenie";
        }
        changed.notify_all();
    }

    void received(std::size_t panel) {
        const std::lock_guard lock(mutex);
        ++panels[panel].received;
    }
};

namespace {

int Callback(lws* wsi, lws_callback_reasons reason, void* /*user*/, void* in, std::size_t len) {
    if (!wsi) return 0;
    auto* state = static_cast<PanelClients::State*>(lws_context_user(lws_get_context(wsi)));
    const auto panel = reinterpret_cast<std::uintptr_t>(lws_get_opaque_user_data(wsi));
    switch (reason) {
        case LWS_CALLBACK_CLIENT_APPEND_HANDSHAKE_HEADER: {
            auto** p = static_cast<unsigned char**>(in);
            const std::string& cookie = state->cookie;
            return lws_add_http_header_by_token(wsi, WSI_TOKEN_HTTP_COOKIE,
                                                reinterpret_cast<const unsigned char*>(cookie.data()),
                                                static_cast<int>(cookie.size()), p, *p + len)
                       ? -1
                       : 0;
        }
        case LWS_CALLBACK_CLIENT_ESTABLISHED: state->moved(panel, Stage::Opening, Stage::Open); return 0;
        case LWS_CALLBACK_CLIENT_RECEIVE:
            // A long message may come in parts: it counts once, at its last.
            if (lws_is_final_fragment(wsi) && lws_remaining_packet_payload(wsi) == 0) state->received(panel);
            return 0;
        case LWS_CALLBACK_CLIENT_CONNECTION_ERROR:
            state->moved(panel, Stage::Opening, Stage::Refused, in ? static_cast<const char*>(in) : "bez powodu");
            return 0;
        case LWS_CALLBACK_CLIENT_CLOSED: state->moved(panel, Stage::Open, Stage::Closed); return 0;
        default: return 0;
    }
}

void Open(PanelClients::State& state, lws_context* context, std::size_t panel) {
    lws_client_connect_info info{};
    info.context = context;
    info.address = kAddress;
    info.port = state.port;
    info.path = kPath;
    info.host = state.host.c_str();
    info.origin = state.origin.c_str();
    info.protocol = kProtocol;
    info.ietf_version_or_minus_one = -1;
    info.opaque_user_data = reinterpret_cast<void*>(static_cast<std::uintptr_t>(panel));
    if (!lws_client_connect_via_info(&info))
        state.moved(panel, Stage::Opening, Stage::Refused, "nie można rozpocząć połączenia");
}

// The thread: its context created, serviced until stopped, and destroyed there.
void Serve(PanelClients::State& state) {
    lws_set_log_level(0, nullptr);
    lws_context_creation_info info{};
    info.port = CONTEXT_PORT_NO_LISTEN;
    info.protocols = kProtocols;
    info.user = &state;
    // The Origin as given: the panel takes only its own, scheme included.
    info.options = LWS_SERVER_OPTION_JUST_USE_RAW_ORIGIN;
    lws_context* context = lws_create_context(&info);
    if (!context) {
        for (std::size_t panel = 0; panel < state.panels.size(); ++panel)
            state.moved(panel, Stage::Opening, Stage::Refused, "nie można utworzyć kontekstu libwebsockets");
        return;
    }
    {
        const std::lock_guard lock(state.mutex);
        state.context = context;
    }
    for (std::size_t panel = 0; panel < state.panels.size(); ++panel) Open(state, context, panel);
    for (;;) {
        {
            const std::lock_guard lock(state.mutex);
            if (state.stop) {
                state.context = nullptr;
                break;
            }
        }
        lws_service(context, 0);
    }
    lws_context_destroy(context);
}

}  // namespace

PanelClients::PanelClients(int port, std::string token, int count)
    : state_(std::make_unique<State>(port, std::move(token), count)) {
    thread_ = std::thread([state = state_.get()] { Serve(*state); });
    if (clockid_t clock{}; ::pthread_getcpuclockid(thread_.native_handle(), &clock) == 0) cpuClock_ = clock;
}

PanelClients::~PanelClients() {
    {
        const std::lock_guard lock(state_->mutex);
        state_->stop = true;
        // The one call of libwebsockets that may come from another thread.
        if (state_->context) lws_cancel_service(state_->context);
    }
    thread_.join();
}

hall::Status PanelClients::waitConnected(Duration patience) {
    std::unique_lock lock(state_->mutex);
    const std::size_t all = state_->panels.size();
    const bool settled = state_->changed.wait_for(lock, patience, [&] {
        return state_->count(Stage::Opening) == 0 || state_->count(Stage::Refused) + state_->count(Stage::Closed) > 0;
    });
    const std::size_t open = state_->count(Stage::Open);
    if (open == all) return {};
    const std::string connected = std::to_string(open) + " z " + std::to_string(all) + " paneli połączonych";
    if (!settled)
        return hall::Unexpected("panel: po " +
                                std::to_string(std::chrono::ceil<std::chrono::seconds>(patience).count()) + " s " +
                                connected);
    return hall::Unexpected("panel: " + connected + "; " + state_->firstFailure);
}

PanelCounts PanelClients::counts() const {
    const std::lock_guard lock(state_->mutex);
    PanelCounts counts;
    counts.closed = state_->count(Stage::Closed);
    counts.connected = state_->count(Stage::Open) + counts.closed;
    for (const Panel& panel : state_->panels) counts.received.push_back(panel.received);
    return counts;
}

Duration PanelClients::cpuTime() const {
    timespec used{};
    if (!cpuClock_ || ::clock_gettime(*cpuClock_, &used) != 0) return Duration::zero();
    return std::chrono::duration_cast<Duration>(std::chrono::seconds(used.tv_sec) +
                                                std::chrono::nanoseconds(used.tv_nsec));
}

}  // namespace bench

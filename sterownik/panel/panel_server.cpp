#include "panel_server.h"

#include "ledger_records.h"
#include "login_check.h"
#include "panel_access.h"
#include "panel_messages.h"
#include "posix_file.h"
#include "system_calendar.h"
#include "web_files.h"

#include <libwebsockets.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace sterownik::panel {
namespace {

using namespace std::chrono_literals;

// A login or a command is a few dozen bytes; nothing a page sends comes near.
constexpr std::size_t kBodyLimit = 4096;
// 64 connections, and the few descriptors libwebsockets keeps for itself.
constexpr unsigned kDescriptorLimit = 64 + 6;
// A client that has not sent a whole request by then is closed.
constexpr unsigned kRequestPatience = 30;
constexpr std::size_t kQueuedAnswers = 8;
// A certificate with its chain, or a key, in PEM.
constexpr std::size_t kPemLimit = 256 * 1024;
constexpr const char* kCookie = "sesja";
constexpr const char* kSocketPath = "/stan";
constexpr const char* kJson = "application/json; charset=utf-8";

// What every answer carries: nothing of the page may be framed, sniffed or fetched from elsewhere.
constexpr std::array<std::pair<const char*, const char*>, 4> kSafetyHeaders = {{
    {"content-security-policy:", "default-src 'self'; frame-ancestors 'none'"},
    {"x-content-type-options:", "nosniff"},
    {"referrer-policy:", "no-referrer"},
    {"cache-control:", "no-store"},
}};

struct Reply {
    unsigned status = 200;
    std::string type = kJson;
    std::string body;
    std::string cookie;  // a Set-Cookie value, if any
    bool close = false;  // the connection ends after it
};

// One connection: an HTTP request being read and answered, or a live socket.
struct Connection {
    // HTTP
    std::string path;
    std::string body;
    bool post = false;
    std::optional<Reply> reply;
    // WebSocket
    std::string token;
    Viewer viewer;
    // A few answers at most; an empty vector allocates nothing, an empty deque some 600 bytes.
    std::vector<std::string> queued;
    std::array<std::uint64_t, kSectionCount> sent{};
    bool pulse = false;
};

Reply Refusal(unsigned status, std::string_view why, bool close = false) {
    return {status, kJson, ErrorBody(why), {}, close};
}

std::string Header(lws* wsi, lws_token_indexes header) {
    const int length = lws_hdr_total_length(wsi, header);
    if (length <= 0) return {};
    std::string value(static_cast<std::size_t>(length) + 1, '\0');
    if (lws_hdr_copy(wsi, value.data(), length + 1, header) < 0) return {};
    value.resize(static_cast<std::size_t>(length));
    return value;
}

std::string Peer(lws* wsi) {
    char name[64] = {};
    lws_get_peer_simple(wsi, name, sizeof name);
    // An IPv4 client of a dual-stack socket, as its operators know it.
    const std::string_view peer(name);
    return std::string(peer.starts_with("::ffff:") ? peer.substr(7) : peer);
}

std::string Cookie(lws* wsi) {
    char value[64] = {};
    std::size_t size = sizeof value;
    if (lws_http_cookie_get(wsi, kCookie, value, &size)) return {};
    return std::string(value, size);
}

}  // namespace

struct PanelServer::Shared {
    std::mutex mutex;
    lws_context* context = nullptr;  // while the thread may service it
    bool stop = false;
    std::optional<PanelView> view;  // shown since the thread last looked
    std::uint64_t beats = 0;
    bool preview = false;
    loop::Handover<PanelNote> notes;

    // Wakes the thread; only this call of libwebsockets may come from another thread.
    void wake() {
        if (context) lws_cancel_service(context);
    }
};

namespace {

int Callback(lws* wsi, lws_callback_reasons reason, void* user, void* in, std::size_t len);

// What a page sends on its live view, a lamp's question, is under 30 bytes; each
// view holds this much for it. What the panel sends is not bound by it.
constexpr std::size_t kQuestionBuffer = 128;

const lws_protocols kProtocols[] = {
    {"http", Callback, 0, 0, 0, nullptr, 0},
    {"hala", Callback, 0, kQuestionBuffer, 0, nullptr, 0},
    {nullptr, nullptr, 0, 0, 0, nullptr, 0},
};

// The panel's side of things, on its own thread only.
class Service {
public:
    Service(PanelServer::Shared& shared, bool https, std::vector<hall::PanelSession> saved)
        : shared_(shared), https_(https), sessions_(std::move(saved)) {}

    int callback(lws* wsi, lws_callback_reasons reason, void* in, std::size_t len);

private:
    int request(lws* wsi, std::string path);
    int bodyPart(lws* wsi, const void* in, std::size_t len);
    int bodyDone(lws* wsi);
    int writeReply(lws* wsi);
    int admit(lws* wsi);
    int established(lws* wsi);
    int received(lws* wsi, const void* in, std::size_t len);
    int writeSocket(lws* wsi);
    void woken(lws* wsi);

    Reply session(lws* wsi);
    Reply login(lws* wsi, std::string_view body);
    Reply logout(lws* wsi);
    Reply command(lws* wsi, std::string_view body);
    int respond(lws* wsi, Reply reply);
    std::optional<std::string> userOf(const std::string& token);
    bool ownOrigin(lws* wsi) const;
    void note(std::string line) { shared_.notes.put({std::nullopt, std::move(line)}); }
    void saveSessions();

    PanelServer::Shared& shared_;
    const bool https_;
    Sessions sessions_;
    LoginThrottle throttle_;
    std::map<lws*, Connection> connections_;
    PanelView view_;
    Sections sections_;
    std::array<std::uint64_t, kSectionCount> versions_{};
    std::uint64_t beats_ = 0;
    bool preview_ = false;
    bool saveFailed_ = false;
};

int Service::callback(lws* wsi, lws_callback_reasons reason, void* in, std::size_t len) {
    switch (reason) {
        case LWS_CALLBACK_HTTP: return request(wsi, std::string(static_cast<const char*>(in), len));
        case LWS_CALLBACK_HTTP_BODY: return bodyPart(wsi, in, len);
        case LWS_CALLBACK_HTTP_BODY_COMPLETION: return bodyDone(wsi);
        case LWS_CALLBACK_HTTP_WRITEABLE: return writeReply(wsi);
        case LWS_CALLBACK_FILTER_PROTOCOL_CONNECTION: return admit(wsi);
        case LWS_CALLBACK_ESTABLISHED: return established(wsi);
        case LWS_CALLBACK_RECEIVE: return received(wsi, in, len);
        case LWS_CALLBACK_SERVER_WRITEABLE: return writeSocket(wsi);
        case LWS_CALLBACK_EVENT_WAIT_CANCELLED: woken(wsi); return 0;
        case LWS_CALLBACK_CLOSED:
        case LWS_CALLBACK_WSI_DESTROY: connections_.erase(wsi); return 0;
        default: return 0;
    }
}

int Service::request(lws* wsi, std::string path) {
    Connection& c = connections_[wsi];
    c = {};
    c.path = std::move(path);
    char* uri = nullptr;
    int uriLength = 0;
    const int method = lws_http_get_uri_and_method(wsi, &uri, &uriLength);
    if (method == LWSHUMETH_POST) {
        c.post = true;
        const std::string length = Header(wsi, WSI_TOKEN_HTTP_CONTENT_LENGTH);
        std::size_t declared = 0;
        const auto [end, error] = std::from_chars(length.data(), length.data() + length.size(), declared);
        if (!length.empty() && (error != std::errc() || end != length.data() + length.size() || declared > kBodyLimit))
            return respond(wsi, Refusal(413, "zbyt długie zapytanie", true));
        return 0;  // the body follows
    }
    if (method != LWSHUMETH_GET) return respond(wsi, Refusal(405, "niedozwolona metoda", true));
    if (c.path == "/sesja") return respond(wsi, session(wsi));
    for (const WebFile& file : WebFiles())
        if (file.path == c.path) return respond(wsi, {200, std::string(file.type), std::string(file.body), {}, false});
    return respond(wsi, Refusal(404, "nie ma takiej strony"));
}

int Service::bodyPart(lws* wsi, const void* in, std::size_t len) {
    Connection& c = connections_[wsi];
    if (c.reply) return 0;
    if (c.body.size() + len > kBodyLimit) return respond(wsi, Refusal(413, "zbyt długie zapytanie", true));
    c.body.append(static_cast<const char*>(in), len);
    return 0;
}

int Service::bodyDone(lws* wsi) {
    Connection& c = connections_[wsi];
    if (c.reply) return 0;
    if (!ownOrigin(wsi)) return respond(wsi, Refusal(403, "zapytanie spoza panelu", true));
    if (c.path == "/logowanie") return respond(wsi, login(wsi, c.body));
    if (c.path == "/wylogowanie") return respond(wsi, logout(wsi));
    if (c.path == "/polecenie") return respond(wsi, command(wsi, c.body));
    return respond(wsi, Refusal(404, "nie ma takiej strony"));
}

Reply Service::session(lws* wsi) {
    const Viewer viewer{userOf(Cookie(wsi))};
    if (!viewer.user && !preview_) return Refusal(401, "zaloguj się");
    return {200, kJson, SessionBody(viewer, preview_), {}, false};
}

Reply Service::login(lws* wsi, std::string_view body) {
    const std::string address = Peer(wsi);
    const TimePoint now = Clock::now();
    if (const std::optional<Duration> wait = throttle_.waiting(address, now)) {
        const auto seconds = std::chrono::ceil<std::chrono::seconds>(*wait).count();
        return Refusal(429, "Zbyt wiele błędnych haseł; spróbuj ponownie za " + std::to_string(seconds) + " s");
    }
    const hall::Result<Credentials> credentials = ReadCredentials(body);
    if (!credentials) return Refusal(400, credentials.error());
    const LoginVerdict verdict = CheckLogin(credentials->user, credentials->password);
    if (verdict != LoginVerdict::Accepted) {
        if (throttle_.failed(address, now))
            note("panel: " + std::to_string(LoginThrottle::kFailureLimit) + " błędnych haseł z adresu " + address +
                 "; kolejna próba za 30 s");
        const char* text = verdict == LoginVerdict::UnknownUser ? "program nie zna takiego użytkownika"
                                                                : "Hasło nieprawidłowe sprubuj ponownie!";
        return Refusal(401, text);
    }
    throttle_.succeeded(address);
    const std::optional<std::string> token = NewToken();
    if (!token) return Refusal(503, "brak liczb losowych dla sesji");
    sessions_.open(*token, credentials->user, ledger::WallNow());
    saveSessions();
    note("panel: zalogowano " + credentials->user + " z adresu " + address);
    // The browser keeps it; the controller ends it after 12 hours without a request.
    std::string cookie = std::string(kCookie) + "=" + *token + "; Path=/; Max-Age=34560000; HttpOnly; SameSite=Strict";
    if (https_) cookie += "; Secure";
    return {200, kJson, SessionBody(Viewer{credentials->user}, preview_), cookie, false};
}

Reply Service::logout(lws* wsi) {
    const std::string token = Cookie(wsi);
    if (const std::optional<std::string> user = userOf(token)) note("panel: wylogowano " + *user);
    sessions_.close(token);
    saveSessions();
    std::string cookie = std::string(kCookie) + "=; Path=/; Max-Age=0; HttpOnly; SameSite=Strict";
    if (https_) cookie += "; Secure";
    return {204, kJson, {}, cookie, false};
}

Reply Service::command(lws* wsi, std::string_view body) {
    const std::optional<std::string> user = userOf(Cookie(wsi));
    if (!user) return Refusal(401, "zaloguj się, aby sterować halą");
    const hall::Result<Event> event = ReadCommand(body);
    if (!event) return Refusal(400, event.error());
    shared_.notes.put({*event, "panel (" + *user + ")"});
    return {204, kJson, {}, {}, false};
}

// The headers now, the body when the connection can take it.
int Service::respond(lws* wsi, Reply reply) {
    unsigned char buffer[LWS_PRE + 1024];
    unsigned char *start = buffer + LWS_PRE, *p = start, *end = buffer + sizeof buffer - 1;
    const auto add = [&](const char* name, const std::string& value) {
        return lws_add_http_header_by_name(wsi, reinterpret_cast<const unsigned char*>(name),
                                           reinterpret_cast<const unsigned char*>(value.data()),
                                           static_cast<int>(value.size()), &p, end) == 0;
    };
    bool ok = lws_add_http_common_headers(wsi, reply.status, reply.type.c_str(), reply.body.size(), &p, end) == 0;
    for (const auto& [name, value] : kSafetyHeaders) ok = ok && add(name, value);
    if (!reply.cookie.empty()) ok = ok && add("set-cookie:", reply.cookie);
    if (reply.close) ok = ok && add("connection:", "close");
    if (!ok || lws_finalize_write_http_header(wsi, start, &p, end)) return -1;
    connections_[wsi].reply = std::move(reply);
    lws_callback_on_writable(wsi);
    return 0;
}

int Service::writeReply(lws* wsi) {
    Connection& c = connections_[wsi];
    if (!c.reply) return 0;
    const Reply reply = std::move(*c.reply);
    c.reply.reset();
    if (!reply.body.empty()) {
        std::vector<unsigned char> buffer(LWS_PRE + reply.body.size());
        std::memcpy(buffer.data() + LWS_PRE, reply.body.data(), reply.body.size());
        const int written = lws_write(wsi, buffer.data() + LWS_PRE, reply.body.size(), LWS_WRITE_HTTP_FINAL);
        if (written < static_cast<int>(reply.body.size())) return -1;
    }
    if (reply.close) return -1;
    return lws_http_transaction_completed(wsi) ? -1 : 0;
}

// Only the panel's own page may open the live view, with a session or where watching is allowed.
int Service::admit(lws* wsi) {
    const lws_protocols* protocol = lws_get_protocol(wsi);
    if (!protocol || std::strcmp(protocol->name, "hala") != 0) return 1;
    if (Header(wsi, WSI_TOKEN_GET_URI) != kSocketPath || !ownOrigin(wsi)) return 1;
    Connection& c = connections_[wsi];
    c = {};
    c.token = Cookie(wsi);
    c.viewer.user = userOf(c.token);
    return c.viewer.user || preview_ ? 0 : 1;
}

int Service::established(lws* wsi) {
    Connection& c = connections_[wsi];
    c.queued.push_back(HallMessage(view_.hall, c.viewer));
    c.sent = {};
    lws_callback_on_writable(wsi);
    return 0;
}

int Service::received(lws* wsi, const void* in, std::size_t len) {
    Connection& c = connections_[wsi];
    // A page's question fits one frame; anything longer is no question of its.
    if (!lws_is_first_fragment(wsi) || !lws_is_final_fragment(wsi) || c.queued.size() >= kQueuedAnswers) return 0;
    if (const std::optional<int> lamp = LampAsked(std::string_view(static_cast<const char*>(in), len))) {
        c.queued.push_back(LampMessage(view_, *lamp));
        lws_callback_on_writable(wsi);
    }
    return 0;
}

// One message a turn: answers first, then what changed, then the heartbeat.
int Service::writeSocket(lws* wsi) {
    Connection& c = connections_[wsi];
    std::string message;
    if (!c.queued.empty()) {
        message = std::move(c.queued.front());
        c.queued.erase(c.queued.begin());
    } else {
        for (std::size_t i = 0; i < kSectionCount && message.empty(); ++i)
            if (c.sent[i] < versions_[i]) message = sections_[i], c.sent[i] = versions_[i];
    }
    if (message.empty() && c.pulse) {
        // A logged out or ended session ends its live view.
        if (c.viewer.user && !userOf(c.token)) return -1;
        if (!c.viewer.user && !preview_) return -1;
        message = HeartbeatMessage();
        c.pulse = false;
    }
    if (message.empty()) return 0;
    std::vector<unsigned char> buffer(LWS_PRE + message.size());
    std::memcpy(buffer.data() + LWS_PRE, message.data(), message.size());
    if (lws_write(wsi, buffer.data() + LWS_PRE, message.size(), LWS_WRITE_TEXT) < static_cast<int>(message.size()))
        return -1;
    lws_callback_on_writable(wsi);
    return 0;
}

// The loop showed a new hall, beat, or asks the thread to stop.
void Service::woken(lws* wsi) {
    std::optional<PanelView> view;
    std::uint64_t beats = 0;
    {
        const std::lock_guard lock(shared_.mutex);
        view = std::exchange(shared_.view, std::nullopt);
        beats = shared_.beats;
        preview_ = shared_.preview;
    }
    if (view) {
        view_ = std::move(*view);
        const Sections next = SectionMessages(view_);
        for (std::size_t i = 0; i < kSectionCount; ++i)
            if (next[i] != sections_[i]) sections_[i] = next[i], ++versions_[i];
    }
    if (beats != beats_) {
        beats_ = beats;
        for (auto& [socket, c] : connections_) c.pulse = true;
    }
    lws_callback_on_writable_all_protocol(lws_get_context(wsi), &kProtocols[1]);
}

std::optional<std::string> Service::userOf(const std::string& token) {
    if (token.empty()) return std::nullopt;
    const hall::WallTime now = ledger::WallNow();
    std::optional<std::string> user = sessions_.user(token, now);
    if (sessions_.saveDue()) saveSessions();
    return user;
}

bool Service::ownOrigin(lws* wsi) const {
    return IsOwnOrigin(Header(wsi, WSI_TOKEN_ORIGIN), Header(wsi, WSI_TOKEN_HOST), https_);
}

// Logged once while it fails; the sessions live on in memory meanwhile.
void Service::saveSessions() {
    const hall::WallTime now = ledger::WallNow();
    const hall::Status saved = hall::WritePanelSessions(sessions_.toSave(now));
    if (!saved && !saveFailed_)
        note("panel: nie można zapisać pliku " + hall::kPanelSessionsPath.string() + ": " + saved.error());
    saveFailed_ = !saved;
}

int Callback(lws* wsi, lws_callback_reasons reason, void* /*user*/, void* in, std::size_t len) {
    auto* service = static_cast<Service*>(lws_context_user(lws_get_context(wsi)));
    return service ? service->callback(wsi, reason, in, len) : 0;
}

// HTTP/1.1 alone: the live view is a WebSocket over it, in every browser.
constexpr const char* kAlpn = "http/1.1";

}  // namespace

hall::Result<std::unique_ptr<PanelServer>> PanelServer::Start(const hall::PanelConfig& config) {
    const bool https = !config.certFile.empty();
    hall::Result<std::vector<hall::PanelSession>> saved = hall::ReadPanelSessions();
    if (!saved) saved = std::vector<hall::PanelSession>{};  // a damaged file costs the logins, not the panel
    auto shared = std::make_shared<Shared>();
    if (shared->notes.descriptor() < 0) return hall::Unexpected("panel: " + shared->notes.error().message());
    auto service = std::make_shared<Service>(*shared, https, std::move(*saved));

    lws_set_log_level(0, nullptr);
    lws_context_creation_info info{};
    info.port = *config.port;
    info.iface = config.address.empty() ? nullptr : config.address.c_str();
    info.protocols = kProtocols;
    info.user = service.get();
    info.fd_limit_per_thread = kDescriptorLimit;
    info.timeout_secs = kRequestPatience;
    info.max_http_header_data = 4096;
    info.alpn = kAlpn;
    // Read here, as every file of the hall is, so that no link another user planted is followed.
    std::string certificate, key;
    if (https) {
        for (auto [file, bytes] : {std::pair{&config.certFile, &certificate}, std::pair{&config.keyFile, &key}}) {
            hall::os::SysResult<std::string> read = hall::os::ReadRegularFile(*file, kPemLimit);
            if (!read)
                return hall::Unexpected("panel: nie można odczytać pliku " + file->string() + ": " +
                                        read.error().message());
            *bytes = std::move(*read);
        }
        info.options |= LWS_SERVER_OPTION_DO_SSL_GLOBAL_INIT;
        info.server_ssl_cert_mem = certificate.data();
        info.server_ssl_cert_mem_len = static_cast<unsigned>(certificate.size());
        info.server_ssl_private_key_mem = key.data();
        info.server_ssl_private_key_mem_len = static_cast<unsigned>(key.size());
    }
    lws_context* context = lws_create_context(&info);
    if (!context)
        return hall::Unexpected(
            "panel: nie można nasłuchiwać na " + (config.address.empty() ? std::string("*") : config.address) + ":" +
            std::to_string(*config.port) +
            (https ? " (port zajęty, brak uprawnień albo certyfikat lub klucz nie w PEM, albo nie do pary)"
                   : " (port zajęty albo brak uprawnień)"));
    shared->context = context;
    std::unique_ptr<PanelServer> server(new PanelServer(shared));
    server->thread_ = std::thread([shared, service, context] {
        for (;;) {
            {
                const std::lock_guard lock(shared->mutex);
                if (shared->stop) {
                    shared->context = nullptr;
                    break;
                }
            }
            lws_service(context, 0);
        }
        lws_context_destroy(context);
    });
    return server;
}

PanelServer::PanelServer(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}

PanelServer::~PanelServer() {
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->stop = true;
        shared_->wake();
    }
    if (thread_.joinable()) thread_.join();
}

void PanelServer::show(const PanelView& view) {
    const std::lock_guard lock(shared_->mutex);
    shared_->view = view;
    shared_->wake();
}

void PanelServer::beat() {
    const std::lock_guard lock(shared_->mutex);
    ++shared_->beats;
    shared_->wake();
}

void PanelServer::allowPreview(bool preview) {
    const std::lock_guard lock(shared_->mutex);
    shared_->preview = preview;
    shared_->wake();
}

int PanelServer::descriptor() const { return shared_->notes.descriptor(); }

std::vector<PanelNote> PanelServer::take() { return shared_->notes.take(); }

}  // namespace sterownik::panel

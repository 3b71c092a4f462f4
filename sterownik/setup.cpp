#include "setup.h"

#include "line_file.h"
#include "topic_checks.h"
#include "topics.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace sterownik {
namespace {

// A password file holds one line; a longer one is no password.
constexpr std::size_t kPasswordLimit = 4 * 1024;

std::string HallDirectoryName() {
    std::error_code ec;
    const std::filesystem::path work = std::filesystem::current_path(ec);
    return ec ? std::string() : work.parent_path().filename().string();
}

hall::Result<std::string> ReadPassword(const hall::ControllerConfig& config) {
    if (config.passwordFile.empty()) return std::string();
    const auto lines = hall::ReadLines(config.passwordFile, kPasswordLimit);
    const std::string file = config.passwordFile.string();
    if (!lines) return hall::Unexpected("nie można odczytać pliku hasła " + file);
    if (lines->empty()) return hall::Unexpected("plik hasła " + file + " jest pusty");
    return lines->front();
}

}  // namespace

hall::Result<Setup> LoadSetup() {
    hall::Result<hall::ControllerConfig> config =
        hall::ReadControllerConfig(hall::kControllerConfigPath, HallDirectoryName());
    if (!config) return hall::Unexpected(config.error());
    if (const hall::Status topics = CheckTopics(*config); !topics) return hall::Unexpected(topics.error());
    const hall::Result<std::string> password = ReadPassword(*config);
    if (!password) return hall::Unexpected(password.error());
    Setup setup{std::move(*config), {}};
    LinkSettings& link = setup.link;
    link.host = setup.config.host;
    link.port = setup.config.port;
    // Unique on a broker that carries several sites' halls, named alike.
    const std::string& prefix = setup.config.topicPrefix;
    link.clientId = "sterownik/" + (prefix.empty() ? "" : prefix + "/") + setup.config.name;
    link.user = setup.config.user;
    link.password = *password;
    link.caFile = setup.config.caFile.string();
    link.certFile = setup.config.certFile.string();
    link.keyFile = setup.config.keyFile.string();
    link.will = TopicTable(setup.config).availability(false);
    return setup;
}

hall::Result<std::optional<int>> HandedSocket() {
    const char* pid = std::getenv("LISTEN_PID");
    const char* count = std::getenv("LISTEN_FDS");
    const bool ours = pid && count && std::to_string(::getpid()) == pid && std::string(count) != "0";
    for (const char* name : {"LISTEN_PID", "LISTEN_FDS", "LISTEN_FDNAMES"}) ::unsetenv(name);
    if (!ours) return std::optional<int>();
    constexpr int kFirstHanded = 3;
    if (::fcntl(kFirstHanded, F_SETFD, FD_CLOEXEC) != 0)
        return hall::Unexpected("gniazdo przekazane przez systemd: " + std::string(std::strerror(errno)));
    return std::optional<int>(kFirstHanded);
}

}  // namespace sterownik

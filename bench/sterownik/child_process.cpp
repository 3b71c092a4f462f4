#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace bench {
namespace {

constexpr int kStopWaitMs = 5000;

// In the child between fork and exec, so only async-signal-safe calls.
[[noreturn]] void BecomeChild(char* const* arguments, char* const* environment, const char* directory, int output,
                              pid_t parent, bool ownSession) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    // With the kernel's autogroups, a session of its own is a scheduling group of its own.
    if (ownSession && ::setsid() < 0) ::_exit(127);
    // The benchmark blocks its stop signals to read them from a descriptor; the child must not inherit that.
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    const int input = ::open("/dev/null", O_RDONLY);
    if (input < 0 || ::chdir(directory) != 0 || ::dup2(input, 0) < 0 || ::dup2(output, 1) < 0 || ::dup2(output, 2) < 0)
        ::_exit(127);
    ::execve(arguments[0], arguments, environment);
    ::_exit(127);
}

// The benchmark's environment with `added` in it, each replacing the variable of its name; built before the fork.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& added) {
    std::vector<std::string> all;
    const auto name = [](const std::string& variable) { return variable.substr(0, variable.find('=')); };
    for (char** variable = environ; *variable; ++variable) {
        const std::string own = *variable;
        if (std::none_of(added.begin(), added.end(), [&](const std::string& a) { return name(a) == name(own); }))
            all.push_back(own);
    }
    all.insert(all.end(), added.begin(), added.end());
    return all;
}

std::vector<char*> Pointers(const std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (const std::string& text : texts) pointers.push_back(const_cast<char*>(text.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

// Whether the process ended within `ms`, waited on without a busy loop.
bool WaitForEnd(pid_t pid, int ms) {
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (fd >= 0) {
        pollfd watch{fd, POLLIN, 0};
        ::poll(&watch, 1, ms);
        ::close(fd);
    }
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) == pid;
}

std::string ProcFile(pid_t pid, const char* name) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/" + name);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

hall::Result<std::unique_ptr<ChildProcess>> ChildProcess::Start(const SpawnRequest& request) {
    std::unique_ptr<ChildProcess> child(new ChildProcess);
    if (const hall::Status spawned = child->spawn(request); !spawned) return hall::Unexpected(spawned.error());
    return child;
}

hall::Status ChildProcess::spawn(const SpawnRequest& request) {
    std::vector<char*> arguments = Pointers(request.arguments);
    const std::vector<std::string> variables = EnvironmentWith(request.environment);
    std::vector<char*> environment = Pointers(variables);
    int ends[2] = {-1, -1};
    if (request.piped ? ::pipe2(ends, O_CLOEXEC) != 0
                      : (ends[1] = ::open(request.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)) < 0)
        return hall::Unexpected("nie można przygotować wyjścia programu " + request.arguments[0] + ": " +
                                std::strerror(errno));
    const std::string directory = request.directory.string();
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0)
        BecomeChild(arguments.data(), environment.data(), directory.c_str(), ends[1], parent, request.ownSession);
    hall::Status forked;
    if (pid_ < 0)
        forked = hall::Unexpected("nie można uruchomić " + request.arguments[0] + ": " + std::strerror(errno));
    ::close(ends[1]);
    output_ = ends[0];
    return forked;
}

bool ChildProcess::ended() {
    if (pid_ <= 0) return true;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) != pid_) return false;
    pid_ = -1;
    return true;
}

bool ChildProcess::stop() {
    bool clean = true;
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        if (!WaitForEnd(pid_, kStopWaitMs)) {
            clean = false;
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
    }
    if (output_ >= 0) ::close(output_);
    output_ = -1;
    return clean;
}

std::optional<long> ChildProcess::MemoryKiB(const char* file, std::string_view key) const {
    std::istringstream lines(ProcFile(pid_, file));
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with(key)) return std::stol(line.substr(key.size()));
    return std::nullopt;
}

std::optional<Duration> ChildProcess::cpuTime() const {
    const std::string stat = ProcFile(pid_, "stat");
    // The command name in parentheses may hold blanks: the fields count from after it.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::istringstream fields(stat.substr(close + 2));
    std::string skip;
    for (int field = 3; field < 14; ++field) fields >> skip;
    long long user = 0, system = 0;
    if (!(fields >> user >> system)) return std::nullopt;
    const double seconds = static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    return std::chrono::duration_cast<Duration>(std::chrono::duration<double>(seconds));
}

}  // namespace bench

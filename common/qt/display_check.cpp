#include "display_check.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace hall {

namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

std::string_view programName(const char* path) {
    if (!path || !*path) return "program";
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

}  // namespace

bool displayExpected(int argc, char** argv) {
#if defined(_WIN32) || defined(__APPLE__)
    return true;  // the desktop is always there
#endif
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (isSet(name)) return true;
    for (int i = 1; i < argc; ++i)
        for (std::string_view option : {"-platform", "--platform", "-display", "--display"})
            if (argv[i] == option) return true;
    return false;
}

bool checkDisplay(int argc, char** argv) {
    if (displayExpected(argc, argv)) return true;
    const std::string_view name = programName(argc > 0 ? argv[0] : nullptr);
    std::fprintf(stderr,
                 "%.*s: brak ekranu graficznego (nie ustawiono DISPLAY ani WAYLAND_DISPLAY); ustaw DISPLAY "
                 "albo uruchom program przez xvfb-run, np. xvfb-run %.*s\n",
                 int(name.size()), name.data(), int(name.size()), name.data());
    return false;
}

}  // namespace hall

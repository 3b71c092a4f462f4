// The other programs of a hall, for the tests: writers of "../actual.txt"
// that run beside the one under test, each for at most a minute.
//   state_writer scenes         replaces the file with a scene line, again and again
//   state_writer zero PATH      runs the zero tool, again and again
//   state_writer write FILE TEXT  replaces FILE with TEXT once; exit status 0 on success
// The loops print "ready" once their first write is done.
#include "lamp_state.h"
#include "line_file.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>

#include <cstdio>

namespace {

constexpr int kLifetimeMilliseconds = 60000;

hall::LampStates sceneStates() {
    hall::LampStates states = hall::AllOffStates();
    for (int lamp : {1, 41, 100, 108}) states[lamp - 1] = hall::kStateOn;
    return states;
}

template <typename Write>
int repeat(Write write) {
    const QDeadlineTimer deadline(kLifetimeMilliseconds);
    if (!write()) return 1;
    std::puts("ready");
    std::fflush(stdout);
    while (!deadline.hasExpired())
        if (!write()) return 1;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString mode = args.value(0);
    if (mode == QLatin1String("scenes") && args.size() == 1)
        return repeat([states = sceneStates()] { return hall::WriteStateFile(states); });
    if (mode == QLatin1String("zero") && args.size() == 2)
        return repeat([zero = args[1]] { return QProcess::execute(zero, {}) == 0; });
    if (mode == QLatin1String("write") && args.size() == 3)
        return hall::WriteFileAtomically(args[1].toStdString(), args[2].toStdString()) ? 0 : 1;
    std::fputs("usage: state_writer scenes | zero PATH | write FILE TEXT\n", stderr);
    return 2;
}

#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

// What `ldd` lists for a program: the tools that must start without Qt are
// checked by it. Empty when ldd cannot run.
inline QByteArray linkedLibraries(const QString& program) {
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {program});
    if (!ldd.waitForFinished(30000)) return {};
    return ldd.readAllStandardOutput();
}

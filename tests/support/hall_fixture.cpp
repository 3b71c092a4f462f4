#include "hall_fixture.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

QByteArray TestHall::read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QByteArray();
    return file.readAll();
}

bool TestHall::write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QStringList TestHall::listing() const {
    QStringList entries;
    QDirIterator it(rootPath(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    const QDir root(rootPath());
    while (it.hasNext()) entries << root.relativeFilePath(it.next());
    entries.sort();
    return entries;
}

bool TestHall::layDefaults() const {
    const QDir defaults(QStringLiteral(HALL_DATA_DIR));
    const QFileInfoList files = defaults.entryInfoList(QDir::Files);
    if (files.isEmpty()) return false;
    for (const QFileInfo& file : files)
        if (!QFile::copy(file.absoluteFilePath(), workFile(file.fileName()))) return false;
    QByteArray line;
    for (int n = 1; n <= 108; ++n) line += "la" + QByteArray::number(n) + "=1&";
    return write(rootFile(QStringLiteral("actual.txt")), line + "\r\n");
}

#include "hall_fixture.h"

#include <QDirIterator>
#include <QFile>

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
    QDirIterator it(rootPath(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    const QDir root(rootPath());
    while (it.hasNext()) entries << root.relativeFilePath(it.next());
    entries.sort();
    return entries;
}

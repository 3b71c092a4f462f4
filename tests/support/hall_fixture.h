#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

// A hall laid out in a temporary directory: the parent holds the shared files,
// `konfigurator/` is the working directory of the programs under test.
class TestHall {
public:
    TestHall() : previous_(QDir::currentPath()) {
        QDir(root_.path()).mkpath(QStringLiteral("konfigurator"));
        QDir::setCurrent(workPath());
    }
    ~TestHall() { QDir::setCurrent(previous_); }
    TestHall(const TestHall&) = delete;
    TestHall& operator=(const TestHall&) = delete;

    bool isValid() const { return root_.isValid(); }
    QString rootPath() const { return root_.path(); }
    QString workPath() const { return root_.path() + QStringLiteral("/konfigurator"); }
    QString rootFile(const QString& name) const { return rootPath() + QLatin1Char('/') + name; }
    QString workFile(const QString& name) const { return workPath() + QLatin1Char('/') + name; }

    // The installation defaults in konfigurator/ and an all-off actual.txt.
    bool layDefaults() const;

    static QByteArray read(const QString& path);
    static bool write(const QString& path, const QByteArray& bytes);
    // Every entry below the hall, relative to its root, sorted.
    QStringList listing() const;

private:
    QTemporaryDir root_;
    QString previous_;
};

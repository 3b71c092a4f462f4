#include "configurator.h"
#include "message_watcher.h"
#include "scene_files.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>

#include <sys/stat.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// The files start-up reads, where they lie in the hall, their name in
// messages and a line of their layout (without its end).
struct HallFile {
    const char* path;
    const char* named;
    QByteArray valid;
    int digitPosition;  // a position that holds a digit in the layout
    int lastItem;       // the length of the last digit or entry
};

const QList<HallFile>& hallFiles() {
    static const QList<HallFile> files = {
        {"konfigurator/vuzo1.txt", "vuzo1.txt", sceneLine({2, 3}), 50, 1},
        {"konfigurator/pakiet.txt", "pakiet.txt", "a" + QByteArray(24, '1'), 5, 1},
        {"konfigurator/czuj.txt", "czuj.txt", "a" + QByteArray(8, '2'), 3, 1},
        {"actual.txt", "../actual.txt", stateLine({4}), 4, 8},
    };
    return files;
}

enum class Kind { Missing, Content, Directory, Fifo, DanglingLink };

struct Defect {
    const char* name;
    Kind kind;
    QByteArray (*content)(const HallFile&);
    // A character that is not a digit is still a character for the one-character
    // key and sensor fields: only a length tells those files apart.
    bool onlyLengthMattersForFields;
};

QByteArray replaced(const HallFile& file, char c) {
    QByteArray line = file.valid;
    line[file.digitPosition] = c;
    return line + "\r\n";
}

const QList<Defect>& defects() {
    static const QList<Defect> list = {
        {"missing", Kind::Missing, nullptr, false},
        {"empty", Kind::Content, [](const HallFile&) { return QByteArray(); }, false},
        {"only CR LF", Kind::Content, [](const HallFile&) { return QByteArray("\r\n"); }, false},
        {"one short", Kind::Content, [](const HallFile& f) { return f.valid.chopped(f.lastItem) + "\r\n"; }, false},
        {"letter for a digit", Kind::Content, [](const HallFile& f) { return replaced(f, 'x'); }, true},
        {"NUL byte", Kind::Content, [](const HallFile& f) { return replaced(f, '\0'); }, true},
        {"byte 0xB9", Kind::Content, [](const HallFile& f) { return replaced(f, '\xb9'); }, true},
        {"byte 0xFF", Kind::Content, [](const HallFile& f) { return replaced(f, '\xff'); }, true},
        {"50 MB line without end", Kind::Content, [](const HallFile&) { return QByteArray(50'000'000, 'x'); }, true},
        {"directory", Kind::Directory, nullptr, false},
        {"FIFO", Kind::Fifo, nullptr, false},
        {"dangling link", Kind::DanglingLink, nullptr, false},
    };
    return list;
}

bool isField(const HallFile& file) { return file.valid.size() < 100; }
bool isSaved(const HallFile& file) { return QByteArray(file.path).startsWith("konfigurator/"); }

bool lay(const TestHall& hall, const HallFile& file, const Defect& defect) {
    const QString path = hall.rootFile(file.path);
    QFile::remove(path);
    const std::string target = path.toStdString();
    switch (defect.kind) {
        case Kind::Missing: return true;
        case Kind::Content: return TestHall::write(path, defect.content(file));
        case Kind::Directory: return QDir().mkpath(path + "/inside");
        case Kind::Fifo: return ::mkfifo(target.c_str(), 0644) == 0;
        case Kind::DanglingLink: return QFile::link(path + ".nowhere", path);
    }
    return false;
}

// Every entry of the hall with its type, time and (for files) contents:
// anything written shows. Nothing is opened but regular files.
QStringList snapshot(const TestHall& hall) {
    QStringList entries;
    QDirIterator it(hall.rootPath(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const fs::path entry = it.next().toStdString();
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(entry, ec);
        QString line = QString::fromStdString(entry.string()) + " " + QString::number(int(status.type()));
        if (fs::is_regular_file(status)) {
            line += " " + QString::number(fs::last_write_time(entry, ec).time_since_epoch().count());
            QFile file(QString::fromStdString(entry.string()));
            if (file.open(QIODevice::ReadOnly))
                line += " " + QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex();
        }
        entries << line;
    }
    entries.sort();
    return entries;
}

// The files one message names, in order; "?" for anything but one such message.
QStringList namedFiles(const QStringList& messages, const QString& verb) {
    if (messages.isEmpty()) return {};
    if (messages.size() != 1 || !messages[0].startsWith(QStringLiteral("Nie udało się ") + verb)) return {"?"};
    return messages[0].section(QStringLiteral(": "), 1).split(QStringLiteral(", "));
}

bool readsWhole(const QByteArray& named) {
    if (named == "vuzo1.txt") return hall::ReadSceneFile(hall::SceneFilePath(1)).complete;
    if (named == "pakiet.txt") return hall::ReadAssignmentFile(hall::kKeyFilePath, 24).complete;
    return hall::ReadAssignmentFile(hall::kSensorFilePath, 8).complete;
}

void tick(const Configurator& c) {
    for (int i = 0; i < 3; ++i) c.status()->statusTick();
}

}  // namespace

class TestBadHalls : public QObject {
    Q_OBJECT

private slots:
    void badHall_data();
    void badHall();
};

void TestBadHalls::badHall_data() {
    QTest::addColumn<int>("fileIndex");
    QTest::addColumn<int>("defectIndex");
    QTest::addColumn<bool>("betweenTicks");
    for (int f = 0; f < hallFiles().size(); ++f)
        for (int d = 0; d < defects().size(); ++d)
            QTest::addRow("%s %s", hallFiles()[f].named, defects()[d].name) << f << d << false;
    for (int d = 0; d < defects().size(); ++d)
        QTest::addRow("../actual.txt becomes %s between ticks", defects()[d].name) << 3 << d << true;
}

// The window opens, one message names exactly the unreadable files, the
// ticks go on, nothing is written before the operator acts, and "Zapisz"
// then writes files that read back whole.
void TestBadHalls::badHall() {
    QFETCH(int, fileIndex);
    QFETCH(int, defectIndex);
    QFETCH(bool, betweenTicks);
    const HallFile& file = hallFiles()[fileIndex];
    const Defect& defect = defects()[defectIndex];
    TestHall hall;
    QVERIFY(hall.layDefaults());
    for (const HallFile& each : hallFiles()) QVERIFY(TestHall::write(hall.rootFile(each.path), each.valid + "\r\n"));
    if (!betweenTicks) QVERIFY(lay(hall, file, defect));
    const bool unreadable = !(isField(file) && defect.onlyLengthMattersForFields);

    MessageWatcher messages;
    QStringList before = snapshot(hall);
    Configurator c;
    QVERIFY(c.form->isVisible());
    if (betweenTicks) {
        tick(c);
        QVERIFY(lay(hall, file, defect));
        before = snapshot(hall);
    }
    tick(c);
    settle();
    const bool reported = unreadable && !betweenTicks;
    QCOMPARE(namedFiles(messages.texts(), "odczytać"), reported ? QStringList{file.named} : QStringList{});
    // The lamp state is kept when it cannot be read between ticks, grey from the start.
    const bool stateUnread = QByteArray(file.named) == "../actual.txt" && !betweenTicks;
    QCOMPARE(c.lampColour(4), stateUnread ? QColor(192, 192, 192) : QColor(250, 250, 10));
    QCOMPARE(snapshot(hall), before);

    // Ticks go on: a whole lamp state file shows at the next one.
    fs::remove_all(hall.rootFile("actual.txt").toStdString());
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), stateLine({5}) + "\r\n"));
    tick(c);
    QCOMPARE(c.lampColour(5), QColor(250, 250, 10));

    // Only a directory in the place of a saved file stops its write.
    messages.clear();
    c.clickTab(2, 3);
    QTest::mouseClick(c.scenes()->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    settle();
    const bool blocked = defect.kind == Kind::Directory && isSaved(file);
    QCOMPARE(namedFiles(messages.texts(), "zapisać"), blocked ? QStringList{file.named} : QStringList{});
    for (const HallFile& saved : hallFiles())
        if (isSaved(saved) && !(blocked && &saved == &file)) QVERIFY2(readsWhole(saved.named), saved.named);
}

QTEST_MAIN(TestBadHalls)
#include "test_bad_halls.moc"

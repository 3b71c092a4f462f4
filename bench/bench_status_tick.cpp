// What one status tick costs the window thread: reading the lamp state file
// and colouring the 108 lamp buttons, with the plan unchanged (the usual
// second) and with every lamp changing.
#include "lamp_state.h"
#include "status_page.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class BenchStatusTick : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(hall_.isValid());
        QVERIFY(QDir(hall_.path()).mkdir("konfigurator"));
        QVERIFY(QDir::setCurrent(hall_.path() + "/konfigurator"));
    }
    void unchangedPlan() {
        QVERIFY(hall::WriteStateFile(hall::AllOffStates()));
        StatusPage page;
        QBENCHMARK { page.statusTick(); }
    }
    void everyLampChanges() {
        hall::LampStates on;
        on.fill(hall::kStateOn);
        StatusPage page;
        bool lit = false;
        QBENCHMARK {
            QVERIFY(hall::WriteStateFile(lit ? hall::AllOffStates() : on));
            page.statusTick();
            lit = !lit;
        }
    }
    void writeOnly() {
        QBENCHMARK { QVERIFY(hall::WriteStateFile(hall::AllOffStates())); }
    }

private:
    QTemporaryDir hall_;
};

QTEST_MAIN(BenchStatusTick)
#include "bench_status_tick.moc"

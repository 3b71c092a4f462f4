#include "text_number.h"

#include <QTest>

#include <cfloat>
#include <string>

using namespace hall;

class TestTextNumber : public QObject {
    Q_OBJECT

private slots:
    void leadingNumberValue_data();
    void leadingNumberValue();
    void generalFormat_data();
    void generalFormat();
    void numberRewrite_data();
    void numberRewrite();
    void rewriteIsStable_data();
    void rewriteIsStable();
    void roundHalfEven_data();
    void roundHalfEven();
    void hugeInputsFinish();
};

void TestTextNumber::leadingNumberValue_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("empty") << QByteArray("") << 0.0;
    QTest::newRow("digit") << QByteArray("7") << 7.0;
    QTest::newRow("trailing letters") << QByteArray("15min") << 15.0;
    QTest::newRow("letters only") << QByteArray("abc") << 0.0;
    QTest::newRow("leading zeros") << QByteArray("007") << 7.0;
    QTest::newRow("negative") << QByteArray("-5") << -5.0;
    QTest::newRow("plus") << QByteArray("+5") << 5.0;
    QTest::newRow("fraction") << QByteArray("7.5") << 7.5;
    QTest::newRow("comma stops") << QByteArray("7,5") << 7.0;
    QTest::newRow("point first") << QByteArray(".5") << 0.5;
    QTest::newRow("second point stops") << QByteArray("1.2.3") << 1.2;
    QTest::newRow("blanks anywhere") << QByteArray(" 1 2\t3\n4") << 1234.0;
    QTest::newRow("blank after sign") << QByteArray("- 5") << -5.0;
    QTest::newRow("exponent") << QByteArray("1E3") << 1000.0;
    QTest::newRow("exponent D lower") << QByteArray("2d2") << 200.0;
    QTest::newRow("negative exponent") << QByteArray("5E-2") << 0.05;
    QTest::newRow("exponent without digits") << QByteArray("3E") << 3.0;
    QTest::newRow("exponent sign only") << QByteArray("3E+x") << 3.0;
    QTest::newRow("hex") << QByteArray("&H1F") << 31.0;
    QTest::newRow("hex lower, blanks") << QByteArray("& h ff") << 255.0;
    QTest::newRow("hex stops") << QByteArray("&H1G") << 1.0;
    QTest::newRow("octal") << QByteArray("&O17") << 15.0;
    QTest::newRow("octal stops at 8") << QByteArray("&O18") << 1.0;
    QTest::newRow("ampersand alone") << QByteArray("&") << 0.0;
    QTest::newRow("ampersand other") << QByteArray("&X1") << 0.0;
    QTest::newRow("sign alone") << QByteArray("-") << 0.0;
    QTest::newRow("point alone") << QByteArray(".") << 0.0;
    QTest::newRow("zero then minus") << QByteArray("0-3") << 0.0;
    QTest::newRow("nine point six") << QByteArray("9.6") << 9.6;
    QTest::newRow("non-ascii stops") << QByteArray("4\xc3\xb3") << 4.0;
    QTest::newRow("beyond double") << QByteArray("1E400") << DBL_MAX;
    QTest::newRow("beyond double negative") << QByteArray("-1E400") << -DBL_MAX;
    QTest::newRow("many digits beyond double") << QByteArray(400, '9') << DBL_MAX;
    QTest::newRow("below double") << QByteArray("1E-400") << 0.0;
    QTest::newRow("large exponent tiny mantissa") << QByteArray("0.000001E310") << 1e304;
    QTest::newRow("exponent digits overflow") << QByteArray("1E99999999999999999999") << DBL_MAX;
    QTest::newRow("hex beyond double") << (QByteArray("&H") + QByteArray(300, 'F')) << DBL_MAX;
}

void TestTextNumber::leadingNumberValue() {
    QFETCH(QByteArray, text);
    QFETCH(double, value);
    QCOMPARE(LeadingNumberValue(text.toStdString()), value);
}

void TestTextNumber::generalFormat_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("point");
    QTest::addColumn<QString>("comma");
    QTest::newRow("whole") << 7.0 << "7"
                           << "7";
    QTest::newRow("fraction") << 7.5 << "7.5"
                              << "7,5";
    QTest::newRow("negative") << -5.0 << "-5"
                              << "-5";
    QTest::newRow("half") << 0.5 << "0.5"
                          << "0,5";
    QTest::newRow("zero") << 0.0 << "0"
                          << "0";
    QTest::newRow("negative zero") << -0.0 << "0"
                                   << "0";
    QTest::newRow("1E15") << 1e15 << "1E+15"
                          << "1E+15";
    QTest::newRow("15 digits") << 999999999999999.0 << "999999999999999"
                               << "999999999999999";
    QTest::newRow("rounded to 15 digits") << 123456789012345678.0 << "1.23456789012346E+17"
                                          << "1,23456789012346E+17";
    QTest::newRow("0.0001") << 0.0001 << "0.0001"
                            << "0,0001";
    QTest::newRow("0.00001") << 0.00001 << "1E-05"
                             << "1E-05";
    QTest::newRow("negative small") << -0.000012 << "-1.2E-05"
                                    << "-1,2E-05";
    QTest::newRow("1.4") << 1.4 << "1.4"
                         << "1,4";
    QTest::newRow("one third") << 1.0 / 3 << "0.333333333333333"
                               << "0,333333333333333";
    QTest::newRow("largest double") << DBL_MAX << "1.79769313486232E+308"
                                    << "1,79769313486232E+308";
    QTest::newRow("infinity clamps") << HUGE_VAL << "1.79769313486232E+308"
                                     << "1,79769313486232E+308";
    QTest::newRow("three digit exponent") << 1e-100 << "1E-100"
                                          << "1E-100";
}

void TestTextNumber::generalFormat() {
    QFETCH(double, value);
    QFETCH(QString, point);
    QFETCH(QString, comma);
    QCOMPARE(QString::fromStdString(FormatGeneralNumber(value, '.')), point);
    QCOMPARE(QString::fromStdString(FormatGeneralNumber(value, ',')), comma);
}

// The field rules' own examples: the delay, time and key fields.
void TestTextNumber::numberRewrite_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("point");
    QTest::addColumn<QString>("comma");
    QTest::newRow("15") << "15"
                        << "15"
                        << "15";
    QTest::newRow("15min") << "15min"
                           << "15"
                           << "15";
    QTest::newRow("letters") << "abc"
                             << "0"
                             << "0";
    QTest::newRow("cleared") << ""
                             << "0"
                             << "0";
    QTest::newRow("007") << "007"
                         << "7"
                         << "7";
    QTest::newRow("12ab") << "12ab"
                          << "12"
                          << "12";
    QTest::newRow("-5") << "-5"
                        << "-5"
                        << "-5";
    QTest::newRow("7.5") << "7.5"
                         << "7.5"
                         << "7,5";
    QTest::newRow("key digit") << "5"
                               << "5"
                               << "5";
    QTest::newRow("key letter") << "x"
                                << "0"
                                << "0";
}

void TestTextNumber::numberRewrite() {
    QFETCH(QString, text);
    QFETCH(QString, point);
    QFETCH(QString, comma);
    QCOMPARE(QString::fromStdString(NumberRewrite(text.toStdString(), '.')), point);
    QCOMPARE(QString::fromStdString(NumberRewrite(text.toStdString(), ',')), comma);
}

// A field rewrites its own text until it stops changing: this must end, and
// where it ends is what the operator sees.
void TestTextNumber::rewriteIsStable_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("settled");
    QTest::newRow("7.5 point") << "7.5" << QChar('.') << "7.5";
    QTest::newRow("7.5 comma") << "7.5" << QChar(',') << "7";
    QTest::newRow("beyond double") << "9E999" << QChar('.') << "1.79769313486232E+308";
    QTest::newRow("beyond double comma") << "9E999" << QChar(',') << "1";
    QTest::newRow("tiny comma") << "0.00001" << QChar(',') << "1E-05";
}

void TestTextNumber::rewriteIsStable() {
    QFETCH(QString, text);
    QFETCH(QChar, separator);
    QFETCH(QString, settled);
    std::string current = text.toStdString();
    for (int pass = 0; pass < 10; ++pass) {
        const std::string next = NumberRewrite(current, separator.toLatin1());
        if (next == current) break;
        current = next;
    }
    QCOMPARE(QString::fromStdString(current), settled);
    QCOMPARE(NumberRewrite(current, separator.toLatin1()), current);
}

void TestTextNumber::roundHalfEven_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("rounded");
    QTest::newRow("2.5") << 2.5 << 2.0;
    QTest::newRow("3.5") << 3.5 << 4.0;
    QTest::newRow("9.6") << 9.6 << 10.0;
    QTest::newRow("9.4") << 9.4 << 9.0;
    QTest::newRow("0.5") << 0.5 << 0.0;
    QTest::newRow("-2.5") << -2.5 << -2.0;
    QTest::newRow("-3.5") << -3.5 << -4.0;
    QTest::newRow("-3") << -3.0 << -3.0;
    QTest::newRow("huge") << 1e300 << 1e300;
    QTest::newRow("below 16 bits") << -40000.5 << -40000.0;
}

void TestTextNumber::roundHalfEven() {
    QFETCH(double, value);
    QFETCH(double, rounded);
    QCOMPARE(RoundHalfEven(value), rounded);
}

void TestTextNumber::hugeInputsFinish() {
    const std::string digits(10'000'000, '7');
    QCOMPARE(LeadingNumberValue(digits), DBL_MAX);
    const std::string fraction = "0." + std::string(10'000'000, '0') + "1";
    QCOMPARE(LeadingNumberValue(fraction), 0.0);
    const std::string blanks = std::string(10'000'000, ' ') + "42";
    QCOMPARE(NumberRewrite(blanks, ','), std::string("42"));
}

QTEST_APPLESS_MAIN(TestTextNumber)
#include "test_text_number.moc"

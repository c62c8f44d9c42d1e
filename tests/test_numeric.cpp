#include <QLocale>
#include <QtTest>
#include <cmath>

#include "platform/numeric.h"
#include "platform/runtimeerror.h"

using namespace vantelo;

namespace {

// The run-time error number a call raises, or 0.
template <typename F>
int errorOf(F&& f) {
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

}  // namespace

class NumericTest : public QObject {
    Q_OBJECT
private slots:
    void roundsHalvesToEven_data();
    void roundsHalvesToEven();
    void sixteenBitOverflow();
    void numberPrefix_data();
    void numberPrefix();
    void strictReaders_data();
    void strictReaders();
    void singleText_data();
    void singleText();
    void singleTextIgnoresCommaLocale();
};

void NumericTest::roundsHalvesToEven_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("expected");
    QTest::newRow("2.5") << 2.5 << 2.0;
    QTest::newRow("3.5") << 3.5 << 4.0;
    QTest::newRow("-2.5") << -2.5 << -2.0;
    QTest::newRow("-3.5") << -3.5 << -4.0;
    QTest::newRow("12.5") << 12.5 << 12.0;
    QTest::newRow("10.1") << 10.1 << 10.0;
    QTest::newRow("1.6") << 1.6 << 2.0;
    QTest::newRow("22.5") << 22.5 << 22.0;
}

void NumericTest::roundsHalvesToEven() {
    QFETCH(double, value);
    QFETCH(double, expected);
    QCOMPARE(roundHalfEven(value), expected);
}

void NumericTest::sixteenBitOverflow() {
    QCOMPARE(toInt16(32767.4), std::int16_t(32767));
    QCOMPARE(toInt16(-32768.5), std::int16_t(-32768));
    QCOMPARE(errorOf([] { toInt16(32767.5); }), int(ErrOverflow));
    QCOMPARE(errorOf([] { checkedInt16(-10 * 3277); }), int(ErrOverflow));
    QCOMPARE(checkedInt16(-10 * 3276), std::int16_t(-32760));
    QCOMPARE(errorOf([] { toInt32(2147483648.0); }), int(ErrOverflow));
}

void NumericTest::numberPrefix_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("whole") << "1" << 1.0;
    QTest::newRow("fraction") << "1.6" << 1.6;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("blanks skipped") << " 1 2 " << 12.0;
    QTest::newRow("comma stops") << "11,25" << 11.0;
    QTest::newRow("trailing text") << "12pt" << 12.0;
    QTest::newRow("negative") << "-3" << -3.0;
    QTest::newRow("exponent") << "1e3" << 1000.0;
    QTest::newRow("lone point") << "." << 0.0;
    QTest::newRow("hex") << "&H1F" << 31.0;
    QTest::newRow("octal") << "&O17" << 15.0;
    QTest::newRow("huge exponent") << "1e999" << 0.0;
}

void NumericTest::numberPrefix() {
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(vantelo::numberPrefix(text), expected);
    // However many digits follow "&H", the number stays finite.
    QVERIFY(std::isfinite(vantelo::numberPrefix(QStringLiteral("&H") + QString(400, 'F') + text)));
}

void NumericTest::strictReaders_data() {
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::addColumn<int>("error");
    QTest::newRow("bool True") << "bool"
                               << "True" << 1.0 << 0;
    QTest::newRow("bool lower false") << "bool"
                                      << "false" << 0.0 << 0;
    QTest::newRow("bool number") << "bool"
                                 << "2" << 1.0 << 0;
    QTest::newRow("bool zero") << "bool"
                               << "0" << 0.0 << 0;
    QTest::newRow("bool yes") << "bool"
                              << "yes" << 0.0 << int(ErrTypeMismatch);
    QTest::newRow("bool empty") << "bool"
                                << "" << 0.0 << int(ErrTypeMismatch);
    QTest::newRow("long red") << "long"
                              << "255" << 255.0 << 0;
    QTest::newRow("long half even") << "long"
                                    << "2.5" << 2.0 << 0;
    QTest::newRow("long negative") << "long"
                                   << "-2147483648" << -2147483648.0 << 0;
    QTest::newRow("long overflow") << "long"
                                   << "99999999999" << 0.0 << int(ErrOverflow);
    QTest::newRow("long text") << "long"
                               << "red" << 0.0 << int(ErrTypeMismatch);
    QTest::newRow("single") << "single"
                            << "1755" << 1755.0 << 0;
    QTest::newRow("single fraction") << "single"
                                     << "11.25" << 11.25 << 0;
    QTest::newRow("single text") << "single"
                                 << "left" << 0.0 << int(ErrTypeMismatch);
    QTest::newRow("single huge") << "single"
                                 << "1e60" << 0.0 << int(ErrOverflow);
    // Words the number parsers know that are no stored value.
    for (const char* reader : {"bool", "long", "single"}) {
        for (const char* word :
             {"nan", "NaN", "-nan", "inf", "+INF", "-inf", "Infinity", "-infinity"})
            QTest::addRow("%s %s", reader, word) << reader << word << 0.0 << int(ErrTypeMismatch);
    }
    // Endless hex digits stay a finite number: an overflow, never infinity.
    const QString endlessHex = QStringLiteral("&H") + QString(400, QLatin1Char('F'));
    QTest::newRow("long endless hex") << "long" << endlessHex << 0.0 << int(ErrOverflow);
    QTest::newRow("single endless hex") << "single" << endlessHex << 0.0 << int(ErrOverflow);
    QTest::newRow("bool endless hex") << "bool" << endlessHex << 1.0 << 0;
}

void NumericTest::strictReaders() {
    QFETCH(QString, reader);
    QFETCH(QString, text);
    QFETCH(double, expected);
    QFETCH(int, error);
    double value = -1;
    const int raised = errorOf([&] {
        if (reader == QLatin1String("bool"))
            value = textToBoolean(text) ? 1 : 0;
        else if (reader == QLatin1String("long"))
            value = textToInt32(text);
        else
            value = textToSingle(text);
    });
    QCOMPARE(raised, error);
    if (error == 0)
        QCOMPARE(value, expected);
}

void NumericTest::singleText_data() {
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("whole") << 1755.0f << "1755";
    QTest::newRow("quarter") << 11.25f << "11.25";
    QTest::newRow("tenth") << 0.1f << "0.1";
    QTest::newRow("no exponent") << 10000.0f << "10000";
    QTest::newRow("negative") << -2.5f << "-2.5";
    QTest::newRow("zero") << 0.0f << "0";
    QTest::newRow("seven digits") << 1234567.0f << "1234567";
    // 2^88 needs more than seven digits to read back as the same single.
    QTest::newRow("eight digits") << 309485009821345068724781056.0f << "3.0948501e+26";
}

void NumericTest::singleText() {
    QFETCH(float, value);
    QFETCH(QString, expected);
    QCOMPARE(singleToText(value), expected);
    QCOMPARE(textToSingle(singleToText(value)), value);
}

void NumericTest::singleTextIgnoresCommaLocale() {
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString text = singleToText(11.25f);
    QLocale::setDefault(previous);
    QCOMPARE(text, QStringLiteral("11.25"));
    QCOMPARE(vantelo::numberPrefix(text), 11.25);
}

QTEST_MAIN(NumericTest)
#include "test_numeric.moc"

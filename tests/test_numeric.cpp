#include <QtTest>

#include "platform/errortrap.h"
#include "platform/numeric.h"
#include "support/testsupport.h"

using namespace vantelo;

class NumericTest : public QObject {
    Q_OBJECT
private slots:
    void placeholder() { QCOMPARE(roundHalfEven(2.5), 2.0); }
};

QTEST_MAIN(NumericTest)
#include "test_numeric.moc"

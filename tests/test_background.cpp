#include <QBuffer>
#include <QPainter>
#include <QtTest>
#include <cmath>

#include "design/backgroundremoval.h"

using namespace vantelo;

namespace {

const QColor kSubject(150, 40, 30);
const QPointF kCentre(100, 80);
constexpr double kRadius = 60;
const QPointF kEye(115, 70);
constexpr double kEyeRadius = 14;

// A red disc with a white eye, drawn smoothly on white; `left` moves it so
// that it may run off the picture's edge.
QImage logoOnWhite(double left = 0) {
    QImage image(200, 160, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kSubject);
    painter.drawEllipse(kCentre + QPointF(left, 0), kRadius, kRadius);
    painter.setBrush(Qt::white);
    painter.drawEllipse(kEye + QPointF(left, 0), kEyeRadius, kEyeRadius);
    return image;
}

QImage throughJpeg(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 80);
    return QImage::fromData(bytes, "JPEG");
}

QImage onBlack(const QImage& image) {
    QImage black(image.size(), QImage::Format_RGB32);
    black.fill(Qt::black);
    QPainter(&black).drawImage(0, 0, image);
    return black;
}

}  // namespace

class BackgroundTest final : public QObject {
    Q_OBJECT

private slots:
    // What the border reaches goes, what the subject encloses stays, and the
    // edge shows no light fringe on a dark background.
    void borderBackgroundGoes_data() {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<int>("tolerance");
        QTest::addColumn<int>("fringe");  // levels of light allowed over the subject's own
        QTest::newRow("drawn logo") << logoOnWhite() << 10 << 12;
        QTest::newRow("the same as a JPEG") << throughJpeg(logoOnWhite()) << 12 << 40;
        QTest::newRow("subject cut by the edge") << logoOnWhite(-70) << 10 << 12;
    }
    void borderBackgroundGoes() {
        QFETCH(QImage, picture);
        QFETCH(int, tolerance);
        QFETCH(int, fringe);
        const QImage cut = removeBackground(picture, tolerance);
        QCOMPARE(cut.size(), picture.size());
        for (const QPoint corner : {QPoint(0, 0), QPoint(199, 0), QPoint(0, 159), QPoint(199, 159)})
            QCOMPARE(qAlpha(cut.pixel(corner)), 0);
        const bool cutByEdge = QTest::currentDataTag() == QByteArray("subject cut by the edge");
        const QPointF shift(cutByEdge ? -70 : 0, 0);
        const QPoint eye = (kEye + shift).toPoint();
        const QPoint body = (kCentre + shift + QPointF(0, 30)).toPoint();
        QCOMPARE(qAlpha(cut.pixel(eye)), 255);
        QVERIFY(qGreen(cut.pixel(eye)) > 230);
        QCOMPARE(qAlpha(cut.pixel(body)), 255);

        // On black, nothing round the disc is lighter than the disc itself.
        const QImage dark = onBlack(cut);
        int lightest = 0;
        for (int y = 0; y < dark.height(); ++y) {
            for (int x = 0; x < dark.width(); ++x) {
                const double fromCentre =
                    std::hypot(x + 0.5 - kCentre.x() - shift.x(), y + 0.5 - kCentre.y());
                if (fromCentre > kRadius - 2.5)
                    lightest = std::max(lightest, qGreen(dark.pixel(x, y)));
            }
        }
        QVERIFY2(lightest <= kSubject.green() + fringe, qPrintable(QString::number(lightest)));
    }

    void noToleranceChangesNothing() {
        const QImage picture = logoOnWhite();
        QCOMPARE(removeBackground(picture, 0), picture);
        QCOMPARE(borderColour(picture), QColor(Qt::white));
    }
};

QTEST_MAIN(BackgroundTest)
#include "test_background.moc"

// Times the logo rendering against drawing the same picture by hand, and the
// cost of one drag move. Prints medians and ratios measured in the same run.
#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

#include "canvas/canvas.h"
#include "platform/messages.h"
#include "platform/settingsstore.h"

using namespace vantelo;

namespace {

class MemorySettings final : public SettingsStore {
public:
    QString GetSetting(const QString& key, const QString& fallback) const override {
        const auto it = values_.find(key);
        return it == values_.end() ? fallback : it->second;
    }
    void SaveSetting(const QString& key, const QString& value) override { values_[key] = value; }

private:
    std::map<QString, QString> values_;
};

// Counts the paint events a widget receives.
class PaintCounter final : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

class CountingMessages final : public MessageBoxes {
public:
    void show(const QString&, int, const QString&) override { ++count; }
    int count = 0;
};

// Median wall time of one call, in microseconds.
double medianMicros(int runs, const std::function<void()>& body) {
    body();  // warm caches and first-time allocations
    std::vector<double> times;
    times.reserve(runs);
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        body();
        times.push_back(timer.nsecsElapsed() / 1000.0);
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[runs / 2];
}

QImage samplePicture() {
    QImage image(196, 135, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 196, 135);
    gradient.setColorAt(0, QColor(0x2b, 0x57, 0x9a));
    gradient.setColorAt(1, QColor(0xf2, 0xb1, 0x34));
    painter.fillRect(image.rect(), gradient);
    return image;
}

// The floor: the same canvas drawn by hand into a ready image of its size.
void drawByHand(QImage& target, const Canvas& c) {
    target.fill(c.pArea->palette().color(QPalette::Window));
    QPainter painter(&target);
    painter.drawImage(c.imgLogo->pos(), c.imgLogo->Picture());
    for (const CanvasLabel* line : c.lblA) {
        painter.setFont(line->font());
        painter.setPen(line->ForeColor());
        painter.drawText(line->geometry(), Qt::AlignLeft | Qt::AlignTop, line->text());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MemorySettings settings;
    CountingMessages messages;
    QWidget window;
    window.resize(655, 598);
    Canvas canvas(&window, messages, settings);
    canvas.imgLogo->setPicture(samplePicture());
    for (CanvasLabel* line : canvas.lblA) {
        QFont font(QStringLiteral("Arial"));
        font.setPointSize(9);
        font.setBold(true);
        line->setLabelFont(font);
        line->setCaption(QStringLiteral("Vantelo logo text line"));
    }
    window.show();
    QApplication::processEvents();

    std::printf("BuildLogo against a hand-drawn floor (median of runs, microseconds)\n");
    for (const float heightTwips : {3435.f, 60000.f}) {
        canvas.pArea->place().setHeight(heightTwips);
        canvas.SetScrollBars();
        canvas.VScroll1->setValue(canvas.VScroll1->maximum() / 2);
        QApplication::processEvents();
        const QSize size = canvas.pArea->size();
        const int runs = size.height() > 1000 ? 101 : 401;
        QImage floorImage(size, QImage::Format_RGB32);
        const double floor = medianMicros(runs, [&] { drawByHand(floorImage, canvas); });
        const double build = medianMicros(runs, [&] { canvas.BuildLogo(); });
        std::printf("  %dx%d: BuildLogo %.1f us, floor %.1f us, ratio %.2fx (target <= 1.5x)\n",
                    size.width(), size.height(), build, floor, build / floor);
        // BuildLogo followed by a turn of the event loop, which finds nothing to paint.
        const double settle = medianMicros(runs, [&] {
            canvas.BuildLogo();
            QApplication::processEvents();
        });
        std::printf("  %dx%d: BuildLogo plus a turn of the event loop %.1f us\n", size.width(),
                    size.height(), settle);
        PaintCounter counter;
        canvas.Picture2->installEventFilter(&counter);
        canvas.pArea->installEventFilter(&counter);
        QApplication::processEvents();
        counter.paints = 0;
        canvas.BuildLogo();
        // The canvas's own paint into the logo's bitmap is sent during the
        // call; only what the event loop paints afterwards is left pending.
        const int rendered = counter.paints;
        counter.paints = 0;
        QApplication::processEvents();
        std::printf("  %dx%d: paint events while rendering: %d, left pending: %d\n", size.width(),
                    size.height(), rendered, counter.paints);
        canvas.Picture2->removeEventFilter(&counter);
        canvas.pArea->removeEventFilter(&counter);
    }

    canvas.pArea->place().setHeight(3435);
    canvas.SetScrollBars();
    QApplication::processEvents();
    ImageControl* logo = canvas.imgLogo;
    const QPoint grab(50, 50);
    QMouseEvent press(QEvent::MouseButtonPress, grab, logo->mapToGlobal(grab), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(logo, &press);
    int step = 0;
    // Each move puts the pointer one pixel beside the grab point, alternately
    // right and left, so every event really moves the picture.
    const auto move = [&] {
        const QPoint at = grab + QPoint((step++ % 2) ? -1 : 1, 0);
        QMouseEvent event(QEvent::MouseMove, at, logo->mapToGlobal(at), Qt::NoButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(logo, &event);
    };
    const double repaint = medianMicros(2001, [&] { canvas.pArea->repaint(); });
    const double drag = medianMicros(2001, move);
    const double dragSettled = medianMicros(2001, [&] {
        move();
        QApplication::processEvents();
    });
    std::printf("Drag move event (handler plus repaint): %.1f us, %.3f ms (target < 1 ms)\n", drag,
                drag / 1000.0);
    std::printf("  ratio to a bare canvas repaint (%.1f us): %.2fx\n", repaint, drag / repaint);
    std::printf("  with the posted events processed as well: %.1f us\n", dragSettled);
    PaintCounter counter;
    canvas.pArea->installEventFilter(&counter);
    for (int i = 0; i < 10; ++i)
        move();
    const int duringMoves = counter.paints;
    QApplication::processEvents();
    std::printf("  canvas paints during 10 moves: %d, after the event loop ran: %d\n", duringMoves,
                counter.paints);
    if (messages.count != 0)
        std::printf("unexpected error reports: %d\n", messages.count);
    return 0;
}

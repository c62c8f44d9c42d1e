// Times one step of turning a text line (the angle set and the canvas
// repainted) against one keystroke in the same line repainted, in the same
// run, and against a frame of a 60 Hz screen.
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QtMath>
#include <cmath>
#include <cstdio>
#include <map>

#include "benchtiming.h"
#include "canvas/canvas.h"
#include "canvas/turnhandle.h"
#include "platform/messages.h"
#include "platform/settingsstore.h"

using namespace vantelo;
using vantelo::bench::median;
using vantelo::bench::millisecondsOf;

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

class CountingMessages final : public MessageBoxes {
public:
    void show(const QString&, int, const QString&) override { ++count; }
    int count = 0;
};

constexpr double kFrameMs = 1000.0 / 60;

template <typename F>
double medianMs(int runs, F&& step) {
    step();
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(millisecondsOf(step));
    return median(times);
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
    QImage picture(196, 135, QImage::Format_RGB32);
    picture.fill(QColor(0x2b, 0x57, 0x9a));
    canvas.imgLogo->setPicture(picture);
    CanvasLabel* line = canvas.lblA[0];
    line->setForeColor(Qt::black);
    window.show();
    QApplication::processEvents();
    const QString text = QStringLiteral("Vantelo logo text line");
    const int runs = 301;

    std::printf(
        "One step of a line's angle against one keystroke in it, each with the canvas "
        "repainted (median of %d, ms)\n",
        runs);
    struct Case {
        const char* name;
        int points;
        CaptionLook look;
    };
    for (const Case& c : {Case{"9 pt, plain", 9, {}}, Case{"28 pt, plain", 28, {}},
                          Case{"28 pt, outline and shadow", 28, {3, Qt::white, true}}}) {
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPointSize(c.points);
        font.setBold(true);
        line->setLabelFont(font);
        line->setLook(c.look);
        line->setAngle(0);
        line->setCaption(text);
        line->place().setLeft(600);
        line->place().setTop(1500);
        canvas.select(line);
        QApplication::processEvents();
        // The anchor: a letter typed and taken back, alternately.
        bool typed = false;
        const double keystroke = medianMs(runs, [&] {
            typed = !typed;
            line->setCaption(typed ? text + QLatin1Char('e') : text);
            canvas.pArea->repaint();
        });
        line->setCaption(text);
        std::printf("  %s: keystroke %.3f ms\n", c.name, keystroke);
        for (const int from : {0, 30, 89, 179}) {
            bool on = false;
            const double turn = medianMs(runs, [&] {
                on = !on;
                line->setAngle(on ? from + 1 : from);
                canvas.pArea->repaint();
            });
            std::printf(
                "    %3d to %3d degrees: %.3f ms, %.2fx the keystroke, %.1f%% of a "
                "16.7 ms frame\n",
                from, from + 1, turn, turn / keystroke, 100 * turn / kFrameMs);
        }
        // The whole path of a drag of the turn handle: a pointer move turns
        // the line, moves the knob and the frame, and the canvas repaints.
        line->setAngle(0);
        canvas.select(line);
        QApplication::processEvents();
        TurnHandle* handle = canvas.turnHandle();
        const QPointF knob = handle->mapToGlobal(QPointF(handle->rect().center()));
        const QPointF centre =
            canvas.pArea->mapToGlobal(line->turnedFrame().boundingRect().center());
        QMouseEvent press(QEvent::MouseButtonPress, handle->mapFromGlobal(knob), knob,
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(handle, &press);
        int step = 0;
        const double drag = medianMs(runs, [&] {
            // Round the centre a few degrees at a time, back and forth.
            const double a = qDegreesToRadians(double((step++ % 20) * 4));
            const QPointF at =
                centre + QLineF(centre, knob).length() * QPointF(-std::sin(a), -std::cos(a));
            QMouseEvent move(QEvent::MouseMove, handle->mapFromGlobal(at), at, Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(handle, &move);
            canvas.pArea->repaint();
        });
        QMouseEvent release(QEvent::MouseButtonRelease, handle->mapFromGlobal(knob), knob,
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(handle, &release);
        std::printf(
            "    a move of the turn handle: %.3f ms, %.2fx the keystroke, %.1f%% of a "
            "frame\n",
            drag, drag / keystroke, 100 * drag / kFrameMs);
    }
    if (messages.count != 0)
        std::printf("unexpected error reports: %d\n", messages.count);
    return 0;
}

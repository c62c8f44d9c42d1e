// A camera photo (6000 by 4000, made here and written as a JPEG) against the
// sample logo, in the real window, each figure a ratio measured in this run:
//
// 1. A keystroke in a text box, a nudge and a drag move of a text line over the
//    picture, and a notch of the picture size, each with the event loop run
//    until the canvas has painted, at picture sizes from 5 % to 400 %: the
//    photo against the sample logo at the same size (target <= 1.2x; a notch
//    within 33 ms). The photo and the sample are in two windows, timed in
//    turn action by action; each figure is the lower of two rounds.
// 2. A gallery click on the photo until it is shown, at stored sizes from
//    100 % to 10 %, against a full libjpeg-turbo decode of the same file in
//    this process (a JPEG shown at half its size or less is decoded reduced);
//    the same for a photo with fine detail everywhere, whose decoding costs
//    what a camera's does; and a start with each photo stored at 115 %
//    against a start with the sample logo plus that decode.
// 3. Peak memory at 400 %, in a process of its own, against the size of the
//    decoded photo.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProcess>
#include <QSpinBox>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <vector>

#include <jpeglib.h>

#include "app/form1.h"
#include "canvas/canvas.h"
#include "design/designkeys.h"
#include "editing/imagesource.h"
#include "platform/commondialog.h"
#include "platform/messages.h"
#include "platform/settingsstore.h"

using namespace vantelo;

namespace {

class CountingMessages final : public MessageBoxes {
public:
    void show(const QString&, int, const QString&) override { ++count; }
    int count = 0;
};

long statusKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(std::strlen(field))).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// CPU time of the calling (user-interface) thread: what blocks input, and
// what the other programs on a loaded machine do not change. A smooth copy
// made on the worker thread is not counted.
double threadMicros() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
}

double medianMicros(int runs, const std::function<void()>& body) {
    body();
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double start = threadMicros();
        body();
        times.push_back(threadMicros() - start);
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[size_t(runs / 2)];
}

QImage makePhoto(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] = qRgb((x / 7 + y / 13) & 255, (y * 255) / height, (x * 255) / width);
    }
    return image;
}

// The photo with grain over it, as a camera's sensor leaves it: its JPEG is
// about as large, and as costly to decode, as a phone's photo of that size.
QImage grainy(QImage image) {
    quint32 seed = 12345;
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = int(seed >> 27) - 16;
            const auto at = [grain](int c) { return std::clamp(c + grain, 0, 255); };
            row[x] = qRgb(at(qRed(row[x])), at(qGreen(row[x])), at(qBlue(row[x])));
        }
    }
    return image;
}

// libjpeg-turbo reading the whole file into 32-bit rows, as a viewer would.
void decodeWithLibjpeg(const QByteArray& bytes) {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(&info);
    std::vector<unsigned char> pixels(size_t(info.output_width) * info.output_height * 4);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels.data() + size_t(info.output_scanline) * info.output_width * 4;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
}

struct Window {
    explicit Window(const QString& folder)
        : settings(folder + QStringLiteral("/Vantelo.conf")),
          form(AppServices{settings, messages, dialogs, folder, [] { return 0.5; }, {}}) {
        form.Form_Load();
        form.show();
        QApplication::processEvents();
    }
    void choose(const QString& file, int percent) {
        form.spnSize->setValue(percent);
        form.imageSource().chooseFile(file);
        form.canvas->imgLogo->settle();
        QApplication::processEvents();
    }
    FileSettingsStore settings;
    CountingMessages messages;
    QtDialogPresenter dialogs;
    Form1 form;
};

struct Actions {
    double key, nudge, drag, notch;
};

// Medians of one action in two windows, timed in turn repetition by
// repetition, so that what the machine's other programs do in the meantime
// lands on both alike. `action(w, i)` does the i-th repetition in window w.
std::pair<double, double> medianPair(Window& a, Window& b, int runs,
                                     const std::function<void(Window&, int)>& action) {
    action(a, 0);
    action(b, 0);
    std::vector<double> timesA, timesB;
    for (int i = 1; i <= runs; ++i) {
        for (Window* w : {&a, &b}) {
            const double start = threadMicros();
            action(*w, i);
            (w == &a ? timesA : timesB).push_back(threadMicros() - start);
        }
    }
    const auto median = [runs](std::vector<double>& times) {
        std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
        return times[size_t(runs / 2)];
    };
    return {median(timesA), median(timesB)};
}

void sendMouse(CanvasLabel* label, QEvent::Type type, const QPoint& at, Qt::MouseButton button,
               Qt::MouseButtons held) {
    QMouseEvent event(type, at, label->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(label, &event);
}

// The actions with the sample logo in one window and the photo in the other.
std::pair<Actions, Actions> measure(Window& sample, Window& photo, int runs) {
    const auto key = medianPair(sample, photo, runs, [](Window& w, int i) {
        const bool erase = i % 2 != 0;
        QKeyEvent press(QEvent::KeyPress, erase ? Qt::Key_Backspace : Qt::Key_A, Qt::NoModifier,
                        erase ? QString() : QStringLiteral("a"));
        QApplication::sendEvent(w.form.TextLine[0], &press);
        QApplication::processEvents();
    });
    // The text line moves over the picture, which repaints under it; the
    // picture itself may be held at the canvas's edge.
    for (Window* w : {&sample, &photo})
        w->form.canvas->select(w->form.canvas->lblA[0]);
    const auto nudge = medianPair(sample, photo, runs, [](Window& w, int i) {
        w.form.canvas->nudge(i % 2 ? -1 : 1, 0);
        QApplication::processEvents();
    });
    const QPoint grab(5, 5);
    for (Window* w : {&sample, &photo})
        sendMouse(w->form.canvas->lblA[0], QEvent::MouseButtonPress, grab, Qt::LeftButton,
                  Qt::LeftButton);
    const auto drag = medianPair(sample, photo, runs, [grab](Window& w, int i) {
        sendMouse(w.form.canvas->lblA[0], QEvent::MouseMove, grab + QPoint(i % 2 ? -1 : 1, 0),
                  Qt::NoButton, Qt::LeftButton);
        QApplication::processEvents();
    });
    for (Window* w : {&sample, &photo})
        sendMouse(w->form.canvas->lblA[0], QEvent::MouseButtonRelease, grab, Qt::LeftButton,
                  Qt::NoButton);
    const int base = sample.form.spnSize->value();
    const auto notch = medianPair(sample, photo, runs / 4 + 1, [base](Window& w, int i) {
        w.form.spnSize->setValue(base + (i % 2 ? 0 : (base >= 400 ? -10 : 10)));
        QApplication::processEvents();
    });
    for (Window* w : {&sample, &photo}) {
        w->form.spnSize->setValue(base);
        w->form.canvas->imgLogo->settle();
    }
    QApplication::processEvents();
    return {{key.first, nudge.first, drag.first, notch.first},
            {key.second, nudge.second, drag.second, notch.second}};
}

int runMemory(int argc, char** argv, const QString& folder, const QString& photo) {
    QApplication app(argc, argv);
    Window w(folder);
    const long before = statusKb("VmRSS:");
    w.choose(photo, 400);
    for (int i = 0; i < 20; ++i) {
        w.form.canvas->VScroll1->setValue(w.form.canvas->VScroll1->maximum() * i / 19);
        QApplication::processEvents();
    }
    std::printf("%ld %ld\n", before, statusKb("VmHWM:"));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 4 && std::strcmp(argv[1], "--memory") == 0)
        return runMemory(argc, argv, QString::fromLocal8Bit(argv[2]),
                         QString::fromLocal8Bit(argv[3]));
    QApplication app(argc, argv);
    QTemporaryDir folder;
    const QString sample = folder.filePath(QStringLiteral("sample.png"));
    QImage logo(196, 135, QImage::Format_RGB32);
    logo.fill(QColor(0x2b, 0x57, 0x9a));
    logo.save(sample);
    const QString photo = folder.filePath(QStringLiteral("photo.jpg"));
    makePhoto(6000, 4000).save(photo, "JPEG", 90);
    const QString detailed = folder.filePath(QStringLiteral("detailed.jpg"));
    grainy(makePhoto(6000, 4000)).save(detailed, "JPEG", 90);
    const auto bytesOf = [](const QString& path) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    };

    Window w(folder.path());
    QTemporaryDir otherFolder;
    Window other(otherFolder.path());
    std::printf(
        "Median CPU time of the window's thread per action, event loop run, "
        "microseconds\n");
    std::printf("%6s  %-9s %9s %9s %9s %9s\n", "size", "picture", "keystroke", "nudge", "drag",
                "notch");
    double worst = 0;
    double worstNotch = 0;
    // The lower of two rounds: a figure a few tens of microseconds long
    // still meets, now and then, a stretch when the machine runs slower.
    const auto lower = [](const Actions& a, const Actions& b) {
        return Actions{std::min(a.key, b.key), std::min(a.nudge, b.nudge), std::min(a.drag, b.drag),
                       std::min(a.notch, b.notch)};
    };
    for (int percent : {5, 10, 25, 50, 90, 100, 110, 200, 400}) {
        w.choose(sample, percent);
        other.choose(photo, percent);
        Actions s{}, p{};
        for (int round = 0; round < 2; ++round) {
            const auto [sampleRound, photoRound] = measure(w, other, 101);
            s = round == 0 ? sampleRound : lower(s, sampleRound);
            p = round == 0 ? photoRound : lower(p, photoRound);
        }
        std::printf("%5d%%  %-9s %9.0f %9.0f %9.0f %9.0f\n", percent, "sample", s.key, s.nudge,
                    s.drag, s.notch);
        std::printf("%6s  %-9s %9.0f %9.0f %9.0f %9.0f\n", "", "photo", p.key, p.nudge, p.drag,
                    p.notch);
        std::printf("%6s  %-9s %8.2fx %8.2fx %8.2fx %8.2fx\n", "", "ratio", p.key / s.key,
                    p.nudge / s.nudge, p.drag / s.drag, p.notch / s.notch);
        worst = std::max({worst, p.key / s.key, p.nudge / s.nudge, p.drag / s.drag});
        worstNotch = std::max(worstNotch, p.notch);
    }
    std::printf("largest ratio of keystroke, nudge and drag: %.2fx (target <= 1.2x)\n", worst);
    std::printf("slowest notch with the photo: %.1f ms (target <= 33 ms)\n", worstNotch / 1000);

    // A start until the window has painted, with a picture stored at a size.
    const auto startWith = [&](const QString& picture, int percent) {
        return medianMicros(3, [&] {
            QTemporaryDir home;
            {
                FileSettingsStore store(home.filePath(QStringLiteral("Vantelo.conf")));
                store.SaveSetting(keys::kImage, picture);
                store.SaveSetting(keys::kImageScale, QString::number(percent));
            }
            Window started(home.path());
            started.form.repaint();
        });
    };
    const double sampleStart = startWith(sample, 100);
    for (const QString& file : {photo, detailed}) {
        const QByteArray bytes = bytesOf(file);
        std::printf(
            "\nGallery click on the %s photo (%.1f MB) until shown, against a libjpeg-turbo "
            "decode\n",
            file == photo ? "smooth" : "detailed", double(bytes.size()) / (1 << 20));
        const double decode = medianMicros(5, [&] { decodeWithLibjpeg(bytes); });
        for (int percent : {100, 50, 25, 12, 10}) {
            w.choose(sample, percent);
            const double click = medianMicros(5, [&] {
                w.form.imageSource().chooseFile(file);
                w.form.canvas->pArea->repaint();
                w.form.imageSource().chooseFile(sample);
            });
            const double back = medianMicros(5, [&] { w.form.imageSource().chooseFile(sample); });
            const double shown = click - back;
            std::printf(
                "  stored size %3d%%: %.1f ms, decode %.1f ms, ratio %.2fx (target <= %s)\n",
                percent, shown / 1000, decode / 1000, shown / decode,
                percent <= 25 ? "0.35x" : "1.0x");
        }
        const double photoStart = startWith(file, 115);
        std::printf(
            "  start-up with it stored at 115 %%: %.1f ms; with the sample logo %.1f ms plus the "
            "decode; ratio %.2fx (target <= 1.5x)\n",
            photoStart / 1000, sampleStart / 1000, photoStart / (sampleStart + decode));
    }

    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--memory"), folder.path(), photo});
    child.waitForFinished(600000);
    const QList<QByteArray> kb = child.readAllStandardOutput().trimmed().split(' ');
    const double decoded = 6000.0 * 4000 * 4 / 1024;
    if (kb.size() == 2) {
        const double grown = kb[1].toDouble() - kb[0].toDouble();
        std::printf(
            "\nPeak memory at 400 %%: %.0f MB above the started window; decoded photo "
            "%.0f MB; ratio %.2fx (target: the decoded size plus what is exposed)\n",
            grown / 1024, decoded / 1024, grown / decoded);
    }
    if (w.messages.count + other.messages.count != 0)
        std::printf("unexpected error reports: %d\n", w.messages.count + other.messages.count);
    return 0;
}

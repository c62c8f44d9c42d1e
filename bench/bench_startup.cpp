// Start-up cost: the program's window (settings read, layout built, design
// restored, shown) against a bare QApplication showing a QWidget of the same
// size with as many plain child widgets. Each sample is a whole process, so
// library loading and QApplication are in both; the ratio of the medians is
// the figure to watch (target: at most 1.5).
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/form1.h"
#include "platform/commondialog.h"
#include "platform/messages.h"
#include "platform/settingsstore.h"

namespace {

// Ends the event loop once the window has painted itself for the first time,
// so every sample covers start-up up to a window the user can see.
class FirstPaint final : public QObject {
public:
    explicit FirstPaint(QWidget& window) : window_(window) { window.installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::Paint)
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        return false;
    }

private:
    QWidget& window_;
};

int runForm(int argc, char** argv, const QString& folder) {
    QApplication app(argc, argv);
    vantelo::FileSettingsStore settings(folder + QStringLiteral("/Vantelo.conf"));
    vantelo::QtMessageBoxes messages;
    vantelo::QtDialogPresenter dialogs;
    vantelo::Form1 form(
        vantelo::AppServices{settings, messages, dialogs, folder, [] { return 0.5; }, {}});
    form.Form_Load();
    FirstPaint painted(form);
    form.show();
    return QApplication::exec();
}

int runBare(int argc, char** argv, bool withText) {
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(655, 598);
    // As many children as the program's window has widgets of its own.
    for (int i = 0; i < 32; ++i)
        (new QWidget(&window))->setGeometry((i % 8) * 80, (i / 8) * 140, 70, 120);
    // The second anchor shows one line of text, which brings up the font
    // system (fontconfig and the font database) that any window with text pays for.
    if (withText)
        (new QLabel(QStringLiteral("Text"), &window))->setGeometry(0, 0, 60, 20);
    FirstPaint painted(window);
    window.show();
    return QApplication::exec();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double timeChild(const QString& program, const QStringList& args) {
    QElapsedTimer timer;
    timer.start();
    QProcess child;
    child.start(program, args);
    child.waitForFinished(30000);
    return timer.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc >= 3 && qstrcmp(argv[1], "--form") == 0)
        return runForm(argc, argv, QString::fromLocal8Bit(argv[2]));
    if (argc >= 2 && qstrcmp(argv[1], "--bare") == 0)
        return runBare(argc, argv, false);
    if (argc >= 2 && qstrcmp(argv[1], "--bare-text") == 0)
        return runBare(argc, argv, true);

    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    {
        // A full design, so every key is read and converted.
        QSettings s(folder.path() + QStringLiteral("/Vantelo.conf"), QSettings::IniFormat);
        s.setValue("Image", folder.path() + "/none.gif");
        s.setValue("TextLine0", "Acme");
        s.setValue("TextLine1", "Since 1901");
        for (const char* line : {"TextLine1", "TextLine2"}) {
            s.setValue(QString(line) + " Show", "1");
            s.setValue(QString(line) + " Bold", "True");
            s.setValue(QString(line) + " Italic", "False");
            s.setValue(QString(line) + " Name", "Arial");
            s.setValue(QString(line) + " Size", "11.25");
            s.setValue(QString(line) + " Strike", "False");
            s.setValue(QString(line) + " Underline", "False");
            s.setValue(QString(line) + " Color", "255");
        }
        for (const char* key : {"TextLine0 Left", "TextLine0 Top", "TextLine1 Left",
                                "TextLine1 Top", "Image Left", "Image Top"})
            s.setValue(key, "300");
    }
    const QString self = QCoreApplication::applicationFilePath();
    const int rounds = argc >= 2 ? std::max(3, atoi(argv[1])) : 15;
    std::vector<double> form, bare, text;
    timeChild(self, {"--bare"});  // warm the caches once
    for (int i = 0; i < rounds; ++i) {
        bare.push_back(timeChild(self, {"--bare"}));
        text.push_back(timeChild(self, {"--bare-text"}));
        form.push_back(timeChild(self, {"--form", folder.path()}));
    }
    const double f = median(form), b = median(bare), t = median(text);
    std::printf("start-up to shown window, median of %d processes each\n", rounds);
    std::printf("  bare QApplication + QWidget (anchor):   %8.2f ms\n", b);
    std::printf("  the same with one text label:           %8.2f ms\n", t);
    std::printf("  Vantelo window, design restored:        %8.2f ms\n", f);
    std::printf("  ratio to the anchor: %.2fx (target <= 1.5x)\n", f / b);
    std::printf("  ratio to the anchor with text: %.2fx\n", f / t);
    return 0;
}

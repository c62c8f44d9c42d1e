// Start-up cost: the program's window (settings read, layout built, design
// restored, shown) against a bare QApplication showing a window of the same
// size with the same kinds of controls, standard Qt ones with the same
// captions. Each sample is a whole process, from its start to the first time
// the event loop is idle after the window's first paint, so library loading
// and QApplication are in both; the ratio of the medians is the figure to
// watch (target: at most 1.05). An empty window is a second, lower anchor.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QWidget>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <random>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

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

QFont arialBold(double points) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

// The program's window as plain Qt would make it: the same controls at the
// same places with the same captions, and nothing behind them.
void addSameControls(QWidget& window) {
    window.setFont(arialBold(9));
    auto* picture = new QWidget(&window);
    picture->setGeometry(8, 8, 623, 240);
    (new QLabel(picture))->setGeometry(0, 0, 200, 150);
    (new QLabel(QStringLiteral("Your text here"), picture))->setGeometry(10, 160, 200, 20);
    (new QLabel(QStringLiteral("Your text here"), picture))->setGeometry(10, 190, 200, 20);
    (new QScrollBar(Qt::Vertical, &window))->setGeometry(631, 8, 16, 240);
    (new QScrollBar(Qt::Horizontal, &window))->setGeometry(8, 248, 623, 16);
    auto* tree = new QTreeView(&window);
    tree->setGeometry(8, 264, 640, 121);
    tree->setUniformRowHeights(true);
    tree->setRootIsDecorated(false);
    auto* model = new QStandardItemModel(0, 1, tree);
    model->setHorizontalHeaderLabels({QStringLiteral("Logo")});
    tree->setModel(model);
    auto* frame1 = new QGroupBox(QStringLiteral("Image Location"), &window);
    frame1->setGeometry(8, 388, 640, 54);
    (new QLineEdit(frame1))->setGeometry(16, 20, 520, 23);
    (new QPushButton(QStringLiteral("&Browse"), frame1))->setGeometry(544, 20, 77, 23);
    auto* frame2 = new QGroupBox(QStringLiteral("Text Properties"), &window);
    frame2->setGeometry(8, 448, 640, 106);
    for (int i = 0; i < 2; ++i) {
        const int top = 20 + i * 33;
        (new QLabel(QStringLiteral("Text Line %1:").arg(i + 1), frame2))
            ->setGeometry(16, top, 80, 23);
        (new QLineEdit(QStringLiteral("Your text here"), frame2))->setGeometry(90, top, 377, 23);
        (new QPushButton(QStringLiteral("&Font"), frame2))->setGeometry(472, top, 73, 23);
        (new QPushButton(QStringLiteral("&Color"), frame2))->setGeometry(552, top, 67, 23);
        (new QCheckBox(QStringLiteral("Show Text Line &%1").arg(i + 1), frame2))
            ->setGeometry(90 + i * 135, 81, 126, 15);
    }
    (new QLabel(QStringLiteral("Picture si&ze:"), frame2))->setGeometry(440, 79, 104, 19);
    auto* size = new QSpinBox(frame2);
    size->setRange(5, 400);
    size->setSuffix(QStringLiteral(" %"));
    size->setGeometry(552, 76, 67, 23);
    (new QPushButton(QStringLiteral("&Start Saving Logo As Image"), &window))
        ->setGeometry(8, 562, 640, 27);
    for (QPushButton* button : window.findChildren<QPushButton*>())
        button->setFont(arialBold(11.25));
}

int runBare(int argc, char** argv, bool withControls) {
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(655, 598);
    if (withControls)
        addSameControls(window);
    FirstPaint painted(window);
    window.show();
    return QApplication::exec();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Sample {
    double wallMs = 0;
    double cpuMs = 0;  // user and system time of the whole process
};

// Runs the program to its end with its output thrown away. The CPU time is
// the kernel's account of the child alone: time the machine gave to other
// work while the child waited stays out of it.
Sample timeChild(const QString& program, const QStringList& args) {
    std::vector<QByteArray> words{QFile::encodeName(program)};
    for (const QString& arg : args)
        words.push_back(arg.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = -1;
    Sample sample;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        struct rusage usage {};
        while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
        }
        sample.wallMs = timer.nsecsElapsed() / 1e6;
        const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
        sample.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    }
    posix_spawn_file_actions_destroy(&actions);
    return sample;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc >= 3 && qstrcmp(argv[1], "--form") == 0)
        return runForm(argc, argv, QString::fromLocal8Bit(argv[2]));
    if (argc >= 2 && qstrcmp(argv[1], "--bare") == 0)
        return runBare(argc, argv, false);
    if (argc >= 2 && qstrcmp(argv[1], "--same-controls") == 0)
        return runBare(argc, argv, true);

    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    // The application folder as installed: the sample logos, the default
    // picture and the hand cursor, copied from beside the built program.
    const QString built = QCoreApplication::applicationDirPath() + QStringLiteral("/..");
    QDir(folder.path()).mkdir(QStringLiteral("logos"));
    for (const QString& name : QDir(built + QStringLiteral("/logos")).entryList(QDir::Files))
        QFile::copy(built + QStringLiteral("/logos/") + name,
                    folder.path() + QStringLiteral("/logos/") + name);
    QFile::copy(built + QStringLiteral("/HAND-M.CUR"),
                folder.path() + QStringLiteral("/HAND-M.CUR"));
    {
        // A full design, so every key is read and converted.
        QSettings s(folder.path() + QStringLiteral("/Vantelo.conf"), QSettings::IniFormat);
        s.setValue("Image", folder.path() + "/logos/tarnwick.gif");
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
    const int rounds = argc >= 2 ? std::max(3, atoi(argv[1])) : 31;
    std::vector<Sample> form, bare, text;
    // Each contender runs once to warm the caches, then all run in a new
    // order each round, so that none always follows the same one.
    const std::vector<std::pair<std::vector<Sample>*, QStringList>> contenders = {
        {&bare, {"--bare"}}, {&text, {"--same-controls"}}, {&form, {"--form", folder.path()}}};
    for (const auto& contender : contenders)
        timeChild(self, contender.second);
    std::vector<std::size_t> order{0, 1, 2};
    std::mt19937 shuffler(20261209);
    for (int i = 0; i < rounds; ++i) {
        std::shuffle(order.begin(), order.end(), shuffler);
        for (const std::size_t c : order)
            contenders[c].first->push_back(timeChild(self, contenders[c].second));
    }
    const auto wall = [](const std::vector<Sample>& samples) {
        std::vector<double> ms;
        for (const Sample& s : samples)
            ms.push_back(s.wallMs);
        return median(ms);
    };
    // The load of a shared machine drifts over seconds: a round's window and
    // anchor, run within a fraction of a second, share most of it.
    const auto pairedRatio = [&](double Sample::*field) {
        std::vector<double> ratios;
        for (std::size_t i = 0; i < form.size(); ++i)
            ratios.push_back(form[i].*field / text[i].*field);
        return median(ratios);
    };
    const double f = wall(form), b = wall(bare), t = wall(text);
    std::printf(
        "start-up to the first idle moment after the first paint, median of %d processes each\n",
        rounds);
    std::printf("  bare QApplication + empty window:        %8.2f ms\n", b);
    std::printf("  the same with the same controls (anchor): %8.2f ms\n", t);
    std::printf("  Vantelo window, design restored:         %8.2f ms\n", f);
    std::printf("  ratio to the anchor: %.2fx (target <= 1.05x)\n", f / t);
    std::printf("  median of each round's ratio: %.2fx\n", pairedRatio(&Sample::wallMs));
    std::printf("  the same in CPU time (user + system): %.2fx\n", pairedRatio(&Sample::cpuMs));
    std::printf("  ratio to the empty window: %.2fx\n", f / b);
    return 0;
}

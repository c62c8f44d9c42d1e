// The gallery, two figures, each against an anchor measured in the same run:
//
// 1. The whole fill (folder walk, listing, open test, the entries in a visible
//    list) on a generated application folder of 4,681 folders in four levels
//    and 50,000 files, 5,000 of them "*.jpg", against `find TREE -name '*.jpg'`
//    on the same tree. Medians of interleaved runs.
// 2. Idle memory: the program's window after start-up with 20,000 gallery
//    entries against the same window with an empty gallery, each a process of
//    its own (resident set once the window has painted and settled).
//
// The trees are built once under $VANTELO_BENCH_TREE (default
// /tmp/vantelo-gallery-bench) and reused while their completion markers exist.

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/form1.h"
#include "gallery/fillgallery.h"
#include "gallery/galleryview.h"
#include "platform/commondialog.h"
#include "platform/filesystem.h"
#include "platform/messages.h"
#include "platform/settingsstore.h"

namespace {

constexpr int kBranching = 8;
constexpr int kLevels = 4;
constexpr long kFiles = 50000;
constexpr long kJpegs = 5000;
constexpr long kMemoryEntries = 20000;
constexpr int kRuns = 15;

class CountingMessages final : public vantelo::MessageBoxes {
public:
    void show(const QString&, int, const QString&) override { ++count; }
    int count = 0;
};

// A line of /proc/self/status in kB.
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

void touch(const std::string& path) {
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    if (fd >= 0)
        ::close(fd);
}

// Builds the tree breadth first; the marker is written last, so a run that was
// interrupted builds it again. Returns the number of folders, root included.
long buildTree(const std::string& root, int branching, int levels, long files, long jpegs) {
    const std::string marker = root + "/.tree-complete";
    std::vector<std::string> folders{root};
    for (size_t i = 0; i < folders.size(); ++i) {
        const long depth =
            std::count(folders[i].begin() + long(root.size()), folders[i].end(), '/');
        if (depth == levels)
            continue;
        for (int b = 0; b < branching; ++b)
            folders.push_back(folders[i] + "/d" + std::to_string(b));
    }
    if (::access(marker.c_str(), F_OK) == 0)
        return long(folders.size());

    std::printf("building the tree under %s (once) ...\n", root.c_str());
    std::fflush(stdout);
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    const long n = long(folders.size());
    for (long f = 0; f < n; ++f) {
        ::mkdir(folders[size_t(f)].c_str(), 0755);
        const long fileCount = (f + 1) * files / n - f * files / n;
        const long jpegCount = (f + 1) * jpegs / n - f * jpegs / n;
        const char* others[] = {".png", ".txt", ".jpeg", ".gif"};
        for (long k = 0; k < fileCount; ++k) {
            const std::string stem = folders[size_t(f)] + "/f" + std::to_string(k);
            touch(stem + (k < jpegCount ? std::string(".jpg") : std::string(others[k % 4])));
        }
    }
    touch(marker);
    return n;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Child: the program's window started on `folder`, shown, painted and left to
// settle; prints its resident set in kB.
int runIdle(int argc, char** argv, const QString& folder, const QString& settingsFolder) {
    QApplication app(argc, argv);
    vantelo::FileSettingsStore settings(settingsFolder + QStringLiteral("/Vantelo.conf"));
    CountingMessages messages;
    vantelo::QtDialogPresenter dialogs;
    vantelo::Form1 form(
        vantelo::AppServices{settings, messages, dialogs, folder, [] { return 0.5; }, {}});
    form.Form_Load();
    form.show();
    QTimer::singleShot(500, &app, &QCoreApplication::quit);
    QApplication::exec();
    std::printf("%ld\n", statusKb("VmRSS:"));
    return 0;
}

long idleChildKb(const QString& folder, const QString& settingsFolder) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--idle"), folder, settingsFolder});
    child.waitForFinished(120000);
    return child.readAllStandardOutput().trimmed().toLong();
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc >= 4 && qstrcmp(argv[1], "--idle") == 0)
        return runIdle(argc, argv, QString::fromLocal8Bit(argv[2]),
                       QString::fromLocal8Bit(argv[3]));
    QApplication app(argc, argv);

    const QString base = qEnvironmentVariableIsSet("VANTELO_BENCH_TREE")
                             ? qEnvironmentVariable("VANTELO_BENCH_TREE")
                             : QStringLiteral("/tmp/vantelo-gallery-bench");
    const QString root = base + QStringLiteral("/walk");
    const long folders =
        buildTree(QFile::encodeName(root).toStdString(), kBranching, kLevels, kFiles, kJpegs);

    CountingMessages messages;
    qsizetype entries = 0;
    const auto fillOnce = [&] {
        // Configured as the main window's gallery and on screen, so the time
        // includes the first layout of the filled list.
        vantelo::GalleryView view;
        view.setHeaderLabels({QStringLiteral("Logo Images")});
        view.resize(640, 121);
        view.show();
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        vantelo::FillLogoGallery(view, root, vantelo::systemFileSystem(), messages);
        QApplication::processEvents();
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        entries = view.entryCount();
        return ms;
    };
    const auto findOnce = [&] {
        QProcess find;
        find.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer timer;
        timer.start();
        find.start(QStringLiteral("find"),
                   {root, QStringLiteral("-name"), QStringLiteral("*.jpg")});
        find.waitForFinished(-1);
        return double(timer.nsecsElapsed()) / 1e6;
    };

    fillOnce();  // warms the page cache for both
    findOnce();
    std::vector<double> fills;
    std::vector<double> finds;
    for (int i = 0; i < kRuns; ++i) {
        fills.push_back(fillOnce());
        finds.push_back(findOnce());
    }
    const double fill = median(fills);
    const double find = median(finds);
    std::printf("tree: %s, %ld folders, %ld files, %ld \"*.jpg\"\n", qPrintable(root), folders,
                kFiles, kJpegs);
    std::printf("gallery fill:           median %8.1f ms of %d runs (%lld entries, %d messages)\n",
                fill, kRuns, static_cast<long long>(entries), messages.count);
    std::printf("find -name '*.jpg':     median %8.1f ms of %d runs\n", find, kRuns);
    std::printf("ratio fill / find:      %.2f (target <= 1.0)\n", fill / find);
    // The machine's speed drifts from run to run; a fill and the find right
    // after it share most of that.
    std::vector<double> paired;
    for (std::size_t i = 0; i < fills.size(); ++i)
        paired.push_back(fills[i] / finds[i]);
    std::printf("median of each pair's ratio: %.2f\n", median(paired));

    // Twenty folders of a thousand pictures each; the empty application folder
    // holds nothing at all. The settings live apart from both.
    const QString full = base + QStringLiteral("/memory");
    buildTree(QFile::encodeName(full).toStdString(), 20, 1, kMemoryEntries + 20, kMemoryEntries);
    const QString empty = base + QStringLiteral("/empty");
    const QString settings = base + QStringLiteral("/settings");
    std::filesystem::create_directories(QFile::encodeName(empty).toStdString());
    std::filesystem::create_directories(QFile::encodeName(settings).toStdString());
    std::vector<double> withEntries;
    std::vector<double> without;
    for (int i = 0; i < 5; ++i) {
        without.push_back(double(idleChildKb(empty, settings)));
        withEntries.push_back(double(idleChildKb(full, settings)));
    }
    const double withKb = median(withEntries);
    const double withoutKb = median(without);
    std::printf("idle window, empty gallery:   median %8.0f kB resident of 5 processes\n",
                withoutKb);
    std::printf("idle window, %ld entries:  median %8.0f kB resident of 5 processes\n",
                kMemoryEntries, withKb);
    std::printf("ratio with / without:   %.2f (target <= 1.15)\n", withKb / withoutKb);
    return entries == kJpegs ? 0 : 1;
}

// The whole gallery fill (folder walk, listing, open test, adding the entries
// to a visible list) on a synthetic application folder of 19,531 folders in
// six levels and 200,000 files, 20,000 of them "*.jpg", against
// `find TREE -name '*.jpg'` on the same tree in the same run. Prints both
// medians, their ratio and the peak memory above the empty start.
//
// The tree is built once under $VANTELO_BENCH_TREE (default
// /tmp/vantelo-bench-tree) and reused while its completion marker exists.

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QProcess>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "gallery/fillgallery.h"
#include "platform/filesystem.h"
#include "platform/messages.h"

namespace {

constexpr int kBranching = 5;
constexpr int kLevels = 6;
constexpr long kFiles = 200000;
constexpr long kJpegs = 20000;
constexpr int kRuns = 5;

class CountingMessages final : public vantelo::MessageBoxes {
public:
    void show(const QString&, int, const QString&) override { ++count; }
    int count = 0;
};

// Peak resident memory of this process so far, in kB.
long peakResidentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
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
long buildTree(const std::string& root) {
    const std::string marker = root + "/.tree-complete";
    std::vector<std::string> folders{root};
    for (size_t i = 0; i < folders.size(); ++i) {
        const long depth =
            std::count(folders[i].begin() + long(root.size()), folders[i].end(), '/');
        if (depth == kLevels)
            continue;
        for (int b = 0; b < kBranching; ++b)
            folders.push_back(folders[i] + "/d" + std::to_string(b));
    }
    if (::access(marker.c_str(), F_OK) == 0)
        return long(folders.size());

    std::printf("building the tree under %s (once) ...\n", root.c_str());
    std::fflush(stdout);
    std::filesystem::remove_all(root);
    const long n = long(folders.size());
    for (long f = 0; f < n; ++f) {
        ::mkdir(folders[size_t(f)].c_str(), 0755);
        const long files = (f + 1) * kFiles / n - f * kFiles / n;
        const long jpegs = (f + 1) * kJpegs / n - f * kJpegs / n;
        const char* others[] = {".png", ".txt", ".jpeg", ".gif"};
        for (long k = 0; k < files; ++k) {
            const std::string stem = folders[size_t(f)] + "/f" + std::to_string(k);
            touch(stem + (k < jpegs ? std::string(".jpg") : std::string(others[k % 4])));
        }
    }
    touch(marker);
    return n;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const QString root = qEnvironmentVariableIsSet("VANTELO_BENCH_TREE")
                             ? qEnvironmentVariable("VANTELO_BENCH_TREE")
                             : QStringLiteral("/tmp/vantelo-bench-tree");
    const long folders = buildTree(QFile::encodeName(root).toStdString());
    const long startKb = peakResidentKb();

    CountingMessages messages;
    int entries = 0;
    const auto fillOnce = [&] {
        // Configured as the main window's gallery and on screen, so the time
        // includes the first layout of the filled list.
        QTreeWidget view;
        view.setRootIsDecorated(false);
        view.setUniformRowHeights(true);
        view.setHeaderLabels({QStringLiteral("Logo Images")});
        view.resize(640, 121);
        view.show();
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        vantelo::FillLogoGallery(view, root, vantelo::systemFileSystem(), messages);
        QApplication::processEvents();
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        entries = view.topLevelItemCount();
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
    const long peakKb = peakResidentKb();

    const double fill = median(fills);
    const double find = median(finds);
    std::printf("tree: %s, %ld folders, %ld files, %ld \"*.jpg\"\n", qPrintable(root), folders,
                kFiles, kJpegs);
    std::printf("gallery fill:           median %8.1f ms of %d runs (%d entries, %d messages)\n",
                fill, kRuns, entries, messages.count);
    std::printf("find -name '*.jpg':     median %8.1f ms of %d runs\n", find, kRuns);
    std::printf("ratio fill / find:      %.2f (target <= 3)\n", fill / find);
    std::printf("peak memory above start: %.1f MB (VmHWM %ld kB -> %ld kB; target < 100 MB)\n",
                double(peakKb - startKb) / 1024.0, startKb, peakKb);
    return entries == kJpegs ? 0 : 1;
}

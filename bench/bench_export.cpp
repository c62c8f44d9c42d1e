// Saving a logo: SaveJPG at quality 85 against libjpeg-turbo called in this
// process on the same 32-bit rows, writing a temporary file that is flushed and
// renamed over the target, and SavePicture (BMP) against a write and flush of
// the same bytes. libjpeg-turbo's cjpeg process stays as a second line. Each
// figure is the median of many runs, interleaved so that the load of a shared
// machine falls on every contender alike, and each starts with no other's
// data still on its way to the disk.
//
//   bench_export [runs]      (default 41)

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <numeric>
#include <random>
#include <vector>

#include <jpeglib.h>

#include "export/saveasjpg.h"
#include "platform/savefile.h"

extern char** environ;

using namespace vantelo;

namespace {

using Clock = std::chrono::steady_clock;

// A logo as the canvas renders it: a white canvas, a photo-like picture at
// the top left and two lines of text below it, repeated down a tall canvas.
QImage renderedLogo(int width, int height) {
    QImage photo(220, 180, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y) {
        for (int x = 0; x < photo.width(); ++x) {
            const int noise = ((x * 1103515245 + y * 12345) >> 7) & 31;
            photo.setPixel(x, y, qRgb((x + noise) & 255, (y * 2 + noise) & 255, (x ^ y) & 255));
        }
    }
    QImage logo(width, height, QImage::Format_RGB32);
    logo.fill(Qt::white);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::TextAntialiasing);
    for (int top = 0; top < height; top += 229) {
        painter.drawImage(12, top + 8, photo);
        QLinearGradient band(0, 0, width, 0);
        band.setColorAt(0, QColor(30, 60, 160));
        band.setColorAt(1, QColor(200, 40, 40));
        painter.setPen(QPen(QBrush(band), 1));
        painter.setFont(QFont(QStringLiteral("Arial"), 26, QFont::Bold));
        painter.drawText(245, top + 80, QStringLiteral("Your text here"));
        painter.setFont(QFont(QStringLiteral("Arial"), 14, QFont::Normal, true));
        painter.drawText(245, top + 130, QStringLiteral("Second line of the logo"));
    }
    return logo;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Each contender starts with nothing waiting to go to the disk: a write that
// leaves its data for the kernel to flush later would otherwise slow down
// whichever contender runs next.
double millisecondsOf(const std::function<void()>& work) {
    ::sync();
    const Clock::time_point start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Runs cjpeg as its own process, output to a file, and waits for it to end.
bool runCjpeg(const QByteArray& input, const QByteArray& output) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const char* args[] = {"cjpeg",           "-quality", "85", "-outfile", output.constData(),
                          input.constData(), nullptr};
    pid_t pid = 0;
    const int spawned =
        posix_spawnp(&pid, "cjpeg", &actions, nullptr, const_cast<char* const*>(args), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A plain write: open with truncation, one write, close; with `durable` the
// data are flushed to the disk before the close, as the atomic writer does.
bool plainWrite(const QByteArray& path, const QByteArray& bytes, bool durable) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            break;
        done += n;
    }
    const bool synced = !durable || ::fdatasync(fd) == 0;
    return ::close(fd) == 0 && synced && done == bytes.size();
}

// What keeping the old file safe costs on its own: the same bytes written to
// a new file beside the target, flushed, and renamed over it.
bool replaceWrite(const QByteArray& path, const QByteArray& temp, const QByteArray& bytes) {
    return plainWrite(temp, bytes, true) && ::rename(temp.constData(), path.constData()) == 0;
}

// The anchor: libjpeg-turbo fed the image's own BGRX rows, quality 85, into
// memory, then a temporary file written, flushed and renamed over the target.
bool libjpegSave(const QImage& image, const QByteArray& path, const QByteArray& temp) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = JDIMENSION(image.width());
    cinfo.image_height = JDIMENSION(image.height());
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 85, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = fd >= 0 && ::write(fd, out, size) == ssize_t(size) && ::fdatasync(fd) == 0;
    ok = fd >= 0 && ::close(fd) == 0 && ok && ::rename(temp.constData(), path.constData()) == 0;
    std::free(out);
    return ok;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The file from its first quantisation table on: the JFIF header before it
// carries a resolution that differs between writers and nothing else.
QByteArray fromFirstTable(const QByteArray& jpeg) {
    const int at = jpeg.indexOf(QByteArray("\xFF\xDB", 2));
    return at < 0 ? QByteArray() : jpeg.mid(at);
}

void line(const char* label, double ms, const char* how) {
    std::printf("    %-34s %9.3f ms   %s\n", label, ms, how);
}

int benchOne(const QString& folder, int width, int height, int runs) {
    const QImage logo = renderedLogo(width, height);
    const QString ppm = folder + QStringLiteral("/logo.ppm");
    const QString tinyPpm = folder + QStringLiteral("/tiny.ppm");
    if (!logo.save(ppm, "PPM") || !QImage(1, 1, QImage::Format_RGB32).save(tinyPpm, "PPM")) {
        std::fprintf(stderr, "cannot write the PPM input\n");
        return 1;
    }
    const QString ours = folder + QStringLiteral("/ours.jpg");
    const QByteArray theirs = QFile::encodeName(folder + QStringLiteral("/cjpeg.jpg"));
    const QByteArray tinyOut = QFile::encodeName(folder + QStringLiteral("/tiny.jpg"));
    const QByteArray anchorJpg = QFile::encodeName(folder + QStringLiteral("/anchor.jpg"));
    const QByteArray anchorTemp = QFile::encodeName(folder + QStringLiteral("/.anchor.tmp"));
    const QString bmp = folder + QStringLiteral("/ours.bmp");
    const QByteArray plainBmp = QFile::encodeName(folder + QStringLiteral("/plain.bmp"));

    QByteArray bmpBytes;
    SavePicture(logo, bmp);
    bmpBytes = readAll(bmp);
    if (!runCjpeg(QFile::encodeName(ppm), theirs)) {
        std::fprintf(stderr, "cjpeg did not run (package libjpeg-turbo-progs)\n");
        return 1;
    }

    std::vector<double> saveJpg, encodeJpg, anchor, cjpeg, cjpegStart, savePicture, encodeBmp,
        plain, plainSynced, replaced;
    bool ok = true;
    // The contenders run in a new order each round, so that none always
    // follows the one that leaves the caches coldest (a cjpeg process).
    const std::vector<std::pair<std::vector<double>*, std::function<void()>>> contenders = {
        {&saveJpg, [&] { SaveJPG(logo, ours, 85); }},
        {&encodeJpg,
         [&] {
             QBuffer buffer;
             buffer.open(QIODevice::WriteOnly);
             ok = EncodeJPG(logo, buffer, 85) == JpegOk && ok;
         }},
        {&anchor, [&] { ok = libjpegSave(logo, anchorJpg, anchorTemp) && ok; }},
        {&cjpeg, [&] { ok = runCjpeg(QFile::encodeName(ppm), theirs) && ok; }},
        {&cjpegStart, [&] { ok = runCjpeg(QFile::encodeName(tinyPpm), tinyOut) && ok; }},
        {&savePicture, [&] { SavePicture(logo, bmp); }},
        {&encodeBmp, [&] { ok = encodeBitmap(logo).size() == bmpBytes.size() && ok; }},
        {&plain, [&] { ok = plainWrite(plainBmp, bmpBytes, false) && ok; }},
        {&plainSynced, [&] { ok = plainWrite(plainBmp, bmpBytes, true) && ok; }},
        {&replaced, [&] { ok = replaceWrite(plainBmp, anchorTemp, bmpBytes) && ok; }},
    };
    std::vector<std::size_t> order(contenders.size());
    std::iota(order.begin(), order.end(), 0);
    std::mt19937 shuffler(20261209);
    for (int run = 0; run < runs; ++run) {
        std::shuffle(order.begin(), order.end(), shuffler);
        for (const std::size_t i : order)
            contenders[i].first->push_back(millisecondsOf(contenders[i].second));
    }
    if (!ok) {
        std::fprintf(stderr, "a run failed\n");
        return 1;
    }

    const double ourJpeg = median(saveJpg);
    const double theirJpeg = median(cjpeg);
    const double start = median(cjpegStart);
    const double ourBmp = median(savePicture);
    const double plainBmpMs = median(plain);
    const double anchorJpeg = median(anchor);
    const bool sameAsAnchor =
        fromFirstTable(readAll(ours)) == fromFirstTable(readAll(QFile::decodeName(anchorJpg)));
    const bool sameCoding =
        fromFirstTable(readAll(ours)) == fromFirstTable(readAll(QFile::decodeName(theirs)));
    const bool sameBmp = readAll(bmp) == bmpBytes;

    std::printf("Logo %dx%d, median of %d runs (JPEG %lld bytes, BMP %lld bytes)\n", width, height,
                runs, static_cast<long long>(readAll(ours).size()),
                static_cast<long long>(bmpBytes.size()));
    std::printf("  JPEG, quality 85\n");
    line("SaveJPG", ourJpeg, "in this process: encode, temp file, fdatasync, rename");
    line("EncodeJPG into memory", median(encodeJpg), "in this process: encode only");
    line("libjpeg-turbo + temp/fdatasync/rename", anchorJpeg,
         "in this process: BGRX rows, the anchor");
    line("cjpeg -quality 85", theirJpeg, "process: spawn, read PPM, encode, write, exit");
    line("cjpeg on a 1x1 PPM", start, "process: the cost of running cjpeg at all");
    std::printf("    ratio SaveJPG / libjpeg-turbo anchor   %6.2f   (target <= 1.10)\n",
                ourJpeg / anchorJpeg);
    std::printf(
        "    ratio EncodeJPG / anchor               %6.2f   (encode alone, anchor incl. file)\n",
        median(encodeJpg) / anchorJpeg);
    std::printf("    ratio SaveJPG / cjpeg process          %6.2f\n", ourJpeg / theirJpeg);
    if (theirJpeg - start > 0)
        std::printf("    ratio SaveJPG / (cjpeg - 1x1 run)      %6.2f   (start-up taken out)\n",
                    ourJpeg / (theirJpeg - start));
    std::printf("    same coded data as the anchor: %s, as cjpeg: %s\n",
                sameAsAnchor ? "yes" : "NO", sameCoding ? "yes" : "NO");
    std::printf("  BMP\n");
    line("SavePicture", ourBmp, "in this process: encode, temp file, fdatasync, rename");
    line("encodeBitmap into memory", median(encodeBmp), "in this process: encode only");
    line("plain write of the same bytes", plainBmpMs, "in this process: open, write, close");
    line("plain write + fdatasync", median(plainSynced), "the same, flushed to disk first");
    line("temp file + fdatasync + rename", median(replaced),
         "the same into a new file renamed over the old");
    std::printf("    ratio SavePicture / plain + fdatasync  %6.2f   (target <= 1.10)\n",
                ourBmp / median(plainSynced));
    std::printf(
        "    ratio safe replace / plain + fdatasync %6.2f   (what the atomic replace costs)\n",
        median(replaced) / median(plainSynced));
    std::printf("    ratio SavePicture / plain write        %6.2f   (no flush in the plain one)\n",
                ourBmp / plainBmpMs);
    std::printf("    same bytes as the plain write: %s\n\n", sameBmp ? "yes" : "NO");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 41;
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    int failed = 0;
    failed |= benchOne(folder.path(), 512, 229, runs);
    failed |= benchOne(folder.path(), 512, 4000, runs);
    return failed;
}

#include "desktop.h"

#include <sys/prctl.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QThread>
#include <csignal>

#include "closerequest.h"

namespace e2e {
namespace {

// Bounds of every wait. They are generous because the same steps also run
// against the sanitizer build, which starts several times slower; a healthy
// run never comes near them.
constexpr int kStartMs = 40000;
constexpr int kStepMs = 15000;
constexpr int kToolMs = 15000;
constexpr int kPollMs = 50;

const QSize kScreen(1024, 768);

// A child that outlives the test (the test runner killed it, say) would keep a
// display or a program running; make the kernel end it with its parent.
void endWithParent() {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
}

QString tail(const QString& text, int length = 4000) {
    return text.size() <= length ? text : QStringLiteral("…") + text.right(length);
}

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// xdotool matches names with POSIX extended regular expressions.
QString exactNamePattern(const QString& title) {
    static const QString special = QStringLiteral(".[]{}()\\*+?^$|");
    QString pattern = QStringLiteral("^");
    for (const QChar c : title) {
        if (special.contains(c))
            pattern += QLatin1Char('\\');
        pattern += c;
    }
    return pattern + QLatin1Char('$');
}

QString unescape(const QString& text) {
    QString result;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\') && i + 1 < text.size()) {
            const QChar next = text[++i];
            result += next == QLatin1Char('n')   ? QChar('\n')
                      : next == QLatin1Char('r') ? QChar('\r')
                                                 : next;
        } else {
            result += text[i];
        }
    }
    return result;
}

QString escaped(const QString& text) {
    QString result = text;
    return result.replace(QLatin1Char('\r'), QLatin1String("\\r"))
        .replace(QLatin1Char('\n'), QLatin1String("\\n"));
}

bool copyTree(const QString& from, const QString& to) {
    if (QFileInfo(from).isFile())
        return QFile::copy(from, to);
    if (!QDir().mkpath(to))
        return false;
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + QLatin1Char('/') + QDir(from).relativeFilePath(path);
        const bool ok = it.fileInfo().isDir() ? QDir().mkpath(target) : QFile::copy(path, target);
        if (!ok)
            return false;
    }
    return true;
}

}  // namespace

bool samePixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return false;
    // QImage's own comparison also compares the colour space a file carried.
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if ((a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF))
                return false;
        }
    }
    return true;
}

Desktop::Desktop() = default;

Desktop::~Desktop() {
    tearDown();
}

QString Desktop::appFolder() const {
    return root_->filePath(QStringLiteral("app"));
}

QString Desktop::homeFolder() const {
    return root_->filePath(QStringLiteral("home"));
}

QString Desktop::settingsPath() const {
    return root_->filePath(QStringLiteral("config/Tarnwick/Vantelo.conf"));
}

QString Desktop::programOutput() const {
    if (!root_)
        return {};
    return tail(readText(root_->filePath(QStringLiteral("program.log"))));
}

qint64 Desktop::programPeakMemory() const {
    const QString status = readText(QStringLiteral("/proc/%1/status").arg(program_.processId()));
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("VmHWM:\\s*(\\d+) kB")).match(status);
    return match.hasMatch() ? match.captured(1).toLongLong() * 1024 : -1;
}

bool Desktop::setUp() {
    why_.clear();
    root_ =
        std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/vantelo-e2e-XXXXXX"));
    if (!root_->isValid()) {
        why_ = QStringLiteral("cannot make a temporary folder: ") + root_->errorString();
        return false;
    }
    for (const char* folder : {"home", "config", "config-dirs", "runtime", "app"}) {
        if (!QDir().mkpath(root_->filePath(QLatin1String(folder)))) {
            why_ =
                QStringLiteral("cannot make the folder ") + root_->filePath(QLatin1String(folder));
            return false;
        }
    }
    QFile::setPermissions(root_->filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    // The application folder holds the program and the files it expects beside
    // it, and nothing else, so the gallery and the dialogs see only this copy.
    const QString program = qEnvironmentVariable("VANTELO_E2E_PROGRAM");
    if (program.isEmpty() || !QFileInfo(program).isExecutable()) {
        why_ = QStringLiteral(
                   "VANTELO_E2E_PROGRAM does not name the built program (\"%1\"); "
                   "run the end-to-end tests through ctest")
                   .arg(program);
        return false;
    }
    const QDir built = QFileInfo(program).absoluteDir();
    if (!QFile::copy(program, appFolder() + QStringLiteral("/vantelo"))) {
        why_ = QStringLiteral("cannot copy the program ") + program;
        return false;
    }
    for (const char* entry : {"logos", "HAND-M.CUR", "x"}) {
        const QString from = built.filePath(QLatin1String(entry));
        if (QFileInfo::exists(from) && !copyTree(from, appFolder() + '/' + QLatin1String(entry))) {
            why_ = QStringLiteral("cannot copy ") + from +
                   QStringLiteral(" into the application folder");
            return false;
        }
    }

    display_.setProgram(QStringLiteral("Xvfb"));
    // -displayfd 1: the server picks a free display number and writes it to
    // its standard output once it accepts clients.
    display_.setArguments(
        {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
         QStringLiteral("0"), QStringLiteral("%1x%2x24").arg(kScreen.width()).arg(kScreen.height()),
         QStringLiteral("-dpi"), QStringLiteral("96"), QStringLiteral("-nolisten"),
         QStringLiteral("tcp"), QStringLiteral("-noreset")});
    display_.setStandardErrorFile(root_->filePath(QStringLiteral("xvfb.log")));
    display_.setChildProcessModifier(endWithParent);
    display_.start();
    if (!display_.waitForStarted(kToolMs)) {
        why_ = QStringLiteral("cannot start Xvfb (%1); scripts/setup.sh installs it")
                   .arg(display_.errorString());
        return false;
    }
    QByteArray number;
    QDeadlineTimer deadline(kStartMs);
    while (!number.contains('\n')) {
        if (!display_.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            why_ = QStringLiteral("Xvfb did not report its display number: ") +
                   readText(root_->filePath(QStringLiteral("xvfb.log")));
            return false;
        }
        number += display_.readAllStandardOutput();
    }
    displayName_ = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
    return true;
}

void Desktop::tearDown() {
    if (program_.state() != QProcess::NotRunning) {
        program_.kill();
        program_.waitForFinished(kToolMs);
    }
    if (display_.state() != QProcess::NotRunning) {
        display_.terminate();
        if (!display_.waitForFinished(kToolMs)) {
            display_.kill();
            display_.waitForFinished(kToolMs);
        }
    }
}

QProcessEnvironment Desktop::programEnvironment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Nothing of the caller's own desktop may reach the program.
    for (const char* name :
         {"WAYLAND_DISPLAY", "XAUTHORITY", "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER",
          "XDG_CURRENT_DESKTOP", "XDG_SESSION_TYPE", "QT_QPA_PLATFORMTHEME", "QT_STYLE_OVERRIDE",
          "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_AUTO_SCREEN_SCALE_FACTOR",
          "QT_FONT_DPI", "LANGUAGE", "LC_ALL"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("DISPLAY"), displayName_);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("HOME"), homeFolder());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), root_->filePath(QStringLiteral("config")));
    // The store also reads system-wide defaults; keep those out too.
    env.insert(QStringLiteral("XDG_CONFIG_DIRS"), root_->filePath(QStringLiteral("config-dirs")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root_->filePath(QStringLiteral("runtime")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), homeFolder() + QStringLiteral("/.local/share"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), homeFolder() + QStringLiteral("/.cache"));
    // The start-up summary says how many entries the gallery lists.
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("vantelo.startup.info=true"));
    env.insert(QStringLiteral("VANTELO_MESSAGE_LOG"),
               root_->filePath(QStringLiteral("messages.log")));
    return env;
}

bool Desktop::start() {
    why_.clear();
    mainWindowId_ = 0;
    mainWindowRect_ = QRect();
    program_.setProgram(appFolder() + QStringLiteral("/vantelo"));
    program_.setArguments({});
    program_.setWorkingDirectory(homeFolder());
    program_.setProcessEnvironment(programEnvironment());
    program_.setProcessChannelMode(QProcess::MergedChannels);
    program_.setStandardOutputFile(root_->filePath(QStringLiteral("program.log")),
                                   QIODevice::Append);
    program_.setChildProcessModifier(endWithParent);
    program_.start();
    if (!program_.waitForStarted(kStartMs)) {
        why_ = QStringLiteral("cannot start the program: ") + program_.errorString();
        return false;
    }
    return true;
}

bool Desktop::programEnded(const QString& during) {
    if (program_.state() != QProcess::NotRunning)
        return false;
    why_ = QStringLiteral(
               "the program ended while waiting for %1 (%2, status %3).\n%4\nIt printed:\n%5")
               .arg(during, program_.exitStatus() == QProcess::CrashExit
                                ? QStringLiteral("crashed")
                                : QStringLiteral("normal exit"))
               .arg(program_.exitCode())
               .arg(messageSummary(), programOutput());
    return true;
}

bool Desktop::waitUntil(const QString& what, int timeoutMs, const std::function<bool()>& done) {
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const QString before = why_;
        if (done())
            return true;
        // A step that failed outright (a tool missing) says so at once.
        if (why_ != before)
            return false;
        if (programEnded(what))
            return false;
        if (deadline.hasExpired()) {
            why_ =
                QStringLiteral("gave up after %1 s waiting for %2").arg(timeoutMs / 1000).arg(what);
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, kPollMs);
        QThread::msleep(kPollMs);
    }
}

bool Desktop::run(const QString& program, const QStringList& arguments, QString* output,
                  bool allowFailure) {
    QProcess process;
    process.setProcessEnvironment(programEnvironment());
    process.setChildProcessModifier(endWithParent);
    process.start(program, arguments);
    const QString command = program + QLatin1Char(' ') + arguments.join(QLatin1Char(' '));
    if (!process.waitForStarted(kToolMs)) {
        why_ = QStringLiteral("cannot run %1 (%2); scripts/setup.sh installs it")
                   .arg(command, process.errorString());
        return false;
    }
    if (!process.waitForFinished(kToolMs)) {
        process.kill();
        process.waitForFinished(kToolMs);
        why_ = QStringLiteral("%1 did not finish within %2 s").arg(command).arg(kToolMs / 1000);
        return false;
    }
    if (output != nullptr)
        *output = QString::fromUtf8(process.readAllStandardOutput());
    if (!allowFailure &&
        (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)) {
        why_ = QStringLiteral("%1 failed: %2")
                   .arg(command, QString::fromUtf8(process.readAllStandardError()).trimmed());
        return false;
    }
    return true;
}

bool Desktop::clipboardToFile(const QString& type, const QString& file) {
    // Only the clipboard's owner can answer, so the program keeps running
    // while xclip asks it.
    return run(
        QStringLiteral("sh"),
        {QStringLiteral("-c"), QStringLiteral("xclip -selection clipboard -t \"$1\" -o > \"$2\""),
         QStringLiteral("sh"), type, file});
}

bool Desktop::xdotool(const QStringList& arguments, QString* output) {
    return run(QStringLiteral("xdotool"), arguments, output);
}

QList<qulonglong> Desktop::visibleWindows(const QString& title) {
    QString output;
    // "search" fails when nothing matches, which is no error here.
    if (!run(QStringLiteral("xdotool"),
             {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
              exactNamePattern(title)},
             &output, true))
        return {};
    QList<qulonglong> ids;
    for (const QString& line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        ids << line.trimmed().toULongLong();
    return ids;
}

bool Desktop::windowGeometry(qulonglong id, QRect* rect) {
    QString output;
    if (!xdotool(
            {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::number(id)},
            &output))
        return false;
    QHash<QString, int> values;
    for (const QString& line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        values.insert(line.section(QLatin1Char('='), 0, 0),
                      line.section(QLatin1Char('='), 1).toInt());
    *rect = QRect(values.value(QStringLiteral("X")), values.value(QStringLiteral("Y")),
                  values.value(QStringLiteral("WIDTH")), values.value(QStringLiteral("HEIGHT")));
    return true;
}

bool Desktop::waitForWindow(const QString& title, qulonglong* id) {
    return waitUntil(QStringLiteral("a window titled \"%1\" to be shown").arg(title), kStepMs, [&] {
        const QList<qulonglong> ids = visibleWindows(title);
        if (ids.isEmpty())
            return false;
        *id = ids.first();
        return true;
    });
}

bool Desktop::waitForWindowGone(qulonglong id, const QString& title) {
    return waitUntil(QStringLiteral("the window titled \"%1\" to close").arg(title), kStepMs,
                     [&] { return !visibleWindows(title).contains(id); });
}

bool Desktop::waitForMainWindow() {
    why_.clear();
    const QString what = QStringLiteral("the main window titled \"Vantelo\" to be shown");
    qulonglong id = 0;
    if (!waitUntil(what, kStartMs, [&] {
            const QList<qulonglong> ids = visibleWindows(QStringLiteral("Vantelo"));
            if (ids.isEmpty())
                return false;
            id = ids.first();
            return true;
        })) {
        why_ += QStringLiteral("\n") + messageSummary();
        return false;
    }
    if (!windowGeometry(id, &mainWindowRect_))
        return false;
    // The layout's client area is the window below its menu bar.
    menuBarHeight_ = mainWindowRect_.height() - kClientHeight;
    mainWindowRect_.setTop(mainWindowRect_.top() + menuBarHeight_);
    mainWindowId_ = id;
    return true;
}

bool Desktop::sizeLimits(QSize* minimum, QSize* maximum) {
    QString output;
    if (!run(QStringLiteral("xprop"),
             {QStringLiteral("-id"), QString::number(mainWindowId_),
              QStringLiteral("WM_NORMAL_HINTS")},
             &output))
        return false;
    // "program specified minimum size: 655 by 598"
    const auto size = [&output](const char* which) {
        const QRegularExpression pattern(
            QStringLiteral("%1 size: (\\d+) by (\\d+)").arg(QLatin1String(which)));
        const QRegularExpressionMatch match = pattern.match(output);
        return match.hasMatch() ? QSize(match.captured(1).toInt(), match.captured(2).toInt())
                                : QSize();
    };
    *minimum = size("minimum");
    *maximum = size("maximum");
    return true;
}

bool Desktop::closeAndWaitForExit() {
    why_.clear();
    if (mainWindowId_ == 0) {
        why_ = QStringLiteral("the main window was never found, so it cannot be closed");
        return false;
    }
    const std::string refused =
        requestClose(displayName_.toStdString(), static_cast<unsigned long>(mainWindowId_));
    if (!refused.empty()) {
        why_ = QString::fromStdString(refused);
        return false;
    }
    if (!program_.waitForFinished(kStepMs)) {
        why_ = QStringLiteral("the program still runs %1 s after its window was asked to close\n%2")
                   .arg(kStepMs / 1000)
                   .arg(messageSummary());
        return false;
    }
    mainWindowId_ = 0;
    if (program_.exitStatus() != QProcess::NormalExit || program_.exitCode() != 0) {
        why_ = program_.exitStatus() == QProcess::CrashExit
                   ? QStringLiteral("the program crashed on closing")
                   : QStringLiteral("the program ended with status %1 instead of 0")
                         .arg(program_.exitCode());
        why_ += QStringLiteral("; it printed:\n") + programOutput();
        return false;
    }
    return true;
}

bool Desktop::click(QPoint at) {
    why_.clear();
    const QPoint p = toScreen(at);
    // The server applies input in order, so the press lands where the move
    // went. (--sync would wait for ever when the pointer is already there.)
    return xdotool({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y()),
                    QStringLiteral("click"), QStringLiteral("1")});
}

bool Desktop::drag(QPoint from, QPoint to) {
    why_.clear();
    const QPoint a = toScreen(from);
    const QPoint b = toScreen(to);
    QStringList arguments{QStringLiteral("mousemove"), QString::number(a.x()),
                          QString::number(a.y()), QStringLiteral("mousedown"), QStringLiteral("1")};
    // A hand moves through the points between, not in one jump.
    constexpr int steps = 5;
    for (int i = 1; i <= steps; ++i) {
        const QPoint p = a + (b - a) * i / steps;
        arguments << QStringLiteral("mousemove") << QString::number(p.x())
                  << QString::number(p.y());
    }
    arguments << QStringLiteral("mouseup") << QStringLiteral("1");
    return xdotool(arguments);
}

bool Desktop::type(const QString& text) {
    why_.clear();
    return xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text});
}

bool Desktop::key(const QString& keys) {
    why_.clear();
    return xdotool({QStringLiteral("key"), keys});
}

// Waits for the window and gives it the keyboard: without a window manager
// nothing else would, even to a box that takes the focus when it opens.
bool Desktop::focusWindow(const QString& title, qulonglong* id) {
    why_.clear();
    if (!waitForWindow(title, id))
        return false;
    return xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::number(*id)});
}

bool Desktop::answerMessage(const QString& title) {
    qulonglong id = 0;
    if (!focusWindow(title, &id))
        return false;
    if (!key(QStringLiteral("Return")))
        return false;
    return waitForWindowGone(id, title);
}

bool Desktop::chooseInFileDialog(const QString& title, const QString& fileName) {
    qulonglong id = 0;
    if (!focusWindow(title, &id))
        return false;
    // The dialog opens with the keyboard in its file name box.
    if (!type(fileName) || !key(QStringLiteral("Return")))
        return false;
    return waitForWindowGone(id, title);
}

QList<Message> Desktop::messages() const {
    const QString log = readText(root_->filePath(QStringLiteral("messages.log")));
    QList<Message> result;
    QStringList lines = log.split(QLatin1Char('\n'));
    // The last piece is empty, or a record still being written.
    lines.removeLast();
    for (const QString& line : lines) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() < 3) {
            result.append({QStringLiteral("(unreadable record)"), -1, line});
            continue;
        }
        result.append({fields[0], fields[1].toInt(), unescape(fields.mid(2).join('\t'))});
    }
    return result;
}

QString Desktop::messageSummary() const {
    const QList<Message> shown = messages();
    if (shown.isEmpty())
        return QStringLiteral("The program showed no message box.");
    QString summary = QStringLiteral("Message boxes shown:");
    for (const Message& m : shown)
        summary +=
            QStringLiteral("\n  [%1, style %2] %3").arg(m.title).arg(m.style).arg(escaped(m.text));
    return summary;
}

bool Desktop::waitForMessages(int count) {
    why_.clear();
    if (waitUntil(QStringLiteral("%1 message box(es) in the message log").arg(count), kStepMs,
                  [&] { return messages().size() >= count; }))
        return true;
    why_ += QLatin1Char('\n') + messageSummary();
    return false;
}

QMap<QString, QString> Desktop::settings() const {
    QMap<QString, QString> values;
    if (!QFileInfo::exists(settingsPath()))
        return values;
    // QSettings keeps parsed files in a cache that a same-sized rewrite within
    // one clock tick can slip past; reading a copy under a fresh name each
    // time rules that out.
    // Lines that no value of the program's can hold are left out: QSettings
    // would decode a serialised value and can stop at a NUL byte.
    const QString copy = root_->filePath(QStringLiteral("snapshot-%1.conf").arg(snapshot_++));
    {
        QFile from(settingsPath());
        QFile to(copy);
        if (!from.open(QIODevice::ReadOnly) || !to.open(QIODevice::WriteOnly))
            return values;
        for (const QByteArray& line : from.readAll().split('\n')) {
            if (!line.contains('\0') && !line.contains("=@Variant("))
                to.write(line + '\n');
        }
    }
    {
        const QSettings file(copy, QSettings::IniFormat);
        for (const QString& key : file.allKeys()) {
            const QVariant value = file.value(key);
            // The store reads a value with an unquoted comma back as the text written.
            values.insert(key, value.metaType().id() == QMetaType::QStringList
                                   ? value.toStringList().join(QLatin1Char(','))
                                   : value.toString());
        }
    }
    QFile::remove(copy);
    return values;
}

QStringList Desktop::settingKeys() const {
    return settings().keys();
}

QString Desktop::setting(const QString& key) const {
    return settings().value(key);
}

void Desktop::storeSetting(const QString& key, const QString& value) {
    QDir().mkpath(QFileInfo(settingsPath()).absolutePath());
    QSettings settings(settingsPath(), QSettings::IniFormat);
    settings.setValue(key, value);
    settings.sync();
}

bool Desktop::waitForSettingIn(const QString& key, const QStringList& values, QString* found) {
    why_.clear();
    if (waitUntil(QStringLiteral("setting \"%1\" to become one of \"%2\"")
                      .arg(key, values.join(QStringLiteral("\", \""))),
                  kStepMs, [&] {
                      *found = setting(key);
                      return values.contains(*found);
                  }))
        return true;
    why_ += QLatin1Char('\n') + settingsSummary() + QLatin1Char('\n') + messageSummary();
    return false;
}

QString Desktop::settingsSummary() const {
    QString summary = QStringLiteral("Settings file:");
    const QMap<QString, QString> values = settings();
    if (values.isEmpty())
        return summary + QStringLiteral(" empty or missing");
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        summary += QStringLiteral("\n  \"%1\" = \"%2\"").arg(it.key(), it.value());
    return summary;
}

bool Desktop::waitForSetting(const QString& key, const QString& value) {
    why_.clear();
    if (waitUntil(QStringLiteral("setting \"%1\" to become \"%2\"").arg(key, value), kStepMs,
                  [&] { return setting(key) == value; }))
        return true;
    why_ += QLatin1Char('\n') + settingsSummary() + QLatin1Char('\n') + messageSummary();
    return false;
}

bool Desktop::grabWindow(QImage* image) {
    const QString path = root_->filePath(QStringLiteral("grab.png"));
    QFile::remove(path);
    const QRect r = mainWindowRect_;
    if (!run(QStringLiteral("import"),
             {QStringLiteral("-silent"), QStringLiteral("-window"), QStringLiteral("root"),
              QStringLiteral("-crop"),
              QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y()),
              QStringLiteral("+repage"), QStringLiteral("png:") + path}))
        return false;
    if (!image->load(path, "PNG")) {
        why_ = QStringLiteral("the screenshot %1 cannot be read").arg(path);
        return false;
    }
    *image = image->convertToFormat(QImage::Format_RGB32);
    return true;
}

bool Desktop::waitForPixels(const QRect& region, const QImage& expected, const QString& what) {
    why_.clear();
    const QImage wanted = expected.convertToFormat(QImage::Format_RGB32);
    QImage shown;
    if (waitUntil(what, kStepMs, [&] {
            QImage screen;
            if (!grabWindow(&screen))
                return false;
            shown = screen.copy(region);
            return samePixels(shown, wanted);
        }))
        return true;
    if (shown.size() != wanted.size()) {
        why_ +=
            QStringLiteral("; the window shows %1x%2 pixels there, the expected picture has %3x%4")
                .arg(shown.width())
                .arg(shown.height())
                .arg(wanted.width())
                .arg(wanted.height());
        return false;
    }
    int differing = 0;
    QPoint first(-1, -1);
    for (int y = 0; y < wanted.height(); ++y) {
        for (int x = 0; x < wanted.width(); ++x) {
            if ((shown.pixel(x, y) & 0xFFFFFF) != (wanted.pixel(x, y) & 0xFFFFFF) &&
                differing++ == 0)
                first = QPoint(x, y);
        }
    }
    if (differing > 0) {
        why_ += QStringLiteral(
                    "; %1 of %2 pixels differ, the first at %3,%4 in the window: #%5 "
                    "instead of #%6")
                    .arg(differing)
                    .arg(wanted.width() * wanted.height())
                    .arg(region.x() + first.x())
                    .arg(region.y() + first.y())
                    .arg(shown.pixel(first) & 0xFFFFFF, 6, 16, QLatin1Char('0'))
                    .arg(wanted.pixel(first) & 0xFFFFFF, 6, 16, QLatin1Char('0'));
    }
    return false;
}

}  // namespace e2e

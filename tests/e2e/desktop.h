#pragma once

#include <QImage>
#include <QList>
#include <QMap>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

namespace e2e {

// One message box the program showed, as its message log records it.
struct Message {
    QString title;
    int style = 0;
    QString text;
};

// True when both images have the same size and the same colour in every pixel.
bool samePixels(const QImage& a, const QImage& b);

// The real program as a person meets it: its own X display (Xvfb), its own
// home and settings, and its own copy of the application folder, driven with
// the mouse and keyboard through xdotool. Each step returns false when it
// fails and then says why in why(); every wait is bounded. The destructor
// stops the program and the display on every path, failures included.
class Desktop {
public:
    Desktop();
    ~Desktop();
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    // Makes the private folders, copies the program with the files it expects
    // beside it, and starts the display.
    bool setUp();
    // Stops the program (if it still runs) and the display.
    void tearDown();
    const QString& why() const { return why_; }

    QString appFolder() const;
    QString homeFolder() const;
    QString settingsPath() const;
    // What the program printed, for the report of a failed test.
    QString programOutput() const;
    // The most memory the running program has held so far, in bytes (its
    // VmHWM), or -1 when it cannot be read.
    qint64 programPeakMemory() const;

    // Starts the program; waitForMainWindow() then waits until its window is
    // shown and learns where it lies.
    bool start();
    bool waitForMainWindow();
    // The main window's client area on the screen: the layout's 655 x 598
    // pixels below the menu bar.
    QRect mainWindow() const { return mainWindowRect_; }
    // The height of the menu bar above it.
    int menuBarHeight() const { return menuBarHeight_; }
    static constexpr int kClientHeight = 598;
    qulonglong mainWindowId() const { return mainWindowId_; }
    // The smallest and largest size the main window lets a window manager give it.
    bool sizeLimits(QSize* minimum, QSize* maximum);
    // Closes the main window as a window manager's close button does and
    // waits until the program has ended with status 0.
    bool closeAndWaitForExit();

    // Real pointer and keyboard input. Positions are pixels inside the main
    // window's client area.
    bool click(QPoint at);
    // Presses the left button at `from`, moves in a few steps to `to` and
    // releases it there.
    bool drag(QPoint from, QPoint to);
    bool type(const QString& text);
    // One key or a chord in xdotool's names: "Return", "ctrl+a", "End".
    bool key(const QString& keys);

    // Top-level windows by their exact title.
    bool waitForWindow(const QString& title, qulonglong* id);
    bool waitForWindowGone(qulonglong id, const QString& title);
    bool focusWindow(const QString& title, qulonglong* id);
    // Answers the message box of that title with Return, as a person presses
    // Enter on its OK button, and waits until it has closed.
    bool answerMessage(const QString& title);
    // Waits for the file dialog of that title, types the name into its file
    // name box, presses Return and waits until the dialog has closed.
    bool chooseInFileDialog(const QString& title, const QString& fileName);

    // The message log: every message box the program has shown, in order.
    QList<Message> messages() const;
    bool waitForMessages(int count);
    QString messageSummary() const;

    // The settings file, read through a fresh copy each time so that no cached
    // copy of an earlier read hides a change.
    QMap<QString, QString> settings() const;
    // In sorted order.
    QStringList settingKeys() const;
    // A null string when the key is missing.
    QString setting(const QString& key) const;
    // Writes a setting before the program starts, in the store's own format.
    void storeSetting(const QString& key, const QString& value);
    bool waitForSetting(const QString& key, const QString& value);
    // Waits until the setting holds one of `values` and tells which.
    bool waitForSettingIn(const QString& key, const QStringList& values, QString* found);
    QString settingsSummary() const;

    // What the clipboard holds as that type (read with xclip), into a file.
    bool clipboardToFile(const QString& type, const QString& file);

    // The main window as it is on the screen now.
    bool grabWindow(QImage* image);
    // Waits until the part of the main window at `region` shows exactly `expected`.
    bool waitForPixels(const QRect& region, const QImage& expected, const QString& what);

private:
    bool run(const QString& program, const QStringList& arguments, QString* output = nullptr,
             bool allowFailure = false);
    bool xdotool(const QStringList& arguments, QString* output = nullptr);
    QList<qulonglong> visibleWindows(const QString& title);
    bool windowGeometry(qulonglong id, QRect* rect);
    bool waitUntil(const QString& what, int timeoutMs, const std::function<bool()>& done);
    bool programEnded(const QString& during);
    QProcessEnvironment programEnvironment() const;
    QPoint toScreen(QPoint inWindow) const { return mainWindowRect_.topLeft() + inWindow; }

    std::unique_ptr<QTemporaryDir> root_;
    QProcess display_;
    QProcess program_;
    QString displayName_;
    QRect mainWindowRect_;
    int menuBarHeight_ = 0;
    qulonglong mainWindowId_ = 0;
    QString why_;
    mutable int snapshot_ = 0;
};

}  // namespace e2e

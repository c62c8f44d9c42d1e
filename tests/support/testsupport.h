#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "app/form1.h"
#include "platform/commondialog.h"
#include "platform/messages.h"
#include "platform/settingsstore.h"

namespace vantelo::test {

// Records every message box instead of showing it.
class RecordingMessages final : public MessageBoxes {
public:
    struct Message {
        QString text;
        int style;
        QString title;
    };
    void show(const QString& text, int style, const QString& title) override {
        messages.push_back({text, style, title});
    }
    // Recorded with the style MsgOkCancel | MsgQuestion; each takes the next
    // of `answers`, and with none left the answer is Cancel.
    bool confirm(const QString& text, const QString& goAhead, const QString& title) override;
    std::vector<Message> messages;
    std::deque<bool> answers;
    QStringList goAheadCaptions;
    QStringList texts() const;
    // The error reports only ("Application Error").
    std::vector<Message> reports() const;
    // The line number an error report names ("150" of "... at line 150\r\r...").
    static QString lineOf(const Message& report);
    void clear() { messages.clear(); }
};

// Answers the dialogs from a script: each call takes the next queued answer;
// an empty optional is a cancel. With nothing queued, a dialog is cancelled.
class ScriptedDialogs final : public DialogPresenter {
public:
    std::optional<QString> openFile(const QString& folder, const QString& title,
                                    const QStringList& nameFilters) override;
    std::optional<QString> saveFile(const QString& folder, const QString& title,
                                    const QStringList& nameFilters,
                                    const SaveNameCheck& check) override;
    std::optional<QFont> chooseFont(const QFont& initial) override;
    std::optional<QColor> chooseColor(const QColor& initial) override;
    // Answered from `files`, as the file dialogs are; `proposed` is kept in
    // the call's title, after the title and a '|'.
    std::optional<QString> chooseFolder(const QString& folder, const QString& proposed,
                                        const QString& title) override;

    std::deque<std::optional<QString>> files;
    std::deque<std::optional<QFont>> fonts;
    std::deque<std::optional<QColor>> colors;

    struct Call {
        QString kind;
        QString folder;
        QString title;
        QStringList nameFilters;
    };
    std::vector<Call> calls;
    QFont lastInitialFont;
    QColor lastInitialColor;
};

// A throw-away application folder and settings file.
class Sandbox {
public:
    Sandbox();
    QString appFolder() const { return appDir_.path(); }
    QString settingsPath() const { return settingsDir_.path() + QStringLiteral("/Vantelo.conf"); }
    // Creates a file (and its folders) below the application folder.
    QString writeFile(const QString& relativePath, const QByteArray& data);
    // Writes an image as a file of the given format below the application folder.
    QString writeImage(const QString& relativePath, const QImage& image, const char* format);
    // Writes the settings file in the store's own format.
    void setSetting(const QString& key, const QString& value);
    QString setting(const QString& key) const;
    QStringList settingKeys() const;

private:
    QTemporaryDir appDir_;
    QTemporaryDir settingsDir_;
};

// A main window over a sandbox, with recorded messages and scripted dialogs.
struct FormFixture {
    explicit FormFixture(Sandbox& sandbox, bool load = true);
    ~FormFixture();
    FileSettingsStore settings;
    RecordingMessages messages;
    ScriptedDialogs dialogs;
    QStringList openedUrls;
    double randomValue = 0.5;
    // A build with a home page; set before the window is made.
    QString homePage = QStringLiteral("https://home.example/");
    std::unique_ptr<Form1> form;
};

// An image of the given size filled with one colour.
QImage solidImage(int width, int height, const QColor& color);

}  // namespace vantelo::test

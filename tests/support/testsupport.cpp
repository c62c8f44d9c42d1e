#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QSettings>

namespace vantelo::test {
namespace {

// The tests draw text in "Arial" and compare pixels with what Linux draws,
// where fontconfig gives Liberation Sans for it. Under Wine the same faces
// are registered from the Linux machine's drive Z: and take the Windows
// names, so both systems draw the same glyphs.
void registerTestFonts() {
#ifdef Q_OS_WIN
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    // DejaVu too: the font dialog's test picks another family from it.
    for (const char* folder : {"liberation", "dejavu"}) {
        const QDir fonts(QStringLiteral("Z:/usr/share/fonts/truetype/") + QLatin1String(folder));
        for (const QString& file : fonts.entryList({QStringLiteral("*.ttf")}, QDir::Files))
            QFontDatabase::addApplicationFont(fonts.filePath(file));
    }
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Times New Roman"),
                              QStringLiteral("Liberation Serif"));
    QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));
#endif
}
Q_COREAPP_STARTUP_FUNCTION(registerTestFonts)

template <typename T>
std::optional<T> takeFront(std::deque<std::optional<T>>& queue) {
    if (queue.empty())
        return std::nullopt;
    const bool answered = queue.front().has_value();
    T value = answered ? *queue.front() : T();
    queue.pop_front();
    if (!answered)
        return std::nullopt;
    return value;
}

}  // namespace

bool RecordingMessages::confirm(const QString& text, const QString& goAhead, const QString& title) {
    messages.push_back({text, MsgOkCancel | MsgQuestion, title});
    goAheadCaptions << goAhead;
    if (answers.empty())
        return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

QStringList RecordingMessages::texts() const {
    QStringList result;
    for (const Message& m : messages)
        result << m.text;
    return result;
}

QString RecordingMessages::lineOf(const Message& report) {
    const int at = report.text.indexOf(QLatin1String(" at line "));
    return at < 0 ? QString() : report.text.mid(at + 9).section(QLatin1Char('\r'), 0, 0);
}

std::vector<RecordingMessages::Message> RecordingMessages::reports() const {
    std::vector<Message> result;
    for (const Message& m : messages) {
        if (m.title == QLatin1String("Application Error"))
            result.push_back(m);
    }
    return result;
}

std::optional<QString> ScriptedDialogs::openFile(const QString& folder, const QString& title,
                                                 const QStringList& nameFilters) {
    calls.push_back({QStringLiteral("open"), folder, title, nameFilters});
    return takeFront(files);
}

std::optional<QString> ScriptedDialogs::saveFile(const QString& folder, const QString& title,
                                                 const QStringList& nameFilters,
                                                 const SaveNameCheck&) {
    calls.push_back({QStringLiteral("save"), folder, title, nameFilters});
    return takeFront(files);
}

std::optional<QString> ScriptedDialogs::chooseFolder(const QString& folder, const QString& proposed,
                                                     const QString& title) {
    calls.push_back({QStringLiteral("folder"), folder, title + QLatin1Char('|') + proposed, {}});
    return takeFront(files);
}

std::optional<QFont> ScriptedDialogs::chooseFont(const QFont& initial) {
    calls.push_back({QStringLiteral("font"), {}, {}, {}});
    lastInitialFont = initial;
    return takeFront(fonts);
}

std::optional<QColor> ScriptedDialogs::chooseColor(const QColor& initial) {
    calls.push_back({QStringLiteral("color"), {}, {}, {}});
    lastInitialColor = initial;
    return takeFront(colors);
}

Sandbox::Sandbox() = default;

QString Sandbox::writeFile(const QString& relativePath, const QByteArray& data) {
    const QString path = appFolder() + QLatin1Char('/') + relativePath;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(data);
    return path;
}

QString Sandbox::writeImage(const QString& relativePath, const QImage& image, const char* format) {
    const QString path = appFolder() + QLatin1Char('/') + relativePath;
    QDir().mkpath(QFileInfo(path).absolutePath());
    image.save(path, format);
    return path;
}

void Sandbox::setSetting(const QString& key, const QString& value) {
    QSettings settings(settingsPath(), QSettings::IniFormat);
    settings.setValue(key, value);
}

QString Sandbox::setting(const QString& key) const {
    QSettings settings(settingsPath(), QSettings::IniFormat);
    return settings.value(key).toString();
}

QStringList Sandbox::settingKeys() const {
    QSettings settings(settingsPath(), QSettings::IniFormat);
    return settings.allKeys();
}

FormFixture::FormFixture(Sandbox& sandbox, bool load) : settings(sandbox.settingsPath()) {
    AppServices services{
        settings,
        messages,
        dialogs,
        sandbox.appFolder(),
        [this] { return randomValue; },
        [this](const QString& url) { openedUrls << url; },
        homePage,
    };
    form = std::make_unique<Form1>(services);
    if (load)
        form->Form_Load();
}

FormFixture::~FormFixture() = default;

QImage solidImage(int width, int height, const QColor& color) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

}  // namespace vantelo::test

#include "app/commandexport.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QRegularExpression>
#include <cstdio>

#include "app/form1.h"
#include "export/logoexport.h"
#include "platform/commondialog.h"
#include "platform/messages.h"
#include "platform/runtimeerror.h"
#include "platform/settingsstore.h"

namespace vantelo {
namespace {

void fail(const QString& why) {
    std::fputs((QStringLiteral("vantelo: ") + why + QLatin1Char('\n')).toLocal8Bit().constData(),
               stderr);
}

// Keeps the first message the design's restore would have shown; nothing
// waits for an answer.
class FirstMessage final : public MessageBoxes {
public:
    void show(const QString& text, int, const QString&) override {
        if (first.isEmpty()) {
            first = text.section(QRegularExpression(QStringLiteral("[\\r\\n]")), 0, 0);
            whole = text;
        }
    }
    QString first;
    QString whole;
};

// Why the picture the design names cannot be drawn, or empty when it can.
// The window shows its built-in picture then; a script gets no such logo.
QString pictureProblem(const QString& picture, const FirstMessage& restore) {
    if (picture.isEmpty())
        return QCoreApplication::translate("main", "the design names no picture.");
    const QString shown = QDir::toNativeSeparators(picture);
    // The report of the step that loads the picture at start-up.
    if (restore.whole.contains(QLatin1String(".Form1.Form_Load at line 132")))
        return QCoreApplication::translate("main", "cannot use the picture %1: %2.")
            .arg(shown, restore.first);
    const QFileInfo info(picture);
    if (!info.exists())
        return QCoreApplication::translate("main",
                                           "cannot use the picture %1: there is no such file.")
            .arg(shown);
    if (!info.isFile())
        return QCoreApplication::translate("main", "cannot use the picture %1: it is not a file.")
            .arg(shown);
    return QString();
}

// No dialog is shown: each is cancelled.
class NoDialogs final : public DialogPresenter {
public:
    std::optional<QString> openFile(const QString&, const QString&, const QStringList&) override {
        return std::nullopt;
    }
    std::optional<QString> saveFile(const QString&, const QString&, const QStringList&,
                                    const SaveNameCheck&) override {
        return std::nullopt;
    }
    std::optional<QFont> chooseFont(const QFont&) override { return std::nullopt; }
    std::optional<QColor> chooseColor(const QColor&) override { return std::nullopt; }
};

// Standard error carries one line, and only on failure: Qt's own notes (a
// missing runtime folder, fonts) are not for the caller of a script.
void quietQtNotes(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg || type == QtCriticalMsg)
        std::fputs((message + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
}

}  // namespace

int runExportCommand(const ExportCommand& command, int argc, char* argv[]) {
    const LogoFormat format = formatOfName(command.file);
    if (!command.file.isEmpty() && format == LogoFormat::Unsupported) {
        fail(QCoreApplication::translate(
                 "main", "%1: end the name with .png, .jpg, .jpeg, .bmp, .svg or .pdf.")
                 .arg(command.file));
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietQtNotes);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tarnwick"));
    QApplication::setApplicationName(QStringLiteral("Vantelo"));

    std::unique_ptr<SettingsStore> store;
    if (command.design.isEmpty()) {
        auto file = makeSystemSettingsStore();
        if (!file->unreadableNotice().isEmpty()) {
            fail(file->unreadableNotice().section(QLatin1Char('\n'), 0, 0));
            return 1;
        }
        store = std::move(file);
    } else {
        store = makeMemorySettingsStore();
    }
    SettingsStore& settings = *store;
    FirstMessage messages;
    NoDialogs dialogs;
    AppServices services{settings,
                         messages,
                         dialogs,
                         QCoreApplication::applicationDirPath(),
                         [] { return 0.5; },
                         [](const QString&) {},
                         QString()};
    Form1 form(services);
    form.Form_Load();
    if (const QString problem = pictureProblem(form.Text1->text(), messages); !problem.isEmpty()) {
        fail(problem);
        return 1;
    }
    if (!messages.first.isEmpty()) {
        fail(messages.first);
        return 1;
    }

    RenderOptions options;
    options.scale = command.scale;
    options.width = command.width;
    options.transparent = command.transparent;
    options.trim = command.trim;
    options.background = form.exportOptions().background;
    if (!command.design.isEmpty()) {
        if (const QString why = showDesignForExport(form, command, options); !why.isEmpty()) {
            fail(why);
            return 1;
        }
    }
    if (!command.kitFolder.isEmpty()) {
        const KitResult kit =
            writeLogoKit(command.kitFolder, kitRendererFor(form.exportSource(), options));
        if (kit.failure == SaveFailure::None)
            return 0;
        fail(QCoreApplication::translate("main", "cannot write %1: %2.")
                 .arg(QDir::toNativeSeparators(kit.failedFile), describeSaveFailure(kit.failure)));
        return 1;
    }
    try {
        exportLogo(form.exportSource(), options, format, command.file);
    } catch (const RuntimeError& error) {
        const QString why = error.number() == ErrOverflow
                                ? QCoreApplication::translate(
                                      "main", "the logo would be larger than %1 pixels a side")
                                      .arg(kMaximumRenderSide)
                                : displayedDescription(error.description());
        fail(QCoreApplication::translate("main", "cannot write %1: %2.")
                 .arg(QDir::toNativeSeparators(command.file), why));
        return 1;
    }
    return 0;
}

}  // namespace vantelo

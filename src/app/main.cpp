#include <QApplication>
#include <QCommandLineParser>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QTranslator>
#include <QUrl>
#include <cstdio>

#include "app/commandexport.h"
#include "app/form1.h"
#include "editing/imagesource.h"
#include "export/designfile.h"
#include "export/designrenderer.h"
#include "gallery/galleryview.h"
#include "platform/commondialog.h"
#include "platform/messages.h"
#include "platform/process.h"
#include "platform/settingsstore.h"

// Off unless asked for (QT_LOGGING_RULES="vantelo.startup.info=true"): says
// which folders the program found, so an installed copy can be checked.
Q_LOGGING_CATEGORY(lcStartup, "vantelo.startup", QtWarningMsg)

namespace {

const char* const kUsage =
    QT_TRANSLATE_NOOP("main",
                      "Usage: vantelo [--help] [--version] [PICTURE]\n"
                      "       vantelo --export FILE [--scale N] [--width PX] [--transparent] "
                      "[--trim]\n"
                      "       vantelo --export-kit FOLDER\n"
                      "       vantelo --export FILE|--export-kit FOLDER --design DESIGN.vantelo\n");

QString translated(const char* text) {
    return QCoreApplication::translate("main", text);
}

void print(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
}

// The translation for the user's language, vantelo_<locale>.qm in the
// application folder's translations folder, when there is one.
void installTranslation(QTranslator& translator) {
    if (translator.load(QLocale::system(), QStringLiteral("vantelo"), QStringLiteral("_"),
                        QCoreApplication::applicationDirPath() + QStringLiteral("/translations")))
        QCoreApplication::installTranslator(&translator);
}

// Options that QApplication takes for itself; each with a value takes the next
// argument. They pass through to Qt untouched.
const char* const kQtOptionsWithValue[] = {
    "platform",        "platformpluginpath", "platformtheme", "plugin",  "qmljsdebugger",
    "style",           "stylesheet",         "session",       "display", "geometry",
    "qwindowgeometry", "qwindowicon",        "qwindowtitle",
};
const char* const kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

bool isQtOption(const QString& argument, bool* takesValue) {
    QString name = argument;
    while (name.startsWith(QLatin1Char('-')))
        name.remove(0, 1);
    if (argument.size() - name.size() > 2 || name.isEmpty() || name.contains(QLatin1Char('=')))
        return false;
    for (const char* option : kQtOptionsWithValue)
        if (name == QLatin1String(option))
            return *takesValue = true;
    for (const char* option : kQtFlags)
        if (name == QLatin1String(option)) {
            *takesValue = false;
            return true;
        }
    return false;
}

// The export options; an empty answer when they make sense, else why not.
QString readExportCommand(const QCommandLineParser& parser, const QCommandLineOption& exportFile,
                          const QCommandLineOption& exportKit, const QCommandLineOption& scale,
                          const QCommandLineOption& width, const QCommandLineOption& transparent,
                          const QCommandLineOption& trim, vantelo::ExportCommand& command) {
    command.file = parser.value(exportFile);
    command.kitFolder = parser.value(exportKit);
    if (parser.isSet(exportFile) && command.file.isEmpty())
        return QCoreApplication::translate("main", "--export needs a file name.");
    if (parser.isSet(exportKit) && command.kitFolder.isEmpty())
        return QCoreApplication::translate("main", "--export-kit needs a folder name.");
    if (!command.file.isEmpty() && !command.kitFolder.isEmpty())
        return QCoreApplication::translate("main", "give --export or --export-kit, not both.");
    const bool choices = parser.isSet(scale) || parser.isSet(width) || parser.isSet(transparent) ||
                         parser.isSet(trim);
    if (choices && command.file.isEmpty())
        return QCoreApplication::translate("main",
                                           "--scale, --width, --transparent and --trim "
                                           "go with --export FILE.");
    bool ok = true;
    if (parser.isSet(scale)) {
        command.scale = parser.value(scale).toDouble(&ok);
        if (!ok || !(command.scale > 0 && command.scale <= 16))
            return QCoreApplication::translate("main",
                                               "--scale takes a number above 0, at most 16.");
    }
    if (parser.isSet(width)) {
        command.width = parser.value(width).toInt(&ok);
        if (!ok || command.width < vantelo::kMinimumExportWidth ||
            command.width > vantelo::kMaximumRenderSide)
            return QCoreApplication::translate("main", "--width takes whole pixels, %1 to %2.")
                .arg(vantelo::kMinimumExportWidth)
                .arg(vantelo::kMaximumRenderSide);
    }
    command.transparent = parser.isSet(transparent);
    command.trim = parser.isSet(trim);
    if (command.wanted() && !parser.positionalArguments().isEmpty())
        return QCoreApplication::translate("main", "an export takes no picture.");
    return QString();
}

// "--design DESIGN.vantelo" goes with an export; an empty answer when it is
// used well, else why not.
QString readDesignOption(const QCommandLineParser& parser, const QCommandLineOption& design,
                         vantelo::ExportCommand& command) {
    if (!parser.isSet(design))
        return QString();
    if (!command.wanted())
        return QCoreApplication::translate(
            "main",
            "--design goes with --export FILE or --export-kit FOLDER; open a design "
            "in the window with: vantelo DESIGN.vantelo");
    command.design = QFileInfo(parser.value(design)).absoluteFilePath();
    return QString();
}

struct CommandLine {
    int exitCode = -1;  // -1: go on and start the window
    QString picture;
    vantelo::ExportCommand exportCommand;
};

// Read before the window's application object exists, so that --help and
// --version work without a display.
CommandLine readCommandLine(const QStringList& commandLine) {
    QStringList arguments{QStringLiteral("vantelo")};
    for (qsizetype i = 0; i < commandLine.size(); ++i) {
        const QString& argument = commandLine[i];
        bool takesValue = false;
        if (isQtOption(argument, &takesValue)) {
            i += takesValue ? 1 : 0;
            continue;
        }
        arguments << argument;
    }

    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QCoreApplication::translate("main", "Show this help and exit."));
    const QCommandLineOption version(
        {QStringLiteral("v"), QStringLiteral("version")},
        QCoreApplication::translate("main", "Show the version and exit."));
    const QCommandLineOption exportFile(QStringLiteral("export"), QString(),
                                        QStringLiteral("FILE"));
    const QCommandLineOption exportKit(QStringLiteral("export-kit"), QString(),
                                       QStringLiteral("FOLDER"));
    const QCommandLineOption scale(QStringLiteral("scale"), QString(), QStringLiteral("N"));
    const QCommandLineOption width(QStringLiteral("width"), QString(), QStringLiteral("PX"));
    const QCommandLineOption transparent(QStringLiteral("transparent"));
    const QCommandLineOption trim(QStringLiteral("trim"));
    const QCommandLineOption design(QStringLiteral("design"), QString(), QStringLiteral("DESIGN"));
    parser.addOptions(
        {help, version, exportFile, exportKit, scale, width, transparent, trim, design});
    CommandLine result;
    QString why;
    if (!parser.parse(arguments))
        why = parser.errorText();
    else if (parser.positionalArguments().size() > 1)
        why = QCoreApplication::translate("main", "give at most one picture.");
    else
        why = readExportCommand(parser, exportFile, exportKit, scale, width, transparent, trim,
                                result.exportCommand);
    if (why.isEmpty())
        why = readDesignOption(parser, design, result.exportCommand);
    if (!why.isEmpty()) {
        print(stderr, QStringLiteral("vantelo: ") + why + QLatin1Char('\n') + translated(kUsage));
        result.exitCode = 2;
        return result;
    }
    if (parser.isSet(help)) {
        print(stdout,
              translated(kUsage) +
                  QCoreApplication::translate(
                      "main",
                      "Compose a logo from a picture and two lines of text, and save it as a JPEG, "
                      "PNG or BMP image.\n\n"
                      "  -h, --help     show this help and exit\n"
                      "  -v, --version  show the version and exit\n"
                      "  PICTURE        a JPEG, BMP or GIF file to start with, as if chosen with "
                      "Browse\n"
                      "  --export FILE  draw the stored design into FILE (.png, .jpg, .jpeg, .bmp, "
                      ".svg or .pdf)\n"
                      "                 without a window, and exit\n"
                      "  --scale N      that many output pixels a canvas pixel (default 1)\n"
                      "  --width PX     the logo's width in pixels instead\n"
                      "  --transparent  leave the canvas transparent (PNG)\n"
                      "  --trim         only the picture and text, with a small margin\n"
                      "  --export-kit FOLDER\n"
                      "                 write favicon.ico, square PNGs, wide, dark, JPEG, SVG and "
                      "PDF logos\n"
                      "  --design DESIGN.vantelo\n"
                      "                 export that design file instead of the stored design;\n"
                      "                 the stored settings are neither read nor changed\n"
                      "  DESIGN.vantelo a design file to open at start, as File > Open Design "
                      "does\n\n"
                      "%1\nWhere the program's own logos folder cannot be written, saved logos go\n"
                      "to the Vantelo folder in your pictures folder.\n")
                      .arg(vantelo::settingsLocationText()));
        result.exitCode = 0;
        return result;
    }
    if (parser.isSet(version)) {
        std::printf("vantelo %s\n", VANTELO_VERSION);
        result.exitCode = 0;
        return result;
    }
    if (!parser.positionalArguments().isEmpty())
        result.picture = QFileInfo(parser.positionalArguments().constFirst()).absoluteFilePath();
    return result;
}

}  // namespace

int main(int argc, char* argv[]) {
    CommandLine commandLine;
    {
        // What is printed before the window's application object exists is
        // translated too; a bare core application needs no display.
        int probeArgc = 1;
        char programName[] = "vantelo";
        char* probeArgv[] = {argc > 0 ? argv[0] : programName, nullptr};
        QCoreApplication probe(probeArgc, probeArgv);
        QTranslator translator;
        installTranslation(translator);
        const QStringList arguments = vantelo::commandLineArguments(argc, argv);
        // Only a start that prints (or may print) needs the console; the
        // window's own start stays free of it.
        if (!arguments.isEmpty())
            vantelo::useParentConsole();
        commandLine = readCommandLine(arguments);
        if (commandLine.exitCode >= 0)
            return commandLine.exitCode;
        // Without a display Qt aborts with a toolkit message; say what to do
        // instead.
        if (!commandLine.exportCommand.wanted() && !vantelo::displayAvailable()) {
            print(stderr, vantelo::displayHint(QString::fromLocal8Bit(probeArgv[0])));
            return 2;
        }
    }
    if (commandLine.exportCommand.wanted())
        return vantelo::runExportCommand(commandLine.exportCommand, argc, argv);
    QApplication app(argc, argv);
    QTranslator translator;
    installTranslation(translator);
    QApplication::setOrganizationName(QStringLiteral("Tarnwick"));
    QApplication::setApplicationName(QStringLiteral("Vantelo"));
    QApplication::setApplicationVersion(QStringLiteral(VANTELO_VERSION));
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.tarnwick.Vantelo"));

    const auto store = vantelo::makeSystemSettingsStore();
    vantelo::SettingsStore& settings = *store;
    vantelo::QtMessageBoxes messages;
    vantelo::QtDialogPresenter dialogs;
    // applicationDirPath() resolves /proc/self/exe, so a symbolic link to the
    // program (bin/vantelo of an installed copy) still finds its real folder.
    vantelo::AppServices services{
        settings,
        messages,
        dialogs,
        QCoreApplication::applicationDirPath(),
        [] { return QRandomGenerator::global()->generateDouble(); },
        [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); },
    };
    vantelo::Form1 form(services);
    messages.setParent(&form);
    dialogs.setParent(&form);
    // Said once, before the design is restored from the (now empty) store.
    if (const QString notice = settings.unreadableNotice(); !notice.isEmpty())
        messages.show(notice, vantelo::MsgExclamation, QStringLiteral("Vantelo"));
    form.Form_Load();
    form.show();
    qCInfo(lcStartup).noquote() << "application folder:" << form.applicationFolder();
    qCInfo(lcStartup).noquote() << "logo library:" << form.logoFolders().library;
    qCInfo(lcStartup).noquote() << "default picture:" << form.Text1->text();
    qCInfo(lcStartup) << "gallery entries:" << form.ListView1->model()->rowCount();
    if (vantelo::isDesignFileName(commandLine.picture))
        form.openDesignFile(commandLine.picture);
    else if (!commandLine.picture.isEmpty())
        form.imageSource().chooseFile(commandLine.picture);
    return QApplication::exec();
}

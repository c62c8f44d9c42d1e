#include <QApplication>
#include <QDesktopServices>
#include <QRandomGenerator>
#include <QUrl>
#include <cstdio>

#include "app/form1.h"
#include "platform/commondialog.h"
#include "platform/messages.h"
#include "platform/settingsstore.h"

namespace {

// Without a display Qt aborts with a toolkit message; say what to do instead.
bool displayAvailable() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char* argv[]) {
    if (!displayAvailable()) {
        std::fprintf(stderr,
                     "vantelo: no display found (DISPLAY is not set).\n"
                     "Start it from a desktop session, or without one under a virtual display:\n"
                     "  xvfb-run -a %s\n",
                     argc > 0 ? argv[0] : "vantelo");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tarnwick"));
    QApplication::setApplicationName(QStringLiteral("Vantelo"));

    vantelo::FileSettingsStore settings(vantelo::FileSettingsStore::defaultFilePath());
    vantelo::QtMessageBoxes messages;
    vantelo::QtDialogPresenter dialogs;
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
    return QApplication::exec();
}

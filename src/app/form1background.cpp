#include <QAction>
#include <QMenu>

#include "app/backgrounddialog.h"
#include "app/form1.h"
#include "canvas/canvas.h"
#include "design/designkeys.h"
#include "editing/designdocument.h"
#include "platform/errortrap.h"
#include "platform/settingsstore.h"

namespace vantelo {

void Form1::removePictureBackground() {
    ImageControl& picture = *canvas->imgLogo;
    const int before = picture.backgroundTolerance();
    BackgroundDialog dialog(before, this);
    connect(&dialog, &BackgroundDialog::preview, this,
            [&picture](int tolerance) { picture.setBackgroundTolerance(tolerance); });
    const bool kept = dialog.exec() == QDialog::Accepted;
    setPictureBackground(kept ? dialog.tolerance() : before);
}

void Form1::addPictureChoices(QMenu& menu) {
    QAction* remove =
        menu.addAction(tr("Re&move Background…"), this, [this] { removePictureBackground(); });
    remove->setObjectName(QStringLiteral("mnuRemoveBackground"));
    QAction* restore =
        menu.addAction(tr("Restore Back&ground"), this, [this] { setPictureBackground(0); });
    restore->setObjectName(QStringLiteral("mnuRestoreBackground"));
    restore->setEnabled(canvas->imgLogo->backgroundTolerance() > 0);
}

void Form1::setPictureBackground(int tolerance) {
    canvas->imgLogo->setBackgroundTolerance(tolerance);
    ErrorTrap trap(services_.messages, errorLocation(QStringLiteral("Form1"),
                                                     QStringLiteral("mnuRemoveBackground_Click")));
    const LogoDesign& recorded = document_->design();
    trap.run(100, [&] {
        const int now = canvas->imgLogo->backgroundTolerance();
        if (now != recorded.picture.backgroundTolerance)
            services_.settings.SaveSetting(keys::kImageBackgroundTolerance, QString::number(now));
    });
    document_->record(DesignChange::Background);
}

}  // namespace vantelo

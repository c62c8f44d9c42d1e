#include "editing/imagesource.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <algorithm>

#include "canvas/canvas.h"
#include "design/designkeys.h"
#include "gallery/galleryview.h"
#include "platform/commondialog.h"
#include "platform/errortrap.h"
#include "platform/numeric.h"
#include "platform/picture.h"
#include "platform/savefile.h"
#include "platform/scaleddecode.h"
#include "platform/settingsstore.h"

namespace vantelo {

ImageSource::ImageSource(QLineEdit& pathBox, GalleryView& gallery, Canvas& canvas,
                         CommonDialog& dialog, SettingsStore& settings, MessageBoxes& messages,
                         LogoFolders folders)
    : pathBox_(pathBox),
      gallery_(gallery),
      canvas_(canvas),
      dialog_(dialog),
      settings_(settings),
      messages_(messages),
      folders_(std::move(folders)) {}

void ImageSource::Text1_Change() {
    settings_.SaveSetting(keys::kImage, pathBox_.text());
}

// Loads the picture named by the path box, grows the canvas when the picture
// reaches below it, then refits the scroll bars. The growth comes before the
// refit so that the scroll range covers a tall picture at once.
void ImageSource::placePicture(ErrorTrap& trap, int loadLine) {
    typed_ = false;
    trap.run(loadLine, [this] {
        // The rows the viewport shows below the picture's top are decoded
        // first; a reduced picture's other rows follow on the worker thread.
        const int top = canvas_.imgLogo->mapTo(canvas_.Picture2, QPoint(0, 0)).y();
        canvas_.imgLogo->setPicture(
            LoadPictureToShow(pathBox_.text(), canvas_.imgLogo->scale(), PictureLimits(),
                              std::max(0, canvas_.Picture2->height() - top)));
    });
    if (trap.test(loadLine + 4, [this] { return canvas_.pictureBelowCanvas(); }))
        trap.run(loadLine + 6, [this] { canvas_.growToPicture(); });
    trap.run(loadLine + 2, [this] { canvas_.SetScrollBars(); });
    // A smaller picture at the place of a wider one may lie wholly off the
    // canvas: it comes back inside, and its stored place follows.
    if (trap.test(loadLine + 8, [this] { return canvas_.bringInside(*canvas_.imgLogo); })) {
        trap.run(loadLine + 10, [this] {
            settings_.SaveSetting(keys::kImageLeft, singleToText(canvas_.imgLogo->place().Left()));
        });
        trap.run(loadLine + 12, [this] {
            settings_.SaveSetting(keys::kImageTop, singleToText(canvas_.imgLogo->place().Top()));
        });
    }
}

void ImageSource::PushButton6_Click() {
    ErrorTrap trap(messages_,
                   errorLocation(QStringLiteral("Form1"), QStringLiteral("PushButton6_Click")));
    trap.run(100, [this] { dialog_.InitDir = browseFolder(folders_); });
    trap.run(102, [this] { dialog_.FileName.clear(); });
    trap.run(104, [this] { dialog_.DialogTitle = tr("Select Image"); });
    trap.run(106, [this] {
        dialog_.Filter =
            tr("Image Files (*.jpg;*.jpeg;*.bmp;*.dib;*.gif;*.png;)|"
               "*.jpg;*.jpeg;*.bmp;*.dib;*.gif;*.png;|");
    });
    trap.run(108, [this] { dialog_.ShowOpen(); });
    if (trap.test(110, [this] { return dialog_.FileName.isEmpty(); }))
        return;
    trap.run(112, [this] { pathBox_.setText(dialog_.FileName); });
    placePicture(trap, 114);
}

void ImageSource::chooseFile(const QString& fileName) {
    ErrorTrap trap(messages_,
                   errorLocation(QStringLiteral("Form1"), QStringLiteral("PushButton6_Click")));
    trap.run(112, [&] { pathBox_.setText(QDir::toNativeSeparators(fileName)); });
    placePicture(trap, 114);
}

bool ImageSource::Text1_Finished(bool always) {
    if (!typed_ && !always)
        return false;
    const QString typed = pathBox_.text();
    if (typed.isEmpty()) {
        typed_ = false;
        return false;
    }
    chooseFile(typed);
    return true;
}

void ImageSource::Size_Change(int percent) {
    ErrorTrap trap(messages_,
                   errorLocation(QStringLiteral("Form1"), QStringLiteral("spnSize_Change")));
    trap.run(100, [&] { canvas_.imgLogo->setScale(percent); });
    if (trap.test(102, [this] { return canvas_.pictureBelowCanvas(); })) {
        trap.run(104, [this] { canvas_.growToPicture(); });
        trap.run(106, [this] { canvas_.SetScrollBars(); });
    }
    trap.run(108, [&] { settings_.SaveSetting(keys::kImageScale, QString::number(percent)); });
}

void ImageSource::pastePicture(const QImage& image) {
    if (image.isNull())
        return;
    ErrorTrap trap(messages_, errorLocation(QStringLiteral("Form1"), QStringLiteral("mnuPaste")));
    QString fileName;
    trap.run(100, [&] {
        if (!makeFolder(folders_.library))
            throw RuntimeError(ErrPathNotFound);
        const QString stamp =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH.mm.ss"));
        QString candidate = folders_.library + QStringLiteral("/Pasted %1.png").arg(stamp);
        for (int n = 2; QFileInfo::exists(candidate); ++n)
            candidate = folders_.library + QStringLiteral("/Pasted %1 (%2).png").arg(stamp).arg(n);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        const FileEncoder encode = [&]() -> const QByteArray* {
            return image.save(&buffer, "PNG") ? &bytes : nullptr;
        };
        raiseSaveFailure(writeFileAtomically(candidate, encode));
        fileName = candidate;
    });
    if (fileName.isEmpty())
        return;
    chooseFile(fileName);
}

void ImageSource::ListView1_Click() {
    ErrorTrap trap(messages_,
                   errorLocation(QStringLiteral("Form1"), QStringLiteral("ListView1_Click")));
    if (!trap.test(100, [this] { return gallery_.entryCount() > 0; }))
        return;
    trap.run(102, [this] { pathBox_.setText(gallery_.currentEntry()); });
    placePicture(trap, 104);
}

}  // namespace vantelo

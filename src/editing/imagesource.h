#pragma once

#include <QCoreApplication>
#include <QString>

#include "platform/userfolders.h"

class QImage;
class QLineEdit;

namespace vantelo {

class Canvas;
class GalleryView;
class CommonDialog;
class MessageBoxes;
class SettingsStore;

// The picture of the logo: the typed path, the Browse dialog and the gallery.
class ImageSource {
    Q_DECLARE_TR_FUNCTIONS(ImageSource)

public:
    ImageSource(QLineEdit& pathBox, GalleryView& gallery, Canvas& canvas, CommonDialog& dialog,
                SettingsStore& settings, MessageBoxes& messages, LogoFolders folders);

    // Stores every edit of the path; loads nothing.
    void Text1_Change();
    // "Browse": the Open dialog, then the chosen picture on the canvas.
    void PushButton6_Click();
    // The picture named on the command line, placed as if Browse had chosen it,
    // with the same checks and reports.
    void chooseFile(const QString& fileName);
    // The user typed in the path box.
    void Text1_Edited() { typed_ = true; }
    // Enter in the path box (`always`), or the focus leaving it after typing:
    // the typed path is chosen as Browse would choose it. True when it was.
    bool Text1_Finished(bool always);
    // A click in the gallery, or a key that chooses its current entry,
    // places the selected entry's picture.
    void ListView1_Click();
    // The picture's size in per cent: scaled from its own pixels, the canvas
    // grown when it now reaches below it, and the size stored.
    void Size_Change(int percent);
    // A picture pasted from the clipboard: kept as a PNG file in the folder of
    // the user's logos and chosen from there as Browse would. Nothing happens
    // without one.
    void pastePicture(const QImage& image);

private:
    void placePicture(class ErrorTrap& trap, int loadLine);

    QLineEdit& pathBox_;
    GalleryView& gallery_;
    Canvas& canvas_;
    CommonDialog& dialog_;
    SettingsStore& settings_;
    MessageBoxes& messages_;
    // The Open dialog starts in the folder of the user's own logos.
    LogoFolders folders_;
    // The path box holds typing that was not chosen yet.
    bool typed_ = false;
};

}  // namespace vantelo

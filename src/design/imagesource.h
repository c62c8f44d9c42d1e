#pragma once

#include <QString>

class QLineEdit;

namespace vantelo {

class Canvas;
class GalleryView;
class CommonDialog;
class MessageBoxes;
class SettingsStore;

// The picture of the logo: the typed path, the Browse dialog and the gallery.
class ImageSource {
public:
    ImageSource(QLineEdit& pathBox, GalleryView& gallery, Canvas& canvas, CommonDialog& dialog,
                SettingsStore& settings, MessageBoxes& messages, QString applicationFolder);

    // Stores every edit of the path; loads nothing.
    void Text1_Change();
    // "Browse": the Open dialog, then the chosen picture on the canvas.
    void PushButton6_Click();
    // A click in the gallery, or a key that chooses its current entry,
    // places the selected entry's picture.
    void ListView1_Click();

private:
    void placePicture(class ErrorTrap& trap, int loadLine);

    QLineEdit& pathBox_;
    GalleryView& gallery_;
    Canvas& canvas_;
    CommonDialog& dialog_;
    SettingsStore& settings_;
    MessageBoxes& messages_;
    QString applicationFolder_;
};

}  // namespace vantelo

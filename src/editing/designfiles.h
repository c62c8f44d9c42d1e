#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

#include "export/designfile.h"
#include "platform/userfolders.h"

namespace vantelo {

class Canvas;
class CommonDialog;
class DesignDocument;
class MessageBoxes;
class SettingsStore;

// What the design-file commands need from the window.
struct DesignFilesContext {
    DesignDocument& document;
    Canvas& canvas;
    SettingsStore& settings;
    MessageBoxes& messages;
    CommonDialog& dialog;
    // Where Browse and Save start; an opened design's picture is kept there.
    LogoFolders folders;
    QString applicationFolder;
    // The export choices as the window uses them.
    std::function<RenderOptions()> exportOptions;
    // Called after the stored export choices changed, so the canvas shows
    // the chosen background.
    std::function<void()> exportOptionsChanged;
};

// How many design files Open Recent lists.
inline constexpr int kRecentDesigns = 10;

// The design as it is at the first start, with no settings stored.
LogoDesign firstStartDesign(const QString& applicationFolder);

// The file name a picture travels under: its own name with anything a
// file name may not hold replaced; "picture" when nothing is left.
QString travellingPictureName(const QString& path);

// Where a design's picture is kept: `name` in `folder`, or, when a different
// file already has that name, "stem (2).ext" and so on. A file with the same
// bytes is used as it is. Raises the run-time error of a failed write.
QString keepDesignPicture(const QString& folder, const QString& name, const QByteArray& bytes);

// New, Open, Save and Save As of design files, and the list of recent ones.
// Opening or starting a new design is one step of the undo history, which
// also brings back the export choices that were stored before it.
class DesignFiles final : public QObject {
    Q_OBJECT
public:
    DesignFiles(DesignFilesContext context, QObject* parent);

    void newDesign();
    // The Open dialog, then the chosen file.
    void openDesign();
    // Opens a design file; a file that cannot be opened gets one message
    // and changes nothing. True when it was opened.
    bool openDesignFile(const QString& path);
    // Writes back to the file the design came from; Save As when there is none.
    void saveDesign();
    void saveDesignAs();
    bool saveDesignTo(const QString& path);

    // The design file the design came from or was last saved to; empty for none.
    const QString& currentFile() const { return currentFile_; }
    // The stored list, newest first.
    QStringList recentFiles() const;
    // Drops a file from the list, as when it was found missing.
    void forgetRecent(const QString& path);

    // The whole design file of what the window shows now.
    DesignFile currentDesignFile() const;

signals:
    void recentFilesChanged();

private:
    void rememberRecent(const QString& path);
    void storeRecent(const QStringList& files);
    void replaceDesign(const LogoDesign& design, const QImage& picture,
                       const RenderOptions& options, const QString& stepName, const char* handler);

    DesignFilesContext c_;
    QString currentFile_;
};

}  // namespace vantelo

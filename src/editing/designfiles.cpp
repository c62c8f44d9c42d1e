#include "editing/designfiles.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUndoCommand>

#include "canvas/canvas.h"
#include "design/designkeys.h"
#include "editing/designdocument.h"
#include "export/exportoptions.h"
#include "export/logoexport.h"
#include "platform/commondialog.h"
#include "platform/errortrap.h"
#include "platform/messages.h"
#include "platform/numeric.h"
#include "platform/picture.h"
#include "platform/savefile.h"
#include "platform/settingsstore.h"
#include "platform/wholefile.h"

namespace vantelo {
namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("DesignFiles", text);
}

// Pictures up to this size stay with the step, as an edit's do; a larger one
// is read again from its file.
constexpr qsizetype kKeptPictureBytes = 32 * 1024 * 1024;

QImage keepable(const QImage& picture) {
    return picture.sizeInBytes() <= kKeptPictureBytes ? picture : QImage();
}

// Replacing the whole design: the design and the export choices before and
// after. The first redo is the change itself.
class ReplaceDesignStep final : public QUndoCommand {
public:
    struct State {
        LogoDesign design;
        QImage picture;
        RenderOptions options;
    };
    ReplaceDesignStep(const QString& name, DesignFilesContext& context, State before, State after,
                      const char* handler)
        : QUndoCommand(name),
          c_(context),
          before_(std::move(before)),
          after_(std::move(after)),
          handler_(handler) {}

    void undo() override { apply(before_, "Undo_Click"); }
    void redo() override {
        apply(after_, handler_);
        handler_ = "Redo_Click";
        after_.picture = keepable(after_.picture);
    }

private:
    void apply(const State& state, const char* handler) {
        c_.document.restore(state.design, true, state.picture, handler);
        ErrorTrap trap(c_.messages, errorLocation(QStringLiteral("Form1"), QLatin1String(handler)));
        trap.run(126, [&] { storeExportOptions(c_.settings, state.options); });
        if (c_.exportOptionsChanged)
            c_.exportOptionsChanged();
    }

    DesignFilesContext& c_;
    State before_;
    State after_;
    const char* handler_;
};

QString designFilter() {
    return tr("Vantelo Designs|*.vantelo|");
}

bool sameBytes(const QString& path, const QByteArray& bytes) {
    if (regularFileSize(path) != bytes.size())
        return false;
    try {
        return readWholeFile(path, bytes.size()) == bytes;
    } catch (const RuntimeError&) {
        return false;
    }
}

}  // namespace

LogoDesign firstStartDesign(const QString& applicationFolder) {
    LogoDesign design;
    design.picture.path = QDir::toNativeSeparators(applicationFolder + keys::kDefaultImageSuffix);
    design.picture.left = textToSingle(keys::kDefaultImageLeft);
    design.picture.top = textToSingle(keys::kDefaultImageTop);
    design.picture.scale = scaleFromText(keys::kDefaultImageScale);
    for (int i = 0; i < 2; ++i) {
        TextLineDesign& line = design.lines[std::size_t(i)];
        line.text = keys::defaultText(i);
        line.shown = static_cast<int>(numberPrefix(keys::kDefaultShow));
        line.fontName = keys::kDefaultName;
        line.fontSize = static_cast<float>(numberPrefix(keys::kDefaultSize));
        line.bold = textToBoolean(keys::kDefaultBold);
        line.italic = line.strikeOut = line.underline = false;
        line.color = textToInt32(keys::kDefaultColor);
        line.left = textToSingle(keys::defaultLeft(i));
        line.top = textToSingle(keys::defaultTop(i));
        line.outlineWidth = 0;
        line.outlineColor = 0xFFFFFF;
        line.shadow = false;
    }
    return design;
}

QString travellingPictureName(const QString& path) {
    static const QRegularExpression forbidden(QStringLiteral("[/\\\\:*?\"<>|\\x00-\\x1f\\x7f]"));
    QString name = QFileInfo(path).fileName();
    name.replace(forbidden, QStringLiteral("_"));
    name = name.trimmed();
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    while (name.toUtf8().size() > 255)
        name.chop(1);
    return name.isEmpty() ? QStringLiteral("picture") : name;
}

QString keepDesignPicture(const QString& folder, const QString& name, const QByteArray& bytes) {
    if (!makeFolder(folder))
        throw RuntimeError(ErrPathNotFound);
    const QFileInfo info(name);
    const QString stem = info.completeBaseName().isEmpty() ? name : info.completeBaseName();
    const QString suffix =
        info.completeBaseName().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    QString candidate = folder + QLatin1Char('/') + name;
    for (int n = 2;; ++n) {
        const QFileInfo there(candidate);
        if (!there.exists() && !there.isSymLink())
            break;
        if (sameBytes(candidate, bytes))
            return candidate;
        if (n > 9999)
            throw RuntimeError(ErrPathFileAccess);
        candidate =
            folder + QLatin1Char('/') + QStringLiteral("%1 (%2)%3").arg(stem).arg(n).arg(suffix);
    }
    raiseSaveFailure(writeFileAtomically(candidate, [&bytes] { return &bytes; }));
    return candidate;
}

DesignFiles::DesignFiles(DesignFilesContext context, QObject* parent)
    : QObject(parent), c_(std::move(context)) {}

DesignFile DesignFiles::currentDesignFile() const {
    DesignFile file;
    file.design = c_.document.capture();
    file.exportOptions = c_.exportOptions ? c_.exportOptions() : RenderOptions();
    const QString path = file.design.picture.path;
    file.pictureName = travellingPictureName(path);
    try {
        file.pictureBytes = readWholeFile(path, PictureLimits().fileBytes);
    } catch (const RuntimeError&) {
        file.pictureBytes.clear();
    }
    if (file.pictureBytes.isEmpty()) {
        // No file holds the picture shown (the built-in one, or a file gone
        // since): what the canvas shows travels as a PNG.
        QBuffer buffer(&file.pictureBytes);
        buffer.open(QIODevice::WriteOnly);
        c_.canvas.imgLogo->original().save(&buffer, "PNG");
        file.pictureName = QFileInfo(file.pictureName).completeBaseName() + QStringLiteral(".png");
        if (file.pictureName == QStringLiteral(".png"))
            file.pictureName = QStringLiteral("picture.png");
    }
    return file;
}

bool DesignFiles::saveDesignTo(const QString& path) {
    const DesignFile file = currentDesignFile();
    QByteArray bytes;
    const SaveFailure failure = writeFileAtomically(path, [&]() -> const QByteArray* {
        bytes = encodeDesignFile(file);
        return &bytes;
    });
    if (failure != SaveFailure::None) {
        c_.messages.show(tr("The design was not saved: %1 was not written because %2.")
                             .arg(QDir::toNativeSeparators(path), describeSaveFailure(failure)),
                         MsgExclamation, applicationTitle());
        return false;
    }
    currentFile_ = path;
    rememberRecent(path);
    return true;
}

void DesignFiles::saveDesign() {
    if (currentFile_.isEmpty())
        saveDesignAs();
    else
        saveDesignTo(currentFile_);
}

void DesignFiles::saveDesignAs() {
    CommonDialog& d = c_.dialog;
    d.InitDir = currentFile_.isEmpty() ? browseFolder(c_.folders) : QFileInfo(currentFile_).path();
    d.FileName.clear();
    d.DialogTitle = tr("Save Design");
    d.Filter = designFilter();
    // A name given without the extension gets it; the dialog could not ask
    // about replacing that file, so an existing one is never overwritten here.
    const SaveNameCheck before = d.SaveCheck;
    d.SaveCheck = [](const QString& name) {
        return isDesignFileName(name) ? SaveNameVerdict{}
                                      : SaveNameVerdict{SaveNameVerdict::Take, {}};
    };
    d.ShowSave();
    d.SaveCheck = before;
    QString path = d.FileName;
    if (path.isEmpty())
        return;
    if (!isDesignFileName(path)) {
        path += QLatin1Char('.') + kDesignFileSuffix;
        if (QFileInfo(path).exists() || QFileInfo(path).isSymLink()) {
            c_.messages.show(tr("%1 already exists. Choose it in the Save Design dialog to "
                                "replace it.")
                                 .arg(QDir::toNativeSeparators(path)),
                             MsgExclamation, applicationTitle());
            return;
        }
    }
    saveDesignTo(path);
}

void DesignFiles::openDesign() {
    CommonDialog& d = c_.dialog;
    d.InitDir = currentFile_.isEmpty() ? browseFolder(c_.folders) : QFileInfo(currentFile_).path();
    d.FileName.clear();
    d.DialogTitle = tr("Open Design");
    d.Filter = designFilter();
    d.ShowOpen();
    if (!d.FileName.isEmpty())
        openDesignFile(d.FileName);
}

bool DesignFiles::openDesignFile(const QString& path) {
    DesignFile file;
    QImage picture;
    QString kept;
    try {
        file = readDesignFile(path);
        picture = decodeDesignPicture(file);
        try {
            kept = keepDesignPicture(c_.folders.library, file.pictureName, file.pictureBytes);
        } catch (const RuntimeError& error) {
            throw DesignFileError{tr("its picture could not be kept in %1: %2")
                                      .arg(QDir::toNativeSeparators(c_.folders.library),
                                           displayedDescription(error.description()))};
        }
    } catch (const DesignFileError& error) {
        c_.messages.show(cannotOpenDesignMessage(path, error.why), MsgExclamation,
                         applicationTitle());
        if (!QFileInfo::exists(path))
            forgetRecent(path);
        return false;
    }
    file.design.picture.path = QDir::toNativeSeparators(kept);
    replaceDesign(file.design, picture, file.exportOptions, tr("Open Design"),
                  "mnuOpenDesign_Click");
    currentFile_ = QFileInfo(path).absoluteFilePath();
    rememberRecent(currentFile_);
    return true;
}

void DesignFiles::newDesign() {
    const LogoDesign design = firstStartDesign(c_.applicationFolder);
    QImage picture;
    try {
        picture = LoadPicture(design.picture.path);
    } catch (const RuntimeError&) {
        // Without the default picture file the canvas keeps what it shows,
        // as a first start keeps its built-in picture.
        picture = c_.canvas.imgLogo->original();
    }
    RenderOptions options;
    options.background = valueToColor(textToInt32(keys::kDefaultBackground));
    replaceDesign(design, picture, options, tr("New Design"), "mnuNewDesign_Click");
    currentFile_.clear();
}

void DesignFiles::replaceDesign(const LogoDesign& design, const QImage& picture,
                                const RenderOptions& options, const QString& stepName,
                                const char* handler) {
    ReplaceDesignStep::State before{c_.document.capture(),
                                    keepable(c_.canvas.imgLogo->decodedPicture()),
                                    storedExportOptions(c_.settings)};
    ReplaceDesignStep::State after{design, picture, options};
    c_.document.history().push(
        new ReplaceDesignStep(stepName, c_, std::move(before), std::move(after), handler));
}

QStringList DesignFiles::recentFiles() const {
    QStringList files;
    for (int n = 1; n <= kRecentDesigns; ++n) {
        const QString path = c_.settings.GetSetting(keys::recentDesign(n), QString());
        if (path.isEmpty())
            break;
        if (!files.contains(path))
            files << path;
    }
    return files;
}

void DesignFiles::storeRecent(const QStringList& files) {
    ErrorTrap trap(c_.messages,
                   errorLocation(QStringLiteral("Form1"), QStringLiteral("mnuRecent_Click")));
    const QStringList stored = recentFiles();
    trap.run(100, [&] {
        for (int n = 1; n <= kRecentDesigns; ++n) {
            const QString path = n <= files.size() ? files.at(n - 1) : QString();
            // An empty value ends the list; keys never written stay absent.
            if (n <= stored.size() || !path.isEmpty())
                c_.settings.SaveSetting(keys::recentDesign(n), path);
        }
    });
    emit recentFilesChanged();
}

void DesignFiles::rememberRecent(const QString& path) {
    const QString full = QFileInfo(path).absoluteFilePath();
    QStringList files = recentFiles();
    files.removeAll(full);
    files.prepend(full);
    while (files.size() > kRecentDesigns)
        files.removeLast();
    storeRecent(files);
}

void DesignFiles::forgetRecent(const QString& path) {
    QStringList files = recentFiles();
    if (files.removeAll(QFileInfo(path).absoluteFilePath()) + files.removeAll(path) > 0)
        storeRecent(files);
}

}  // namespace vantelo

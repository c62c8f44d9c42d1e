#include "platform/commondialog.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QFontInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

namespace vantelo {

std::int32_t colorToValue(const QColor& color) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(color.red()) |
                                     (static_cast<std::uint32_t>(color.green()) << 8) |
                                     (static_cast<std::uint32_t>(color.blue()) << 16));
}

QColor valueToColor(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    return QColor(static_cast<int>(bits & 0xFF), static_cast<int>((bits >> 8) & 0xFF),
                  static_cast<int>((bits >> 16) & 0xFF));
}

QStringList filterToNameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        result << parts.at(i) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                      QLatin1Char(')');
    }
    return result;
}

void CommonDialog::ShowOpen() {
    FileName =
        presenter_->openFile(InitDir, DialogTitle, filterToNameFilters(Filter)).value_or(QString());
}

void CommonDialog::ShowSave() {
    FileName = presenter_->saveFile(InitDir, DialogTitle, filterToNameFilters(Filter), SaveCheck)
                   .value_or(QString());
}

void CommonDialog::ShowFont() {
    QFont initial(FontName);
    if (FontSize > 0)
        initial.setPointSizeF(FontSize);
    initial.setBold(FontBold);
    initial.setItalic(FontItalic);
    initial.setStrikeOut(FontStrikethru);
    initial.setUnderline(FontUnderline);
    const std::optional<QFont> chosen = presenter_->chooseFont(initial);
    if (!chosen)
        return;
    FontName = chosen->family();
    FontSize = static_cast<float>(chosen->pointSizeF());
    FontBold = chosen->bold();
    FontItalic = chosen->italic();
    // The dialog shows the effects it was given and returns what the user
    // ticked; the text line draws them on the canvas and in the saved logo.
    FontStrikethru = chosen->strikeOut();
    FontUnderline = chosen->underline();
}

void CommonDialog::ShowColor() {
    const std::optional<QColor> chosen = presenter_->chooseColor(valueToColor(Color));
    if (chosen && chosen->isValid())
        Color = colorToValue(*chosen);
}

namespace {

// "JPG Files (*.jpg)" -> "jpg"; empty when the filter names no extension.
QString firstExtension(const QString& nameFilter) {
    static const QRegularExpression pattern(QStringLiteral("\\*\\.([A-Za-z0-9]+)"));
    return pattern.match(nameFilter).captured(1);
}

// Qt's file dialog with the caller's check put before its own question about
// replacing a file.
class CheckedSaveDialog final : public QFileDialog {
public:
    CheckedSaveDialog(QWidget* parent, const QString& title, const QString& folder,
                      const SaveNameCheck& check)
        : QFileDialog(parent, title, folder), check_(check) {}

    // Watches the Save button: Qt greys it silently for a name too long for
    // the file system, and the check has a message for that.
    void watchSaveButton() {
        if (auto* box = findChild<QDialogButtonBox*>())
            save_ = box->button(QDialogButtonBox::Save);
        edit_ = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (save_ != nullptr && edit_ != nullptr)
            save_->installEventFilter(this);
    }

    QString taken() const { return taken_; }

    void accept() override {
        // A name without an extension gets that of the chosen filter; Qt adds
        // it before its own question about replacing a file.
        setDefaultSuffix(firstExtension(selectedNameFilter()));
        const QStringList files = selectedFiles();
        if (check_ && files.size() == 1 && !QFileInfo(files.constFirst()).isDir()) {
            const SaveNameVerdict verdict = check_(files.constFirst());
            if (verdict.action == SaveNameVerdict::Refuse) {
                QMessageBox::warning(this, windowTitle(), verdict.message);
                return;
            }
            if (verdict.action == SaveNameVerdict::Take) {
                taken_ = files.constFirst();
                QDialog::accept();
                return;
            }
        }
        QFileDialog::accept();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == save_ && event->type() == QEvent::EnabledChange && !save_->isEnabled() &&
            !edit_->text().isEmpty()) {
            const QString path = directory().absoluteFilePath(edit_->text());
            if (check_(path).action == SaveNameVerdict::Refuse)
                save_->setEnabled(true);
        }
        return QFileDialog::eventFilter(watched, event);
    }

private:
    SaveNameCheck check_;
    QPushButton* save_ = nullptr;
    QLineEdit* edit_ = nullptr;
    QString taken_;
};

// Qt's folder dialog, which also takes the name of a folder not made yet when
// the folder it would be made in exists: the caller makes it.
class NewFolderDialog final : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override {
        const QStringList chosen = selectedFiles();
        if (chosen.size() == 1) {
            const QFileInfo folder(chosen.constFirst());
            if (!folder.exists() && !folder.isSymLink() && QFileInfo(folder.path()).isDir()) {
                QDialog::accept();
                return;
            }
        }
        QFileDialog::accept();
    }
};

}  // namespace

std::optional<QString> QtDialogPresenter::chooseFolder(const QString& folder,
                                                       const QString& proposed,
                                                       const QString& title) {
    NewFolderDialog dialog(parent_, title, folder);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setObjectName(QStringLiteral("vanteloFolderDialog"));
    if (!proposed.isEmpty())
        dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::cleanPath(dialog.selectedFiles().constFirst());
}

std::optional<QString> QtDialogPresenter::openFile(const QString& folder, const QString& title,
                                                   const QStringList& nameFilters) {
    QFileDialog dialog(parent_, title, folder);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(nameFilters);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // Each description is shown as the program wrote it; Qt would add the
    // patterns to it again.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setObjectName(QStringLiteral("vanteloOpenDialog"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> QtDialogPresenter::saveFile(const QString& folder, const QString& title,
                                                   const QStringList& nameFilters,
                                                   const SaveNameCheck& check) {
    CheckedSaveDialog dialog(parent_, title, folder, check);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(nameFilters);
    // Qt asks before replacing an existing file unless told otherwise; keep it so.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setObjectName(QStringLiteral("vanteloSaveDialog"));
    if (check)
        dialog.watchSaveButton();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    if (!dialog.taken().isEmpty())
        return dialog.taken();
    if (dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QFont> QtDialogPresenter::chooseFont(const QFont& initial) {
    // A name such as "Arial" may be an alias that the dialog's list does not
    // hold; the dialog would then select some other family it lists. It opens
    // on the family the name resolves to, with the style and size selected,
    // and the name the user gave is kept while that family stays chosen.
    const QString resolved = QFontInfo(initial).family();
    QFont shown = initial;
    shown.setFamily(resolved);
    QFontDialog dialog(parent_);
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    dialog.setObjectName(QStringLiteral("vanteloFontDialog"));
    dialog.setCurrentFont(shown);
    // The dialog's sizes are whole points: 11.25 shows as 11. A size the user
    // left alone keeps its fraction.
    const double shownSize = dialog.currentFont().pointSizeF();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    QFont chosen = dialog.selectedFont();
    if (chosen.family() == resolved)
        chosen.setFamily(initial.family());
    if (chosen.pointSizeF() == shownSize && initial.pointSizeF() > 0)
        chosen.setPointSizeF(initial.pointSizeF());
    return chosen;
}

std::optional<QColor> QtDialogPresenter::chooseColor(const QColor& initial) {
    const QColor color =
        QColorDialog::getColor(initial, parent_, QString(), QColorDialog::DontUseNativeDialog);
    if (!color.isValid())
        return std::nullopt;
    return color;
}

}  // namespace vantelo

#include "platform/commondialog.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontInfo>

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
    FileName =
        presenter_->saveFile(InitDir, DialogTitle, filterToNameFilters(Filter)).value_or(QString());
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

std::optional<QString> QtDialogPresenter::openFile(const QString& folder, const QString& title,
                                                   const QStringList& nameFilters) {
    QFileDialog dialog(parent_, title, folder);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(nameFilters);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setObjectName(QStringLiteral("vanteloOpenDialog"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> QtDialogPresenter::saveFile(const QString& folder, const QString& title,
                                                   const QStringList& nameFilters) {
    QFileDialog dialog(parent_, title, folder);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(nameFilters);
    // Qt asks before replacing an existing file unless told otherwise; keep it so.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setObjectName(QStringLiteral("vanteloSaveDialog"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
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

#include "editing/textlines.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QStyle>
#include <algorithm>

#include "canvas/canvas.h"
#include "design/designkeys.h"
#include "platform/commondialog.h"
#include "platform/errortrap.h"
#include "platform/numeric.h"
#include "platform/settingsstore.h"

namespace vantelo {
namespace lineprops {
namespace {

constexpr char kFontProperty[] = "vanteloFont";

template <typename Change>
void changeFont(QLineEdit* edit, Change&& change) {
    QFont font = lineprops::font(edit);
    change(font);
    edit->setProperty(kFontProperty, font);
    edit->setFont(fontFittingBox(edit, font));
}

// Whether a line of the font, its underline included, fits that many pixels.
bool fits(const QFont& font, int height) {
    const QFontMetrics metrics(font);
    const int underline = metrics.ascent() + metrics.underlinePos() + metrics.lineWidth();
    return std::max(metrics.height(), underline) <= height;
}

}  // namespace

QFont font(const QLineEdit* edit) {
    const QVariant stored = edit->property(kFontProperty);
    return stored.isValid() ? stored.value<QFont>() : edit->font();
}

QFont fontFittingBox(const QLineEdit* edit, const QFont& font) {
    // The box's frame and the line edit's own margin of one pixel above and
    // below its text.
    const int frame = edit->hasFrame()
                          ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit)
                          : 0;
    const QMargins margins = edit->textMargins() + edit->contentsMargins();
    const int room = edit->height() - 2 * frame - 2 - margins.top() - margins.bottom();
    if (room <= 0 || fits(font, room))
        return font;
    QFont fitted = font;
    const double height = QFontMetricsF(font).height();
    double points = std::max(1.0, font.pointSizeF() * room / height);
    fitted.setPointSizeF(points);
    while (points > 1.0 && !fits(fitted, room)) {
        points = std::max(1.0, points - 0.25);
        fitted.setPointSizeF(points);
    }
    return fitted;
}

void setBold(QLineEdit* edit, bool on) {
    changeFont(edit, [on](QFont& f) { f.setBold(on); });
}

void setItalic(QLineEdit* edit, bool on) {
    changeFont(edit, [on](QFont& f) { f.setItalic(on); });
}

void setFontName(QLineEdit* edit, const QString& name) {
    if (name.trimmed().isEmpty())
        throw RuntimeError(ErrInvalidPropertyValue);
    changeFont(edit, [&name](QFont& f) { f.setFamily(name); });
}

void setFontSize(QLineEdit* edit, float points) {
    if (!(points >= 1.0f && points <= 2160.0f))
        throw RuntimeError(ErrInvalidPropertyValue);
    changeFont(edit, [points](QFont& f) { f.setPointSizeF(points); });
}

float fontSize(const QLineEdit* edit) {
    return static_cast<float>(font(edit).pointSizeF());
}

void setStrikethrough(QLineEdit* edit, bool on) {
    changeFont(edit, [on](QFont& f) { f.setStrikeOut(on); });
}

void setUnderline(QLineEdit* edit, bool on) {
    changeFont(edit, [on](QFont& f) { f.setUnderline(on); });
}

void setColor(QLineEdit* edit, std::int32_t value) {
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Text, valueToColor(value));
    edit->setPalette(palette);
    edit->setProperty("vanteloColor", value);
}

std::int32_t color(const QLineEdit* edit) {
    const QVariant stored = edit->property("vanteloColor");
    if (stored.isValid())
        return stored.toInt();
    return colorToValue(edit->palette().color(QPalette::Text));
}

int checkValue(const QCheckBox* box) {
    switch (box->checkState()) {
        case Qt::Unchecked:
            return 0;
        case Qt::PartiallyChecked:
            return 2;
        default:
            return 1;
    }
}

void setCheckValue(QCheckBox* box, int value) {
    if (value < 0 || value > 2)
        throw RuntimeError(ErrInvalidPropertyValue);
    box->setCheckState(value == 0   ? Qt::Unchecked
                       : value == 1 ? Qt::Checked
                                    : Qt::PartiallyChecked);
}

}  // namespace lineprops

TextLines::TextLines(TextLineControls controls, CommonDialog& dialog, SettingsStore& settings,
                     MessageBoxes& messages)
    : c_(controls), dialog_(dialog), settings_(settings), messages_(messages) {}

void TextLines::TextLine_Change(int index) {
    QLineEdit* edit = c_.edit[index];
    const QString text = edit->text();
    c_.label[index]->setCaption(text);
    // The box holds at most maxLength() characters and cuts a longer stored
    // text when it is restored; the stored text stays whole until it is edited.
    const QString stored = settings_.GetSetting(keys::text(index), QString());
    if (text.size() == edit->maxLength() && stored.size() > text.size() && stored.startsWith(text))
        return;
    settings_.SaveSetting(keys::text(index), text);
}

void TextLines::Show_Click(int index) {
    const int value = lineprops::checkValue(c_.show[index]);
    c_.label[index]->setVisible(value != 0);
    settings_.SaveSetting(keys::show(index), QString::number(value));
}

void TextLines::Font_Click(int index) {
    ErrorTrap trap(messages_, errorLocation(QStringLiteral("Form1"),
                                            index == 0 ? QStringLiteral("PushButton1_Click")
                                                       : QStringLiteral("PushButton2_Click")));
    QLineEdit* edit = c_.edit[index];
    trap.run(100, [&] { dialog_.FontBold = lineprops::font(edit).bold(); });
    trap.run(102, [&] { dialog_.FontItalic = lineprops::font(edit).italic(); });
    trap.run(104, [&] { dialog_.FontName = lineprops::font(edit).family(); });
    trap.run(106, [&] { dialog_.FontSize = lineprops::fontSize(edit); });
    trap.run(108, [&] { dialog_.FontStrikethru = lineprops::font(edit).strikeOut(); });
    trap.run(110, [&] { dialog_.FontUnderline = lineprops::font(edit).underline(); });
    trap.run(112, [&] { dialog_.Flags = 3; });
    trap.run(114, [&] { dialog_.ShowFont(); });
    trap.run(116, [&] { lineprops::setBold(edit, dialog_.FontBold); });
    trap.run(118, [&] { lineprops::setItalic(edit, dialog_.FontItalic); });
    trap.run(120, [&] { lineprops::setFontName(edit, dialog_.FontName); });
    trap.run(122, [&] { lineprops::setFontSize(edit, dialog_.FontSize); });
    trap.run(124, [&] { lineprops::setStrikethrough(edit, dialog_.FontStrikethru); });
    trap.run(126, [&] { lineprops::setUnderline(edit, dialog_.FontUnderline); });
    trap.run(128, [&] { c_.label[index]->setLabelFont(lineprops::font(edit)); });
    // What is stored is read back from the edit box: the font as it holds it.
    trap.run(130, [&] {
        settings_.SaveSetting(keys::bold(index), booleanToText(lineprops::font(edit).bold()));
    });
    trap.run(132, [&] {
        settings_.SaveSetting(keys::italic(index), booleanToText(lineprops::font(edit).italic()));
    });
    trap.run(134,
             [&] { settings_.SaveSetting(keys::name(index), lineprops::font(edit).family()); });
    trap.run(136, [&] {
        settings_.SaveSetting(keys::size(index), singleToText(lineprops::fontSize(edit)));
    });
    trap.run(138, [&] {
        settings_.SaveSetting(keys::strike(index),
                              booleanToText(lineprops::font(edit).strikeOut()));
    });
    trap.run(140, [&] {
        settings_.SaveSetting(keys::underline(index),
                              booleanToText(lineprops::font(edit).underline()));
    });
}

void TextLines::Color_Click(int index) {
    ErrorTrap trap(messages_, errorLocation(QStringLiteral("Form1"),
                                            index == 0 ? QStringLiteral("PushButton3_Click")
                                                       : QStringLiteral("PushButton4_Click")));
    QLineEdit* edit = c_.edit[index];
    trap.run(100, [&] { dialog_.Color = lineprops::color(edit); });
    trap.run(102, [&] { dialog_.ShowColor(); });
    trap.run(104, [&] { lineprops::setColor(edit, dialog_.Color); });
    trap.run(106, [&] { c_.label[index]->setForeColor(valueToColor(dialog_.Color)); });
    trap.run(108,
             [&] { settings_.SaveSetting(keys::color(index), QString::number(dialog_.Color)); });
}

}  // namespace vantelo

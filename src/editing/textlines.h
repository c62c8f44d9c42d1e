#pragma once

#include <QFont>
#include <cstdint>

class QCheckBox;
class QLineEdit;

namespace vantelo {

class CanvasLabel;
class CommonDialog;
class MessageBoxes;
class SettingsStore;

// The controls of the two text lines: element 0 is line 1, element 1 line 2.
struct TextLineControls {
    QLineEdit* edit[2];
    CanvasLabel* label[2];
    QCheckBox* show[2];
};

// Properties of an edit box as the text lines keep them: the edit box holds
// the line's font and colour, and the canvas label copies them.
namespace lineprops {
// The line's font, as the canvas draws it and the settings hold it. The box
// shows its family and style at the largest size that fits its height, so a
// large font is never cut at the box's edges.
QFont font(const QLineEdit* edit);
QFont fontFittingBox(const QLineEdit* edit, const QFont& font);
void setBold(QLineEdit* edit, bool on);
void setItalic(QLineEdit* edit, bool on);
void setFontName(QLineEdit* edit, const QString& name);  // 380 for an empty name
void setFontSize(QLineEdit* edit, float points);         // 380 outside 1 to 2160 points
void setStrikethrough(QLineEdit* edit, bool on);
void setUnderline(QLineEdit* edit, bool on);
void setColor(QLineEdit* edit, std::int32_t color);
std::int32_t color(const QLineEdit* edit);
float fontSize(const QLineEdit* edit);

// A check box's value: 0 unticked, 1 ticked, 2 greyed. Another value raises
// 380 and leaves the box as it was.
int checkValue(const QCheckBox* box);
void setCheckValue(QCheckBox* box, int value);
}  // namespace lineprops

// Editing, showing, font and colour of the two text lines.
class TextLines {
public:
    TextLines(TextLineControls controls, CommonDialog& dialog, SettingsStore& settings,
              MessageBoxes& messages);

    // The caption of the line's label follows its edit box, and the text is stored.
    void TextLine_Change(int index);
    // chkShowA_Click (index 0) and chkShowB_Click (index 1).
    void Show_Click(int index);
    // PushButton1_Click / PushButton2_Click: the font dialog sequence for a line.
    void Font_Click(int index);
    // PushButton3_Click / PushButton4_Click: the colour dialog sequence.
    void Color_Click(int index);

private:
    TextLineControls c_;
    CommonDialog& dialog_;
    SettingsStore& settings_;
    MessageBoxes& messages_;
};

}  // namespace vantelo

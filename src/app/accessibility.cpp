#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include "app/form1.h"
#include "canvas/canvas.h"
#include "gallery/galleryview.h"

namespace vantelo {
namespace {

void describe(QWidget* widget, const QString& name, const QString& description) {
    widget->setAccessibleName(name);
    widget->setAccessibleDescription(description);
}

}  // namespace

// What a screen reader says for each control: the captions alone cannot tell
// the two lines' Font and Color buttons apart.
void Form1::describeControls() {
    describe(canvas->Picture2, tr("Canvas"),
             tr("The logo: its picture and text lines, which the mouse drags into place"));
    describe(canvas->imgLogo, tr("Logo picture"), tr("The picture of the logo"));
    describe(canvas->VScroll1, tr("Scroll the canvas up and down"), tr("Vertical scroll bar"));
    describe(canvas->HScroll1, tr("Scroll the canvas sideways"), tr("Horizontal scroll bar"));
    describe(ListView1, tr("Logo gallery"),
             tr("Pictures to choose from; choosing one places it on the canvas"));
    Frame1->setAccessibleDescription(tr("The picture of the logo"));
    describe(Text1, tr("Picture file"), tr("Full path of the picture on the logo"));
    describe(PushButton6, tr("Browse for a picture"), tr("Choose the picture of the logo"));
    Frame2->setAccessibleDescription(tr("The two lines of text on the logo"));
    QPushButton* const fontButtons[2] = {PushButton1, PushButton2};
    QPushButton* const colorButtons[2] = {PushButton3, PushButton4};
    QCheckBox* const showBoxes[2] = {chkShowA, chkShowB};
    for (int i = 0; i < 2; ++i) {
        const int line = i + 1;
        describe(TextLine[i], tr("Text line %1").arg(line),
                 tr("The text of line %1 on the logo").arg(line));
        Label1[i]->setBuddy(TextLine[i]);
        describe(fontButtons[i], tr("Font of text line %1").arg(line),
                 tr("Choose the font, style and size of line %1").arg(line));
        describe(colorButtons[i], tr("Colour of text line %1").arg(line),
                 tr("Choose the colour of line %1").arg(line));
        describe(showBoxes[i], tr("Show text line %1").arg(line),
                 tr("Shows or hides line %1 on the logo").arg(line));
    }
    describe(spnSize, tr("Picture size"), tr("Size of the picture in per cent of its own pixels"));
    describe(PushButton5, tr("Save logo as image"), tr("Save the logo as a JPEG or BMP file"));
}

}  // namespace vantelo

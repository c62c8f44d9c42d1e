#pragma once

#include <QString>

// Every key of the per-user store, with its default. The text and position keys
// count the lines from 0 (the element index), the show, font and colour keys
// count from 1 (the line number): "TextLine1" is the text of line 2 while
// "TextLine1 Bold" is the bold flag of line 1. Stored settings rely on this.
namespace vantelo::keys {

inline const QString kImage = QStringLiteral("Image");
inline const QString kImageLeft = QStringLiteral("Image Left");
inline const QString kImageTop = QStringLiteral("Image Top");
// The picture's size in per cent of its own pixels; absent means 100.
inline const QString kImageScale = QStringLiteral("Image Scale");
// How far from the border's colour the picture's background may lie and still
// be made transparent, 0 to 100; absent (or 0) leaves the picture as it is.
inline const QString kImageBackgroundTolerance = QStringLiteral("Image Background Tolerance");

// Whether a drag snaps to the centre lines and the other objects; absent means off.
inline const QString kSnapToGuides = QStringLiteral("Snap To Guides");
// The canvas in pixels; absent for the classic canvas.
inline const QString kCanvasWidth = QStringLiteral("Canvas Width");
inline const QString kCanvasHeight = QStringLiteral("Canvas Height");

// How logos are exported; each absent key means the export as it always was:
// the canvas at 1x on white, JPEG and BMP only.
inline const QString kExportScale = QStringLiteral("Export Scale");  // 1, 2 or 3
inline const QString kExportWidth = QStringLiteral("Export Width");  // pixels; 0 for none
inline const QString kTransparentBackground = QStringLiteral("Transparent Background");
inline const QString kTrimToContent = QStringLiteral("Trim To Content");
// The canvas colour as a colour value (0x00BBGGRR); white when absent.
inline const QString kBackground = QStringLiteral("Background");
inline const QString kDefaultBackground = QStringLiteral("16777215");

// The design files opened or saved last, newest first: "Recent Design 1" to
// "Recent Design 10", each a full path; an absent or empty key ends the list.
inline QString recentDesign(int number) {
    return QStringLiteral("Recent Design ") + QString::number(number);
}

// Relative to the application folder.
inline const QString kDefaultImageSuffix = QStringLiteral("/logos/tarnwick.gif");

// "TextLine0" / "TextLine1": the text of the line with element index 0 or 1.
inline QString text(int index) {
    return QStringLiteral("TextLine") + QString::number(index);
}

// "TextLine0 Left", "TextLine1 Top": the position of the line with element index 0 or 1.
inline QString left(int index) {
    return text(index) + QStringLiteral(" Left");
}
inline QString top(int index) {
    return text(index) + QStringLiteral(" Top");
}

// "TextLine1 Bold" … "TextLine2 Color": style keys by element index, which count from 1.
inline QString style(int index, const char* property) {
    return QStringLiteral("TextLine") + QString::number(index + 1) + QLatin1Char(' ') +
           QLatin1String(property);
}
inline QString show(int index) {
    return style(index, "Show");
}
inline QString bold(int index) {
    return style(index, "Bold");
}
inline QString italic(int index) {
    return style(index, "Italic");
}
inline QString name(int index) {
    return style(index, "Name");
}
inline QString size(int index) {
    return style(index, "Size");
}
inline QString strike(int index) {
    return style(index, "Strike");
}
inline QString underline(int index) {
    return style(index, "Underline");
}
inline QString color(int index) {
    return style(index, "Color");
}

// "TextLine1 Outline Width" and so on: absent means no outline, a white one
// when a width is chosen, and no shadow.
inline QString outlineWidth(int index) {
    return style(index, "Outline Width");
}
inline QString outlineColor(int index) {
    return style(index, "Outline Color");
}
inline QString shadow(int index) {
    return style(index, "Shadow");
}
// "TextLine1 Angle": the line's turn about its centre in whole degrees,
// counter-clockwise, -180 to 180; absent means level.
inline QString angle(int index) {
    return style(index, "Angle");
}

inline QString defaultText(int index) {
    return index == 0 ? QStringLiteral("Your text 1 here") : QStringLiteral("Your text 2 here");
}
inline const QString kDefaultShow = QStringLiteral("1");
inline const QString kDefaultBold = QStringLiteral("True");
inline const QString kDefaultFalse = QStringLiteral("False");
inline const QString kDefaultName = QStringLiteral("Arial");
inline const QString kDefaultSize = QStringLiteral("9");
inline const QString kDefaultColor = QStringLiteral("0");
inline QString defaultLeft(int index) {
    return index == 0 ? QStringLiteral("1755") : QStringLiteral("5280");
}
inline QString defaultTop(int index) {
    return index == 0 ? QStringLiteral("990") : QStringLiteral("2520");
}
inline const QString kDefaultImageLeft = QStringLiteral("2475");
inline const QString kDefaultImageTop = QStringLiteral("810");
inline const QString kDefaultImageScale = QStringLiteral("100");
inline const QString kDefaultImageBackgroundTolerance = QStringLiteral("0");

}  // namespace vantelo::keys

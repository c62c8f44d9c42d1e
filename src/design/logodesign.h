#pragma once

#include <QImage>
#include <QString>
#include <array>
#include <cstdint>

namespace vantelo {

class SettingsStore;

// Positions are in twips from the canvas's top-left corner, as they are stored.
struct PictureDesign {
    // The path in the picture box: what the "Image" key holds.
    QString path;
    float left = 0;
    float top = 0;
    // Per cent of the picture's own pixels.
    int scale = 100;
    // Background removal, 0 (off) to 100: see removeBackground().
    int backgroundTolerance = 0;
};

struct TextLineDesign {
    QString text;
    // The show box: 0 hidden, 1 shown, 2 greyed (shown).
    int shown = 1;
    QString fontName;
    float fontSize = 9;
    bool bold = true;
    bool italic = false;
    bool strikeOut = false;
    bool underline = false;
    // A colour value as stored: 0x00BBGGRR.
    std::int32_t color = 0;
    float left = 0;
    float top = 0;
    // An outline round the letters, 0 (none) to 8 pixels, and its colour.
    int outlineWidth = 0;
    std::int32_t outlineColor = 0xFFFFFF;
    bool shadow = false;
    // Degrees counter-clockwise about the line's centre, -180 to 180. The
    // place stays that of the level line.
    int angle = 0;
};

// The whole composition: the picture and the two text lines. Element 0 of
// `lines` is text line 1.
struct LogoDesign {
    PictureDesign picture;
    std::array<TextLineDesign, 2> lines;
    // The canvas in pixels the user chose; empty for the classic canvas.
    QSize canvas = QSize();
};

bool operator==(const PictureDesign& a, const PictureDesign& b);
bool operator==(const TextLineDesign& a, const TextLineDesign& b);
bool operator==(const LogoDesign& a, const LogoDesign& b);
inline bool operator!=(const LogoDesign& a, const LogoDesign& b) {
    return !(a == b);
}

// The allowed picture sizes, in per cent.
inline constexpr int kMinimumScale = 5;
inline constexpr int kMaximumScale = 400;

// The picture as shown at a scale in per cent: smoothly resampled from its own
// pixels, at least one pixel a side.
QImage pictureAtScale(const QImage& original, int percent);

// A stored scale as the program uses it: a number's leading digits, kept within
// the allowed sizes; anything unreadable is 100.
int scaleFromText(const QString& text);

inline constexpr int kMinimumAngle = -180;
inline constexpr int kMaximumAngle = 180;

// A stored angle as the program uses it: a number's leading digits rounded to
// a whole degree and kept within -180 to 180; anything unreadable is 0.
int angleFromText(const QString& text);

// Writes every value that differs between the two designs under its key, in
// the order the keys are listed; values equal in both are left as they are
// stored, so keys an older file lacks stay absent.
// A stored background tolerance as the program uses it: a number's leading
// digits, kept within 0 to 100; anything unreadable leaves the background.
int toleranceFromText(const QString& text);

void storeChanges(SettingsStore& settings, const LogoDesign& from, const LogoDesign& to);

}  // namespace vantelo

#pragma once

#include <QMargins>
#include <QRect>
#include <QWidget>

// Positions and sizes are kept in twips (1/1440 inch) in single precision, and
// shown at whole pixels. This is the one place that converts between the two.
namespace vantelo {

// 1440 / logical DPI of the screen: 15 at 96 DPI (also offscreen and under Xvfb).
double twipsPerPixelX();
double twipsPerPixelY();

// round(twips / twips per pixel), halves to even.
int twipsToPixelsX(double twips);
int twipsToPixelsY(double twips);
double pixelsToTwipsX(int pixels);
double pixelsToTwipsY(int pixels);

// The place of one control inside its container, in twips. Setting any part
// moves or resizes the widget at once; a value beyond 32 bits of twips raises
// 6 (Overflow) and changes nothing.
class TwipsPlacement {
public:
    TwipsPlacement() = default;
    TwipsPlacement(QWidget* widget, float left, float top, float width, float height);

    QWidget* widget() const { return widget_; }
    float Left() const { return left_; }
    float Top() const { return top_; }
    float Width() const { return width_; }
    float Height() const { return height_; }
    void setLeft(float value);
    void setTop(float value);
    void setWidth(float value);
    void setHeight(float value);
    void setAll(float left, float top, float width, float height);
    QRect pixelRect() const;
    // The widget covers its place grown by these pixels on each side: room
    // for what is drawn round the object without moving the object itself.
    void setOutset(const QMargins& outset);
    QMargins outset() const { return outset_; }

private:
    static void checkRange(float value);
    void apply();

    QWidget* widget_ = nullptr;
    float left_ = 0;
    float top_ = 0;
    float width_ = 0;
    float height_ = 0;
    QMargins outset_;
};

}  // namespace vantelo

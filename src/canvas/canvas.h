#pragma once

#include <QImage>
#include <QLabel>
#include <QObject>
#include <QPolygonF>
#include <QRectF>
#include <QScrollBar>
#include <QThreadPool>
#include <QTransform>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>

class QKeyEvent;
class QPainter;
class QLineF;

#include "platform/errortrap.h"
#include "platform/scaleddecode.h"
#include "platform/twips.h"

namespace vantelo {

class SettingsStore;
class TurnHandle;

// Mouse button state as the canvas handlers see it: 1 left, 2 right, 4 middle;
// a move reports the sum of the buttons held.
int buttonState(Qt::MouseButtons buttons);

// An object the user drags on the canvas: the picture or one text line.
class CanvasObject {
public:
    virtual ~CanvasObject() = default;
    virtual TwipsPlacement& place() = 0;
    // What the user sees of the object, in twips on the canvas: the box that
    // lines up with guides and is kept on the canvas. The place, unless the
    // object is turned.
    virtual QRectF shownBox() {
        const TwipsPlacement& p = place();
        return QRectF(p.Left(), p.Top(), p.Width(), p.Height());
    }
    // 0 default arrow, 15 size-all.
    virtual int MousePointer() const = 0;
    virtual void setMousePointer(int shape) = 0;
};

// Mouse events of a canvas object, in the handlers' terms: the event's button
// state and the pointer's position relative to the object, in twips.
class CanvasMouseSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
signals:
    void mouseDown(int button, float x, float y);
    void mouseMove(int button, float x, float y);
    void mouseUp(int button, float x, float y);
};

// A picture box: a plain widget with a background colour and a place in twips.
// The canvas has no border, so its inner size (ScaleWidth, ScaleHeight) is its size.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    PictureBox(QWidget* parent, const QColor& background);
    TwipsPlacement& place() { return place_; }
    float ScaleWidth() const { return place_.Width(); }
    float ScaleHeight() const { return place_.Height(); }

private:
    TwipsPlacement place_;
};

// The image control `imgLogo`: shows its picture at its scale, unstretched,
// and takes the size it shows.
class ImageControl final : public QWidget, public CanvasObject {
    Q_OBJECT
public:
    explicit ImageControl(QWidget* parent);
    TwipsPlacement& place() override { return place_; }
    int MousePointer() const override { return pointer_; }
    void setMousePointer(int shape) override;
    // The whole picture as shown, at its scale, made when asked for: the
    // canvas itself paints only the parts it shows.
    QImage Picture() const;
    // The picture at its own size, as it was given: undo, design files and
    // background removal start from it. A picture that was decoded at a
    // reduced scale is decoded in full when this is first asked for.
    const QImage& original() const {
        drawBuiltInIfShown();
        return picture_.full();
    }
    // The picture at its own size as the logo shows it: the original with
    // its background removed when a tolerance is set. Every export draws it.
    const QImage& logoPicture() const;
    // The picture's own size, known without its full pixels.
    QSize pictureSize() const {
        drawBuiltInIfShown();
        return picture_.size();
    }
    // The original when its full pixels are decoded; null while only a
    // reduced copy is, as reading the file again costs what decoding it would.
    QImage decodedPicture() const {
        drawBuiltInIfShown();
        return picture_.decoded();
    }
    // The pixels the picture on the canvas is resampled from: a copy the
    // decoder reduced while one is large enough for the size shown, the
    // picture as the logo shows it otherwise.
    const QImage& shownFrom() const;
    void setPicture(const QImage& picture);
    void setPicture(const ShownPicture& picture);
    // Background removal, 0 (off) to 100, always worked from the original.
    int backgroundTolerance() const { return tolerance_; }
    void setBackgroundTolerance(int tolerance);
    // Per cent of the picture's own pixels; a scale is always made from them,
    // never from an earlier scaled copy.
    int scale() const { return scale_; }
    void setScale(int percent);
    // The smoothly resampled whole picture at the current scale when it is
    // made and kept; null while it is being made, or when the picture is shown
    // part by part because a whole copy would be too large.
    const QImage& smoothCopy() const { return smooth_; }
    // Whether what the control shows was resampled from a copy the decoder
    // reduced rather than from the full pixels.
    bool shownFromReduced() const { return fromReduced_; }
    // Makes the smooth copy now if it is still being made, or was made from
    // a reduced copy, so that what the control paints next is final and
    // resampled from the full pixels, as every export is.
    void settle();
    CanvasMouseSource* mouse() { return &mouse_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

signals:
    // The smooth picture replaced the quick one painted while it was made.
    void settled();

private:
    void showAtScale();
    // Makes the picture the logo shows from the original: the one place
    // where the pixels given are turned into the pixels shown.
    void clearBackground() const;
    // The built-in picture is drawn the first time it is asked for: most
    // starts replace it with the stored picture before anything is shown.
    void drawBuiltInIfShown() const;
    void startSmoothCopy();
    void smoothCopyMade(quint64 generation, const QImage& copy);
    // A reduced copy decoded only down to the rows first shown is decoded
    // whole on the worker thread, and shown again from that.
    void completeReducedCopy();
    void reducedCopyCompleted(const ShownPicture& shown, const QImage& whole);
    // One square of the shown picture, resampled from the cleared picture
    // when it is first painted and kept while it may be painted again.
    QImage tile(int column, int row);

    // Whether the decoder's reduced copy stands in for the full pixels at
    // the size shown: removing a background needs the full pixels.
    bool reducedWillDo() const;

    TwipsPlacement place_;
    mutable ShownPicture picture_;
    // The original as the logo shows it, at its own size, made when first
    // asked for: every scaled copy and tile not made from the reduced copy
    // is made from it.
    mutable QImage cleared_;
    bool fromReduced_ = false;
    QSize shownSize_;
    QImage smooth_;
    bool showsBuiltIn_ = true;
    int tolerance_ = 0;
    int scale_ = 100;
    int pointer_ = 0;
    CanvasMouseSource mouse_;
    // Tiles of the shown picture, by column and row, with their age; the
    // oldest go first once they hold more than a few screens' worth.
    struct Tile {
        QImage pixels;
        quint64 used = 0;
    };
    std::map<std::pair<int, int>, Tile> tiles_;
    quint64 paintCount_ = 0;
    // Each picture, tolerance and scale shown gets a new number, so a smooth copy made
    // for an earlier one is dropped.
    quint64 generation_ = 0;
    bool smoothWanted_ = false;
    bool smoothBusy_ = false;
    // Counts the pictures set; read by the worker thread.
    std::atomic<quint64> pictureNumber_{0};
    // Last, so that it is destroyed first and waits for a copy being made.
    std::unique_ptr<QThreadPool> worker_;
};

// How a text line is set off from what lies behind it: an outline round its
// letters (0 to 8 pixels wide) and a soft shadow below and to the right.
struct CaptionLook {
    int outlineWidth = 0;
    QColor outline = Qt::white;
    bool shadow = false;

    bool plain() const { return outlineWidth <= 0 && !shadow; }
};

// The room an outline and shadow need round the text, in pixels: the outline
// on every side, the shadow only right and below. An outline or a shadow
// never moves the letters; the label's box grows round them by this much.
QMargins captionMargins(const CaptionLook& look);

// The size in pixels of a text line's caption, and so of its place: the
// advance or the ink, whichever reaches further, by the font's height.
QSize captionPixelSize(const QFont& font, const QString& caption);

// Draws a caption into its label's box, on the canvas and in every export
// alike: the letters lie at the box's corner less `captionMargins(look)`,
// where a plain caption would lie.
void paintCaption(QPainter& painter, const QRect& box, const QFont& font, const QString& caption,
                  const QColor& color, const CaptionLook& look);

// The turn of a text line's box by `angle` degrees counter-clockwise about
// its centre, and the smallest whole-pixel rectangle holding the turned box.
QTransform turnAboutCentre(const QRectF& box, int angle);
QRect turnedBounds(const QRect& box, int angle);
// The pixels of the turned box, in the box's own coordinates (its top-left
// corner at 0,0): where a turned line is drawn and takes the pointer.
QRegion turnedRegion(const QSize& box, int angle);

// A text line on the canvas (`lblA`): transparent, sizes itself to its caption.
// Its place is the caption's; an outline or shadow grows the widget round it.
class CanvasLabel final : public QLabel, public CanvasObject {
    Q_OBJECT
public:
    explicit CanvasLabel(QWidget* parent);
    TwipsPlacement& place() override {
        fitToCaption();
        return place_;
    }
    int MousePointer() const override { return pointer_; }
    void setMousePointer(int shape) override;
    void setCaption(const QString& caption);
    void setLabelFont(const QFont& font);
    void setForeColor(const QColor& color);
    QColor ForeColor() const;
    const CaptionLook& look() const { return look_; }
    void setLook(const CaptionLook& look);
    // Degrees counter-clockwise about the caption's centre. The place stays
    // the level caption's; the widget grows to the turned box and takes the
    // pointer only inside it.
    int angle() const { return angle_; }
    void setAngle(int degrees);
    // The turned caption's bounds.
    QRectF shownBox() override;
    // The caption's box with the room of its look, turned, in the canvas's
    // pixels, corners from the level top-left clockwise: the selection frame,
    // and the shape that takes the pointer.
    QPolygonF turnedFrame();
    CanvasMouseSource* mouse() { return &mouse_; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The label takes the size of its caption in its font and look. While it
    // is not shown, that size is measured when it is next asked for: start-up
    // sets the caption, font and look one after another, and each measure of
    // a new font loads that font.
    void autoSize();
    void fitToCaption();

    CaptionLook look_;
    int angle_ = 0;
    bool sizeStale_ = false;
    TwipsPlacement place_;
    int pointer_ = 0;
    CanvasMouseSource mouse_;
};

// The off-screen picture box `picSave`: keeps the last rendered logo.
class PictureSave final : public QWidget {
    Q_OBJECT
public:
    explicit PictureSave(QWidget* parent);
    TwipsPlacement& place() { return place_; }
    // Its image: what was last drawn into it, at its own size in pixels.
    const QImage& Image() const { return image_; }
    QImage& image() { return image_; }
    // Resizing keeps the drawing's top-left part and fills the rest white.
    void setWidth(float twips);
    void setHeight(float twips);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void resizeImage();

    TwipsPlacement place_;
    QImage image_;
};

// Drawn over the canvas on screen only, never into the logo: a dashed frame
// round the selected object and the guide lines it has snapped to.
class CanvasOverlay final : public QWidget {
    Q_OBJECT
public:
    explicit CanvasOverlay(QWidget* canvas);
    void setFrame(const QRect& frame);
    // The frame of a turned text line, its corners in order; empty for none.
    void setTurnedFrame(const QPolygonF& frame);
    // The turn handle's stem, from the frame's edge to the knob's centre (a
    // null line for none), and the angle shown beside it while it is dragged.
    void setTurnHandle(const QLineF& stem, const QString& reading);
    const QString& reading() const { return reading_; }
    // Guide positions in pixels on the canvas; negative for none.
    void setGuides(int x, int y);
    // A dotted frame inside the viewport's visible part: the canvas has the
    // keyboard focus and no object is selected.
    void setFocusMark(bool on);
    // While the logo is rendered the overlay paints nothing.
    void setSuppressed(bool on) { suppressed_ = on; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Where the angle is shown beside the knob.
    QRectF readingPlate() const;
    // What the turn handle covers.
    QRect turnHandleArea() const;

    QRect frame_;
    QPolygonF turnedFrame_;
    QPointF stemFoot_;
    QPointF knob_;
    QString reading_;
    int guideX_ = -1;
    int guideY_ = -1;
    bool focusMark_ = false;
    bool suppressed_ = false;
};

// The canvas model: the viewport `Picture2`, the canvas `pArea` inside it with
// the picture and the two text lines, the two scroll bars and `picSave`, with
// the small window state of scrolling and dragging. The main window owns it.
class Canvas final : public QObject {
    Q_OBJECT
public:
    Canvas(QWidget* form, MessageBoxes& messages, SettingsStore& settings);

    PictureBox* Picture2;
    PictureBox* pArea;
    ImageControl* imgLogo;
    CanvasLabel* lblA[2];
    QScrollBar* HScroll1;
    QScrollBar* VScroll1;
    PictureSave* picSave;

    std::int16_t ScrollStepX = 0;
    std::int16_t ScrollStepY = 0;

    // Puts the canvas back at the viewport's origin and sets up both scroll
    // bars for its size. No trap of its own: raises for the caller's trap.
    void SetScrollBars();
    void HScroll1_Change();
    void VScroll1_Change();
    // The mouse wheel over the viewport moves the scroll bars, about
    // QApplication::wheelScrollLines() lines of text a notch; with Shift, or a
    // sideways wheel, the horizontal one. The bars' change handlers move the canvas.
    void wheel(const QPoint& angleDelta, Qt::KeyboardModifiers modifiers);
    // The growth rule: when the picture's bottom (in single precision) lies
    // below the canvas, the canvas grows to that bottom plus 50 twips.
    bool pictureBelowCanvas() const;
    void growToPicture();

    // The canvas size the user chose, in pixels; empty for the classic canvas
    // (7680 twips wide, 3435 high before it grows).
    QSize chosenSize() const { return chosenSize_; }
    // Gives the canvas a chosen size (empty: the classic one) before the
    // growth rule; the scroll bars are left to the caller.
    void setChosenSize(const QSize& pixels);

    // Moves the grabbed object with the pointer (action 0 press, 1 move, 2 release).
    void DragControl(CanvasObject& target, int action, int button, float x, float y);
    void imgLogo_MouseDown(int button, float x, float y);
    void imgLogo_MouseMove(int button, float x, float y);
    void imgLogo_MouseUp(int button, float x, float y);
    void lblA_MouseDown(int index, int button, float x, float y);
    void lblA_MouseMove(int index, int button, float x, float y);
    void lblA_MouseUp(int index, int button, float x, float y);

    // Renders the whole canvas at full size into picSave's image and puts the
    // view back as it was.
    void BuildLogo();

    CanvasObject* DragObject() const { return dragObject_; }

    // The object the last click or Tab chose, or none. Arrow keys move it.
    CanvasObject* Selected() const { return selected_; }
    void select(CanvasObject* object);
    // Moves the selected object by whole pixels, kept on the canvas as a drag
    // keeps it, and stores its place. Keyboard steps are exact: they show a
    // guide where the object lines up, but do not snap to it.
    void nudge(int dx, int dy);
    // Snapping to the centre lines and the other objects while dragging: off
    // until switched on, so a drag goes exactly where the pointer takes it;
    // Alt held turns it off for a moment.
    void setSnapping(bool on) { snapping_ = on; }
    bool snapping() const { return snapping_; }
    CanvasOverlay* overlay() const { return overlay_; }
    // The knob that turns the selected text line.
    TurnHandle* turnHandle() const { return turnHandle_; }

    // An object that lies wholly outside the canvas on an axis is moved back
    // inside on that axis. True when it moved.
    bool bringInside(CanvasObject& object);

signals:
    // An object's place changed and is stored: at the end of a drag, or by a
    // key (`byKey`).
    void objectMoved(bool byKey);
    // Ctrl and the wheel over the picture: notches up (positive) or down.
    void scaleWheel(int notches);
    // Ctrl+Shift and the wheel over the selected text line: degrees to turn
    // it by, counter-clockwise positive.
    void angleWheel(int line, int degrees);
    // The turn handle was let go: the line is shown at `to` degrees, and was
    // at `from` when the handle was grabbed.
    void lineTurned(int line, int from, int to);
    void contextMenuWanted(const QPoint& globalPosition);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool keyPress(QKeyEvent* event);
    bool tabThroughObjects(bool forward);
    // Keeps what the user sees of the object on the canvas.
    void keepWithinCanvas(CanvasObject& object);
    // Pulls the object onto a centre line or another object's edge or centre
    // within five pixels; records the guides it lines up with.
    void snap(CanvasObject& object, bool pull);
    void showSelection();
    QList<CanvasObject*> visibleObjects() const;

    CanvasOverlay* overlay_ = nullptr;
    TurnHandle* turnHandle_ = nullptr;
    CanvasObject* selected_ = nullptr;
    QSize chosenSize_;
    bool snapping_ = false;

    // Parts of a wheel notch not yet scrolled, in scroll-bar units.
    double wheelRestX_ = 0;
    double wheelRestY_ = 0;

    MessageBoxes& messages_;
    SettingsStore& settings_;
    CanvasObject* dragObject_ = nullptr;
    std::int16_t dragOffsetX_ = 0;
    std::int16_t dragOffsetY_ = 0;
};

}  // namespace vantelo

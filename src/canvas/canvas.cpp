#include "canvas/canvas.h"

#include <algorithm>
#include <cmath>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "canvas/turnhandle.h"
#include "design/logodesign.h"
#include "platform/settingsstore.h"

namespace vantelo {

int buttonState(Qt::MouseButtons buttons) {
    int state = 0;
    if (buttons & Qt::LeftButton)
        state |= 1;
    if (buttons & Qt::RightButton)
        state |= 2;
    if (buttons & Qt::MiddleButton)
        state |= 4;
    return state;
}

namespace {

float twipsX(const QPointF& p) {
    return static_cast<float>(p.x() * twipsPerPixelX());
}

float twipsY(const QPointF& p) {
    return static_cast<float>(p.y() * twipsPerPixelY());
}

Qt::CursorShape shapeFor(int pointer) {
    return pointer == 15 ? Qt::SizeAllCursor : Qt::ArrowCursor;
}

// The built-in picture of the image control (196 by 135 pixels), shown when
// the picture named by the settings cannot be found.
constexpr QSize kBuiltInSize(196, 135);

QImage builtInPicture() {
    QImage image(kBuiltInSize, QImage::Format_RGB32);
    image.fill(QColor(0x2b, 0x57, 0x9a));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xf2, 0xb1, 0x34));
    painter.drawEllipse(QRectF(18, 22, 90, 90));
    painter.setBrush(QColor(0xff, 0xff, 0xff));
    painter.drawRect(QRectF(88, 52, 90, 30));
    painter.setPen(QColor(0x2b, 0x57, 0x9a));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(20);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRectF(88, 52, 90, 30), Qt::AlignCenter,
                     QCoreApplication::translate("Canvas", "LOGO"));
    return image;
}

}  // namespace

PictureBox::PictureBox(QWidget* parent, const QColor& background)
    : QWidget(parent), place_(this, 0, 0, 0, 0) {
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, background);
    setPalette(palette);
}

ImageControl::ImageControl(QWidget* parent)
    : QWidget(parent), place_(this, 0, 0, 0, 0), worker_(std::make_unique<QThreadPool>()) {
    worker_->setMaxThreadCount(1);
    shownSize_ = kBuiltInSize;
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    place_.setWidth(static_cast<float>(pixelsToTwipsX(kBuiltInSize.width())));
    place_.setHeight(static_cast<float>(pixelsToTwipsY(kBuiltInSize.height())));
}

void ImageControl::drawBuiltInIfShown() const {
    if (showsBuiltIn_ && picture_.isNull()) {
        picture_ = ShownPicture(builtInPicture());
        clearBackground();
    }
}

void ImageControl::setMousePointer(int shape) {
    pointer_ = shape;
    setCursor(shapeFor(shape));
}

void ImageControl::mousePressEvent(QMouseEvent* event) {
    emit mouse_.mouseDown(buttonState(event->button()), twipsX(event->position()),
                          twipsY(event->position()));
}

void ImageControl::mouseMoveEvent(QMouseEvent* event) {
    emit mouse_.mouseMove(buttonState(event->buttons()), twipsX(event->position()),
                          twipsY(event->position()));
}

void ImageControl::mouseReleaseEvent(QMouseEvent* event) {
    emit mouse_.mouseUp(buttonState(event->button()), twipsX(event->position()),
                        twipsY(event->position()));
}

CanvasLabel::CanvasLabel(QWidget* parent) : QLabel(parent), place_(this, 0, 0, 0, 0) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setMargin(0);
    setIndent(0);
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
}

void CanvasLabel::setMousePointer(int shape) {
    pointer_ = shape;
    setCursor(shapeFor(shape));
}

void CanvasLabel::setCaption(const QString& caption) {
    setText(caption);
    autoSize();
}

void CanvasLabel::setLabelFont(const QFont& font) {
    setFont(font);
    autoSize();
}

void CanvasLabel::setForeColor(const QColor& color) {
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, color);
    setPalette(palette);
}

QColor CanvasLabel::ForeColor() const {
    return palette().color(QPalette::WindowText);
}

QMargins captionMargins(const CaptionLook& look) {
    const int outline = std::max(0, look.outlineWidth);
    // The softest shadow copy lies 3 pixels right and below the letters.
    const int shadow = look.shadow ? 3 : 0;
    return QMargins(outline, outline, std::max(outline, shadow), std::max(outline, shadow));
}

void paintCaption(QPainter& painter, const QRect& box, const QFont& font, const QString& caption,
                  const QColor& color, const CaptionLook& look) {
    const QRect text = box.marginsRemoved(captionMargins(look));
    painter.save();
    if (!look.plain()) {
        // Smoothing is for the shadow and the outline only: left on, it would
        // draw the letters themselves differently where the font engine draws
        // scaled glyphs as paths (on Windows).
        painter.save();
        QPainterPath path;
        path.addText(QPointF(text.left(), text.top() + QFontMetrics(font).ascent()), font, caption);
        painter.setRenderHint(QPainter::Antialiasing);
        if (look.shadow) {
            // A few faint copies, each a little further off, make a soft edge.
            for (const QPointF offset : {QPointF(1, 1), QPointF(2, 2), QPointF(2.5, 1.5),
                                         QPointF(1.5, 2.5), QPointF(3, 3)})
                painter.fillPath(path.translated(offset), QColor(0, 0, 0, 48));
        }
        if (look.outlineWidth > 0) {
            // Stroked at twice the width: the inner half lies under the letters.
            painter.strokePath(path, QPen(look.outline, 2.0 * look.outlineWidth, Qt::SolidLine,
                                          Qt::RoundCap, Qt::RoundJoin));
        }
        painter.restore();
    }
    // The letters themselves are drawn as a plain caption draws them, so they
    // are the same pixels with or without an outline or shadow.
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, caption);
    painter.restore();
}

QSize captionPixelSize(const QFont& font, const QString& caption) {
    const QFontMetrics metrics(font);
    // Sized to the ink as well as the advance: an italic or overhanging last
    // letter reaches past the advance and would be cut at the label's edge.
    int width = 0;
    if (!caption.isEmpty()) {
        width =
            std::max({metrics.horizontalAdvance(caption), metrics.boundingRect(caption).right() + 1,
                      metrics.tightBoundingRect(caption).right() + 1});
    }
    return QSize(width, metrics.height());
}

void CanvasLabel::setLook(const CaptionLook& look) {
    look_ = look;
    autoSize();
    update();
}

QTransform turnAboutCentre(const QRectF& box, int angle) {
    const QPointF centre = box.center();
    QTransform turn;
    turn.translate(centre.x(), centre.y());
    turn.rotate(-angle);
    turn.translate(-centre.x(), -centre.y());
    return turn;
}

QRect turnedBounds(const QRect& box, int angle) {
    if (angle == 0)
        return box;
    return turnAboutCentre(QRectF(box), angle).mapRect(QRectF(box)).toAlignedRect();
}

QRegion turnedRegion(const QSize& box, int angle) {
    const QRectF level(QPointF(0, 0), box);
    return QRegion(turnAboutCentre(level, angle).map(QPolygonF(level)).toPolygon());
}

void CanvasLabel::setAngle(int degrees) {
    if (degrees == angle_)
        return;
    angle_ = degrees;
    autoSize();
    update();
}

QRectF CanvasLabel::shownBox() {
    const TwipsPlacement& p = place();
    const QRectF level(p.Left(), p.Top(), p.Width(), p.Height());
    if (angle_ == 0 || text().isEmpty())
        return level;
    // Turned in pixels, where the box and its centre are the ones drawn.
    const double x = twipsPerPixelX();
    const double y = twipsPerPixelY();
    const QRectF caption(0, 0, p.Width() / x, p.Height() / y);
    const QRectF box = caption.marginsAdded(QMarginsF(captionMargins(look_)));
    const QRectF turned = turnAboutCentre(box, angle_).map(QPolygonF(caption)).boundingRect();
    return QRectF(p.Left() + turned.left() * x, p.Top() + turned.top() * y, turned.width() * x,
                  turned.height() * y);
}

QPolygonF CanvasLabel::turnedFrame() {
    place();
    const QRectF box(
        geometry().marginsRemoved(place_.outset()).marginsAdded(captionMargins(look_)));
    QPolygonF frame = turnAboutCentre(box, angle_).map(QPolygonF(box));
    // The closing corner is the first again.
    frame.removeLast();
    return frame;
}

void CanvasLabel::paintEvent(QPaintEvent* event) {
    if (angle_ == 0 && look_.plain()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    if (angle_ == 0) {
        paintCaption(painter, rect(), font(), text(), ForeColor(), look_);
        return;
    }
    // The level box inside the widget, turned about its centre.
    const QRect box = rect().marginsRemoved(place_.outset()).marginsAdded(captionMargins(look_));
    painter.setTransform(turnAboutCentre(QRectF(box), angle_));
    paintCaption(painter, box, font(), text(), ForeColor(), look_);
}

void CanvasLabel::autoSize() {
    sizeStale_ = true;
    if (isVisible())
        fitToCaption();
}

void CanvasLabel::fitToCaption() {
    if (!sizeStale_)
        return;
    sizeStale_ = false;
    const QSize size = captionPixelSize(font(), text());
    place_.setWidth(static_cast<float>(pixelsToTwipsX(size.width())));
    place_.setHeight(static_cast<float>(pixelsToTwipsY(size.height())));
    if (text().isEmpty() || angle_ == 0) {
        place_.setOutset(text().isEmpty() ? QMargins() : captionMargins(look_));
        clearMask();
        return;
    }
    // The widget holds the turned box; the place stays the level caption's.
    const QRect caption(QPoint(0, 0), place_.pixelRect().size());
    const QRect box = caption.marginsAdded(captionMargins(look_));
    const QRect bounds = turnedBounds(box, angle_);
    place_.setOutset(QMargins(caption.left() - bounds.left(), caption.top() - bounds.top(),
                              bounds.right() - caption.right(),
                              bounds.bottom() - caption.bottom()));
    // Only the turned box takes the pointer: a click beside it reaches what
    // lies below.
    setMask(turnedRegion(box.size(), angle_).translated(box.topLeft() - bounds.topLeft()));
}

void CanvasLabel::showEvent(QShowEvent* event) {
    fitToCaption();
    QLabel::showEvent(event);
}

void CanvasLabel::mousePressEvent(QMouseEvent* event) {
    emit mouse_.mouseDown(buttonState(event->button()), twipsX(event->position()),
                          twipsY(event->position()));
}

void CanvasLabel::mouseMoveEvent(QMouseEvent* event) {
    emit mouse_.mouseMove(buttonState(event->buttons()), twipsX(event->position()),
                          twipsY(event->position()));
}

void CanvasLabel::mouseReleaseEvent(QMouseEvent* event) {
    emit mouse_.mouseUp(buttonState(event->button()), twipsX(event->position()),
                        twipsY(event->position()));
}

PictureSave::PictureSave(QWidget* parent) : QWidget(parent), place_(this, 0, 0, 0, 0) {}

void PictureSave::setWidth(float twips) {
    place_.setWidth(twips);
    resizeImage();
}

void PictureSave::setHeight(float twips) {
    place_.setHeight(twips);
    resizeImage();
}

void PictureSave::resizeImage() {
    const QSize size(std::max(0, twipsToPixelsX(place_.Width())),
                     std::max(0, twipsToPixelsY(place_.Height())));
    if (image_.size() == size)
        return;
    QImage resized(size, QImage::Format_RGB32);
    resized.fill(Qt::white);
    if (!image_.isNull()) {
        QPainter painter(&resized);
        painter.drawImage(0, 0, image_);
    }
    image_ = resized;
}

void PictureSave::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
}

Canvas::Canvas(QWidget* form, MessageBoxes& messages, SettingsStore& settings)
    : QObject(form), messages_(messages), settings_(settings) {
    Picture2 = new PictureBox(form, QColor(0xE0, 0xE0, 0xE0));
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->place().setAll(120, 120, 9345, 3465);
    QFont viewportFont(QStringLiteral("MS Sans Serif"));
    viewportFont.setPointSizeF(8.25);
    Picture2->setFont(viewportFont);

    pArea = new PictureBox(Picture2, form->palette().color(QPalette::Base));
    pArea->setObjectName(QStringLiteral("pArea"));
    pArea->place().setAll(0, 0, 7680, 3435);

    QFont labelFont(QStringLiteral("Arial"));
    labelFont.setPointSizeF(8.25);
    const float labelLeft[2] = {1755, 5280};
    const float labelTop[2] = {990, 2520};
    for (int i = 0; i < 2; ++i) {
        lblA[i] = new CanvasLabel(pArea);
        lblA[i]->setObjectName(QStringLiteral("lblA%1").arg(i));
        lblA[i]->place().setAll(labelLeft[i], labelTop[i], 1050, 210);
        lblA[i]->setLabelFont(labelFont);
        lblA[i]->setCaption(QCoreApplication::translate("Canvas", "Your text here"));
    }

    imgLogo = new ImageControl(pArea);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->place().setLeft(2475);
    imgLogo->place().setTop(810);
    // The picture lies under the text lines.
    imgLogo->lower();

    VScroll1 = new QScrollBar(Qt::Vertical, form);
    VScroll1->setObjectName(QStringLiteral("VScroll1"));
    TwipsPlacement(VScroll1, 9450, 120, 255, 3465);
    HScroll1 = new QScrollBar(Qt::Horizontal, form);
    HScroll1->setObjectName(QStringLiteral("HScroll1"));
    TwipsPlacement(HScroll1, 120, 3585, 9375, 255);
    for (QScrollBar* bar : {HScroll1, VScroll1}) {
        bar->setMinimum(0);
        bar->setMaximum(32767);
        bar->setSingleStep(1);
        bar->setPageStep(1);
    }

    overlay_ = new CanvasOverlay(pArea);
    overlay_->setObjectName(QStringLiteral("canvasOverlay"));
    // Above the overlay, which lets the pointer through to it.
    turnHandle_ = new TurnHandle(pArea);
    turnHandle_->setObjectName(QStringLiteral("turnHandle"));
    connect(turnHandle_, &TurnHandle::changed, this, [this] { showSelection(); });
    connect(turnHandle_, &TurnHandle::turned, this, [this](CanvasLabel* line, int from, int to) {
        emit lineTurned(line == lblA[0] ? 0 : 1, from, to);
    });

    picSave = new PictureSave(form);
    picSave->setObjectName(QStringLiteral("picSave"));
    picSave->place().setAll(10125, 180, 390, 315);
    picSave->setWidth(390);
    picSave->setHeight(315);

    // Wheel events the user turns over the canvas travel up to the viewport;
    // those a program sends stay with the widget they were sent to.
    for (QWidget* part :
         std::initializer_list<QWidget*>{Picture2, pArea, imgLogo, lblA[0], lblA[1]})
        part->installEventFilter(this);
    connect(HScroll1, &QScrollBar::valueChanged, this, [this] { HScroll1_Change(); });
    connect(VScroll1, &QScrollBar::valueChanged, this, [this] { VScroll1_Change(); });
    connect(imgLogo->mouse(), &CanvasMouseSource::mouseDown, this,
            [this](int b, float x, float y) { imgLogo_MouseDown(b, x, y); });
    connect(imgLogo->mouse(), &CanvasMouseSource::mouseMove, this,
            [this](int b, float x, float y) { imgLogo_MouseMove(b, x, y); });
    connect(imgLogo->mouse(), &CanvasMouseSource::mouseUp, this,
            [this](int b, float x, float y) { imgLogo_MouseUp(b, x, y); });
    for (int i = 0; i < 2; ++i) {
        connect(lblA[i]->mouse(), &CanvasMouseSource::mouseDown, this,
                [this, i](int b, float x, float y) { lblA_MouseDown(i, b, x, y); });
        connect(lblA[i]->mouse(), &CanvasMouseSource::mouseMove, this,
                [this, i](int b, float x, float y) { lblA_MouseMove(i, b, x, y); });
        connect(lblA[i]->mouse(), &CanvasMouseSource::mouseUp, this,
                [this, i](int b, float x, float y) { lblA_MouseUp(i, b, x, y); });
    }
}

bool Canvas::pictureBelowCanvas() const {
    const float bottom = imgLogo->place().Top() + imgLogo->place().Height();
    return bottom > pArea->place().Height();
}

void Canvas::growToPicture() {
    pArea->place().setHeight(imgLogo->place().Top() + imgLogo->place().Height() + 50);
}

}  // namespace vantelo

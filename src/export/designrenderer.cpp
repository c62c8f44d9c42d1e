#include "export/designrenderer.h"

#include <QPainter>
#include <cmath>

#include "canvas/canvas.h"
#include "design/picturescale.h"
#include "platform/commondialog.h"
#include "platform/twips.h"

namespace vantelo {
namespace {

QFont fontOf(const TextLineDesign& line) {
    QFont font(line.fontName);
    font.setPointSizeF(line.fontSize);
    font.setBold(line.bold);
    font.setItalic(line.italic);
    font.setStrikeOut(line.strikeOut);
    font.setUnderline(line.underline);
    return font;
}

QPoint pixelPlace(float left, float top) {
    return QPoint(twipsToPixelsX(left), twipsToPixelsY(top));
}

QRect pictureRect(const RenderSource& source) {
    const QSize own = source.pictureSize.isEmpty() ? source.picture.size() : source.pictureSize;
    return QRect(pixelPlace(source.design.picture.left, source.design.picture.top),
                 scaledPictureSize(own, source.design.picture.scale));
}

// Draws the picture, resampled from its own pixels to `placed` (in output
// pixels), as far as it lies inside `visible`. A copy small enough to make
// whole is made whole, as the canvas shows it; a larger one only where it is seen.
void drawPicture(QPainter& painter, const RenderSource& source, const RenderOptions& options,
                 const QRect& placed, const QRect& visible, bool atCanvasScale) {
    const QRect seen = placed & visible;
    if (seen.isEmpty())
        return;
    const QImage& original = source.picture;
    if (!resampledWhole(original.size(), placed.size()) ||
        (options.quick && atCanvasScale && source.shown.size() != placed.size())) {
        painter.drawImage(seen.topLeft(), resampledPart(original, placed.size(),
                                                        seen.translated(-placed.topLeft())));
        return;
    }
    const QImage whole =
        atCanvasScale && source.shown.size() == placed.size()
            ? source.shown
            : original.scaled(placed.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    painter.drawImage(seen.topLeft(), whole, seen.translated(-placed.topLeft()));
}

}  // namespace

CaptionLook lookOf(const TextLineDesign& line) {
    CaptionLook look;
    look.outlineWidth = line.outlineWidth;
    look.outline = valueToColor(line.outlineColor);
    look.shadow = line.shadow;
    return look;
}

QRect textLineRect(const TextLineDesign& line) {
    const QRect caption(pixelPlace(line.left, line.top), captionPixelSize(fontOf(line), line.text));
    return line.text.isEmpty() ? caption : caption.marginsAdded(captionMargins(lookOf(line)));
}

namespace {

QRect renderArea(const RenderSource& source, const RenderOptions& options) {
    const QRect canvas(QPoint(0, 0), source.canvas);
    if (!options.part.isEmpty())
        return options.part & canvas;
    if (!options.trim)
        return canvas;
    const QRect content = contentBounds(source);
    if (content.isEmpty())
        return canvas;
    return content.adjusted(-kTrimMargin, -kTrimMargin, kTrimMargin, kTrimMargin) & canvas;
}

}  // namespace

RenderSource renderSourceOf(const Canvas& canvas, const LogoDesign& design) {
    const ImageControl& picture = *canvas.imgLogo;
    return {design, picture.logoPicture(), canvas.pArea->size(),
            picture.scale() == design.picture.scale && !picture.shownFromReduced()
                ? picture.smoothCopy()
                : QImage()};
}

RenderSource shownSourceOf(const Canvas& canvas, const LogoDesign& design) {
    const ImageControl& picture = *canvas.imgLogo;
    return {design, picture.shownFrom(), canvas.pArea->size(),
            picture.scale() == design.picture.scale ? picture.smoothCopy() : QImage(),
            picture.pictureSize()};
}

QRect contentBounds(const RenderSource& source) {
    QRect bounds = pictureRect(source);
    for (const TextLineDesign& line : source.design.lines) {
        if (line.shown != 0 && !line.text.isEmpty())
            bounds |= turnedBounds(textLineRect(line), line.angle);
    }
    return bounds & QRect(QPoint(0, 0), source.canvas);
}

double renderScale(const RenderOptions& options, const QRect& area) {
    if (options.width > 0 && area.width() > 0)
        return double(options.width) / area.width();
    return options.scale > 0 ? options.scale : 1.0;
}

QRect renderedArea(const RenderSource& source, const RenderOptions& options) {
    return renderArea(source, options);
}

QSize renderedSize(const QRect& area, double scale) {
    const QSize size(static_cast<int>(std::lround(area.width() * scale)),
                     static_cast<int>(std::lround(area.height() * scale)));
    if (size.isEmpty() || size.width() > kMaximumRenderSide || size.height() > kMaximumRenderSide)
        return QSize();
    return size;
}

void paintDesign(QPainter& painter, const RenderSource& source, const RenderOptions& options,
                 const QRect& area, double scale, PictureDrawing pictureDrawing) {
    // Canvas pixels to output pixels.
    const auto toOutput = [&](const QRect& r) {
        return QRect(static_cast<int>(std::lround((r.x() - area.x()) * scale)),
                     static_cast<int>(std::lround((r.y() - area.y()) * scale)),
                     static_cast<int>(std::lround(r.width() * scale)),
                     static_cast<int>(std::lround(r.height() * scale)));
    };
    const QRect canvasRect = toOutput(QRect(QPoint(0, 0), source.canvas));

    const QRect pictureOut = toOutput(pictureRect(source));
    const QRect visible = pictureOut & canvasRect;
    if (pictureDrawing == PictureDrawing::OwnPixels && !visible.isEmpty() &&
        !source.picture.isNull()) {
        // Only the part the canvas shows is kept, at the picture's own
        // resolution; the output scales it to its place.
        const double toSourceX = double(source.picture.width()) / pictureOut.width();
        const double toSourceY = double(source.picture.height()) / pictureOut.height();
        const QRect kept = QRectF((visible.x() - pictureOut.x()) * toSourceX,
                                  (visible.y() - pictureOut.y()) * toSourceY,
                                  visible.width() * toSourceX, visible.height() * toSourceY)
                               .toAlignedRect() &
                           source.picture.rect();
        const QRectF target(pictureOut.x() + kept.x() / toSourceX,
                            pictureOut.y() + kept.y() / toSourceY, kept.width() / toSourceX,
                            kept.height() / toSourceY);
        painter.save();
        painter.setClipRect(canvasRect);
        painter.drawImage(target, source.picture.copy(kept));
        painter.restore();
    } else if (pictureDrawing == PictureDrawing::Resampled && !pictureOut.isEmpty()) {
        // The picture is resampled from its own pixels to its size on the
        // output: never enlarged from the screen's copy.
        const QRect output(QPoint(0, 0), renderedSize(area, scale));
        drawPicture(painter, source, options, pictureOut, canvasRect & output, scale == 1.0);
    }

    // The text is laid out in canvas pixels and drawn through the scale, so
    // the glyphs are drawn at the output's size.
    painter.save();
    painter.translate(-area.x() * scale, -area.y() * scale);
    painter.scale(scale, scale);
    painter.setClipRect(QRect(QPoint(0, 0), source.canvas));
    for (const TextLineDesign& line : source.design.lines) {
        if (line.shown == 0 || line.text.isEmpty())
            continue;
        const QRect rect = textLineRect(line);
        painter.save();
        // A turned line is drawn level in its own turned frame, so the clip
        // and the letters turn with it.
        if (line.angle == 0) {
            painter.setClipRect(rect, Qt::IntersectClip);
        } else {
            // The same pixels the canvas shows the turned line in.
            painter.setClipRegion(turnedRegion(rect.size(), line.angle).translated(rect.topLeft()),
                                  Qt::IntersectClip);
            painter.setTransform(turnAboutCentre(QRectF(rect), line.angle), true);
        }
        painter.setFont(fontOf(line));
        painter.setPen(valueToColor(line.color));
        if (lookOf(line).plain())
            painter.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter, line.text);
        else
            paintCaption(painter, rect, fontOf(line), line.text, valueToColor(line.color),
                         lookOf(line));
        painter.restore();
    }
    painter.restore();
}

QImage renderDesign(const RenderSource& source, const RenderOptions& options) {
    const QRect area = renderArea(source, options);
    const double scale = renderScale(options, area);
    const QSize size = renderedSize(area, scale);
    if (size.isEmpty())
        return QImage();
    QImage image(size,
                 options.transparent ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    image.fill(options.transparent ? QColor(Qt::transparent) : options.background);
    QPainter painter(&image);
    paintDesign(painter, source, options, area, scale, PictureDrawing::Resampled);
    return image;
}

}  // namespace vantelo

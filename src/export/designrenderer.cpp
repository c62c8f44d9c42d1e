#include "export/designrenderer.h"

#include <QPainter>
#include <cmath>

#include "canvas/canvas.h"
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
    const QImage shown = pictureAtScale(source.picture, source.design.picture.scale);
    return QRect(pixelPlace(source.design.picture.left, source.design.picture.top), shown.size());
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
    return {design, canvas.imgLogo->logoPicture(), canvas.pArea->size()};
}

QRect contentBounds(const RenderSource& source) {
    QRect bounds = pictureRect(source);
    for (const TextLineDesign& line : source.design.lines) {
        if (line.shown != 0 && !line.text.isEmpty())
            bounds |= textLineRect(line);
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

void paintDesign(QPainter& painter, const RenderSource& source, const QRect& area, double scale,
                 PictureDrawing pictureDrawing) {
    // Canvas pixels to output pixels.
    const auto toOutput = [&](const QRect& r) {
        return QRect(static_cast<int>(std::lround((r.x() - area.x()) * scale)),
                     static_cast<int>(std::lround((r.y() - area.y()) * scale)),
                     static_cast<int>(std::lround(r.width() * scale)),
                     static_cast<int>(std::lround(r.height() * scale)));
    };
    const QRect canvasRect = toOutput(QRect(QPoint(0, 0), source.canvas));

    const QRect picture = pictureRect(source);
    const QRect pictureOut = toOutput(picture);
    const QRect visible = pictureOut & canvasRect;
    if (!visible.isEmpty() && !source.picture.isNull()) {
        painter.save();
        painter.setClipRect(canvasRect);
        if (pictureDrawing == PictureDrawing::OwnPixels) {
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
            painter.drawImage(target, source.picture.copy(kept));
        } else {
            // The picture is resampled once, from its own pixels, to its size
            // on the output: never enlarged from the screen's copy.
            const QImage drawn =
                scale == 1.0 ? pictureAtScale(source.picture, source.design.picture.scale)
                             : source.picture.scaled(pictureOut.size(), Qt::IgnoreAspectRatio,
                                                     Qt::SmoothTransformation);
            painter.drawImage(pictureOut.topLeft(), drawn);
        }
        painter.restore();
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
        painter.setClipRect(rect, Qt::IntersectClip);
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
    paintDesign(painter, source, area, scale, PictureDrawing::Resampled);
    return image;
}

}  // namespace vantelo

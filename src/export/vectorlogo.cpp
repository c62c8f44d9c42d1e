#include "export/vectorlogo.h"

#include <QBuffer>
#include <QImageWriter>
#include <QMap>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <climits>
#include <cmath>

namespace vantelo {
namespace {

// Pictures up to this many pixels are embedded losslessly; larger opaque ones
// (photos) as JPEG, which keeps a camera photo's file a tenth of the size.
constexpr qint64 kLosslessPixels = 1024 * 1024;
constexpr int kEmbeddedJpegQuality = 95;

// A paint engine that keeps what it is asked to draw instead of drawing it.
// It claims every feature, so QPainter hands it paths, transforms and clips as
// they are; text reaches it through QPaintEngine's own drawTextItem, which
// turns the glyphs into a path and fills it.
class RecordingEngine : public QPaintEngine {
public:
    explicit RecordingEngine(VectorLogo& logo) : QPaintEngine(AllFeatures), logo_(logo) {}

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return User; }

    void updateState(const QPaintEngineState& state) override {
        const DirtyFlags dirty = state.state();
        // The clip arrives in the coordinates of the transform that comes
        // with it, so the transform is taken first.
        if (dirty & DirtyTransform)
            transform_ = state.transform();
        if (dirty & DirtyPen)
            pen_ = state.pen();
        if (dirty & DirtyBrush)
            brush_ = state.brush();
        if (dirty & DirtyOpacity)
            opacity_ = state.opacity();
        if (dirty & DirtyClipEnabled)
            clipEnabled_ = state.isClipEnabled();
        if (dirty & DirtyClipRegion) {
            QPainterPath region;
            region.addRegion(state.clipRegion());
            clipTo(region, state.clipOperation());
        }
        if (dirty & DirtyClipPath)
            clipTo(state.clipPath(), state.clipOperation());
    }

    void drawPath(const QPainterPath& path) override {
        const QPainterPath onOutput = transform_.map(path);
        if (brush_.style() != Qt::NoBrush)
            add(VectorItem::Fill, onOutput, brush_.color());
        if (pen_.style() != Qt::NoPen) {
            VectorItem& stroke = add(VectorItem::Stroke, onOutput, pen_.color());
            // A width of 0 is one output pixel whatever the transform.
            const double scale = std::sqrt(std::abs(transform_.determinant()));
            stroke.strokeWidth = pen_.widthF() > 0 ? pen_.widthF() * scale : 1.0;
            stroke.cap = pen_.capStyle();
            stroke.join = pen_.joinStyle();
        }
    }

    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override {
        QPainterPath path;
        path.addPolygon(QPolygonF(QList<QPointF>(points, points + count)));
        if (mode == PolylineMode) {
            const QBrush brush = brush_;
            brush_ = Qt::NoBrush;
            drawPath(path);
            brush_ = brush;
            return;
        }
        path.closeSubpath();
        path.setFillRule(mode == OddEvenMode ? Qt::OddEvenFill : Qt::WindingFill);
        drawPath(path);
    }

    void drawImage(const QRectF& target, const QImage& image, const QRectF& source,
                   Qt::ImageConversionFlags) override {
        const QRect kept = source.toAlignedRect() & image.rect();
        if (kept.isEmpty())
            return;
        // Only translation and scaling reach here, so a rectangle stays one.
        const double toTargetX = target.width() / source.width();
        const double toTargetY = target.height() / source.height();
        const QRectF keptTarget(target.x() + (kept.x() - source.x()) * toTargetX,
                                target.y() + (kept.y() - source.y()) * toTargetY,
                                kept.width() * toTargetX, kept.height() * toTargetY);
        VectorItem item;
        item.kind = VectorItem::Image;
        item.image = kept == image.rect() ? image : image.copy(kept);
        item.target = transform_.mapRect(keptTarget);
        item.clip = currentClip();
        logo_.items.push_back(item);
    }

    void drawPixmap(const QRectF& target, const QPixmap& pixmap, const QRectF& source) override {
        drawImage(target, pixmap.toImage(), source, Qt::AutoColor);
    }

private:
    VectorItem& add(VectorItem::Kind kind, const QPainterPath& path, QColor color) {
        color.setAlphaF(color.alphaF() * opacity_);
        VectorItem item;
        item.kind = kind;
        item.path = path;
        item.color = color;
        item.clip = currentClip();
        logo_.items.push_back(item);
        return logo_.items.back();
    }

    void clipTo(const QPainterPath& path, Qt::ClipOperation operation) {
        clipIndex_ = -1;
        if (operation == Qt::NoClip) {
            hasClip_ = false;
            return;
        }
        const QPainterPath onOutput = transform_.map(path);
        clip_ = operation == Qt::IntersectClip && hasClip_ ? clip_.intersected(onOutput) : onOutput;
        hasClip_ = true;
        clipEnabled_ = true;
    }

    // The clip is written once however many items share it.
    int currentClip() {
        if (!hasClip_ || !clipEnabled_)
            return -1;
        if (clipIndex_ < 0) {
            logo_.clips.push_back(clip_.simplified());
            clipIndex_ = int(logo_.clips.size()) - 1;
        }
        return clipIndex_;
    }

    VectorLogo& logo_;
    QTransform transform_;
    QPen pen_;
    QBrush brush_;
    double opacity_ = 1.0;
    bool clipEnabled_ = false;
    bool hasClip_ = false;
    QPainterPath clip_;
    int clipIndex_ = -1;
};

// A paint device of the logo's size at 96 dots per inch, the resolution of
// the canvas, so that fonts get the same pixel sizes as on the screen.
class RecordingDevice : public QPaintDevice {
public:
    RecordingDevice(VectorLogo& logo) : logo_(logo), engine_(logo) {}
    QPaintEngine* paintEngine() const override { return &engine_; }

protected:
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
            case PdmWidth:
                return logo_.size.width();
            case PdmHeight:
                return logo_.size.height();
            case PdmWidthMM:
                return int(std::lround(logo_.size.width() * 25.4 / 96));
            case PdmHeightMM:
                return int(std::lround(logo_.size.height() * 25.4 / 96));
            case PdmNumColors:
                return INT_MAX;
            case PdmDepth:
                return 32;
            case PdmDpiX:
            case PdmDpiY:
            case PdmPhysicalDpiX:
            case PdmPhysicalDpiY:
                return 96;
            case PdmDevicePixelRatio:
                return 1;
            case PdmDevicePixelRatioScaled:
                return int(devicePixelRatioFScale());
        }
        return 0;
    }

private:
    VectorLogo& logo_;
    mutable RecordingEngine engine_;
};

QByteArray number(double value) {
    QByteArray text = QByteArray::number(value, 'f', 3);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    return text == "-0" ? QByteArray("0") : text;
}

QByteArray pathData(const QPainterPath& path) {
    QByteArray data;
    QPointF start;
    QPointF last;
    const auto point = [&](const QPointF& p) {
        data += number(p.x()) + ' ' + number(p.y());
        last = p;
    };
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        if (element.isMoveTo()) {
            if (i > 0 && last == start)
                data += 'Z';
            data += 'M';
            point(element);
            start = element;
        } else if (element.isLineTo()) {
            data += 'L';
            point(element);
        } else if (element.isCurveTo() && i + 2 < path.elementCount()) {
            data += 'C';
            point(element);
            data += ' ';
            point(path.elementAt(i + 1));
            data += ' ';
            point(path.elementAt(i + 2));
            i += 2;
        }
    }
    if (path.elementCount() > 1 && last == start)
        data += 'Z';
    return data;
}

QByteArray colourAttributes(const char* paint, const QColor& color) {
    QByteArray text = QByteArray(" ") + paint + "=\"" + color.name(QColor::HexRgb).toLatin1() + '"';
    if (color.alpha() < 255)
        text += QByteArray(" ") + paint + "-opacity=\"" + number(color.alphaF()) + '"';
    return text;
}

bool isOpaque(const QImage& image) {
    if (!image.hasAlphaChannel())
        return true;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(row[x]) != 255)
                return false;
        }
    }
    return true;
}

QByteArray embeddedPicture(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const bool lossless =
        qint64(image.width()) * image.height() <= kLosslessPixels || !isOpaque(image);
    QImageWriter writer(&buffer, lossless ? "png" : "jpeg");
    if (!lossless)
        writer.setQuality(kEmbeddedJpegQuality);
    if (!writer.write(lossless ? image.convertToFormat(QImage::Format_ARGB32)
                               : image.convertToFormat(QImage::Format_RGB32)))
        return {};
    return QByteArray("data:image/") + (lossless ? "png" : "jpeg") + ";base64," + bytes.toBase64();
}

const char* capName(Qt::PenCapStyle cap) {
    switch (cap) {
        case Qt::FlatCap:
            return "butt";
        case Qt::RoundCap:
            return "round";
        default:
            return "square";
    }
}

const char* joinName(Qt::PenJoinStyle join) {
    switch (join) {
        case Qt::RoundJoin:
            return "round";
        case Qt::BevelJoin:
            return "bevel";
        default:
            return "miter";
    }
}

QByteArray pdfPath(const QPainterPath& path) {
    QByteArray ops;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            ops += number(e.x) + ' ' + number(e.y) + " m\n";
        } else if (e.isLineTo()) {
            ops += number(e.x) + ' ' + number(e.y) + " l\n";
        } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
            const QPainterPath::Element c2 = path.elementAt(i + 1);
            const QPainterPath::Element end = path.elementAt(i + 2);
            ops += number(e.x) + ' ' + number(e.y) + ' ' + number(c2.x) + ' ' + number(c2.y) + ' ' +
                   number(end.x) + ' ' + number(end.y) + " c\n";
            i += 2;
        }
    }
    return ops;
}

QByteArray pdfColour(const QColor& color, const char* op) {
    return number(color.redF()) + ' ' + number(color.greenF()) + ' ' + number(color.blueF()) + ' ' +
           op + '\n';
}

QByteArray pdfCap(Qt::PenCapStyle cap) {
    return cap == Qt::FlatCap ? "0" : cap == Qt::RoundCap ? "1" : "2";
}

QByteArray pdfJoin(Qt::PenJoinStyle join) {
    return join == Qt::RoundJoin ? "1" : join == Qt::BevelJoin ? "2" : "0";
}

// zlib data, as PDF's FlateDecode reads it: qCompress puts the length first.
QByteArray flate(const QByteArray& data) {
    return qCompress(data, 6).mid(4);
}

// A PDF file written object by object, with the cross-reference table that
// says where each one starts.
class PdfDocument {
public:
    PdfDocument() { file_ = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"; }

    // The graphics state that gives this opacity, as a content operator.
    QByteArray alpha(double value, bool stroke) {
        if (value >= 1.0)
            return {};
        const QByteArray key = (stroke ? "CA " : "ca ") + number(value);
        if (!states_.contains(key)) {
            const int id = add("<< /Type /ExtGState /" + key + " >>");
            states_.insert(key, id);
        }
        return "/S" + QByteArray::number(states_.value(key)) + " gs\n";
    }

    // Adds the picture as an image object and returns the name it is drawn by.
    QByteArray image(const QImage& picture) {
        const QImage rgba = picture.convertToFormat(QImage::Format_RGBA8888);
        const int w = rgba.width();
        const int h = rgba.height();
        QByteArray colour;
        QByteArray alphaBytes;
        colour.reserve(qsizetype(w) * h * 3);
        bool opaque = true;
        for (int y = 0; y < h; ++y) {
            const uchar* row = rgba.constScanLine(y);
            for (int x = 0; x < w; ++x) {
                colour.append(reinterpret_cast<const char*>(row + 4 * x), 3);
                alphaBytes.append(char(row[4 * x + 3]));
                opaque = opaque && row[4 * x + 3] == 255;
            }
        }
        const QByteArray size = " /Width " + QByteArray::number(w) + " /Height " +
                                QByteArray::number(h) + " /BitsPerComponent 8";
        QByteArray mask;
        if (!opaque) {
            const QByteArray data = flate(alphaBytes);
            mask = " /SMask " +
                   QByteArray::number(add("<< /Type /XObject /Subtype /Image /ColorSpace "
                                          "/DeviceGray" +
                                              size + " /Filter /FlateDecode /Length " +
                                              QByteArray::number(data.size()) + " >>",
                                          data)) +
                   " 0 R";
        }
        QByteArray data;
        QByteArray filter = "/FlateDecode";
        if (opaque && qint64(w) * h > kLosslessPixels) {
            QBuffer buffer(&data);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, "jpeg");
            writer.setQuality(kEmbeddedJpegQuality);
            if (!writer.write(picture.convertToFormat(QImage::Format_RGB32)))
                return {};
            filter = "/DCTDecode";
        } else {
            data = flate(colour);
        }
        const int id =
            add("<< /Type /XObject /Subtype /Image /ColorSpace /DeviceRGB" + size + " /Filter " +
                    filter + mask + " /Length " + QByteArray::number(data.size()) + " >>",
                data);
        images_.push_back(id);
        return "I" + QByteArray::number(id);
    }

    QByteArray finish(const QByteArray& content, const QSizeF& page) {
        const QByteArray stream = flate(content);
        const int contents = add(
            "<< /Filter /FlateDecode /Length " + QByteArray::number(stream.size()) + " >>", stream);
        QByteArray resources = "<< /ExtGState << ";
        for (auto it = states_.cbegin(); it != states_.cend(); ++it)
            resources += "/S" + QByteArray::number(it.value()) + ' ' +
                         QByteArray::number(it.value()) + " 0 R ";
        resources += ">> /XObject << ";
        for (const int id : images_)
            resources += "/I" + QByteArray::number(id) + ' ' + QByteArray::number(id) + " 0 R ";
        resources += ">> >>";
        // The page tree comes next, so the page knows its parent's number.
        const int page_ = int(offsets_.size()) + 1;
        const int pages = page_ + 1;
        add("<< /Type /Page /Parent " + QByteArray::number(pages) + " 0 R /MediaBox [0 0 " +
            number(page.width()) + ' ' + number(page.height()) + "] /Resources " + resources +
            " /Contents " + QByteArray::number(contents) + " 0 R >>");
        add("<< /Type /Pages /Kids [" + QByteArray::number(page_) + " 0 R] /Count 1 >>");
        const int catalog =
            add("<< /Type /Catalog /Pages " + QByteArray::number(pages) + " 0 R >>");
        const int info = add("<< /Creator (Vantelo) /Producer (Vantelo) >>");
        const qsizetype xref = file_.size();
        file_ += "xref\n0 " + QByteArray::number(offsets_.size() + 1) + "\n0000000000 65535 f \n";
        for (const qsizetype offset : offsets_)
            file_ += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
        file_ += "trailer\n<< /Size " + QByteArray::number(offsets_.size() + 1) + " /Root " +
                 QByteArray::number(catalog) + " 0 R /Info " + QByteArray::number(info) +
                 " 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
        return file_;
    }

private:
    // Adds an object; a dictionary with a /Length is followed by its stream.
    int add(const QByteArray& dictionary, const QByteArray& stream = QByteArray()) {
        offsets_.push_back(file_.size());
        const int id = int(offsets_.size());
        file_ += QByteArray::number(id) + " 0 obj\n" + dictionary;
        if (dictionary.contains("/Length"))
            file_ += "\nstream\n" + stream + "\nendstream";
        file_ += "\nendobj\n";
        return id;
    }

    QByteArray file_;
    QList<qsizetype> offsets_;
    QMap<QByteArray, int> states_;
    QList<int> images_;
};

}  // namespace

VectorLogo recordDesign(const RenderSource& source, const RenderOptions& options) {
    VectorLogo logo;
    const QRect area = renderedArea(source, options);
    const double scale = renderScale(options, area);
    logo.size = renderedSize(area, scale);
    if (logo.size.isEmpty())
        return logo;
    RecordingDevice device(logo);
    QPainter painter(&device);
    if (!options.transparent)
        painter.fillRect(QRect(QPoint(0, 0), logo.size), options.background);
    paintDesign(painter, source, options, area, scale, PictureDrawing::OwnPixels);
    painter.end();
    return logo;
}

QByteArray encodeSvg(const VectorLogo& logo) {
    if (logo.size.isEmpty())
        return {};
    const QByteArray width = QByteArray::number(logo.size.width());
    const QByteArray height = QByteArray::number(logo.size.height());
    QByteArray svg;
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n";
    svg +=
        "<svg xmlns=\"http://www.w3.org/2000/svg\" "
        "xmlns:xlink=\"http://www.w3.org/1999/xlink\" version=\"1.1\" width=\"" +
        width + "\" height=\"" + height + "\" viewBox=\"0 0 " + width + ' ' + height + "\">\n";
    if (!logo.clips.isEmpty()) {
        svg += "<defs>\n";
        for (int i = 0; i < logo.clips.size(); ++i) {
            svg += "<clipPath id=\"clip" + QByteArray::number(i) + "\"><path d=\"" +
                   pathData(logo.clips[i]) + "\"/></clipPath>\n";
        }
        svg += "</defs>\n";
    }
    for (const VectorItem& item : logo.items) {
        const QByteArray clip =
            item.clip < 0 ? QByteArray()
                          : " clip-path=\"url(#clip" + QByteArray::number(item.clip) + ")\"";
        switch (item.kind) {
            case VectorItem::Fill:
                svg += "<path d=\"" + pathData(item.path) + '"' +
                       colourAttributes("fill", item.color) + " fill-rule=\"" +
                       (item.path.fillRule() == Qt::OddEvenFill ? "evenodd" : "nonzero") + '"' +
                       clip + "/>\n";
                break;
            case VectorItem::Stroke:
                svg += "<path d=\"" + pathData(item.path) + "\" fill=\"none\"" +
                       colourAttributes("stroke", item.color) + " stroke-width=\"" +
                       number(item.strokeWidth) + "\" stroke-linecap=\"" + capName(item.cap) +
                       "\" stroke-linejoin=\"" + joinName(item.join) + '"' + clip + "/>\n";
                break;
            case VectorItem::Image:
                svg += "<image x=\"" + number(item.target.x()) + "\" y=\"" +
                       number(item.target.y()) + "\" width=\"" + number(item.target.width()) +
                       "\" height=\"" + number(item.target.height()) +
                       "\" preserveAspectRatio=\"none\"" + clip + " xlink:href=\"" +
                       embeddedPicture(item.image) + "\"/>\n";
                break;
        }
    }
    svg += "</svg>\n";
    return svg;
}

QByteArray encodePdf(const VectorLogo& logo) {
    if (logo.size.isEmpty())
        return {};
    PdfDocument pdf;
    QByteArray content;
    // Output pixels to points, with y downwards as on the canvas.
    content += "0.75 0 0 -0.75 0 " + number(logo.size.height() * 0.75) + " cm\n";
    for (const VectorItem& item : logo.items) {
        content += "q\n";
        if (item.clip >= 0) {
            const QPainterPath& clip = logo.clips[item.clip];
            content += pdfPath(clip) + (clip.fillRule() == Qt::OddEvenFill ? "W* n\n" : "W n\n");
        }
        switch (item.kind) {
            case VectorItem::Fill:
                content += pdf.alpha(item.color.alphaF(), false) + pdfColour(item.color, "rg") +
                           pdfPath(item.path) +
                           (item.path.fillRule() == Qt::OddEvenFill ? "f*\n" : "f\n");
                break;
            case VectorItem::Stroke:
                content += pdf.alpha(item.color.alphaF(), true) + pdfColour(item.color, "RG") +
                           number(item.strokeWidth) + " w " + pdfCap(item.cap) + " J " +
                           pdfJoin(item.join) + " j\n" + pdfPath(item.path) + "S\n";
                break;
            case VectorItem::Image: {
                const QByteArray name = pdf.image(item.image);
                if (name.isEmpty())
                    return {};
                const QRectF& r = item.target;
                // An image fills the unit square upwards; y runs down here.
                content += number(r.width()) + " 0 0 " + number(-r.height()) + ' ' + number(r.x()) +
                           ' ' + number(r.y() + r.height()) + " cm /" + name + " Do\n";
                break;
            }
        }
        content += "Q\n";
    }
    return pdf.finish(content, QSizeF(logo.size) * 0.75);
}

}  // namespace vantelo

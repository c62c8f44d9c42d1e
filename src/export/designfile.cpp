#include "export/designfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <cmath>
#include <limits>

#include "design/backgroundremoval.h"
#include "platform/commondialog.h"
#include "platform/runtimeerror.h"
#include "platform/wholefile.h"

namespace vantelo {
namespace {

const QString kFormatName = QStringLiteral("Vantelo design");

QString tr(const char* text) {
    return QCoreApplication::translate("DesignFile", text);
}

[[noreturn]] void refuse(const QString& why) {
    throw DesignFileError{why};
}

QString colourText(std::int32_t value) {
    return valueToColor(value).name(QColor::HexRgb);
}

// The limits of what a design holds; a value outside them is refused rather
// than bent, so a damaged file never opens as a different design.
constexpr int kMaximumText = 32767;  // a text box's own limit
constexpr int kMaximumFontName = 256;
constexpr double kMaximumPlace = 1e7;  // twips, far beyond any canvas
constexpr double kMaximumFontSize = 1638;

// One JSON object of the file with the path of its fields for messages.
class Fields {
public:
    Fields(QJsonObject object, QString where) : o_(std::move(object)), where_(std::move(where)) {}

    QString name(const QString& key) const {
        return where_.isEmpty() ? key : where_ + QLatin1Char('.') + key;
    }

    bool has(const QString& key) const { return o_.contains(key); }

    QJsonValue need(const QString& key) const {
        const QJsonValue value = o_.value(key);
        if (value.isUndefined())
            refuse(tr("the field “%1” is missing").arg(name(key)));
        return value;
    }

    [[noreturn]] void wrongKind(const QString& key, const QString& kind) const {
        refuse(tr("the field “%1” should be %2").arg(name(key), kind));
    }

    QString text(const QString& key, int maximum) const {
        const QJsonValue value = need(key);
        if (!value.isString())
            wrongKind(key, tr("text"));
        const QString text = value.toString();
        if (text.size() > maximum)
            refuse(tr("the field “%1” is longer than %2 characters").arg(name(key)).arg(maximum));
        return text;
    }

    double number(const QString& key, double low, double high) const {
        const QJsonValue value = need(key);
        if (!value.isDouble())
            wrongKind(key, tr("a number"));
        const double number = value.toDouble();
        if (!std::isfinite(number) || number < low || number > high)
            refuse(tr("the field “%1” is %2, outside %3 to %4")
                       .arg(name(key))
                       .arg(number)
                       .arg(low)
                       .arg(high));
        return number;
    }

    int whole(const QString& key, int low, int high) const {
        const double value = number(key, low, high);
        if (value != std::floor(value))
            wrongKind(key, tr("a whole number"));
        return static_cast<int>(value);
    }

    // A field older files lack: absent gives the value they meant.
    int optionalWhole(const QString& key, int low, int high, int absent) const {
        return o_.contains(key) ? whole(key, low, high) : absent;
    }

    bool flag(const QString& key) const {
        const QJsonValue value = need(key);
        if (!value.isBool())
            wrongKind(key, tr("true or false"));
        return value.toBool();
    }

    std::int32_t colour(const QString& key) const {
        static const QRegularExpression hex(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
        const QString text = this->text(key, 7);
        if (!hex.match(text).hasMatch())
            wrongKind(key, tr("a colour written #RRGGBB"));
        return colorToValue(QColor(text));
    }

    Fields object(const QString& key) const {
        const QJsonValue value = need(key);
        if (!value.isObject())
            wrongKind(key, tr("a group of fields"));
        return Fields(value.toObject(), name(key));
    }

    QJsonArray array(const QString& key) const {
        const QJsonValue value = need(key);
        if (!value.isArray())
            wrongKind(key, tr("a list"));
        return value.toArray();
    }

private:
    QJsonObject o_;
    QString where_;
};

// A name that makes one file in one folder, and no hidden one.
bool isPlainFileName(const QString& name) {
    static const QRegularExpression forbidden(QStringLiteral("[/\\\\:*?\"<>|\\x00-\\x1f\\x7f]"));
    return !name.isEmpty() && !name.startsWith(QLatin1Char('.')) && name.toUtf8().size() <= 255 &&
           !forbidden.match(name).hasMatch() && name.trimmed() == name;
}

QJsonObject lineObject(const TextLineDesign& line) {
    QJsonObject object{
        {QStringLiteral("text"), line.text},
        {QStringLiteral("shown"), line.shown},
        {QStringLiteral("font"), line.fontName},
        {QStringLiteral("size"), double(line.fontSize)},
        {QStringLiteral("bold"), line.bold},
        {QStringLiteral("italic"), line.italic},
        {QStringLiteral("strikeout"), line.strikeOut},
        {QStringLiteral("underline"), line.underline},
        {QStringLiteral("colour"), colourText(line.color)},
        {QStringLiteral("left"), double(line.left)},
        {QStringLiteral("top"), double(line.top)},
        {QStringLiteral("outline"), line.outlineWidth},
        {QStringLiteral("outlineColour"), colourText(line.outlineColor)},
        {QStringLiteral("shadow"), line.shadow},
    };
    // Files of level lines stay as they were before lines could turn.
    if (line.angle != 0)
        object.insert(QStringLiteral("angle"), line.angle);
    return object;
}

TextLineDesign readLine(const Fields& f) {
    TextLineDesign line;
    line.text = f.text(QStringLiteral("text"), kMaximumText);
    line.shown = f.whole(QStringLiteral("shown"), 0, 2);
    line.fontName = f.text(QStringLiteral("font"), kMaximumFontName);
    line.fontSize = static_cast<float>(f.number(QStringLiteral("size"), 1, kMaximumFontSize));
    line.bold = f.flag(QStringLiteral("bold"));
    line.italic = f.flag(QStringLiteral("italic"));
    line.strikeOut = f.flag(QStringLiteral("strikeout"));
    line.underline = f.flag(QStringLiteral("underline"));
    line.color = f.colour(QStringLiteral("colour"));
    line.left = static_cast<float>(f.number(QStringLiteral("left"), -kMaximumPlace, kMaximumPlace));
    line.top = static_cast<float>(f.number(QStringLiteral("top"), -kMaximumPlace, kMaximumPlace));
    line.outlineWidth = f.whole(QStringLiteral("outline"), 0, 8);
    line.outlineColor = f.colour(QStringLiteral("outlineColour"));
    line.shadow = f.flag(QStringLiteral("shadow"));
    if (f.has(QStringLiteral("angle")))
        line.angle = f.whole(QStringLiteral("angle"), kMinimumAngle, kMaximumAngle);
    return line;
}

QString megabytes(qint64 bytes) {
    return QString::number((bytes + (1 << 20) - 1) >> 20);
}

}  // namespace

QByteArray encodeDesignFile(const DesignFile& file) {
    const PictureDesign& picture = file.design.picture;
    const RenderOptions& options = file.exportOptions;
    QJsonObject pictureFields{
        {QStringLiteral("name"), file.pictureName},
        {QStringLiteral("left"), double(picture.left)},
        {QStringLiteral("top"), double(picture.top)},
        {QStringLiteral("scale"), picture.scale},
        {QStringLiteral("bytes"), QString::fromLatin1(file.pictureBytes.toBase64())},
    };
    // Written only when on, so a design without it is the file it always was.
    if (picture.backgroundTolerance > 0)
        pictureFields.insert(QStringLiteral("backgroundTolerance"), picture.backgroundTolerance);
    const QJsonObject root{
        {QStringLiteral("format"), kFormatName},
        {QStringLiteral("version"), kDesignFileVersion},
        {QStringLiteral("picture"), pictureFields},
        {QStringLiteral("lines"),
         QJsonArray{lineObject(file.design.lines[0]), lineObject(file.design.lines[1])}},
        {QStringLiteral("export"),
         QJsonObject{
             {QStringLiteral("scale"), static_cast<int>(std::lround(options.scale))},
             {QStringLiteral("width"), options.width},
             {QStringLiteral("transparent"), options.transparent},
             {QStringLiteral("trim"), options.trim},
             {QStringLiteral("background"), colourText(colorToValue(options.background))},
         }},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

qint64 maximumDesignFileBytes(const PictureLimits& limits) {
    return (limits.fileBytes + 2) / 3 * 4 + (qint64(1) << 20);
}

DesignFile decodeDesignFile(const QByteArray& bytes, const PictureLimits& limits) {
    if (bytes.trimmed().isEmpty())
        refuse(tr("it is empty"));
    if (!bytes.trimmed().startsWith('{'))
        refuse(tr("it is not a Vantelo design file"));
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        // The parser stops at the end of a file that was cut short.
        if (error.offset >= bytes.trimmed().size() - 1 ||
            error.error == QJsonParseError::UnterminatedObject ||
            error.error == QJsonParseError::UnterminatedArray ||
            error.error == QJsonParseError::UnterminatedString)
            refuse(tr("it ends early: the file was cut short"));
        refuse(tr("it is damaged at byte %1 (%2)").arg(error.offset).arg(error.errorString()));
    }
    const Fields root(document.object(), QString());
    const QJsonValue format = document.object().value(QStringLiteral("format"));
    if (format.toString() != kFormatName)
        refuse(tr("it is not a Vantelo design file"));
    const int version = root.whole(QStringLiteral("version"), 1, 1 << 30);
    if (version > kDesignFileVersion)
        refuse(tr("it was saved by a newer Vantelo (design format %1; this version reads up to %2)")
                   .arg(version)
                   .arg(kDesignFileVersion));

    DesignFile file;
    const Fields picture = root.object(QStringLiteral("picture"));
    file.pictureName = picture.text(QStringLiteral("name"), 255);
    if (!isPlainFileName(file.pictureName))
        refuse(tr("the picture's name “%1” is not a plain file name").arg(file.pictureName));
    PictureDesign& place = file.design.picture;
    place.left =
        static_cast<float>(picture.number(QStringLiteral("left"), -kMaximumPlace, kMaximumPlace));
    place.top =
        static_cast<float>(picture.number(QStringLiteral("top"), -kMaximumPlace, kMaximumPlace));
    place.scale = picture.whole(QStringLiteral("scale"), kMinimumScale, kMaximumScale);
    place.backgroundTolerance =
        picture.optionalWhole(QStringLiteral("backgroundTolerance"), kMinimumBackgroundTolerance,
                              kMaximumBackgroundTolerance, kMinimumBackgroundTolerance);
    const QString encoded = picture.text(QStringLiteral("bytes"), std::numeric_limits<int>::max());
    if (encoded.size() > maximumDesignFileBytes(limits))
        refuse(tr("the picture inside it is larger than %1 MB").arg(megabytes(limits.fileBytes)));
    auto decoded =
        QByteArray::fromBase64Encoding(encoded.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        refuse(tr("the picture inside it is damaged (its bytes are not base64)"));
    file.pictureBytes = std::move(*decoded);
    if (file.pictureBytes.isEmpty())
        refuse(tr("the picture inside it is empty"));
    if (file.pictureBytes.size() > limits.fileBytes)
        refuse(tr("the picture inside it holds %1 MB, more than %2 MB")
                   .arg(megabytes(file.pictureBytes.size()), megabytes(limits.fileBytes)));

    const QJsonArray lines = root.array(QStringLiteral("lines"));
    if (lines.size() != 2)
        refuse(tr("the field “lines” should hold two text lines, not %1").arg(lines.size()));
    for (int i = 0; i < 2; ++i) {
        const QString where = QStringLiteral("lines[%1]").arg(i);
        if (!lines.at(i).isObject())
            refuse(tr("the field “%1” should be %2").arg(where, tr("a group of fields")));
        file.design.lines[std::size_t(i)] = readLine(Fields(lines.at(i).toObject(), where));
    }

    const Fields options = root.object(QStringLiteral("export"));
    RenderOptions& o = file.exportOptions;
    o.scale = options.whole(QStringLiteral("scale"), 1, 3);
    o.width = options.whole(QStringLiteral("width"), 0, kMaximumRenderSide);
    o.transparent = options.flag(QStringLiteral("transparent"));
    o.trim = options.flag(QStringLiteral("trim"));
    o.background = valueToColor(options.colour(QStringLiteral("background")));
    return file;
}

DesignFile readDesignFile(const QString& path, const PictureLimits& limits) {
    QByteArray bytes;
    try {
        bytes = readWholeFile(path, maximumDesignFileBytes(limits));
    } catch (const RuntimeError& error) {
        switch (error.number()) {
            case ErrFileNotFound:
                refuse(tr("it does not exist"));
            case 7:
                refuse(
                    tr("it holds more than %1 MB").arg(megabytes(maximumDesignFileBytes(limits))));
            case ErrInvalidPicture:
                refuse(tr("it is not a file"));
            case ErrPathNotFound:
                refuse(QFileInfo(path).isDir() ? tr("it is a folder")
                                               : tr("its folder does not exist"));
            case ErrPermissionDenied:
                refuse(tr("you may not read it"));
            default:
                refuse(displayedDescription(error.description()));
        }
    }
    return decodeDesignFile(bytes, limits);
}

QImage decodeDesignPicture(const DesignFile& file, const PictureLimits& limits) {
    // The picture is checked by the same reader, with the same limits, as a
    // picture opened from its own file.
    QTemporaryFile copy(QDir::tempPath() + QStringLiteral("/vantelo-picture-XXXXXX"));
    if (!copy.open() || copy.write(file.pictureBytes) != file.pictureBytes.size() || !copy.flush())
        refuse(tr("its picture cannot be unpacked: %1").arg(copy.errorString()));
    try {
        return LoadPicture(copy.fileName(), limits);
    } catch (const RuntimeError& error) {
        refuse(tr("the picture inside it, “%1”, cannot be shown: %2")
                   .arg(file.pictureName, displayedDescription(error.description())));
    }
}

bool isDesignFileName(const QString& fileName) {
    return QFileInfo(fileName).suffix().compare(kDesignFileSuffix, Qt::CaseInsensitive) == 0 &&
           !QFileInfo(fileName).completeBaseName().isEmpty();
}

QString cannotOpenDesignMessage(const QString& path, const QString& why) {
    return tr("The design file %1 cannot be opened: %2.\n\nNothing was changed.")
        .arg(QDir::toNativeSeparators(path), why);
}

}  // namespace vantelo

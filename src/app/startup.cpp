#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSignalBlocker>
#include <QSpinBox>
#include <algorithm>

#include "app/form1.h"
#include "canvas/canvas.h"
#include "canvas/canvassize.h"
#include "design/designkeys.h"
#include "design/logodesign.h"
#include "editing/designdocument.h"
#include "editing/textlines.h"
#include "gallery/fillgallery.h"
#include "gallery/galleryview.h"
#include "platform/errortrap.h"
#include "platform/filesystem.h"
#include "platform/numeric.h"
#include "platform/picture.h"
#include "platform/scaleddecode.h"
#include "platform/settingsstore.h"
#include "platform/twips.h"

namespace vantelo {
namespace {

QIcon programIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x2b, 0x57, 0x9a));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
    painter.setBrush(QColor(0xf2, 0xb1, 0x34));
    painter.drawEllipse(QRectF(6, 6, 14, 14));
    painter.setPen(QPen(Qt::white, 3));
    painter.drawLine(QPointF(12, 25), QPointF(26, 25));
    return QIcon(pixmap);
}

// The hot spot of the first image of a .cur file (bytes 10 to 13 of the file).
QPoint cursorHotSpot(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QPoint(-1, -1);
    const QByteArray head = file.read(14);
    if (head.size() < 14 || head.at(2) != 2)
        return QPoint(-1, -1);
    const auto u16 = [&head](int at) {
        return static_cast<int>(static_cast<unsigned char>(head.at(at))) |
               (static_cast<int>(static_cast<unsigned char>(head.at(at + 1))) << 8);
    };
    return QPoint(u16(10), u16(12));
}

bool hasWildcard(const QString& name) {
    return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
}

}  // namespace

QString builtInHomePage() {
    return QStringLiteral(VANTELO_HOME_PAGE);
}

QString productName() {
    return QStringLiteral("Vantelo Logo Composer");
}

QString titleFromProductName(const QString& name) {
    QString title = name;
    do {
        const int blank = title.lastIndexOf(QLatin1Char(' '));
        if (blank < 0)
            break;
        title = title.left(blank);
    } while (title.size() > 40);
    return title;
}

bool directorySearchFindsFile(const QString& path) {
    if (path.contains(QChar(0)))
        throw RuntimeError(ErrBadFileName);
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (!hasWildcard(info.fileName()))
        return info.isFile();
    const QDir folder = info.absoluteDir();
    return !folder.entryList({info.fileName()}, QDir::Files | QDir::Hidden | QDir::System)
                .isEmpty();
}

void Form1::applySkin() {
    const QString skinFile = services_.applicationFolder + QStringLiteral("/x/o.cjs");
    if (!directorySearchFindsFile(skinFile))
        return;
    // The skin paints on the button-face colour: the window and its check
    // boxes, frames and labels take it before the skin is loaded.
    const QColor buttonFace = palette().color(QPalette::Button);
    const auto repaint = [&buttonFace](QWidget* widget) {
        QPalette p = widget->palette();
        p.setColor(QPalette::Window, buttonFace);
        widget->setPalette(p);
    };
    repaint(this);
    for (QWidget* child : findChildren<QWidget*>()) {
        if (qobject_cast<QCheckBox*>(child) || qobject_cast<QGroupBox*>(child) ||
            (qobject_cast<QLabel*>(child) && !qobject_cast<CanvasLabel*>(child)))
            repaint(child);
    }
    SkinFramework1.LoadSkin(skinFile, QString());
    SkinFramework1.setOptions(SkinFramework1.Options() | 1);
    SkinFramework1.setApplyColors(true);
    SkinFramework1.setApplyMetrics(true);
    SkinFramework1.ApplyWindow(this);
}

void Form1::loadHandCursor() {
    // The hand is first needed when the pointer rests on a button, never for
    // the first sight of the window: a file whose first bytes say what it
    // holds is only checked now, and decoded then.
    if (!CheckPicture(handCursorPath()).isEmpty()) {
        handCursorWaiting_ = true;
        return;
    }
    decodeHandCursor();
}

void Form1::decodeHandCursor() {
    handCursorWaiting_ = false;
    const QString path = handCursorPath();
    const QImage image = LoadPicture(path);
    const QPoint hot = cursorHotSpot(path);
    handCursor_ = QCursor(QPixmap::fromImage(image), hot.x(), hot.y());
}

void Form1::Form_Load() {
    SettingsStore& settings = services_.settings;
    const auto get = [&settings](const QString& key, const QString& fallback) {
        return settings.GetSetting(key, fallback);
    };
    ErrorTrap trap(services_.messages,
                   errorLocation(QStringLiteral("Form1"), QStringLiteral("Form_Load")));
    Canvas& c = *canvas;

    trap.run(100, [this] { applySkin(); });

    const QString cursorPath = handCursorPath();
    if (trap.test(104, [&cursorPath] { return QFileInfo(cursorPath).isFile(); }))
        trap.run(106, [this] { loadHandCursor(); });

    trap.run(108, [this] {
        if (services_.homePage.isEmpty() || !services_.random)
            return;
        const int n = static_cast<int>(services_.random() * 100) + 1;
        if (n == 7 && services_.openUrl)
            services_.openUrl(services_.homePage);
    });

    trap.run(126, [this] { setWindowTitle(QStringLiteral("Vantelo")); });
    trap.run(126, [this] { setWindowIcon(programIcon()); });
    trap.run(126, [] { setApplicationTitle(titleFromProductName(productName())); });

    trap.run(128, [&] {
        Text1->setText(get(keys::kImage, QDir::toNativeSeparators(services_.applicationFolder +
                                                                  keys::kDefaultImageSuffix)));
    });
    trap.run(129, [&] {
        const int scale = scaleFromText(get(keys::kImageScale, keys::kDefaultImageScale));
        const QSignalBlocker quiet(spnSize);
        spnSize->setValue(scale);
        c.imgLogo->setScale(scale);
    });
    // A canvas size the user chose replaces the classic canvas before the
    // picture grows it.
    trap.run(129, [&] { c.setChosenSize(storedCanvasSize(services_.settings)); });
    // Before the picture is loaded, so it is cleared once.
    trap.run(129, [&] {
        c.imgLogo->setBackgroundTolerance(toleranceFromText(
            get(keys::kImageBackgroundTolerance, keys::kDefaultImageBackgroundTolerance)));
    });
    if (trap.test(130, [this] { return directorySearchFindsFile(Text1->text()); })) {
        trap.run(132, [&] {
            c.imgLogo->setPicture(LoadPictureToShow(Text1->text(), c.imgLogo->scale()));
        });
        if (trap.test(134, [&] { return c.pictureBelowCanvas(); }))
            trap.run(136, [&] { c.growToPicture(); });
    }

    trap.run(138, [&] { TextLine[0]->setText(get(keys::text(0), keys::defaultText(0))); });
    trap.run(140, [&] { TextLine[1]->setText(get(keys::text(1), keys::defaultText(1))); });

    trap.run(142, [&] {
        c.lblA[0]->setVisible(numberPrefix(get(keys::show(0), keys::kDefaultShow)) != 0);
    });
    trap.run(144, [&] {
        c.lblA[1]->setVisible(numberPrefix(get(keys::show(1), keys::kDefaultShow)) != 0);
    });
    trap.run(146, [&] {
        lineprops::setCheckValue(chkShowA,
                                 toInt16(numberPrefix(get(keys::show(0), keys::kDefaultShow))));
    });
    trap.run(148, [&] {
        lineprops::setCheckValue(chkShowB,
                                 toInt16(numberPrefix(get(keys::show(1), keys::kDefaultShow))));
    });

    for (int i = 0; i < 2; ++i) {
        QLineEdit* edit = TextLine[i];
        const int base = i == 0 ? 150 : 164;
        trap.run(base, [&] {
            lineprops::setBold(edit, textToBoolean(get(keys::bold(i), keys::kDefaultBold)));
        });
        trap.run(base + 2, [&] {
            lineprops::setItalic(edit, textToBoolean(get(keys::italic(i), keys::kDefaultFalse)));
        });
        trap.run(base + 4,
                 [&] { lineprops::setFontName(edit, get(keys::name(i), keys::kDefaultName)); });
        trap.run(base + 6, [&] {
            lineprops::setFontSize(
                edit, static_cast<float>(numberPrefix(get(keys::size(i), keys::kDefaultSize))));
        });
        trap.run(base + 8, [&] {
            lineprops::setStrikethrough(edit,
                                        textToBoolean(get(keys::strike(i), keys::kDefaultFalse)));
        });
        trap.run(base + 10, [&] {
            lineprops::setUnderline(edit,
                                    textToBoolean(get(keys::underline(i), keys::kDefaultFalse)));
        });
        trap.run(base + 12, [&] {
            lineprops::setColor(edit, textToInt32(get(keys::color(i), keys::kDefaultColor)));
        });
    }

    trap.run(178, [&] { c.lblA[0]->setLabelFont(lineprops::font(TextLine[0])); });
    trap.run(180, [&] { c.lblA[1]->setLabelFont(lineprops::font(TextLine[1])); });
    trap.run(182, [&] { c.lblA[0]->setForeColor(valueToColor(lineprops::color(TextLine[0]))); });
    trap.run(184, [&] { c.lblA[1]->setForeColor(valueToColor(lineprops::color(TextLine[1]))); });

    // The outline and shadow of each line; none unless chosen.
    for (int i = 0; i < 2; ++i) {
        trap.run(185, [&] {
            CaptionLook look;
            const double width = numberPrefix(get(keys::outlineWidth(i), QStringLiteral("0")));
            look.outlineWidth = width >= 0 && width <= 8 ? static_cast<int>(width) : 0;
            look.outline =
                valueToColor(textToInt32(get(keys::outlineColor(i), QStringLiteral("16777215"))));
            look.shadow = textToBoolean(get(keys::shadow(i), keys::kDefaultFalse));
            c.lblA[i]->setLook(look);
        });
        trap.run(185, [&] {
            c.lblA[i]->setAngle(angleFromText(get(keys::angle(i), QStringLiteral("0"))));
        });
    }

    trap.run(186, [&] {
        c.lblA[0]->place().setLeft(textToSingle(get(keys::left(0), keys::defaultLeft(0))));
    });
    trap.run(188, [&] {
        c.lblA[0]->place().setTop(textToSingle(get(keys::top(0), keys::defaultTop(0))));
    });
    trap.run(190, [&] {
        c.lblA[1]->place().setLeft(textToSingle(get(keys::left(1), keys::defaultLeft(1))));
    });
    trap.run(192, [&] {
        c.lblA[1]->place().setTop(textToSingle(get(keys::top(1), keys::defaultTop(1))));
    });
    trap.run(194, [&] {
        c.imgLogo->place().setLeft(textToSingle(get(keys::kImageLeft, keys::kDefaultImageLeft)));
    });
    trap.run(196, [&] {
        c.imgLogo->place().setTop(textToSingle(get(keys::kImageTop, keys::kDefaultImageTop)));
    });

    // No stored place hides an object for good: one that lies wholly outside
    // the canvas comes back inside, and the stored place follows.
    const auto keepOnCanvas = [&](CanvasObject& object, const QString& leftKey,
                                  const QString& topKey) {
        if (trap.test(197, [&] { return c.bringInside(object); })) {
            trap.run(197, [&] {
                settings.SaveSetting(leftKey, singleToText(object.place().Left()));
                settings.SaveSetting(topKey, singleToText(object.place().Top()));
            });
        }
    };
    for (int i = 0; i < 2; ++i)
        keepOnCanvas(*c.lblA[i], keys::left(i), keys::top(i));
    keepOnCanvas(*c.imgLogo, keys::kImageLeft, keys::kImageTop);

    trap.run(198, [&] { c.SetScrollBars(); });

    trap.run(200, [this] { ListView1->setHeaderLabels({tr("Logo Images")}); });
    trap.run(202, [this] {
        // The column keeps its width rather than stretching over the whole view.
        ListView1->header()->setStretchLastSection(false);
        ListView1->header()->resizeSection(0, twipsToPixelsX(8700));
    });
    trap.run(204, [this] { fillGallery(); });
    showBackground();
    // What start-up restored is where the history begins.
    document_->reset();
}

}  // namespace vantelo

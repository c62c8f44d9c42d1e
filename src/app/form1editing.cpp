#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QShortcut>
#include <QSpinBox>
#include <QWidgetAction>

#include "app/form1.h"
#include "canvas/canvas.h"
#include "design/designkeys.h"
#include "editing/designdocument.h"
#include "editing/imagesource.h"
#include "export/contrast.h"
#include "export/designfile.h"
#include "export/exportoptions.h"
#include "export/imagewriters.h"
#include "export/kitflow.h"
#include "export/logoexport.h"
#include "platform/errortrap.h"
#include "platform/messages.h"
#include "platform/numeric.h"
#include "platform/settingsstore.h"

namespace vantelo {
namespace {

bool isUndoKey(const QKeyEvent* key) {
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    return (key->key() == Qt::Key_Z &&
            (mods == Qt::ControlModifier || mods == (Qt::ControlModifier | Qt::ShiftModifier))) ||
           (key->key() == Qt::Key_Y && mods == Qt::ControlModifier);
}

// A text box undoes its own typing when it has the focus; here the window's
// history does, so that Ctrl+Z means the same everywhere and typing is one
// step among the others.
class HistoryKeysToWindow final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride && isUndoKey(static_cast<QKeyEvent*>(event)))
            return true;
        return QObject::eventFilter(watched, event);
    }
};

// An amber triangle with an exclamation mark, drawn here rather than taken
// from the desktop's icon theme, so it looks alike everywhere.
QIcon warningMark() {
    QPixmap mark(16, 16);
    mark.fill(Qt::transparent);
    QPainter painter(&mark);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x8a, 0x5a, 0x00), 1));
    painter.setBrush(QColor(0xf5, 0xb3, 0x1b));
    painter.drawPolygon(QPolygonF({QPointF(8, 1), QPointF(15, 14.5), QPointF(1, 14.5)}));
    painter.setPen(QPen(Qt::black, 2));
    painter.drawLine(QPointF(8, 5.5), QPointF(8, 9.5));
    painter.drawPoint(QPointF(8, 12));
    return QIcon(mark);
}

// Shift+F10 asks the focused control for its menu as the Menu key does, at
// the text cursor where the control has one.
void requestContextMenu(QWidget* target) {
    if (target == nullptr)
        return;
    QPoint at = target->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
    if (!target->rect().contains(at))
        at = target->rect().center();
    QContextMenuEvent request(QContextMenuEvent::Keyboard, at, target->mapToGlobal(at));
    QCoreApplication::sendEvent(target, &request);
}

// The local file a drag carries, or empty.
QString droppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().isEmpty())
        return QString();
    const QUrl url = data->urls().constFirst();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

}  // namespace

void Form1::wireEditing() {
    setAcceptDrops(true);
    spnSize->setKeyboardTracking(false);
    connect(spnSize, &QSpinBox::valueChanged, this, [this](int percent) {
        imageSource_->Size_Change(percent);
        document_->record(DesignChange::Scale);
    });
    connect(canvas, &Canvas::scaleWheel, this,
            [this](int notches) { spnSize->setValue(spnSize->value() + notches * 10); });
    connect(canvas, &Canvas::objectMoved, this, [this](bool byKey) {
        const CanvasObject* moved = canvas->Selected();
        const int object = moved == canvas->lblA[0] ? 0 : moved == canvas->lblA[1] ? 1 : 2;
        document_->record(byKey ? DesignChange::Nudge : DesignChange::Move, object);
    });
    connect(canvas, &Canvas::angleWheel, this, [this](int line, int degrees) {
        setLineAngle(line, canvas->lblA[line]->angle() + degrees);
    });
    // A turn by the handle is shown while it is dragged and becomes one step
    // when let go.
    connect(canvas, &Canvas::lineTurned, this, [this](int line, int from, int to) {
        if (from != to)
            storeLineAngle(line, DesignChange::Turn);
    });
    connect(canvas, &Canvas::contextMenuWanted, this, &Form1::showCanvasMenu);
    // A typed path is only stored while it is typed; Enter, or leaving the
    // box, chooses it as Browse would.
    connect(Text1, &QLineEdit::textEdited, this, [this] { imageSource_->Text1_Edited(); });
    connect(Text1, &QLineEdit::returnPressed, this, [this] {
        if (imageSource_->Text1_Finished(true))
            document_->record(DesignChange::Picture);
    });
    connect(Text1, &QLineEdit::editingFinished, this, [this] {
        if (imageSource_->Text1_Finished(false))
            document_->record(DesignChange::Picture);
    });
    connect(document_, &DesignDocument::changed, this, &Form1::checkLegibility);
    connect(document_, &DesignDocument::changed, this, &Form1::showGalleryEntry);
    // Measured again on the smooth picture once it replaces the quick one.
    connect(canvas->imgLogo, &ImageControl::settled, this, &Form1::checkLegibility);

    const auto addShortcut = [this](const QKeySequence& keys, auto handler) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, handler);
    };
    QUndoStack& history = document_->history();
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), [&history] { history.undo(); });
    addShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [&history] { history.redo(); });
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y), [&history] { history.redo(); });
    // Ctrl+V where no text box takes it: a picture from the clipboard.
    addShortcut(QKeySequence::Paste, [this] {
        imageSource_->pastePicture(QGuiApplication::clipboard()->image());
        document_->record(DesignChange::Picture);
    });
    addShortcut(QKeySequence::Copy, [this] { copyLogo(); });
    addShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10),
                [this] { requestContextMenu(focusWidget()); });
    auto* historyKeys = new HistoryKeysToWindow(this);
    for (QWidget* box : {static_cast<QWidget*>(Text1), static_cast<QWidget*>(TextLine[0]),
                         static_cast<QWidget*>(TextLine[1])})
        box->installEventFilter(historyKeys);
}

RenderSource Form1::exportSource() const {
    return renderSourceOf(*canvas, document_->capture());
}

RenderOptions Form1::exportOptions() const {
    RenderOptions options = storedExportOptions(services_.settings);
    if (services_.settings.GetSetting(keys::kBackground, QString()).isEmpty())
        options.background = canvas->pArea->palette().color(QPalette::Window);
    return options;
}

void Form1::changeExportOptions(const std::function<void(RenderOptions&)>& change) {
    ErrorTrap trap(services_.messages,
                   errorLocation(QStringLiteral("Form1"), QStringLiteral("mnuExport_Click")));
    trap.run(100, [&] {
        RenderOptions options = exportOptions();
        change(options);
        storeExportOptions(services_.settings, options);
    });
}

void Form1::showCanvasMenu(const QPoint& globalPosition) {
    QMenu menu(this);
    QUndoStack& history = document_->history();
    QAction* undo = history.createUndoAction(&menu, tr("&Undo"));
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    QAction* redo = history.createRedoAction(&menu, tr("&Redo"));
    redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    menu.addActions({undo, redo});
    menu.addSeparator();
    QAction* snap = menu.addAction(tr("&Snap to Guides"));
    snap->setCheckable(true);
    snap->setChecked(canvas->snapping());
    connect(snap, &QAction::toggled, this, &Form1::setSnapping);
    menu.addSeparator();
    for (int i = 0; i < 2; ++i) {
        if (canvas->Selected() == canvas->lblA[i])
            addLookChoices(menu, i);
    }
    addCanvasSizeMenu(menu);
    addPictureChoices(menu);
    menu.addSeparator();
    menu.addAction(tr("&Copy Logo"), QKeySequence::Copy, this, [this] { copyLogo(); });
    addExportChoices(menu);
    menu.addAction(tr("Export &Kit…"), this, &Form1::chooseKitFolder);
    menu.exec(globalPosition);
}

void Form1::setSnapping(bool on) {
    canvas->setSnapping(on);
    ErrorTrap trap(services_.messages,
                   errorLocation(QStringLiteral("Form1"), QStringLiteral("mnuSnap_Click")));
    trap.run(100, [&] { services_.settings.SaveSetting(keys::kSnapToGuides, booleanToText(on)); });
}

// The export choices as they are stored now.
void Form1::addExportChoices(QMenu& menu) {
    const RenderOptions options = exportOptions();
    QMenu* size = menu.addMenu(tr("Export Si&ze"));
    for (int times = 1; times <= 3; ++times) {
        QAction* choice = size->addAction(tr("%1\u00d7").arg(times));
        choice->setCheckable(true);
        choice->setChecked(options.width == 0 && options.scale == times);
        connect(choice, &QAction::triggered, this, [this, times] {
            changeExportOptions([times](RenderOptions& o) {
                o.scale = times;
                o.width = 0;
            });
        });
    }
    QAction* width = size->addAction(options.width > 0 ? tr("Width: %1 Pixels…").arg(options.width)
                                                       : tr("Width in Pixels…"));
    width->setCheckable(true);
    width->setChecked(options.width > 0);
    connect(width, &QAction::triggered, this, [this, options] {
        bool ok = false;
        const int pixels = QInputDialog::getInt(
            this, tr("Export Width"), tr("Width of the exported logo in pixels:"),
            options.width > 0 ? options.width : exportSource().canvas.width(), kMinimumExportWidth,
            kMaximumRenderSide, 1, &ok);
        if (ok)
            changeExportOptions([pixels](RenderOptions& o) { o.width = pixels; });
    });
    const auto toggle = [&](const QString& caption, bool on, bool RenderOptions::*flag) {
        QAction* action = menu.addAction(caption);
        action->setCheckable(true);
        action->setChecked(on);
        connect(action, &QAction::toggled, this, [this, flag](bool value) {
            changeExportOptions([flag, value](RenderOptions& o) { o.*flag = value; });
        });
    };
    toggle(tr("&Transparent Background (PNG)"), options.transparent, &RenderOptions::transparent);
    toggle(tr("T&rim to Content"), options.trim, &RenderOptions::trim);
    menu.addAction(tr("&Background Colour…"), this, [this, options] {
        const std::optional<QColor> colour = services_.dialogs.chooseColor(options.background);
        if (!colour)
            return;
        changeExportOptions([&colour](RenderOptions& o) { o.background = *colour; });
        showBackground();
    });
}

void Form1::setLineAngle(int line, int degrees) {
    // Turning on past a half turn comes round from the other side.
    while (degrees > kMaximumAngle)
        degrees -= 360;
    while (degrees < kMinimumAngle)
        degrees += 360;
    CanvasLabel* label = canvas->lblA[line];
    if (label->angle() == degrees)
        return;
    label->setAngle(degrees);
    storeLineAngle(line, DesignChange::Angle);
}

void Form1::storeLineAngle(int line, DesignChange change) {
    CanvasLabel* label = canvas->lblA[line];
    const int degrees = label->angle();
    ErrorTrap trap(services_.messages,
                   errorLocation(QStringLiteral("Form1"), QStringLiteral("mnuAngle_Click")));
    trap.run(100,
             [&] { services_.settings.SaveSetting(keys::angle(line), QString::number(degrees)); });
    // An angle box still open shows the angle however it was reached.
    for (QSpinBox* box : findChildren<QSpinBox*>(QStringLiteral("spnAngle%1").arg(line + 1))) {
        const QSignalBlocker quiet(box);
        box->setValue(degrees);
    }
    if (canvas->Selected() == label)
        canvas->select(label);
    document_->record(change, line);
}

// The outline, shadow and angle of the text line the menu was opened on.
void Form1::addLookChoices(QMenu& menu, int line) {
    CanvasLabel* label = canvas->lblA[line];
    const CaptionLook look = label->look();
    const auto change = [this, label, line](const CaptionLook& changed) {
        label->setLook(changed);
        ErrorTrap trap(services_.messages,
                       errorLocation(QStringLiteral("Form1"), QStringLiteral("mnuOutline_Click")));
        trap.run(100, [&] {
            services_.settings.SaveSetting(keys::outlineWidth(line),
                                           QString::number(changed.outlineWidth));
            services_.settings.SaveSetting(keys::outlineColor(line),
                                           QString::number(colorToValue(changed.outline)));
            services_.settings.SaveSetting(keys::shadow(line), booleanToText(changed.shadow));
        });
        document_->record(DesignChange::Look);
    };
    QMenu* outline = menu.addMenu(tr("&Outline of Text Line %1").arg(line + 1));
    for (int width = 0; width <= 8; ++width) {
        QAction* choice = outline->addAction(width == 0   ? tr("None")
                                             : width == 1 ? tr("1 Pixel")
                                                          : tr("%1 Pixels").arg(width));
        choice->setCheckable(true);
        choice->setChecked(look.outlineWidth == width);
        connect(choice, &QAction::triggered, this, [look, width, change] {
            CaptionLook changed = look;
            changed.outlineWidth = width;
            change(changed);
        });
    }
    outline->addSeparator();
    outline->addAction(tr("Outline &Colour…"), this, [this, look, change] {
        if (const std::optional<QColor> colour = services_.dialogs.chooseColor(look.outline)) {
            CaptionLook changed = look;
            changed.outline = *colour;
            changed.outlineWidth = std::max(1, look.outlineWidth);
            change(changed);
        }
    });
    QMenu* angle = menu.addMenu(tr("&Angle of Text Line %1").arg(line + 1));
    angle->setObjectName(QStringLiteral("mnuAngle%1").arg(line + 1));
    auto* spin = new QSpinBox(angle);
    spin->setObjectName(QStringLiteral("spnAngle%1").arg(line + 1));
    spin->setAccessibleName(tr("Angle"));
    spin->setRange(kMinimumAngle, kMaximumAngle);
    spin->setSuffix(tr("°"));
    spin->setWrapping(true);
    spin->setKeyboardTracking(false);
    spin->setValue(label->angle());
    connect(spin, &QSpinBox::valueChanged, this,
            [this, line](int degrees) { setLineAngle(line, degrees); });
    auto* field = new QWidgetAction(angle);
    field->setDefaultWidget(spin);
    angle->addAction(field);
    angle->addSeparator();
    for (const int preset : {0, 90, -90, 45, -45, 180}) {
        QAction* choice = angle->addAction(tr("%1°").arg(preset));
        choice->setCheckable(true);
        choice->setChecked(label->angle() == preset);
        connect(choice, &QAction::triggered, this,
                [this, line, preset] { setLineAngle(line, preset); });
    }
    QAction* shadow = menu.addAction(tr("Soft S&hadow under Text Line %1").arg(line + 1));
    shadow->setCheckable(true);
    shadow->setChecked(look.shadow);
    connect(shadow, &QAction::toggled, this, [look, change](bool on) {
        CaptionLook changed = look;
        changed.shadow = on;
        change(changed);
    });
    menu.addSeparator();
}

// A line whose colour stands out from what lies behind it by less than 3:1
// gets a warning mark on its colour button.
void Form1::checkLegibility() {
    const RenderSource source = shownSourceOf(*canvas, document_->capture());
    QPushButton* const buttons[2] = {PushButton3, PushButton4};
    for (int i = 0; i < 2; ++i) {
        const TextLineDesign& line = source.design.lines[std::size_t(i)];
        double contrast = 21;
        if (line.shown != 0 && !line.text.isEmpty() && lookOf(line).plain()) {
            // Only what lies behind the line is drawn, without the line.
            RenderSource behind = source;
            behind.design.lines[std::size_t(i)].shown = 0;
            RenderOptions part;
            part.part =
                turnedBounds(textLineRect(line), line.angle) & QRect(QPoint(0, 0), source.canvas);
            part.quick = true;
            const QImage pixels = part.part.isEmpty() ? QImage() : renderDesign(behind, part);
            if (!pixels.isNull())
                contrast = contrastOverPixels(pixels, pixels.rect(), valueToColor(line.color));
        }
        const QString warning =
            contrast < kLegibleContrast
                ? tr("Text line %1 is hard to read on what lies behind it (contrast %2:1). An "
                     "outline from the canvas's right-click menu sets it off.")
                      .arg(i + 1)
                      .arg(contrast, 0, 'f', 1)
                : QString();
        if (warning == legibilityWarning_[i])
            continue;
        legibilityWarning_[i] = warning;
        if (!warning.isEmpty() && warningMark_.isNull())
            warningMark_ = warningMark();
        buttons[i]->setIcon(warning.isEmpty() ? QIcon() : warningMark_);
        buttons[i]->setToolTip(warning);
    }
}

void Form1::showBackground() {
    if (services_.settings.GetSetting(keys::kBackground, QString()).isEmpty())
        return;
    QPalette palette = canvas->pArea->palette();
    palette.setColor(QPalette::Window, storedExportOptions(services_.settings).background);
    canvas->pArea->setPalette(palette);
}

void Form1::copyLogo() {
    const QImage logo = renderDesign(exportSource(), exportOptions());
    if (logo.isNull())
        return;
    auto* data = new QMimeData;
    data->setImageData(logo);
    data->setData(QStringLiteral("image/png"), encodePng(logo));
    QGuiApplication::clipboard()->setMimeData(data);
}

KitFlowContext Form1::kitFlow() {
    return KitFlowContext{services_.dialogs, services_.messages, logoFolders_.library,
                          [this] { return kitRendererFor(exportSource(), exportOptions()); }};
}

void Form1::chooseKitFolder() {
    KitFlowContext context = kitFlow();
    chooseFolderAndWriteKit(context);
}

void Form1::exportKit(const QString& folder) {
    KitFlowContext context = kitFlow();
    writeKitInto(context, folder);
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event) {
    const QString fileName = droppedFile(event->mimeData());
    if (fileName.isEmpty())
        return;
    event->acceptProposedAction();
    activateWindow();
    if (isDesignFileName(fileName)) {
        openDesignFile(fileName);
        return;
    }
    imageSource_->chooseFile(fileName);
    document_->record(DesignChange::Picture);
}

}  // namespace vantelo

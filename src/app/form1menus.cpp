#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QUndoStack>

#include "app/form1.h"
#include "canvas/canvas.h"
#include "editing/designdocument.h"
#include "editing/designfiles.h"
#include "editing/imagesource.h"
#include "platform/messages.h"

namespace vantelo {
namespace {

// The keys the window has had since before the menu bar: their shortcuts
// belong to the window's own shortcut objects, which keep working wherever
// the focus is. The menu shows them (and tells a screen reader of them)
// without taking them over, which would make each key ambiguous.
void showKeyOf(QAction* action, const QList<QKeySequence>& keys) {
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WidgetShortcut);
}

QString withoutMnemonic(QString text) {
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text;
}

}  // namespace

void Form1::buildMenus() {
    designFiles_ = new DesignFiles(
        DesignFilesContext{*document_, *canvas, services_.settings, services_.messages,
                           CommonDialog1, logoFolders_, services_.applicationFolder,
                           [this] { return exportOptions(); }, [this] { showBackground(); }},
        this);

    menuBar_ = new QMenuBar(this);
    menuBar_->setObjectName(QStringLiteral("MenuBar"));
    // The bar stays in the window on every desktop, so the client area below
    // it keeps its place.
    menuBar_->setNativeMenuBar(false);
    menuBar_->setFont(QGuiApplication::font());

    QMenu* file = menuBar_->addMenu(tr("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    file->addAction(tr("&New Design"), QKeySequence::New, designFiles_, &DesignFiles::newDesign);
    file->addAction(tr("&Open Design…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O),
                    designFiles_, &DesignFiles::openDesign);
    recentMenu_ = file->addMenu(tr("Open &Recent"));
    recentMenu_->setObjectName(QStringLiteral("mnuRecent"));
    connect(recentMenu_, &QMenu::aboutToShow, this, &Form1::fillRecentMenu);
    connect(designFiles_, &DesignFiles::recentFilesChanged, this, &Form1::fillRecentMenu);
    file->addAction(tr("&Save Design"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
                    designFiles_, &DesignFiles::saveDesign);
    file->addAction(tr("Save Design &As…"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S),
                    designFiles_, &DesignFiles::saveDesignAs);
    file->addSeparator();
    showKeyOf(file->addAction(tr("&Choose Picture…"), PushButton6, &QPushButton::click),
              {QKeySequence(QKeySequence::Open)});
    showKeyOf(file->addAction(tr("Save &Logo As Image…"), this, &Form1::PushButton5_Click),
              {QKeySequence(QKeySequence::Save)});
    file->addAction(tr("Export &Kit…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E), this,
                    &Form1::chooseKitFolder);
    file->addSeparator();
    const QKeySequence quit(QKeySequence::Quit);
    showKeyOf(file->addAction(tr("&Quit"), this, &QWidget::close),
              {quit.isEmpty() ? QKeySequence(Qt::CTRL | Qt::Key_Q) : quit});

    QMenu* edit = menuBar_->addMenu(tr("&Edit"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    QUndoStack& history = document_->history();
    QAction* undo = history.createUndoAction(edit, tr("&Undo"));
    showKeyOf(undo, {QKeySequence(Qt::CTRL | Qt::Key_Z)});
    QAction* redo = history.createRedoAction(edit, tr("&Redo"));
    showKeyOf(redo,
              {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    edit->addActions({undo, redo});
    edit->addSeparator();
    showKeyOf(edit->addAction(tr("&Copy Logo"), this, &Form1::copyLogo),
              {QKeySequence(QKeySequence::Copy)});
    showKeyOf(edit->addAction(tr("&Paste Picture"), this,
                              [this] {
                                  imageSource_->pastePicture(QGuiApplication::clipboard()->image());
                                  document_->record(DesignChange::Picture);
                              }),
              {QKeySequence(QKeySequence::Paste)});
    // The picture's commands, made again each time the menu opens so that
    // Restore Background is offered only while the background is removed.
    QMenu* picture = edit->addMenu(tr("Pic&ture"));
    picture->setObjectName(QStringLiteral("mnuPicture"));
    const auto fillPicture = [this, picture] {
        picture->clear();
        addPictureChoices(*picture);
    };
    fillPicture();
    connect(picture, &QMenu::aboutToShow, this, fillPicture);
    edit->addSeparator();
    QAction* snap = edit->addAction(tr("&Snap to Guides"));
    snap->setObjectName(QStringLiteral("mnuSnap"));
    snap->setCheckable(true);
    connect(edit, &QMenu::aboutToShow, snap, [this, snap] {
        const QSignalBlocker quiet(snap);
        snap->setChecked(canvas->snapping());
    });
    connect(snap, &QAction::toggled, this, &Form1::setSnapping);

    // The export choices and the looks of the lines are the right-click
    // menus' own, made again each time so that they show what is stored now.
    QMenu* exporting = menuBar_->addMenu(tr("E&xport"));
    exporting->setObjectName(QStringLiteral("mnuExport"));
    const auto fillExport = [this, exporting] {
        // The submenus of the last filling go with their items.
        qDeleteAll(exporting->findChildren<QMenu*>(Qt::FindDirectChildrenOnly));
        exporting->clear();
        addExportChoices(*exporting);
        exporting->addSeparator();
        // The export choices already take the Z of "Size".
        QMenu* sizes = addCanvasSizeMenu(*exporting);
        sizes->setObjectName(QStringLiteral("mnuCanvasSize"));
        sizes->setTitle(tr("&Canvas Size"));
    };
    fillExport();
    connect(exporting, &QMenu::aboutToShow, this, fillExport);

    QMenu* text = menuBar_->addMenu(tr("&Text"));
    text->setObjectName(QStringLiteral("mnuText"));
    QMenu* lines[2] = {text->addMenu(tr("Text Line &1")), text->addMenu(tr("Text Line &2"))};
    for (int i = 0; i < 2; ++i) {
        QMenu* line = lines[i];
        line->setObjectName(QStringLiteral("mnuTextLine%1").arg(i + 1));
        const auto fill = [this, line, i] {
            line->clear();
            addLookChoices(*line, i);
        };
        fill();
        connect(line, &QMenu::aboutToShow, this, fill);
    }

    QMenu* help = menuBar_->addMenu(tr("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    help->addAction(tr("&Keyboard Shortcuts"), QKeySequence::HelpContents, this,
                    &Form1::showKeyboardShortcuts);
    help->addAction(tr("&About Vantelo"), this, &Form1::showAbout);

    fillRecentMenu();

    // The window grows by the bar's height; the client area keeps its size
    // and every control its place inside it.
    const int barHeight = menuBar_->sizeHint().height();
    const QSize client = client_->size();
    menuBar_->setGeometry(0, 0, client.width(), barHeight);
    client_->move(0, barHeight);
    setFixedSize(client.width(), client.height() + barHeight);
}

void Form1::fillRecentMenu() {
    recentMenu_->clear();
    const QStringList files = designFiles_->recentFiles();
    int number = 0;
    for (const QString& path : files) {
        ++number;
        const QFileInfo info(path);
        const bool missing = !info.isFile();
        QString caption = info.fileName();
        caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
        if (missing)
            caption = tr("%1 (missing)").arg(caption);
        // 1 to 9, then 0 for the tenth.
        QAction* action =
            recentMenu_->addAction(QStringLiteral("&%1 %2").arg(number % 10).arg(caption), this,
                                   [this, path] { openDesignFile(path); });
        action->setToolTip(QDir::toNativeSeparators(path));
        action->setStatusTip(QDir::toNativeSeparators(path));
        action->setEnabled(!missing);
    }
    if (files.isEmpty())
        recentMenu_->addAction(tr("No Recent Designs"))->setEnabled(false);
    recentMenu_->setEnabled(true);
}

bool Form1::openDesignFile(const QString& path) {
    return designFiles_->openDesignFile(path);
}

void Form1::showKeyboardShortcuts() {
    QStringList rows;
    const std::function<void(QMenu*, const QString&)> walk = [&](QMenu* menu,
                                                                 const QString& where) {
        for (QAction* action : menu->actions()) {
            const QString name = where + withoutMnemonic(action->text());
            if (action->menu() != nullptr)
                walk(action->menu(), name + QStringLiteral(" ▸ "));
            else if (!action->shortcuts().isEmpty()) {
                QStringList keys;
                for (const QKeySequence& key : action->shortcuts())
                    keys << key.toString(QKeySequence::NativeText);
                rows << name + QStringLiteral(": ") + keys.join(tr(" or "));
            }
        }
    };
    for (QAction* top : menuBar_->actions())
        walk(top->menu(), withoutMnemonic(top->text()) + QStringLiteral(" ▸ "));
    rows << QString()
         << tr("On the canvas: the arrow keys move the chosen object by 1 pixel, with Shift by "
               "10; Tab chooses the next object; Ctrl and the mouse wheel size the picture; "
               "Alt held while dragging lets go of the guides.")
         << tr("Alt and an underlined letter opens a menu or presses a button.");
    services_.messages.show(rows.join(QLatin1Char('\n')), MsgOkOnly, tr("Keyboard Shortcuts"));
}

void Form1::showAbout() {
    services_.messages.show(
        tr("Vantelo %1\n\nA logo composer: one picture and two lines of text.\n\n"
           "Licence: proprietary. Copyright Tarnwick; all rights reserved.")
            .arg(QStringLiteral(VANTELO_VERSION)),
        MsgOkOnly, tr("About Vantelo"));
}

}  // namespace vantelo

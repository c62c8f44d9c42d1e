#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QShortcut>
#include <QSpinBox>

#include "app/form1.h"
#include "canvas/canvas.h"
#include "editing/designdocument.h"
#include "editing/imagesource.h"

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
    connect(canvas, &Canvas::contextMenuWanted, document_, &DesignDocument::showCanvasMenu);

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
    auto* historyKeys = new HistoryKeysToWindow(this);
    for (QWidget* box : {static_cast<QWidget*>(Text1), static_cast<QWidget*>(TextLine[0]),
                         static_cast<QWidget*>(TextLine[1])})
        box->installEventFilter(historyKeys);
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
    imageSource_->chooseFile(fileName);
    document_->record(DesignChange::Picture);
}

}  // namespace vantelo

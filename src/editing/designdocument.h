#pragma once

#include <QImage>
#include <QObject>
#include <QUndoStack>

#include "design/logodesign.h"
#include "editing/textlines.h"

class QLineEdit;
class QSpinBox;

namespace vantelo {

class Canvas;
class MessageBoxes;
class SettingsStore;

// What a change was; changes of one kind that follow each other merge into
// one step where a person expects that (typing in one box, a run of arrow
// keys on one object, turning the size).
enum class DesignChange {
    Typing,
    PathTyping,
    Show,
    Font,
    Color,
    Look,
    Picture,
    Move,
    Nudge,
    Scale,
    Background,
    CanvasSize,
    Angle,
    // A turn by the handle: each drag is a step of its own.
    Turn,
};

// The controls that show the design.
struct DesignControls {
    QLineEdit* path;
    Canvas* canvas;
    TextLineControls lines;
    QSpinBox* size;
};

// The design being edited and its history. The controls show the design; the
// handlers change it through them and then record the change here, which makes
// it one step on the undo stack. Undo and redo put a whole earlier design back
// on the controls and in the settings store, so what is stored is always what
// is shown.
class DesignDocument final : public QObject {
    Q_OBJECT
public:
    DesignDocument(DesignControls controls, SettingsStore& settings, MessageBoxes& messages,
                   QObject* parent);

    // The design as the controls show it.
    LogoDesign capture() const;
    // The last design recorded.
    const LogoDesign& design() const { return design_; }

    // Takes what the controls show as the start of the history: nothing to undo.
    void reset();
    // Makes what the controls now show one step, unless nothing changed. `line`
    // tells apart the boxes typing merges in and the objects a run of arrow
    // keys moves.
    void record(DesignChange change, int line = -1);

    QUndoStack& history() { return history_; }

signals:
    // The design shown changed: a step was recorded, undone or redone.
    void changed();

public:
    // Whether a change is being put back: the handlers the controls fire then
    // record nothing.
    bool restoring() const { return restoring_; }

    // Shows a design on the controls and stores what differs from what they
    // showed before. A picture step brings its picture back: the one it kept,
    // or, for a picture too large to keep or whose full pixels were never
    // decoded, the one its file holds now, decoded for the size it is shown at.
    void restore(const LogoDesign& target, bool pictureStep, const QImage& picture,
                 const char* handler);

private:
    DesignControls c_;
    SettingsStore& settings_;
    MessageBoxes& messages_;
    QUndoStack history_;
    LogoDesign design_;
    // The picture on the canvas when the last step was recorded; null when
    // its full pixels were not decoded.
    QImage picture_;
    bool restoring_ = false;
    // Nothing is recorded before start-up has restored the design.
    bool started_ = false;
};

}  // namespace vantelo

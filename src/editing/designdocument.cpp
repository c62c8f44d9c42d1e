#include "editing/designdocument.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>

#include "canvas/canvas.h"
#include "design/designkeys.h"
#include "platform/commondialog.h"
#include "platform/errortrap.h"
#include "platform/numeric.h"
#include "platform/picture.h"
#include "platform/scaleddecode.h"
#include "platform/settingsstore.h"

namespace vantelo {
namespace {

// Merge ids: one per kind of change that merges, and per box or object.
int mergeId(DesignChange change, int line) {
    switch (change) {
        case DesignChange::Typing:
            return 1 + line;
        case DesignChange::PathTyping:
            return 10;
        case DesignChange::Nudge:
            return 20 + line;
        case DesignChange::Scale:
            return 30;
        case DesignChange::Angle:
            return 40 + line;
        default:
            return -1;
    }
}

QString stepName(DesignChange change) {
    switch (change) {
        case DesignChange::Typing:
            return DesignDocument::tr("Typing");
        case DesignChange::PathTyping:
            return DesignDocument::tr("Picture Path");
        case DesignChange::Show:
            return DesignDocument::tr("Show or Hide");
        case DesignChange::Font:
            return DesignDocument::tr("Font");
        case DesignChange::Color:
            return DesignDocument::tr("Colour");
        case DesignChange::Look:
            return DesignDocument::tr("Outline and Shadow");
        case DesignChange::Picture:
            return DesignDocument::tr("Picture");
        case DesignChange::Move:
        case DesignChange::Nudge:
            return DesignDocument::tr("Move");
        case DesignChange::Scale:
            return DesignDocument::tr("Size");
        case DesignChange::Background:
            return DesignDocument::tr("Remove Background");
        case DesignChange::CanvasSize:
            return DesignDocument::tr("Canvas Size");
        case DesignChange::Angle:
        case DesignChange::Turn:
            return DesignDocument::tr("Angle");
    }
    return QString();
}

// Pictures up to this size stay with their step; a larger one (a camera
// photo) is read again from its file, so the history never holds many of them.
constexpr qsizetype kKeptPictureBytes = 32 * 1024 * 1024;

QImage keepable(const QImage& picture) {
    return picture.sizeInBytes() <= kKeptPictureBytes ? picture : QImage();
}

// One step of the history: the design before and after it.
class DesignStep final : public QUndoCommand {
public:
    DesignStep(DesignDocument& document, LogoDesign before, LogoDesign after, DesignChange change,
               int id, const QImage& pictureBefore, const QImage& pictureAfter)
        : QUndoCommand(stepName(change)),
          document_(document),
          before_(std::move(before)),
          after_(std::move(after)),
          reload_(change == DesignChange::Picture),
          id_(id) {
        if (reload_) {
            pictureBefore_ = keepable(pictureBefore);
            pictureAfter_ = keepable(pictureAfter);
        }
    }

    void undo() override { document_.restore(before_, reload_, pictureBefore_, "Undo_Click"); }
    void redo() override {
        // Pushed after the controls already show the change.
        if (pushing_) {
            pushing_ = false;
            return;
        }
        document_.restore(after_, reload_, pictureAfter_, "Redo_Click");
    }
    int id() const override { return id_; }
    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const DesignStep*>(other);
        after_ = next->after_;
        setObsolete(after_ == before_);
        return true;
    }

private:
    DesignDocument& document_;
    LogoDesign before_;
    LogoDesign after_;
    QImage pictureBefore_;
    QImage pictureAfter_;
    bool reload_;
    int id_;
    bool pushing_ = true;
};

}  // namespace

DesignDocument::DesignDocument(DesignControls controls, SettingsStore& settings,
                               MessageBoxes& messages, QObject* parent)
    : QObject(parent), c_(controls), settings_(settings), messages_(messages) {
    // A photo's worth of steps is small (the pictures are loaded again from
    // their files), but the history still has an end.
    history_.setUndoLimit(200);
}

LogoDesign DesignDocument::capture() const {
    LogoDesign design;
    ImageControl& picture = *c_.canvas->imgLogo;
    design.picture.path = c_.path->text();
    design.picture.left = picture.place().Left();
    design.picture.top = picture.place().Top();
    design.picture.scale = picture.scale();
    design.picture.backgroundTolerance = picture.backgroundTolerance();
    design.canvas = c_.canvas->chosenSize();
    for (int i = 0; i < 2; ++i) {
        const QLineEdit* edit = c_.lines.edit[i];
        TextLineDesign& line = design.lines[i];
        line.text = edit->text();
        line.shown = lineprops::checkValue(c_.lines.show[i]);
        const QFont font = lineprops::font(edit);
        line.fontName = font.family();
        line.fontSize = lineprops::fontSize(edit);
        line.bold = font.bold();
        line.italic = font.italic();
        line.strikeOut = font.strikeOut();
        line.underline = font.underline();
        line.color = lineprops::color(edit);
        const CaptionLook& look = c_.lines.label[i]->look();
        line.outlineWidth = look.outlineWidth;
        line.outlineColor = colorToValue(look.outline);
        line.shadow = look.shadow;
        line.angle = c_.lines.label[i]->angle();
        line.left = c_.lines.label[i]->place().Left();
        line.top = c_.lines.label[i]->place().Top();
    }
    return design;
}

void DesignDocument::reset() {
    history_.clear();
    design_ = capture();
    picture_ = c_.canvas->imgLogo->decodedPicture();
    started_ = true;
    emit changed();
    try {
        c_.canvas->setSnapping(
            textToBoolean(settings_.GetSetting(keys::kSnapToGuides, QStringLiteral("False"))));
    } catch (const RuntimeError&) {
        // A value that is no truth value leaves snapping off.
    }
}

void DesignDocument::record(DesignChange change, int line) {
    if (restoring_ || !started_)
        return;
    LogoDesign now = capture();
    if (now == design_)
        return;
    LogoDesign before = std::exchange(design_, now);
    const QImage pictureBefore = std::exchange(picture_, c_.canvas->imgLogo->decodedPicture());
    history_.push(new DesignStep(*this, std::move(before), std::move(now), change,
                                 mergeId(change, line), pictureBefore, picture_));
    emit changed();
}

void DesignDocument::restore(const LogoDesign& target, bool pictureStep, const QImage& kept,
                             const char* handler) {
    ErrorTrap trap(messages_, errorLocation(QStringLiteral("Form1"), QLatin1String(handler)));
    const LogoDesign shown = capture();
    restoring_ = true;
    Canvas& canvas = *c_.canvas;
    ImageControl& picture = *canvas.imgLogo;
    // The handlers the controls fire store what they show, as they do when
    // the user changes them.
    trap.run(100, [&] { c_.path->setText(target.picture.path); });
    // Before the picture, so a new picture is cleared once, at its own tolerance.
    trap.run(101, [&] { picture.setBackgroundTolerance(target.picture.backgroundTolerance); });
    if (pictureStep) {
        trap.run(102, [&] {
            if (kept.isNull())
                picture.setPicture(LoadPictureToShow(target.picture.path, target.picture.scale));
            else
                picture.setPicture(kept);
        });
    }
    trap.run(104, [&] {
        const QSignalBlocker quiet(c_.size);
        c_.size->setValue(target.picture.scale);
        picture.setScale(target.picture.scale);
    });
    if (target.canvas != shown.canvas)
        trap.run(105, [&] { canvas.setChosenSize(target.canvas); });
    if (trap.test(106, [&] { return canvas.pictureBelowCanvas(); }))
        trap.run(108, [&] { canvas.growToPicture(); });
    if (pictureStep || target.picture.scale != shown.picture.scale || target.canvas != shown.canvas)
        trap.run(110, [&] { canvas.SetScrollBars(); });
    trap.run(112, [&] {
        picture.place().setLeft(target.picture.left);
        picture.place().setTop(target.picture.top);
    });
    for (int i = 0; i < 2; ++i) {
        const TextLineDesign& line = target.lines[i];
        QLineEdit* edit = c_.lines.edit[i];
        CanvasLabel* label = c_.lines.label[i];
        trap.run(114, [&] { edit->setText(line.text); });
        trap.run(116, [&] { lineprops::setCheckValue(c_.lines.show[i], line.shown); });
        trap.run(118, [&] {
            lineprops::setFontName(edit, line.fontName);
            lineprops::setFontSize(edit, line.fontSize);
            lineprops::setBold(edit, line.bold);
            lineprops::setItalic(edit, line.italic);
            lineprops::setStrikethrough(edit, line.strikeOut);
            lineprops::setUnderline(edit, line.underline);
            label->setLabelFont(lineprops::font(edit));
        });
        trap.run(120, [&] {
            lineprops::setColor(edit, line.color);
            label->setForeColor(valueToColor(line.color));
        });
        trap.run(121, [&] {
            label->setLook({line.outlineWidth, valueToColor(line.outlineColor), line.shadow});
            label->setAngle(line.angle);
        });
        trap.run(122, [&] {
            label->place().setLeft(line.left);
            label->place().setTop(line.top);
        });
    }
    // Whatever no handler stored is stored here, so the store ends equal to
    // the controls.
    trap.run(124, [&] { storeChanges(settings_, shown, capture()); });
    restoring_ = false;
    design_ = capture();
    picture_ = picture.decodedPicture();
    emit changed();
}

}  // namespace vantelo

#include "canvas/canvas.h"
#include "platform/numeric.h"

namespace vantelo {

void Canvas::BuildLogo() {
    ErrorTrap trap(messages_, errorLocation(QStringLiteral("Form1"), QStringLiteral("BuildLogo")));
    TwipsPlacement& viewport = Picture2->place();
    TwipsPlacement& canvas = pArea->place();
    std::int32_t savedTop = 0;
    std::int32_t savedLeft = 0;

    // The canvas is painted from its own state below, wherever it sits, so it
    // is neither moved to the viewport's origin nor the viewport grown to hold
    // it: moving a shown widget and back would leave the window a repaint to
    // do for nothing. Only the end state of those steps is kept: the viewport
    // at its usual size and the canvas at whole twips.
    trap.run(104, [&] { savedTop = toInt32(canvas.Top()); });
    trap.run(106, [&] { savedLeft = toInt32(canvas.Left()); });
    // The canvas is painted off screen below, from the widgets' own state, so
    // what the window shows or hides never enters the picture; only fonts and
    // palettes still waiting to be applied have to be brought up to date.
    trap.run(112, [&] {
        pArea->ensurePolished();
        // The picture as it will stay, not the quick one shown while its
        // smooth copy is made.
        imgLogo->settle();
        // A line whose caption changed while it was not shown has its size
        // measured now.
        for (CanvasLabel* label : lblA)
            label->place();
    });
    PictureSave& target = *picSave;
    trap.run(116, [&] { target.setWidth(canvas.Width()); });
    trap.run(118, [&] { target.setHeight(canvas.Height()); });
    // The canvas paints itself straight into picSave's bitmap from its top-left
    // corner; the bitmap has the canvas's size, so it holds exactly the canvas.
    // Children reaching past the canvas's edges are cut there, and hidden text
    // lines are not painted.
    trap.run(120, [&] {
        QImage& image = target.image();
        if (image.isNull())
            return;
        // The selection frame and guides are for the screen only.
        overlay_->setSuppressed(true);
        pArea->render(&image);
        overlay_->setSuppressed(false);
    });
    trap.run(122, [&] { target.update(); });
    trap.run(124, [&] { viewport.setHeight(3465); });
    trap.run(126, [&] { viewport.setWidth(9345); });
    trap.run(128, [&] { canvas.setTop(static_cast<float>(savedTop)); });
    trap.run(130, [&] { canvas.setLeft(static_cast<float>(savedLeft)); });
}

}  // namespace vantelo

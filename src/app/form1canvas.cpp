#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QMenu>
#include <QSpinBox>

#include "app/form1.h"
#include "canvas/canvas.h"
#include "canvas/canvassize.h"
#include "design/logodesign.h"
#include "editing/designdocument.h"
#include "platform/errortrap.h"

namespace vantelo {

namespace {

// The canvas as it is now, in pixels.
QSize canvasPixels(const Canvas& canvas) {
    return canvas.chosenSize().isEmpty() ? kClassicCanvas : canvas.chosenSize();
}

}  // namespace

QMenu* Form1::addCanvasSizeMenu(QMenu& menu) {
    QMenu* sizes = menu.addMenu(tr("Canvas Si&ze"));
    const QSize current = canvasPixels(*canvas);
    bool matched = false;
    for (const CanvasPreset& preset : canvasPresets()) {
        QAction* choice = sizes->addAction(tr("%1 (%2 \u00d7 %3)")
                                               .arg(preset.name)
                                               .arg(preset.size.width())
                                               .arg(preset.size.height()));
        choice->setCheckable(true);
        choice->setChecked(preset.size == current);
        matched = matched || preset.size == current;
        const QSize size = preset.size;
        connect(choice, &QAction::triggered, this, [this, size] { setCanvasSize(size); });
    }
    sizes->addSeparator();
    sizes->addAction(tr("&Fit to Picture"), this, [this] { fitCanvasToPicture(); });
    QAction* own = sizes->addAction(
        matched ? tr("&Other Size…")
                : tr("&Other Size: %1 \u00d7 %2…").arg(current.width()).arg(current.height()));
    own->setCheckable(true);
    own->setChecked(!matched);
    connect(own, &QAction::triggered, this, [this, current] {
        QDialog dialog(this);
        dialog.setObjectName(QStringLiteral("canvasSizeDialog"));
        dialog.setWindowTitle(tr("Canvas Size"));
        auto* form = new QFormLayout(&dialog);
        QSpinBox* sides[2];
        for (QSpinBox*& side : sides) {
            side = new QSpinBox(&dialog);
            side->setRange(kSmallestCanvasSide, kLargestCanvasSide);
            side->setSuffix(tr(" px"));
        }
        sides[0]->setObjectName(QStringLiteral("canvasWidth"));
        sides[1]->setObjectName(QStringLiteral("canvasHeight"));
        sides[0]->setValue(current.width());
        sides[1]->setValue(current.height());
        form->addRow(tr("&Width:"), sides[0]);
        form->addRow(tr("&Height:"), sides[1]);
        auto* buttons =
            new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
        connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        form->addRow(buttons);
        if (dialog.exec() == QDialog::Accepted)
            setCanvasSize(QSize(sides[0]->value(), sides[1]->value()));
    });
    return sizes;
}

void Form1::setCanvasSize(const QSize& pixels, bool pictureToCorner) {
    ErrorTrap trap(services_.messages,
                   errorLocation(QStringLiteral("Form1"), QStringLiteral("mnuCanvasSize_Click")));
    const LogoDesign before = document_->capture();
    Canvas& c = *canvas;
    if (pictureToCorner) {
        trap.run(99, [&] {
            c.imgLogo->place().setLeft(0);
            c.imgLogo->place().setTop(0);
        });
    }
    trap.run(100, [&] { c.setChosenSize(pixels); });
    if (trap.test(102, [&] { return c.pictureBelowCanvas(); }))
        trap.run(104, [&] { c.growToPicture(); });
    trap.run(106, [&] { c.SetScrollBars(); });
    // A smaller canvas may leave an object wholly outside it.
    trap.run(108, [&] {
        for (CanvasObject* object :
             std::initializer_list<CanvasObject*>{c.imgLogo, c.lblA[0], c.lblA[1]})
            c.bringInside(*object);
    });
    trap.run(110, [&] { storeChanges(services_.settings, before, document_->capture()); });
    document_->record(DesignChange::CanvasSize);
}

void Form1::fitCanvasToPicture() {
    Canvas& c = *canvas;
    const QSize picture = c.imgLogo->size();
    setCanvasSize(QSize(std::min(picture.width(), kLargestCanvasSide),
                        std::min(picture.height(), kLargestCanvasSide)),
                  true);
}

}  // namespace vantelo

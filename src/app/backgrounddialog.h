#pragma once

#include <QDialog>
#include <QTimer>

class QSlider;
class QSpinBox;

namespace vantelo {

// "Remove Background": a tolerance from 0 (the picture as it is) to 100, on a
// slider and in a spin box that follow each other. Each change is offered
// for a preview at once; a run of changes (a slider dragged) is previewed
// once it rests for a moment, since a photo takes a while to clear.
class BackgroundDialog final : public QDialog {
    Q_OBJECT
public:
    BackgroundDialog(int tolerance, QWidget* parent);
    int tolerance() const;
    QSpinBox* spinBox() const { return spin_; }
    QSlider* slider() const { return slider_; }

signals:
    void preview(int tolerance);

private:
    QSlider* slider_;
    QSpinBox* spin_;
    QTimer settle_;
};

}  // namespace vantelo

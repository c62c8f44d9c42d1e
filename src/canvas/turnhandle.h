#pragma once

#include <QLineF>
#include <QPointF>
#include <QWidget>

namespace vantelo {

class CanvasLabel;

// The round knob beyond the top edge of the selected text line's frame:
// dragged, it turns the line about its centre; with Shift to whole 15-degree
// steps. It only takes the pointer: the overlay draws the knob, so it never
// enters the logo.
class TurnHandle final : public QWidget {
    Q_OBJECT
public:
    explicit TurnHandle(QWidget* canvas);
    // Puts the knob beside the line's turned frame, or hides it for none.
    void follow(CanvasLabel* line);
    CanvasLabel* line() const { return line_; }
    // From the frame's edge to the knob's centre, in the canvas's pixels; a
    // null line while hidden.
    QLineF stem() const { return stem_; }
    bool turning() const { return turning_; }

signals:
    // The knob moved or a turn began or ended: the overlay draws it anew.
    void changed();
    // Let go: the line was at `from` degrees when grabbed and is at `to` now.
    void turned(CanvasLabel* line, int from, int to);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The line's angle with the pointer at `global`.
    int angleAt(const QPointF& global, Qt::KeyboardModifiers modifiers) const;

    CanvasLabel* line_ = nullptr;
    QLineF stem_;
    bool turning_ = false;
    int from_ = 0;
    // The turn's centre and where the knob was grabbed, on the canvas.
    QPointF centre_;
    QPointF grabbedAt_;
};

// The angle of a line turned from `from` degrees by the pointer going round
// `centre` from `grabbed` to `pointer`, within -180 to 180; `steps` rounds it
// to whole 15-degree steps.
int turnedAngle(int from, const QPointF& centre, const QPointF& grabbed, const QPointF& pointer,
                bool steps);

}  // namespace vantelo

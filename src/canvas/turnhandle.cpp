#include "canvas/turnhandle.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <cmath>

#include "canvas/canvas.h"

namespace vantelo {
namespace {

// The knob's centre lies this far beyond the frame's edge; the pointer finds
// it within a circle of this radius, a little larger than the knob drawn.
constexpr double kStemPixels = 18;
constexpr int kGrabRadius = 7;
constexpr int kStepDegrees = 15;

// Degrees counter-clockwise from straight up, as the line's angle counts.
double direction(const QPointF& from, const QPointF& to) {
    return qRadiansToDegrees(std::atan2(from.x() - to.x(), from.y() - to.y()));
}

// A circular arrow: drawing programs show one over a turn handle.
QCursor turnCursor() {
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath arc;
    arc.arcMoveTo(QRectF(5, 5, 14, 14), 120);
    arc.arcTo(QRectF(5, 5, 14, 14), 120, 270);
    QPainterPath head;
    head.moveTo(17.5, 3.5);
    head.lineTo(21.5, 10.5);
    head.lineTo(13.5, 10);
    head.closeSubpath();
    for (const auto& [colour, width] : {std::pair(Qt::white, 4.0), std::pair(Qt::black, 1.6)}) {
        painter.strokePath(arc, QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
        painter.strokePath(head,
                           QPen(colour, width - 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.fillPath(head, QColor(colour));
    }
    painter.end();
    return QCursor(pixmap, 12, 12);
}

}  // namespace

int turnedAngle(int from, const QPointF& centre, const QPointF& grabbed, const QPointF& pointer,
                bool steps) {
    double angle = from + direction(centre, pointer) - direction(centre, grabbed);
    if (steps)
        angle = kStepDegrees * std::round(angle / kStepDegrees);
    // Past a half turn either way it comes round from the other side.
    angle = std::remainder(angle, 360.0);
    return static_cast<int>(std::lround(angle));
}

TurnHandle::TurnHandle(QWidget* canvas) : QWidget(canvas) {
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setCursor(turnCursor());
    setToolTip(tr("Drag to turn the text line; hold Shift for steps of 15°"));
    setAccessibleName(tr("Turn"));
    const int side = 2 * kGrabRadius + 1;
    resize(side, side);
    setMask(QRegion(rect(), QRegion::Ellipse));
    hide();
}

void TurnHandle::follow(CanvasLabel* line) {
    line_ = line;
    if (line == nullptr || line->text().isEmpty()) {
        stem_ = QLineF();
        hide();
        return;
    }
    const QPolygonF frame = line->turnedFrame();
    const QPointF centre = (frame[0] + frame[2]) / 2;
    const auto beyond = [&centre](const QPointF& edge) {
        const QLineF out(centre, edge);
        if (out.length() < 1e-6)
            return QLineF(edge, edge - QPointF(0, kStemPixels));
        return QLineF(edge, edge + (edge - centre) * (kStemPixels / out.length()));
    };
    stem_ = beyond((frame[0] + frame[1]) / 2);
    // A knob the canvas would cut off goes beyond the bottom edge instead.
    const QRectF room = QRectF(parentWidget()->rect())
                            .adjusted(kGrabRadius, kGrabRadius, -kGrabRadius, -kGrabRadius);
    if (!room.contains(stem_.p2())) {
        const QLineF below = beyond((frame[2] + frame[3]) / 2);
        if (room.contains(below.p2()))
            stem_ = below;
    }
    move(stem_.p2().toPoint() - QPoint(kGrabRadius, kGrabRadius));
    show();
    raise();
}

void TurnHandle::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || line_ == nullptr)
        return;
    const QPolygonF frame = line_->turnedFrame();
    centre_ = (frame[0] + frame[2]) / 2;
    grabbedAt_ = parentWidget()->mapFromGlobal(event->globalPosition());
    from_ = line_->angle();
    turning_ = true;
    emit changed();
}

int TurnHandle::angleAt(const QPointF& global, Qt::KeyboardModifiers modifiers) const {
    return turnedAngle(from_, centre_, grabbedAt_, parentWidget()->mapFromGlobal(global),
                       modifiers & Qt::ShiftModifier);
}

void TurnHandle::mouseMoveEvent(QMouseEvent* event) {
    if (!turning_ || !(event->buttons() & Qt::LeftButton))
        return;
    line_->setAngle(angleAt(event->globalPosition(), event->modifiers()));
    emit changed();
}

void TurnHandle::mouseReleaseEvent(QMouseEvent* event) {
    if (!turning_ || event->button() != Qt::LeftButton)
        return;
    turning_ = false;
    CanvasLabel* line = line_;
    const int to = angleAt(event->globalPosition(), event->modifiers());
    line->setAngle(to);
    emit changed();
    emit turned(line, from_, to);
}

}  // namespace vantelo

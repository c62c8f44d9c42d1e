#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "canvas/canvas.h"
#include "canvas/turnhandle.h"
#include "design/designkeys.h"
#include "platform/numeric.h"
#include "platform/settingsstore.h"

namespace vantelo {
namespace {

// How near, in pixels, an edge or centre comes to a guide before it snaps.
constexpr double kSnapPixels = 5;

// The nearest of an object's near edge, centre and far edge to any of the
// lines, when it lies within `limit`: the shift that puts it there and the line.
struct Snap {
    double shift = 0;
    double line = -1;
};

Snap nearestLine(double start, double size, const std::vector<double>& lines, double limit) {
    Snap best;
    double bestDistance = limit;
    for (const double edge : {start, start + size / 2, start + size}) {
        for (const double line : lines) {
            const double distance = std::abs(line - edge);
            if (distance <= bestDistance) {
                bestDistance = distance;
                best = {line - edge, line};
            }
        }
    }
    return best;
}

// What a 1-pixel outline drawn round `frame` may cover, with a pixel to
// spare: moving a frame repaints its old and new edges, not what lies inside.
QRegion outlineOf(const QRect& frame) {
    if (frame.isNull())
        return QRegion();
    return QRegion(frame.adjusted(-2, -2, 2, 2)).subtracted(QRegion(frame.adjusted(2, 2, -2, -2)));
}

}  // namespace

CanvasOverlay::CanvasOverlay(QWidget* canvas) : QWidget(canvas) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(canvas->rect());
    raise();
}

void CanvasOverlay::setFrame(const QRect& frame) {
    if (frame == frame_)
        return;
    update(outlineOf(frame_) + outlineOf(frame));
    frame_ = frame;
}

void CanvasOverlay::setTurnedFrame(const QPolygonF& frame) {
    if (frame == turnedFrame_)
        return;
    const auto around = [](const QPolygonF& corners) {
        return corners.isEmpty() ? QRect()
                                 : corners.boundingRect().toAlignedRect().adjusted(-2, -2, 2, 2);
    };
    update(QRegion(around(turnedFrame_)) + around(frame));
    turnedFrame_ = frame;
}

void CanvasOverlay::setTurnHandle(const QLineF& stem, const QString& reading) {
    if (stem.p1() == stemFoot_ && stem.p2() == knob_ && reading == reading_)
        return;
    const QRect was = turnHandleArea();
    stemFoot_ = stem.p1();
    knob_ = stem.p2();
    reading_ = reading;
    update(QRegion(was) + turnHandleArea());
}

void CanvasOverlay::setGuides(int x, int y) {
    if (x == guideX_ && y == guideY_)
        return;
    QRegion changed;
    for (const int at : {guideX_, x}) {
        if (at >= 0)
            changed += QRect(at, 0, 1, height());
    }
    for (const int at : {guideY_, y}) {
        if (at >= 0)
            changed += QRect(0, at, width(), 1);
    }
    guideX_ = x;
    guideY_ = y;
    update(changed);
}

void CanvasOverlay::setFocusMark(bool on) {
    if (on == focusMark_)
        return;
    focusMark_ = on;
    update();
}

QRectF CanvasOverlay::readingPlate() const {
    const QRect text = fontMetrics().boundingRect(reading_).adjusted(-4, -2, 4, 2);
    QRectF plate(QPointF(0, 0), QSizeF(text.size()));
    plate.moveCenter(knob_ + QPointF(0, -18));
    if (plate.top() < 0)
        plate.moveCenter(knob_ + QPointF(0, 18));
    return plate;
}

QRect CanvasOverlay::turnHandleArea() const {
    if (stemFoot_ == knob_)
        return QRect();
    // The stem, the knob round its end and the plate beside it, with the
    // pen's width to spare.
    QRectF area =
        QRectF(stemFoot_, knob_).normalized() | QRectF(knob_ - QPointF(4.5, 4.5), QSizeF(9, 9));
    if (!reading_.isEmpty())
        area |= readingPlate();
    return area.toAlignedRect().adjusted(-2, -2, 2, 2);
}

void CanvasOverlay::paintEvent(QPaintEvent*) {
    if (suppressed_)
        return;
    QPainter painter(this);
    if (focusMark_ && parentWidget() != nullptr && parentWidget()->parentWidget() != nullptr) {
        // The part of the canvas the viewport shows, however it is scrolled.
        const QWidget* viewport = parentWidget()->parentWidget();
        const QRect seen = rect() & QRect(mapFrom(viewport, QPoint(0, 0)), viewport->size());
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.drawRect(seen.adjusted(1, 1, -2, -2));
    }
    if (!frame_.isNull()) {
        QPen pen(palette().color(QPalette::Highlight), 1, Qt::DashLine);
        painter.setPen(pen);
        painter.drawRect(frame_.adjusted(-1, -1, 0, 0));
    }
    if (!turnedFrame_.isEmpty() || stemFoot_ != knob_) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor highlight = palette().color(QPalette::Highlight);
        painter.setPen(QPen(highlight, 1, Qt::DashLine));
        painter.drawPolygon(turnedFrame_);
        if (stemFoot_ != knob_) {
            painter.setPen(QPen(highlight, 1));
            painter.drawLine(stemFoot_, knob_);
            painter.setBrush(palette().color(QPalette::Base));
            painter.drawEllipse(knob_, 4.5, 4.5);
        }
        if (!reading_.isEmpty()) {
            // The angle beside the knob, on a plate of its own so it reads
            // over any picture.
            const QRectF plate = readingPlate();
            painter.setPen(Qt::NoPen);
            painter.setBrush(palette().color(QPalette::ToolTipBase));
            painter.drawRoundedRect(plate, 3, 3);
            painter.setPen(palette().color(QPalette::ToolTipText));
            painter.drawText(plate, Qt::AlignCenter, reading_);
        }
        painter.restore();
    }
    painter.setPen(QPen(QColor(0xE0, 0x20, 0x80), 1));
    if (guideX_ >= 0)
        painter.drawLine(guideX_, 0, guideX_, height());
    if (guideY_ >= 0)
        painter.drawLine(0, guideY_, width(), guideY_);
}

QList<CanvasObject*> Canvas::visibleObjects() const {
    QList<CanvasObject*> objects;
    for (CanvasObject* object : std::initializer_list<CanvasObject*>{imgLogo, lblA[0], lblA[1]}) {
        if (!object->place().widget()->isHidden())
            objects.append(object);
    }
    return objects;
}

void Canvas::select(CanvasObject* object) {
    selected_ = object;
    showSelection();
}

void Canvas::showSelection() {
    if (selected_ != nullptr && selected_->place().widget()->isHidden())
        selected_ = nullptr;
    CanvasLabel* line = selected_ == lblA[0] ? lblA[0] : selected_ == lblA[1] ? lblA[1] : nullptr;
    // A level line keeps the frame every object has.
    const bool turned = line != nullptr && line->angle() != 0;
    overlay_->setFrame(selected_ != nullptr && !turned ? selected_->place().widget()->geometry()
                                                       : QRect());
    overlay_->setTurnedFrame(turned ? line->turnedFrame() : QPolygonF());
    turnHandle_->follow(line);
    overlay_->setTurnHandle(
        turnHandle_->stem(),
        turnHandle_->turning() ? tr("%1°").arg(line != nullptr ? line->angle() : 0) : QString());
    overlay_->setFocusMark(selected_ == nullptr && Picture2->hasFocus());
}

void Canvas::keepWithinCanvas(CanvasObject& object) {
    TwipsPlacement& place = object.place();
    // How far what is shown reaches past the place on each side; nothing for
    // a level object.
    const QRectF shown = object.shownBox();
    const double left = double(place.Left()) - shown.left();
    const double top = double(place.Top()) - shown.top();
    const double right = shown.right() - (double(place.Left()) + place.Width());
    const double bottom = shown.bottom() - (double(place.Top()) + place.Height());
    // Near edges first, then far edges: an object larger than the canvas
    // ends with its far edge on the canvas's far edge.
    if (place.Left() - left < 0)
        place.setLeft(static_cast<float>(left));
    if (place.Top() - top < 0)
        place.setTop(static_cast<float>(top));
    const auto farLeft = [&] { return double(pArea->ScaleWidth()) - place.Width() - right; };
    const auto farTop = [&] { return double(pArea->ScaleHeight()) - place.Height() - bottom; };
    if (place.Left() > farLeft())
        place.setLeft(static_cast<float>(farLeft()));
    if (place.Top() > farTop())
        place.setTop(static_cast<float>(farTop()));
}

void Canvas::snap(CanvasObject& object, bool pull) {
    TwipsPlacement& place = object.place();
    std::vector<double> xs{pArea->ScaleWidth() / 2.0};
    std::vector<double> ys{pArea->ScaleHeight() / 2.0};
    for (CanvasObject* other : visibleObjects()) {
        if (other == &object)
            continue;
        const QRectF p = other->shownBox();
        xs.insert(xs.end(), {p.left(), p.left() + p.width() / 2, p.left() + p.width()});
        ys.insert(ys.end(), {p.top(), p.top() + p.height() / 2, p.top() + p.height()});
    }
    const QRectF shown = object.shownBox();
    const bool on = snapping_ && !(QApplication::keyboardModifiers() & Qt::AltModifier);
    const double limitX = on && pull ? kSnapPixels * twipsPerPixelX() : 0;
    const double limitY = on && pull ? kSnapPixels * twipsPerPixelY() : 0;
    Snap x = on ? nearestLine(shown.left(), shown.width(), xs, limitX) : Snap{};
    Snap y = on ? nearestLine(shown.top(), shown.height(), ys, limitY) : Snap{};
    if (x.shift != 0 || y.shift != 0) {
        const float left = place.Left();
        const float top = place.Top();
        place.setLeft(static_cast<float>(left + x.shift));
        place.setTop(static_cast<float>(top + y.shift));
        keepWithinCanvas(object);
        // A pull the canvas's edge undoes shows no guide.
        if (place.Left() != static_cast<float>(left + x.shift))
            x = Snap{};
        if (place.Top() != static_cast<float>(top + y.shift))
            y = Snap{};
    }
    overlay_->setGuides(x.line < 0 ? -1 : static_cast<int>(std::lround(x.line / twipsPerPixelX())),
                        y.line < 0 ? -1 : static_cast<int>(std::lround(y.line / twipsPerPixelY())));
}

void Canvas::nudge(int dx, int dy) {
    if (selected_ == nullptr)
        return;
    ErrorTrap trap(messages_,
                   errorLocation(QStringLiteral("Form1"), QStringLiteral("Picture2_KeyDown")));
    CanvasObject& object = *selected_;
    TwipsPlacement& place = object.place();
    const float left = place.Left();
    const float top = place.Top();
    trap.run(100, [&] {
        place.setLeft(static_cast<float>(place.Left() + dx * std::round(twipsPerPixelX())));
        place.setTop(static_cast<float>(place.Top() + dy * std::round(twipsPerPixelY())));
        keepWithinCanvas(object);
        snap(object, false);
        showSelection();
    });
    if (place.Left() == left && place.Top() == top)
        return;
    const bool picture = &object == imgLogo;
    const int line = picture ? 0 : (&object == lblA[0] ? 0 : 1);
    trap.run(102, [&] {
        settings_.SaveSetting(picture ? keys::kImageLeft : keys::left(line),
                              singleToText(place.Left()));
    });
    trap.run(104, [&] {
        settings_.SaveSetting(picture ? keys::kImageTop : keys::top(line),
                              singleToText(place.Top()));
    });
    emit objectMoved(true);
}

// Tab walks the visible objects while the canvas has the focus; past the
// last one the focus moves on, so the keyboard is never caught here.
bool Canvas::tabThroughObjects(bool forward) {
    const QList<CanvasObject*> objects = visibleObjects();
    qsizetype at = objects.indexOf(selected_);
    if (at < 0)
        at = forward ? 0 : objects.size() - 1;
    else
        at += forward ? 1 : -1;
    if (at < 0 || at >= objects.size()) {
        select(nullptr);
        return false;
    }
    select(objects[at]);
    return true;
}

bool Canvas::keyPress(QKeyEvent* event) {
    const int step = (event->modifiers() & Qt::ShiftModifier) ? 10 : 1;
    switch (event->key()) {
        case Qt::Key_Left:
            nudge(-step, 0);
            return selected_ != nullptr;
        case Qt::Key_Right:
            nudge(step, 0);
            return selected_ != nullptr;
        case Qt::Key_Up:
            nudge(0, -step);
            return selected_ != nullptr;
        case Qt::Key_Down:
            nudge(0, step);
            return selected_ != nullptr;
        case Qt::Key_Tab:
            return tabThroughObjects(true);
        case Qt::Key_Backtab:
            return tabThroughObjects(false);
        case Qt::Key_Escape:
            if (selected_ == nullptr)
                return false;
            select(nullptr);
            return true;
        default:
            return false;
    }
}

bool Canvas::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Wheel: {
            const auto* wheelEvent = static_cast<QWheelEvent*>(event);
            const Qt::KeyboardModifiers turning = Qt::ControlModifier | Qt::ShiftModifier;
            for (int i = 0; i < 2; ++i) {
                if (watched != lblA[i] || selected_ != lblA[i] ||
                    (wheelEvent->modifiers() & turning) != turning)
                    continue;
                // Alt as well turns by single degrees. With Alt held some
                // systems deliver the wheel as a sideways one.
                const QPoint delta = wheelEvent->angleDelta();
                const int notches = (delta.y() != 0 ? delta.y() : delta.x()) / 120;
                const int step = (wheelEvent->modifiers() & Qt::AltModifier) ? 1 : 15;
                if (notches != 0)
                    emit angleWheel(i, notches * step);
                return true;
            }
            if ((wheelEvent->modifiers() & Qt::ControlModifier) && watched == imgLogo) {
                const int notches = wheelEvent->angleDelta().y() / 120;
                if (notches != 0)
                    emit scaleWheel(notches);
                return true;
            }
            wheel(wheelEvent->angleDelta(), wheelEvent->modifiers());
            return true;
        }
        case QEvent::KeyPress:
            if (watched == Picture2)
                return keyPress(static_cast<QKeyEvent*>(event));
            break;
        case QEvent::MouseButtonPress:
            // A click on the bare canvas clears the selection.
            if (watched == pArea || watched == Picture2)
                select(nullptr);
            break;
        case QEvent::Resize:
            if (watched == pArea)
                overlay_->setGeometry(pArea->rect());
            else if (watched != Picture2)
                showSelection();
            break;
        case QEvent::Move:
        case QEvent::Show:
        case QEvent::Hide:
            if (watched != pArea && watched != Picture2)
                showSelection();
            break;
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            if (watched == Picture2)
                showSelection();
            break;
        case QEvent::ContextMenu: {
            // The object under the pointer is the one the menu's line
            // choices act on.
            if (watched == imgLogo)
                select(imgLogo);
            else if (watched == lblA[0] || watched == lblA[1])
                select(static_cast<CanvasLabel*>(watched));
            const auto* request = static_cast<QContextMenuEvent*>(event);
            QPoint at = request->globalPos();
            // Asked for from the keyboard, the menu opens on the selected
            // object where the viewport shows it, else in the viewport's middle.
            if (request->reason() == QContextMenuEvent::Keyboard) {
                QPoint middle = Picture2->rect().center();
                if (selected_ != nullptr) {
                    const QWidget* object = selected_->place().widget();
                    const QPoint objectMiddle = object->mapTo(Picture2, object->rect().center());
                    if (Picture2->rect().contains(objectMiddle))
                        middle = objectMiddle;
                }
                at = Picture2->mapToGlobal(middle);
            }
            emit contextMenuWanted(at);
            return true;
        }
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace vantelo

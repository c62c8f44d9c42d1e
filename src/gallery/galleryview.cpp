#include "gallery/galleryview.h"

#include <QKeyEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace vantelo {

// A widget over the whole list that only paints the list's own frame, so the
// frame shows above the header; it takes no input and no focus.
class GalleryFrame final : public QWidget {
public:
    explicit GalleryFrame(GalleryView* view) : QWidget(view), view_(view) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        view_->drawFrame(&painter);
        // When the list's top lies between two device rows, the style's top
        // line falls on the row above, which belongs to the widget above and
        // is cut off. Draw that line once more, one device pixel lower, where
        // only the top line's strip is painted.
        const qreal ratio = devicePixelRatioF();
        const qreal top = mapTo(window(), QPoint(0, 0)).y() * ratio;
        if (top != std::floor(top)) {
            painter.setClipRect(QRectF(0, 0, width(), 1));
            painter.translate(0, 1 / ratio);
            view_->drawFrame(&painter);
        }
    }

private:
    GalleryView* view_;
};

int GalleryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(ends_.size());
}

QVariant GalleryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() != 0)
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return entry(index.row());
    return {};
}

QVariant GalleryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return header_;
    return {};
}

bool GalleryModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                                 int role) {
    if (section != 0 || orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return false;
    header_ = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}

void GalleryModel::append(const QStringList& entries) {
    if (entries.isEmpty())
        return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(entries.size()) - 1);
    ends_.reserve(ends_.size() + size_t(entries.size()));
    for (const QString& entry : entries) {
        text_ += entry.toUtf8();
        ends_.push_back(text_.size());
    }
    // A large batch leaves up to as much room again unused; give it back.
    if (text_.capacity() - text_.size() > text_.size() / 4)
        text_.squeeze();
    endInsertRows();
}

void GalleryModel::clear() {
    beginResetModel();
    text_.clear();
    ends_.clear();
    endResetModel();
}

int GalleryModel::find(const QString& entry) const {
    const QByteArray wanted = entry.toUtf8();
    qsizetype start = 0;
    for (std::size_t row = 0; row < ends_.size(); ++row) {
        const qsizetype end = ends_[row];
        if (end - start == wanted.size() &&
            std::equal(wanted.cbegin(), wanted.cend(), text_.cbegin() + start))
            return static_cast<int>(row);
        start = end;
    }
    return -1;
}

QString GalleryModel::entry(int row) const {
    const qsizetype start = row == 0 ? 0 : ends_.at(size_t(row) - 1);
    return QString::fromUtf8(text_.constData() + start, ends_.at(size_t(row)) - start);
}

GalleryView::GalleryView(QWidget* parent) : QTreeView(parent) {
    setModel(&model_);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setItemsExpandable(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(this, &QAbstractItemView::clicked, this, &GalleryView::entryChosen);
}

QString GalleryView::currentEntry() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? model_.entry(current.row()) : QString();
}

void GalleryView::showEntry(const QString& entry) {
    const int row = entry.isEmpty() ? -1 : model_.find(entry);
    if (row < 0) {
        selectionModel()->clear();
        return;
    }
    const QModelIndex index = model_.index(row);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

void GalleryView::setHeaderLabels(const QStringList& labels) {
    model_.setHeaderData(0, Qt::Horizontal, labels.value(0), Qt::DisplayRole);
}

QString GalleryView::headerText() const {
    return model_.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString();
}

void GalleryView::placeFrame() {
    const qreal ratio = devicePixelRatioF();
    const bool fractional = ratio != std::floor(ratio);
    if (!fractional && !frameOnTop_)
        return;
    if (!frameOnTop_)
        frameOnTop_ = new GalleryFrame(this);
    frameOnTop_->setGeometry(rect());
    frameOnTop_->setVisible(fractional);
    frameOnTop_->raise();
}

void GalleryView::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    placeFrame();
}

void GalleryView::showEvent(QShowEvent* event) {
    QTreeView::showEvent(event);
    placeFrame();
}

// The keys that choose the current entry, as a click on it does. The arrow
// keys and the others move the current entry as in any list.
void GalleryView::keyPressEvent(QKeyEvent* event) {
    const bool choose = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
                        event->key() == Qt::Key_Space;
    if (choose && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (currentIndex().isValid())
            emit entryChosen();
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

}  // namespace vantelo

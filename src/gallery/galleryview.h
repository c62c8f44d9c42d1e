#pragma once

#include <QAbstractListModel>
#include <QStringList>
#include <QTreeView>
#include <vector>

namespace vantelo {

// The gallery's entries: one column of texts, each a picture's full path.
class GalleryModel final : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role) override;

    // Appends the entries in one step, after those already there.
    void append(const QStringList& entries);
    void clear();
    // The row of the entry with that text, or -1.
    int find(const QString& entry) const;
    QString entry(int row) const;

private:
    // The entries one after another in UTF-8, and where each ends: a gallery
    // of many thousand paths then costs little more than their characters.
    QByteArray text_;
    std::vector<qsizetype> ends_;
    QString header_;
};

// The gallery list: a header over one column of entries, rows of one height.
// A click on an entry, or Return, Enter or Space on the current one, reports
// the entry as chosen.
class GalleryView final : public QTreeView {
    Q_OBJECT
public:
    explicit GalleryView(QWidget* parent = nullptr);

    GalleryModel& entries() { return model_; }
    int entryCount() const { return model_.rowCount(); }
    // The text of the current entry, empty when there is none.
    QString currentEntry() const;
    // Makes the entry with that text the current and highlighted one, or
    // highlights none when it is not listed. Nothing is chosen by it.
    void showEntry(const QString& entry);
    void setHeaderLabels(const QStringList& labels);
    QString headerText() const;

signals:
    void entryChosen();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    friend class GalleryFrame;
    void placeFrame();

    GalleryModel model_;
    // The list's border, drawn again above the header at fractional scales,
    // where the header's rounded place covers part of it; null until shown.
    QWidget* frameOnTop_ = nullptr;
};

}  // namespace vantelo

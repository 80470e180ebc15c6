#pragma once
// What the import dialogs preview: the file as the reader shows it, the
// points of a coordinate extraction and one extracted matrix, as models of
// their grids.

#include "matrix/PreviewGrid.h"
#include "model/MXY.h"

#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace sundrel::app {

// The file preview as the reader makes it (CR LF after every line), for a
// plain-text box.
inline QString DisplayedPreview(const std::string& preview)
{
    QString text = QString::fromLocal8Bit(preview.c_str());
    text.replace("\r\n", "\n");
    if (text.endsWith('\n'))
        text.chop(1);
    return text;
}

// The "Data preview" grid: one row per point, X and Y; rows that the last
// extraction did not fill stay empty.
class PointTableModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    // `rows` rows, the first ones filled from `points` (kept, not copied).
    void Set(std::int64_t rows, const std::vector<MXY>* points);

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : rows_; }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 2; }
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    int rows_ = 0;
    const std::vector<MXY>* points_ = nullptr;
};

// The preview of one extracted matrix: the grid's first row and column are
// the view's headers, the rest its cells.
class PreviewGridModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void Set(PreviewGrid grid);
    void Clear() { Set({}); }

    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : std::max(grid_.rows - 1, 0);
    }
    int columnCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : std::max(grid_.columns - 1, 0);
    }
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    PreviewGrid grid_;
};

} // namespace sundrel::app

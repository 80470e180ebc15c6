#include "app/importing/PreviewModels.h"

#include <QLocale>

#include <algorithm>
#include <limits>

namespace sundrel::app {

void PointTableModel::Set(std::int64_t rows, const std::vector<MXY>* points)
{
    beginResetModel();
    rows_ = static_cast<int>(std::min<std::int64_t>(rows, std::numeric_limits<int>::max()));
    points_ = points;
    endResetModel();
}

QVariant PointTableModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !points_ || index.row() >= static_cast<int>(points_->size()))
        return {};
    const MXY& p = (*points_)[static_cast<std::size_t>(index.row())];
    return QString::number(index.column() == 0 ? p.x : p.y, 'g', QLocale::FloatingPointShortest);
}

QVariant PointTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section == 0 ? QStringLiteral("X") : QStringLiteral("Y");
    return section + 1;
}

void PreviewGridModel::Set(PreviewGrid grid)
{
    beginResetModel();
    grid_ = std::move(grid);
    endResetModel();
}

QVariant PreviewGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    return QString::fromStdString(grid_.cell(index.row() + 1, index.column() + 1));
}

QVariant PreviewGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || section < 0)
        return {};
    if (orientation == Qt::Horizontal)
        return section + 1 < grid_.columns ? QString::fromStdString(grid_.cell(0, section + 1))
                                           : QVariant();
    return section + 1 < grid_.rows ? QString::fromStdString(grid_.cell(section + 1, 0)) : QVariant();
}

} // namespace sundrel::app

#include "platform/gui/GridColumns.h"

#include "datastore/DataSet.h"

#include <QHeaderView>
#include <QTableView>

namespace {

void apply(QTableView* grid, DataSet* data, const QList<QPair<QString, QString>>& columns)
{
    QHeaderView* header = grid->horizontalHeader();
    for (int i = 0; i < data->columnCount(); ++i)
        grid->setColumnHidden(i, true);
    int visual = 0;
    for (const auto& [field, title] : columns) {
        const int logical = data->fieldIndex(field);
        if (logical < 0)
            continue;
        data->setDisplayLabel(field, title);
        grid->setColumnHidden(logical, false);
        header->moveSection(header->visualIndex(logical), visual++);
    }
}

} // namespace

void showColumns(QTableView* grid, DataSet* data, const QList<QPair<QString, QString>>& columns)
{
    grid->setModel(data);
    apply(grid, data, columns);
    QObject::disconnect(data, &DataSet::afterOpen, grid, nullptr); // one connection, however often shown
    QObject::connect(data, &DataSet::afterOpen, grid, [grid, data, columns] { apply(grid, data, columns); });
}

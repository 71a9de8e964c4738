#pragma once

#include <QList>
#include <QPair>
#include <QString>

class DataSet;
class QTableView;

// Shows a data set in a grid with the given columns, in that order and with those titles;
// its other fields are hidden. Re-applied whenever the data set reopens.
void showColumns(QTableView* grid, DataSet* data, const QList<QPair<QString, QString>>& columns);

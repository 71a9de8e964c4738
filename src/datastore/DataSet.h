#pragma once

#include "datastore/Engine.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QVariant>
#include <memory>

class DbConnection;
class QSqlQuery;

// A named result set on a connection, as the screens use them: a SQL text with named parameters
// (":name"), opened as a client-side cursor that keeps every row (so record counts are exact on both
// engines), a current row with first/next/prior/last/moveTo and eof/bof, fields by name (without regard
// to case, as column names come back upper or lower case depending on the engine), locate, and in-place
// editing of the current row (edit/setField/post issues an UPDATE of that row by its table's key column;
// append/post an INSERT; deleteCurrent a DELETE). It is also the model of a grid: the columns are the
// fields, titled by their display labels.
//
// Values: SQL NULL reads as an invalid QVariant, date-times as local QDateTime, yes/no as 0/1; bound
// values go through SqlValue::toBindable (see SqlValue.h).
//
// A data set registers with its connection: closing the connection closes the data set. The connection
// must outlive the data set.
class DataSet : public QAbstractTableModel
{
    Q_OBJECT
public:
    // Eager runs the select at open(). OnFirstUse checks the statement at open() (so a wrong table or
    // column fails there) and reads the rows when something first asks for them: for lists that are
    // opened at every connection but may never be looked at, such as the whole card history.
    enum class Fetch { Eager, OnFirstUse };
    enum class State { Inactive, Browse, Edit, Insert };
    struct LocateOptions
    {
        bool partialKey;      // the field's text begins with the value
        bool caseInsensitive; // compare texts without regard to case
        LocateOptions(bool partial = false, bool anyCase = false)
            : partialKey(partial), caseInsensitive(anyCase)
        {}
    };

    explicit DataSet(const QString& name = QString(), QObject* parent = nullptr);
    ~DataSet() override;

    const QString& name() const { return m_name; }
    void setConnection(DbConnection* connection);
    DbConnection* connection() const { return m_connection; }
    Engine engine() const;

    // Replaces the text (closing the set and forgetting the parameters).
    void setSql(const QString& text);
    const QString& sql() const { return m_sql; }
    // name with or without its leading colon.
    void bindValue(const QString& name, const QVariant& value);
    QVariant boundValue(const QString& name) const;
    void clearParameters();
    void setFetch(Fetch fetch) { m_fetch = fetch; }

    // Runs the text as a select and keeps its rows; the first row becomes current. Throws DatabaseError.
    void open();
    // Runs the text as a statement without rows; returns the number of rows it changed. The set stays
    // closed. Repeated runs of one text reuse the prepared statement. Throws DatabaseError.
    int execSql();
    void close();
    // close + open with the same text and parameters.
    void requery();
    bool isOpen() const { return m_open; }
    State state() const { return m_state; }

    int recordCount() const;
    bool isEmpty() const { return recordCount() == 0; }
    // Current row, 0-based; -1 when there is none.
    int recNo() const;
    bool eof() const;
    bool bof() const;
    void first();
    void last();
    void next();
    void prior();
    bool moveTo(int row);

    int fieldCount() const;
    QStringList fieldNames() const;
    int fieldIndex(const QString& name) const; // -1 when absent
    bool hasField(const QString& name) const { return fieldIndex(name) >= 0; }
    // The current row's value; an invalid QVariant on an empty or closed set; DatabaseError for a field
    // the result does not have.
    QVariant field(const QString& name) const;
    QVariant value(int row, const QString& name) const;
    QVariant value(int row, int column) const;
    // Moves to the first row whose field matches; false (and no move) when none does.
    bool locate(const QString& field, const QVariant& value) { return locate(field, value, LocateOptions()); }
    bool locate(const QString& field, const QVariant& value, LocateOptions options);

    // Table and key column for edits; without it they are taken from the first table after "from" and
    // the schema's key of that table.
    void setUpdateTable(const QString& table, const QString& keyField);
    void edit();
    void append();
    void setField(const QString& name, const QVariant& value);
    // Writes the edited or appended row; throws DatabaseError and stays in its state on failure.
    void post();
    void cancel();
    void deleteCurrent();

    void setDisplayLabel(const QString& field, const QString& label);
    QString displayLabel(const QString& field) const;

    // Master/detail: this set's parameter follows the master's field, and an open detail re-queries
    // whenever the master moves or reopens.
    void setMaster(DataSet* master, const QString& masterField, const QString& parameter);
    // Fields a grid may edit in place (setData posts at once).
    void setEditableFields(const QStringList& fields) { m_editableFields = fields; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

Q_SIGNALS:
    void afterOpen();
    void afterClose();
    void afterScroll();
    void afterPost();

private:
    struct Column
    {
        QString name;
        bool dateTime = false;
        bool boolean = false;
    };

    void closeRows();
    void ensureFetched() const;
    void fetch();
    void readColumns(const QSqlQuery& query);
    QSqlQuery run(bool forwardOnly) const;
    void requireOpen(const char* what) const;
    void setCurrent(int row);
    QVariant bindableFor(int column, const QVariant& value) const;
    QVariant normalised(int column, const QVariant& value) const;
    void resolveUpdateTable(QString* table, QString* key) const;
    void postEdit();
    void postInsert();
    void followMaster();

    QString m_name;
    DbConnection* m_connection = nullptr;
    int m_closeListener = -1;
    QString m_sql;
    QList<QPair<QString, QVariant>> m_params;
    Fetch m_fetch = Fetch::Eager;

    bool m_open = false;
    bool m_pendingFetch = false;
    QList<Column> m_columns;
    QHash<QString, int> m_columnIndex; // lower-case name → column
    QList<QVariant> m_values;          // row-major
    int m_rowCount = 0;
    int m_row = -1;
    bool m_eof = true;
    bool m_bof = true;

    State m_state = State::Inactive;
    QHash<int, QVariant> m_changes; // column → new value of the edited or appended row
    QString m_updateTable;
    QString m_updateKey;

    QHash<QString, QString> m_labels; // lower-case field → label
    QStringList m_editableFields;

    QPointer<DataSet> m_master;
    QString m_masterField;
    QString m_masterParameter;
    bool m_followingMaster = false; // opened as a detail and not closed since

    std::unique_ptr<QSqlQuery> m_prepared;
    QString m_preparedSql;
};

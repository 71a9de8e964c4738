#pragma once

// The data module: the program's one database connection `Conn`, the named result sets the screens
// share, and the operations that keep rooms and card records consistent.
//
// Engines. The connection string decides: the Jet provider string ("Provider=Microsoft.Jet.OLEDB.4.0;
// Data Source=FILE;") opens FILE as an embedded SQLite database (it must exist: opening never creates
// one); the SQL Server provider string of sys.ini opens a PostgreSQL server (Data Source = host, with
// ",port" or ":port", or a socket folder; Initial Catalog = database; User ID / Password = login). The
// SQL texts below run unchanged on both. What differs lives in one place each: values and date-times in
// SqlValue, the stored procedure in RunStoredProcedure, the durable write grouping in WriteBatch.
//
// Dates. Stored as local wall-clock time with milliseconds: canonical text "yyyy-MM-ddTHH:mm:ss.zzz" on
// SQLite (a CHECK refuses any other form), timestamp(3) on PostgreSQL. Bind QDateTime values through
// DataSet or SqlValue::toBindable, never straight into a QSqlQuery. Result sets hand date-time columns
// back as local QDateTime on both engines.
//
// Errors. Statements that fail throw DatabaseError (a std::runtime_error with the driver's text). The
// record keeping that follows a card write swallows every error, so a written card is never reported as
// failed because its record could not be stored (InsertIssueLog, CancelRoomCards, CancelCardRecord,
// CancelCardRecordNoCard, RecountRoomCards, OpenCurrentRoom, FindActiveCard); the next recount repairs the
// counts. WriteLog, RefreshRoomStatus, CountRoomStatus, OpenRoomDisplay, OpenRoomGuestCards, CheckRight,
// the opening-record operations and opening the connection let DatabaseError through. Swallowed errors are
// logged under the category "tolvane.datamodule".
//
// Access: one instance for the program, DataM() (created on first use, destroyed at exit). "Now" is
// Clock::instance().now(); status codes are cfg::codes(); the current operator is Q_operator's true_name.

#include "datastore/DataSet.h"
#include "datastore/DbConnection.h"

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

class TDataM
{
public:
    TDataM();
    ~TDataM();
    TDataM(const TDataM&) = delete;
    TDataM& operator=(const TDataM&) = delete;

    // Declared first: the result sets below register with it and must go before it.
    DbConnection Conn;
    // The CSV guest lists each read into an in-memory database of their own.
    DbConnection CsvConn;
    DbConnection CsvYfkConn;

    DataSet Q_Exec{QStringLiteral("Q_Exec")};
    DataSet Q_update{QStringLiteral("Q_update")};
    DataSet Q_insert{QStringLiteral("Q_insert")};
    DataSet Q_select{QStringLiteral("Q_select")};
    DataSet Q_operator{QStringLiteral("Q_operator")};
    DataSet Q_room{QStringLiteral("Q_room")};
    DataSet Q_display{QStringLiteral("Q_display")};
    DataSet Q_setroom{QStringLiteral("Q_setroom")};
    DataSet Q_curr_room{QStringLiteral("Q_curr_room")};
    DataSet Q_issue_card{QStringLiteral("Q_issue_card")};
    DataSet Q_curr_issue_card{QStringLiteral("Q_curr_issue_card")};
    DataSet Q_issue_card_log{QStringLiteral("Q_issue_card_log")};
    DataSet Q_log{QStringLiteral("Q_log")};
    DataSet Q_czy{QStringLiteral("Q_czy")};
    DataSet Q_workarea{QStringLiteral("Q_workarea")};
    DataSet Q_room_type{QStringLiteral("Q_room_type")};
    DataSet Q_tmp_log{QStringLiteral("Q_tmp_log")};
    DataSet Q_xgk{QStringLiteral("Q_xgk")};
    DataSet Q_selectcard{QStringLiteral("Q_selectcard")};
    DataSet Q_csv{QStringLiteral("Q_csv")};
    DataSet Q_csv_yfk{QStringLiteral("Q_csv_yfk")};
    DataSet T_operator{QStringLiteral("T_operator")};
    DataSet T_opt_group{QStringLiteral("T_opt_group")};
    DataSet T_right{QStringLiteral("T_right")};
    DataSet T_g_r{QStringLiteral("T_g_r")}; // detail of T_opt_group by group_id

    // Filled by CountRoomStatus for the main console's status bar.
    int RoomCount = 0;
    int UsedRoomCount = 0;
    int ActiveCardCount = 0;

    // The login name typed at login (or shift); the current operator is re-selected by it after every
    // connection.
    QString CurrentOperatorName;

    // --- connection ---------------------------------------------------------------------------------
    // Closes Conn, opens it with the string and runs ConnAfterConnect. Throws DatabaseError.
    void OpenConnection(const QString& connectionString);
    // The fallback of a failed periodic refresh: close, open the SQL Server string of sys.ini, run
    // ConnAfterConnect. A failure is swallowed (false) and leaves Conn closed.
    bool ReconnectToServer();
    void ConnAfterConnect();
    void SetDisplayLabels();

    // --- rooms and cards ----------------------------------------------------------------------------
    void CountRoomStatus();
    void OpenRoomDisplay(bool oneBuilding, quint8 building);
    void OpenRoomByPosition(quint8 building, quint8 floor, quint8 roomIndex);
    void OpenCurrentRoom(const QString& roomNo);
    void OpenRoomGuestCards(const QString& roomNo);
    bool FindActiveCard(const QString& cardHex, qint64 cardSerial);
    // checkin/checkout: the validity just written on the card.
    void InsertIssueLog(const QString& cardNo, const QString& operatorName, const QString& cardHex,
                        const QString& lossFlag, const QString& roomNo, const QString& cardTypeName,
                        const QString& cardType, const QString& remark, const QString& ownId,
                        const QString& ownName, const QDateTime& checkin, const QDateTime& checkout);
    void CancelRoomCards(const QString& roomNo);
    void CancelCardRecord(const QString& cardHex, qint64 cardSerial);
    void CancelCardRecordNoCard(const QString& cardHex, qint64 cardSerial);
    void RecountRoomCards();
    void RefreshRoomStatus();

    // --- log, rights, opening records ----------------------------------------------------------------
    void WriteLog(const QString& remark, int type);
    // Non-zero when the current operator's group holds the right; only the low byte matters.
    int CheckRight(const QString& code);
    void ClearTmpUnlockLog();
    void InsertTmpUnlockLog(quint8 roomId, const QString& roomNo, int issueLogId, const QDateTime& getTime,
                            const QDateTime& unlockTime, const QString& cardTypeName, quint8 cardTypeId,
                            qint64 cardNo);
    void InsertUnlockLog(quint8 roomId, const QString& roomNo, int issueLogId, const QDateTime& getTime,
                         const QDateTime& unlockTime, const QString& cardTypeName, quint8 cardTypeId,
                         qint64 cardNo);

    // --- guest lists ---------------------------------------------------------------------------------
    // Reads csvpath/csvname into Q_csv ("Select   *   from  " + name). Throws DatabaseError.
    void OpenGuestList();
    void OpenGuestListYfk();
    // The guest-list search: every (column, text) pair adds "and column like '%text%'", with the text
    // bound as a parameter and the column name quoted, so nothing typed changes the statement. Re-reads
    // the file; throws DatabaseError when it cannot be read.
    void OpenGuestListSearch(const QList<QPair<QString, QString>>& conditions);

    // `true_name` of the current operator (empty before login).
    QString currentOperatorTrueName() const;

    // The closing screen's maintenance call: a connection of its own on the string, the procedure run
    // (on SQLite, which has none, its statements), the connection closed. False on any failure.
    static bool RunStoredProcedure(const QString& connectionString, const QString& procedure);

private:
    void openList(DataSet& set, const QString& sql);
    void openCsv(DataSet& set, DbConnection& connection, const QString& folder, const QString& name,
                 const QString& where = QString(), const QList<QPair<QString, QString>>& conditions = {});
    void cancelActiveCard(const QString& cardHex, qint64 cardSerial, const QString& cancelCode,
                          bool recountAll);
    void insertOpeningRecord(const QString& table, DataSet& list, const QString& listSql, quint8 roomId,
                             const QString& roomNo, int issueLogId, const QDateTime& getTime,
                             const QDateTime& unlockTime, const QString& cardTypeName, quint8 cardTypeId,
                             qint64 cardNo);
    QDateTime now() const;
};

// The program's data module.
TDataM& DataM();

// Compacts a database file in place (the login does this before opening it): SQLite's VACUUM INTO a
// temporary file named ~SM... in the system's temporary folder, then that copy put over the file
// atomically and the temporary file removed. False, with the file left as it was, when the file is
// missing, not a database, in use by another connection, or anything else fails. The password is the
// Jet database password of the connection strings; SQLite files have none, so it is not used.
bool CompactAccessFile(const QString& file, const QString& password);

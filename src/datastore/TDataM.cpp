#include "datastore/TDataM.h"

#include "config/Settings.h"
#include "datastore/ConnectionString.h"
#include "datastore/CsvTable.h"
#include "datastore/DatabaseError.h"
#include "datastore/SqlValue.h"
#include "platform/Clock.h"
#include "platform/WinPath.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QRegularExpression>

Q_LOGGING_CATEGORY(lcDataM, "tolvane.datamodule", QtInfoMsg)

namespace {

const QString kAllRooms = QStringLiteral("select * from room order by building_id,floor,room_no_id");
const QString kTmpLogList = QStringLiteral("select * from tmp_unlock_log order by card_type_id,unlock_time");
const QString kUnlockLogList = QStringLiteral("select * from unlock_log order by unlock_time");

// Record keeping after a card write: the card is written whatever happens to its record.
template <typename Work> void swallow(const char* operation, Work&& work)
{
    try {
        work();
    } catch (const std::exception& e) {
        qCWarning(lcDataM) << operation << "failed, the error is ignored:" << e.what();
    }
}

TDataM* g_dataModule = nullptr;

void destroyDataModule()
{
    delete g_dataModule;
    g_dataModule = nullptr;
}

} // namespace

TDataM& DataM()
{
    if (!g_dataModule) {
        g_dataModule = new TDataM;
        qAddPostRoutine(destroyDataModule);
    }
    return *g_dataModule;
}

TDataM::TDataM()
{
    for (DataSet* set : {&Q_Exec,
                         &Q_update,
                         &Q_insert,
                         &Q_select,
                         &Q_operator,
                         &Q_room,
                         &Q_display,
                         &Q_setroom,
                         &Q_curr_room,
                         &Q_issue_card,
                         &Q_curr_issue_card,
                         &Q_issue_card_log,
                         &Q_log,
                         &Q_czy,
                         &Q_workarea,
                         &Q_room_type,
                         &Q_tmp_log,
                         &Q_xgk,
                         &Q_selectcard,
                         &T_operator,
                         &T_opt_group,
                         &T_right,
                         &T_g_r})
        set->setConnection(&Conn);
    Q_csv.setConnection(&CsvConn);
    Q_csv_yfk.setConnection(&CsvYfkConn);

    // Lists that are reopened without anybody looking at them, read when first looked at: the whole
    // card history and system log at every connection, and the room list after every recorded card
    // (5000 rows to read in the middle of the desk's write, for a list only some screens walk).
    Q_issue_card_log.setFetch(DataSet::Fetch::OnFirstUse);
    Q_log.setFetch(DataSet::Fetch::OnFirstUse);
    Q_room.setFetch(DataSet::Fetch::OnFirstUse);

    T_operator.setSql(QStringLiteral("select * from operator order by operator_id"));
    T_opt_group.setSql(QStringLiteral("select * from operator_group order by ID"));
    T_right.setSql(QStringLiteral("select * from g_right order by code"));
    T_g_r.setSql(QStringLiteral("select * from group_right where group_id = :group_id order by code"));
    T_g_r.setMaster(&T_opt_group, QStringLiteral("ID"), QStringLiteral("group_id"));
    T_g_r.setEditableFields({QStringLiteral("the_right")});
    T_opt_group.setEditableFields({QStringLiteral("g_name")});
}

TDataM::~TDataM() = default;

QDateTime TDataM::now() const
{
    return Clock::instance().now();
}

QString TDataM::currentOperatorTrueName() const
{
    if (!Q_operator.isOpen() || Q_operator.isEmpty())
        return QString();
    return Q_operator.field(QStringLiteral("true_name")).toString();
}

void TDataM::openList(DataSet& set, const QString& sql)
{
    set.close();
    set.setSql(sql);
    set.open();
}

// --- connection -------------------------------------------------------------------------------------

void TDataM::OpenConnection(const QString& connectionString)
{
    Conn.close();
    Conn.open(connectionString);
    ConnAfterConnect();
}

bool TDataM::ReconnectToServer()
{
    try {
        Conn.close();
        OpenConnection(ConnectionString::buildSqlServer(cfg::sys()));
        return true;
    } catch (const std::exception& e) {
        qCWarning(lcDataM) << "Reconnection to the server failed:" << e.what();
        Conn.close();
        return false;
    }
}

void TDataM::ConnAfterConnect()
{
    T_operator.open();
    T_opt_group.open();
    T_g_r.open();

    openList(Q_room, kAllRooms);

    openList(Q_xgk, kUnlockLogList);
    openList(Q_log, QStringLiteral("select * from log order by id"));
    openList(Q_czy,
             QStringLiteral("select A.*,B.g_name from OPERATOR A left join operator_group B on A.power = "
                            "B.ID order by operator_id"));
    openList(Q_tmp_log, kTmpLogList);
    openList(Q_workarea, QStringLiteral("select * from workarea order by workarea_id"));
    openList(Q_setroom,
             QStringLiteral("select A.*,B.descript from room A left join room_type B on "
                            "A.room_type_code=B.code order by A.building_id,A.floor,A.room_no_id"));
    openList(Q_room_type, QStringLiteral("select * from room_type order by id,code"));
    openList(Q_issue_card_log,
             QStringLiteral("select * from issue_card_log  order by card_type,publish_datetime DESC"));

    openList(Q_operator,
             QStringLiteral("select * from OPERATOR where name = ") + SqlValue::quoted(CurrentOperatorName));

    openList(Q_display, kAllRooms);

    // The guest lists fail quietly: a missing folder or file leaves them closed, and the issue screen
    // reports it when the operator searches.
    for (auto open : {&TDataM::OpenGuestList, &TDataM::OpenGuestListYfk}) {
        try {
            (this->*open)();
        } catch (const std::exception& e) {
            qCDebug(lcDataM) << "Guest list not opened:" << e.what();
        }
    }

    SetDisplayLabels();
}

void TDataM::SetDisplayLabels()
{
    const TextTables& t = cfg::texts();
    T_operator.setDisplayLabel(QStringLiteral("name"), t.label(93));
    T_operator.setDisplayLabel(QStringLiteral("true_name"), t.label(94));
    T_operator.setDisplayLabel(QStringLiteral("pass_word"), t.label(34));
    T_operator.setDisplayLabel(QStringLiteral("passwd"), t.label(35));
    T_operator.setDisplayLabel(QStringLiteral("descript"), t.label(9));
    T_operator.setDisplayLabel(QStringLiteral("group"), t.label(95));
    Q_log.setDisplayLabel(QStringLiteral("remark"), t.label(71));
    Q_log.setDisplayLabel(QStringLiteral("operator"), t.label(73));
    Q_log.setDisplayLabel(QStringLiteral("the_time"), t.label(72));
}

// --- rooms and cards --------------------------------------------------------------------------------

void TDataM::CountRoomStatus()
{
    // The three counts of the status bar: rooms, occupied rooms, active guest cards. Counted by
    // the engine rather than by reading every row; the numbers are the same.
    RoomCount = UsedRoomCount = ActiveCardCount = 0;
    auto count = [this](const QString& sql) {
        openList(Q_select, sql);
        return Q_select.isEmpty() ? 0 : Q_select.value(0, 0).toInt();
    };
    RoomCount = count(QStringLiteral("select count(*) from room"));
    UsedRoomCount = count(QStringLiteral("select count(*) from room where room_status_code=") +
                          SqlValue::quoted(cfg::codes().room_used));
    ActiveCardCount = count(QStringLiteral("select count(*) from issue_card_log where card_type=0 and card_status_code=") +
                            SqlValue::quoted(cfg::codes().GC_AVAILABLE));
}

void TDataM::OpenRoomDisplay(bool oneBuilding, quint8 building)
{
    Q_display.close();
    if (oneBuilding) {
        Q_display.setSql(QStringLiteral(
            "select * from room where building_id = :buildno order by building_id,floor,room_no_id"));
        Q_display.bindValue(QStringLiteral("buildno"), building);
    } else {
        Q_display.setSql(kAllRooms);
    }
    Q_display.open();
}

void TDataM::OpenRoomByPosition(quint8 building, quint8 floor, quint8 roomIndex)
{
    Q_select.setSql(QStringLiteral(
        "select * from room where building_id = :buildno and  floor = :floorno and room_no_id = :roomno"));
    Q_select.bindValue(QStringLiteral("buildno"), building);
    Q_select.bindValue(QStringLiteral("floorno"), floor);
    Q_select.bindValue(QStringLiteral("roomno"), roomIndex);
    Q_select.open();
}

void TDataM::OpenCurrentRoom(const QString& roomNo)
{
    swallow("OpenCurrentRoom", [&] {
        Q_curr_room.setSql(QStringLiteral("select * from room where   room_no = :tmp_roomno  "));
        Q_curr_room.bindValue(QStringLiteral("tmp_roomno"), roomNo);
        Q_curr_room.open();
    });
}

void TDataM::OpenRoomGuestCards(const QString& roomNo)
{
    Q_issue_card.close();
    Q_issue_card.setSql(
        QStringLiteral("select * from issue_card_log where room_no = :room_no and  card_status_code "
                       "= :tmp_avail and  card_type = 0 "));
    Q_issue_card.bindValue(QStringLiteral("room_no"), roomNo);
    Q_issue_card.bindValue(QStringLiteral("tmp_avail"), cfg::codes().GC_AVAILABLE);
    Q_issue_card.open();
}

bool TDataM::FindActiveCard(const QString& cardHex, qint64 cardSerial)
{
    bool found = false;
    swallow("FindActiveCard", [&] {
        Q_curr_issue_card.setSql(
            QStringLiteral("select * from issue_card_log where card_date_hex=:carddatehex and "
                           "card_hard_no=:cardno and card_status_code=:tmp_avail"));
        Q_curr_issue_card.bindValue(QStringLiteral("carddatehex"), cardHex);
        Q_curr_issue_card.bindValue(QStringLiteral("cardno"), QString::number(cardSerial));
        Q_curr_issue_card.bindValue(QStringLiteral("tmp_avail"), cfg::codes().GC_AVAILABLE);
        Q_curr_issue_card.open();
        found = !Q_curr_issue_card.isEmpty();
    });
    return found;
}

void TDataM::InsertIssueLog(const QString& cardNo, const QString& operatorName, const QString& cardHex,
                            const QString& lossFlag, const QString& roomNo, const QString& cardTypeName,
                            const QString& cardType, const QString& remark, const QString& ownId,
                            const QString& ownName, const QDateTime& checkin, const QDateTime& checkout)
{
    swallow("InsertIssueLog", [&] {
        WriteBatch batch(Conn);
        Q_insert.setSql(QStringLiteral(
            "insert into "
            "issue_card_log(card_hard_no,publish_datetime,publish_operator,card_status_code,checkin_"
            "datetime,checkout_datetime,own_name,own_id,remark,card_type,card_type_name,room_no,yn_loss,card_"
            "date_hex) "
            "values(:cardnum,:publishtime,:operator,:status,:checkin,:checkout,:ownname,:ownid,:rem,:"
            "cardtype,:cardname,:roomno,:loss,:cardhex)"));
        Q_insert.bindValue(QStringLiteral("cardnum"), cardNo);
        Q_insert.bindValue(QStringLiteral("publishtime"), now());
        Q_insert.bindValue(QStringLiteral("operator"), operatorName);
        Q_insert.bindValue(QStringLiteral("status"), cfg::codes().GC_AVAILABLE);
        Q_insert.bindValue(QStringLiteral("checkin"), checkin);
        Q_insert.bindValue(QStringLiteral("checkout"), checkout);
        Q_insert.bindValue(QStringLiteral("ownname"), ownName);
        Q_insert.bindValue(QStringLiteral("ownid"), ownId);
        Q_insert.bindValue(QStringLiteral("rem"), remark);
        Q_insert.bindValue(QStringLiteral("cardtype"), cardType);
        Q_insert.bindValue(QStringLiteral("cardname"), cardTypeName);
        Q_insert.bindValue(QStringLiteral("roomno"), roomNo);
        bool isNumber = false;
        const int loss = lossFlag.trimmed().toInt(&isNumber);
        if (!isNumber)
            throw DatabaseError(QStringLiteral("'%1' is not a lost-card flag").arg(lossFlag));
        Q_insert.bindValue(QStringLiteral("loss"), loss);
        Q_insert.bindValue(QStringLiteral("cardhex"), cardHex);
        Q_insert.execSql();

        openList(Q_room, kAllRooms);

        OpenCurrentRoom(roomNo);
        if (!Q_curr_room.isOpen() || Q_curr_room.isEmpty())
            return; // a room number that is not in room gets the record but no count
        Q_update.setSql(QStringLiteral(
            "update room set card_num = :tmpnum, room_status_code = :roomstatus where room_no = :roomid "));
        Q_update.bindValue(QStringLiteral("tmpnum"),
                           Q_curr_room.field(QStringLiteral("card_num")).toInt() + 1);
        Q_update.bindValue(QStringLiteral("roomstatus"), cfg::codes().room_used);
        Q_update.bindValue(QStringLiteral("roomid"), roomNo);
        Q_update.execSql();
    });
}

void TDataM::CancelRoomCards(const QString& roomNo)
{
    swallow("CancelRoomCards", [&] {
        WriteBatch batch(Conn);
        Q_update.setSql(QStringLiteral(
            "update room set card_num = 0, room_status_code = :roomstatus where room_no = :roomid "));
        Q_update.bindValue(QStringLiteral("roomstatus"), cfg::codes().room_empty);
        Q_update.bindValue(QStringLiteral("roomid"), roomNo);
        Q_update.execSql();

        Q_update.setSql(QStringLiteral(
            "update issue_card_log set card_status_code = :tmp_cancel, cancel_datetime = :cancel_time, "
            "cancel_operator = :Current_Operator where room_no = :roomid and card_status_code = :tmp_avail "
            "and "
            "card_type = 0"));
        Q_update.bindValue(QStringLiteral("tmp_cancel"), cfg::codes().GC_LOSSCANCEL);
        Q_update.bindValue(QStringLiteral("cancel_time"), now());
        Q_update.bindValue(QStringLiteral("Current_Operator"), currentOperatorTrueName());
        Q_update.bindValue(QStringLiteral("roomid"), roomNo);
        Q_update.bindValue(QStringLiteral("tmp_avail"), cfg::codes().GC_AVAILABLE);
        Q_update.execSql();
    });
}

void TDataM::CancelCardRecord(const QString& cardHex, qint64 cardSerial)
{
    cancelActiveCard(cardHex, cardSerial, cfg::codes().GC_ISCANCEL, false);
}

void TDataM::CancelCardRecordNoCard(const QString& cardHex, qint64 cardSerial)
{
    cancelActiveCard(cardHex, cardSerial, cfg::codes().GC_NOCARDCANCEL, true);
}

void TDataM::cancelActiveCard(const QString& cardHex, qint64 cardSerial, const QString& cancelCode,
                              bool recountAll)
{
    swallow("CancelCardRecord", [&] {
        WriteBatch batch(Conn);
        if (!FindActiveCard(cardHex, cardSerial))
            return;
        const QString roomNo = Q_curr_issue_card.field(QStringLiteral("room_no")).toString();
        const int cardType = Q_curr_issue_card.field(QStringLiteral("card_type")).toInt();

        Q_update.setSql(QStringLiteral(
            "update issue_card_log set card_status_code = :tmp_cancel, cancel_datetime = :cancel_time, "
            "cancel_operator = :Current_Operator where card_date_hex = :carddatehex and card_status_code = "
            ":tmp_avail and card_hard_no=:tmp_cardno"));
        Q_update.bindValue(QStringLiteral("tmp_cancel"), cancelCode);
        Q_update.bindValue(QStringLiteral("cancel_time"), now());
        Q_update.bindValue(QStringLiteral("Current_Operator"), currentOperatorTrueName());
        Q_update.bindValue(QStringLiteral("carddatehex"), cardHex);
        Q_update.bindValue(QStringLiteral("tmp_avail"), cfg::codes().GC_AVAILABLE);
        // card_hard_no is text: the serial compared as its decimal text, the same on both engines.
        Q_update.bindValue(QStringLiteral("tmp_cardno"), QString::number(cardSerial));
        Q_update.execSql();

        OpenCurrentRoom(roomNo);
        if (!Q_curr_room.isOpen() || Q_curr_room.isEmpty() || cardType != 0)
            return; // staff and function cards touch no room
        const int storedCount = Q_curr_room.field(QStringLiteral("card_num")).toInt();
        const QVariant ownStatus = Q_curr_room.field(QStringLiteral("room_status_code"));

        Q_Exec.setSql(
            QStringLiteral("select id,room_no from issue_card_log where card_status_code = :tmp_avail and "
                           "card_type = 0 and room_no=:room"));
        Q_Exec.bindValue(QStringLiteral("tmp_avail"), cfg::codes().GC_AVAILABLE);
        Q_Exec.bindValue(QStringLiteral("room"), roomNo);
        Q_Exec.open();
        const int cardsLeft = Q_Exec.recordCount();

        Q_update.setSql(QStringLiteral(
            "update room set card_num = :tmpnum, room_status_code = :roomstatus where room_no = :roomid "));
        Q_update.bindValue(QStringLiteral("tmpnum"), storedCount <= 0 ? 0 : cardsLeft);
        Q_update.bindValue(QStringLiteral("roomstatus"),
                           cardsLeft > 0 ? ownStatus : QVariant(cfg::codes().room_empty));
        Q_update.bindValue(QStringLiteral("roomid"), roomNo);
        Q_update.execSql();

        if (recountAll) {
            RecountRoomCards();
            RefreshRoomStatus();
        }
        OpenRoomGuestCards(roomNo);
    });
}

void TDataM::RecountRoomCards()
{
    swallow("RecountRoomCards", [&] {
        WriteBatch batch(Conn);
        Q_Exec.setSql(QStringLiteral("update room set card_num = 0 "));
        Q_Exec.execSql();

        Q_Exec.setSql(
            QStringLiteral("select count(*) as zfks,room_no from issue_card_log where card_status_code = "
                           ":tmp_avail and card_type = 0 group by room_no order by room_no"));
        Q_Exec.bindValue(QStringLiteral("tmp_avail"), cfg::codes().GC_AVAILABLE);
        Q_Exec.open();

        Q_update.setSql(QStringLiteral("update room set card_num = :tmp_num where room_no = :roomid "));
        for (Q_Exec.first(); !Q_Exec.eof(); Q_Exec.next()) {
            Q_update.bindValue(QStringLiteral("tmp_num"), Q_Exec.field(QStringLiteral("zfks")).toInt());
            Q_update.bindValue(QStringLiteral("roomid"), Q_Exec.field(QStringLiteral("room_no")));
            Q_update.execSql();
        }
    });
}

void TDataM::RefreshRoomStatus()
{
    const StatusCodes& codes = cfg::codes();
    Q_Exec.setSql(QStringLiteral(
        "update room set room_status_code = :tmp_empty where card_num = 0 and room_status_code = :tmp_used"));
    Q_Exec.bindValue(QStringLiteral("tmp_empty"), codes.room_empty);
    Q_Exec.bindValue(QStringLiteral("tmp_used"), codes.room_used);
    Q_Exec.execSql();

    Q_Exec.setSql(QStringLiteral(
        "update room set room_status_code = :tmp_used where card_num > 0 and room_status_code = :tmp_empty"));
    Q_Exec.bindValue(QStringLiteral("tmp_empty"), codes.room_empty);
    Q_Exec.bindValue(QStringLiteral("tmp_used"), codes.room_used);
    Q_Exec.execSql();
}

// --- log, rights, opening records -------------------------------------------------------------------

void TDataM::WriteLog(const QString& remark, int type)
{
    // The parameters are bound by position: remark, operator, time, type land in that column order.
    Q_insert.setSql(QStringLiteral(
        "insert into log(remark,operator,the_time,type) values(:cardnum,:publishtime,:operator,:status)"));
    Q_insert.bindValue(QStringLiteral("cardnum"), remark);
    Q_insert.bindValue(QStringLiteral("publishtime"), currentOperatorTrueName());
    Q_insert.bindValue(QStringLiteral("operator"), now());
    Q_insert.bindValue(QStringLiteral("status"), type);
    Q_insert.execSql();
}

int TDataM::CheckRight(const QString& code)
{
    int group = 0;
    if (Q_operator.isOpen() && !Q_operator.isEmpty())
        group = Q_operator.field(QStringLiteral("power")).toInt();
    Q_select.setSql(QStringLiteral("select * from group_right A,operator_group B where A.group_id=") +
                    QString::number(group) + QStringLiteral(" and A.code=") + SqlValue::quoted(code));
    Q_select.open();
    if (Q_select.isEmpty())
        return 0;
    return Q_select.field(QStringLiteral("the_right")).toInt();
}

void TDataM::ClearTmpUnlockLog()
{
    Q_Exec.setSql(QStringLiteral("delete from tmp_unlock_log"));
    Q_Exec.execSql();
}

void TDataM::insertOpeningRecord(const QString& table, DataSet& list, const QString& listSql, quint8 roomId,
                                 const QString& roomNo, int issueLogId, const QDateTime& getTime,
                                 const QDateTime& unlockTime, const QString& cardTypeName, quint8 cardTypeId,
                                 qint64 cardNo)
{
    // The parameter names are historical; each value lands in the column at its position.
    Q_insert.setSql(
        QStringLiteral("insert into ") + table +
        QStringLiteral("(card_no,room_id,room_no,card_type_id,card_type,unlock_time,get_time,issue_"
                       "log_id)  values(:tmp_build,:tmp_floor,:tmp_roomid,:tmp_roomno,:tmp_num,:tmp_"
                       "type,:tmp_time,:tmp_logid)"));
    Q_insert.bindValue(QStringLiteral("tmp_build"), cardNo);
    Q_insert.bindValue(QStringLiteral("tmp_floor"), roomId);
    Q_insert.bindValue(QStringLiteral("tmp_roomid"), roomNo);
    Q_insert.bindValue(QStringLiteral("tmp_roomno"), cardTypeId);
    Q_insert.bindValue(QStringLiteral("tmp_num"), cardTypeName);
    Q_insert.bindValue(QStringLiteral("tmp_type"), unlockTime);
    Q_insert.bindValue(QStringLiteral("tmp_time"), getTime);
    Q_insert.bindValue(QStringLiteral("tmp_logid"), issueLogId);
    Q_insert.execSql();
    openList(list, listSql);
    list.last();
}

void TDataM::InsertTmpUnlockLog(quint8 roomId, const QString& roomNo, int issueLogId,
                                const QDateTime& getTime, const QDateTime& unlockTime,
                                const QString& cardTypeName, quint8 cardTypeId, qint64 cardNo)
{
    insertOpeningRecord(QStringLiteral("tmp_unlock_log"), Q_tmp_log, kTmpLogList, roomId, roomNo, issueLogId,
                        getTime, unlockTime, cardTypeName, cardTypeId, cardNo);
}

void TDataM::InsertUnlockLog(quint8 roomId, const QString& roomNo, int issueLogId, const QDateTime& getTime,
                             const QDateTime& unlockTime, const QString& cardTypeName, quint8 cardTypeId,
                             qint64 cardNo)
{
    insertOpeningRecord(QStringLiteral("unlock_log"), Q_xgk, kUnlockLogList, roomId, roomNo, issueLogId,
                        getTime, unlockTime, cardTypeName, cardTypeId, cardNo);
}

// --- guest lists ------------------------------------------------------------------------------------

void TDataM::openCsv(DataSet& set, DbConnection& connection, const QString& folder, const QString& name,
                     const QString& where, const QList<QPair<QString, QString>>& conditions)
{
    set.close();
    set.setSql(QString());
    QString windowsFolder = folder;
    if (!windowsFolder.isEmpty() && !windowsFolder.endsWith(u'\\') && !windowsFolder.endsWith(u'/'))
        windowsFolder += u'\\';
    Csv::load(connection, WinPath::toLocal(windowsFolder + name), name);
    set.setSql(QStringLiteral("Select   *   from  ") + name + where);
    // The typed text matches literally: its own '%', '_' and backslash are escaped, only the
    // surrounding '%' are wildcards.
    for (int i = 0; i < conditions.size(); ++i) {
        QString literal = conditions[i].second;
        literal.replace(u'\\', QStringLiteral("\\\\"))
            .replace(u'%', QStringLiteral("\\%"))
            .replace(u'_', QStringLiteral("\\_"));
        set.bindValue(QStringLiteral("p%1").arg(i), u'%' + literal + u'%');
    }
    set.open();
}

void TDataM::OpenGuestList()
{
    openCsv(Q_csv, CsvConn, cfg::sys().csvpath, cfg::sys().csvname);
}

void TDataM::OpenGuestListYfk()
{
    openCsv(Q_csv_yfk, CsvYfkConn, cfg::sys().csvpath_yfk, cfg::sys().csvname_yfk);
}

void TDataM::OpenGuestListSearch(const QList<QPair<QString, QString>>& conditions)
{
    QString where = QStringLiteral(" where 1=1");
    for (int i = 0; i < conditions.size(); ++i)
        where += QStringLiteral(" and ") + Csv::quotedIdentifier(conditions[i].first) +
                 QStringLiteral(" like :p") + QString::number(i) + QStringLiteral(" escape '\\'");
    openCsv(Q_csv, CsvConn, cfg::sys().csvpath, cfg::sys().csvname, where, conditions);
}

// --- the closing screen's procedure -----------------------------------------------------------------

bool TDataM::RunStoredProcedure(const QString& connectionString, const QString& procedure)
{
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    if (!identifier.match(procedure).hasMatch())
        return false;
    try {
        DbConnection connection;
        connection.open(connectionString);
        if (connection.engine() == Engine::PostgreSQL) {
            connection.exec(QStringLiteral("CALL ") + procedure + QStringLiteral("()"));
            return true;
        }
        // SQLite keeps no procedures: the one the program calls is run from here, with the same statements
        // the server's procedure holds.
        if (procedure.compare(QStringLiteral("Auto_count_cardnum"), Qt::CaseInsensitive) != 0)
            return false;
        WriteBatch batch(connection);
        const QString active = SqlValue::quoted(cfg::codes().GC_AVAILABLE);
        connection.exec(QStringLiteral("UPDATE room SET card_num = 0 WHERE card_num <> 0"));
        connection.exec(
            QStringLiteral("UPDATE room SET card_num = (SELECT count(*) FROM issue_card_log c WHERE "
                           "c.room_no = room.room_no AND c.card_status_code = ") +
            active +
            QStringLiteral(" AND c.card_type = 0) WHERE room_no IN (SELECT room_no FROM "
                           "issue_card_log WHERE card_status_code = ") +
            active + QStringLiteral(" AND card_type = 0)"));
        return true;
    } catch (const std::exception& e) {
        qCWarning(lcDataM) << "Stored procedure" << procedure << "failed:" << e.what();
        return false;
    }
}

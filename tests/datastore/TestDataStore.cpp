// The data module's operations, run against the engine of TOLVANE_TEST_ENGINE (ctest runs this program
// twice: test_datastore_sqlite and test_datastore_postgresql).
#include "DbTestEnv.h"
#include "TestDir.h"
#include "card/TEncrypt.h"
#include "config/Settings.h"
#include "config/TSystem.h"
#include "datastore/DatabaseError.h"
#include "datastore/TDataM.h"
#include "platform/Clock.h"

#include <QTest>
#include <memory>

namespace {

const QDateTime kStart(QDate(2024, 3, 10), QTime(14, 30, 0));

QString hexImage(int n)
{
    return QStringLiteral("%1").arg(n, 8, 16, QLatin1Char('0')).toUpper().repeated(8);
}

} // namespace

class TestDataStore : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void connectionOpensListsAndCurrentOperator();
    void defaultStatusCodesAreKeyNames();
    void countRoomStatus();
    void roomDisplayAndPosition();
    void insertIssueLog_data();
    void insertIssueLog();
    void cancellingCards_data();
    void cancellingCards();
    void cancellingUnknownOrCancelledCardChangesNothing();
    void cancellingLastCardOfDriftedRoomWritesZero();
    void cancellingStaffCardTouchesNoRoom();
    void cancelWithoutCardRecountsEveryRoom();
    void lostCardCancelsRoomCards();
    void recountRoomCards();
    void refreshRoomStatusKeepsHandSetCodes();
    void handSetRoomThroughIssueAndCancel();
    void rewrittenCardLeavesOneActiveRecord();
    void writeLogColumns();
    void dateBoundaries_data();
    void dateBoundaries();
    void dateTimesRoundTrip();
    void checkRight_data();
    void checkRight();
    void openingRecords();
    void editInPlace();
    void gridEditsGroupRights();
    void appendAndDelete();
    void badInputStoredAndFoundExactly_data();
    void badInputStoredAndFoundExactly();
    void injectionTextsChangeNoStatement();
    void overlongTextIsRefusedOnBothEngines();
    void storedProcedure();
    void reconnectReselectsShiftedOperator();

private:
    void issue(const QString& room, qint64 serial, const QString& hex, int kind = 0);
    QVariant scalar(const QString& sql, const QList<QPair<QString, QVariant>>& params = {});
    int cardNum(const QString& room)
    {
        return scalar(QStringLiteral("select card_num from room where room_no = :r"),
                      {{QStringLiteral("r"), room}})
            .toInt();
    }
    QString roomStatus(const QString& room)
    {
        return scalar(QStringLiteral("select room_status_code from room where room_no = :r"),
                      {{QStringLiteral("r"), room}})
            .toString();
    }
    void setRoom(const QString& room, int cards, const QString& status);
    QString cardStatus(const QString& hex);
    void exec(const QString& sql, const QList<QPair<QString, QVariant>>& params = {});

    std::unique_ptr<TestInstallation> m_inst;
    std::unique_ptr<VirtualClock> m_clock;
    std::unique_ptr<ScopedClock> m_clockGuard;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataM> m_dm;
};

void TestDataStore::initTestCase()
{
    if (TestDatabase::engineUnderTest() == Engine::PostgreSQL && !TestDatabase::postgresAvailable())
        QSKIP(qPrintable(TestDatabase::postgresMissingReason()));
}

void TestDataStore::init()
{
    m_inst = std::make_unique<TestInstallation>();
    TSystem::LoadSettings();
    m_clock = std::make_unique<VirtualClock>(kStart);
    m_clockGuard = std::make_unique<ScopedClock>(*m_clock);
    const Installer::SampleHotel hotel{2, 2, 3}; // rooms 10101..10203 and 20101..20203
    m_db = std::make_unique<TestDatabase>(&hotel);
    m_dm = std::make_unique<TDataM>();
    m_dm->OpenConnection(m_db->connectionString());
    m_dm->CurrentOperatorName = QStringLiteral("admin");
    m_dm->ConnAfterConnect();
}

void TestDataStore::cleanup()
{
    m_dm.reset();
    m_db.reset();
    m_clockGuard.reset();
    m_clock.reset();
    m_inst.reset();
}

void TestDataStore::issue(const QString& room, qint64 serial, const QString& hex, int kind)
{
    m_dm->InsertIssueLog(QString::number(serial), QStringLiteral("admin"), hex, QStringLiteral("0"), room,
                         QStringLiteral("GuestCard"), QString::number(kind), QString(), QString(),
                         QStringLiteral("guest"), kStart, kStart.addDays(1));
}

QVariant TestDataStore::scalar(const QString& sql, const QList<QPair<QString, QVariant>>& params)
{
    DataSet q;
    q.setConnection(&m_dm->Conn);
    q.setSql(sql);
    for (const auto& [name, value] : params)
        q.bindValue(name, value);
    q.open();
    return q.isEmpty() ? QVariant() : q.value(0, 0);
}

void TestDataStore::exec(const QString& sql, const QList<QPair<QString, QVariant>>& params)
{
    DataSet q;
    q.setConnection(&m_dm->Conn);
    q.setSql(sql);
    for (const auto& [name, value] : params)
        q.bindValue(name, value);
    q.execSql();
}

void TestDataStore::setRoom(const QString& room, int cards, const QString& status)
{
    exec(QStringLiteral("update room set card_num = :n, room_status_code = :s where room_no = :r"),
         {{QStringLiteral("n"), cards}, {QStringLiteral("s"), status}, {QStringLiteral("r"), room}});
}

QString TestDataStore::cardStatus(const QString& hex)
{
    return scalar(QStringLiteral("select card_status_code from issue_card_log where card_date_hex = :h"),
                  {{QStringLiteral("h"), hex}})
        .toString();
}

void TestDataStore::connectionOpensListsAndCurrentOperator()
{
    QCOMPARE(m_dm->Q_room.recordCount(), 12);
    QCOMPARE(m_dm->Q_display.recordCount(), 12);
    QCOMPARE(m_dm->Q_display.field(QStringLiteral("room_no")).toString(), QStringLiteral("10101"));
    m_dm->Q_display.last();
    QCOMPARE(m_dm->Q_display.field(QStringLiteral("room_no")).toString(), QStringLiteral("20203"));
    QCOMPARE(m_dm->Q_setroom.field(QStringLiteral("descript")).toString(), QStringLiteral("Standard room"));
    QCOMPARE(m_dm->Q_czy.field(QStringLiteral("g_name")).toString(), QStringLiteral("Administrators"));
    QCOMPARE(m_dm->Q_room_type.recordCount(), 3);
    QCOMPARE(m_dm->Q_workarea.recordCount(), 3);
    QVERIFY(m_dm->T_operator.isOpen());
    QCOMPARE(m_dm->T_g_r.recordCount(), Installer::rightsCatalogue().size());
    QCOMPARE(m_dm->Q_operator.recordCount(), 1);
    QCOMPARE(m_dm->currentOperatorTrueName(), QStringLiteral("admin"));
    QCOMPARE(TEncrypt::PasswordCipher(m_dm->Q_operator.field(QStringLiteral("pass_word")).toString()),
             QStringLiteral("secret"));
    QVERIFY(m_dm->Q_issue_card_log.isOpen());
    QVERIFY(!m_dm->Q_csv.isOpen()); // no guest list in the installation: closed, and no error
    QCOMPARE(m_dm->T_operator.displayLabel(QStringLiteral("true_name")), cfg::texts().label(94));
    QCOMPARE(
        m_dm->Q_log.headerData(m_dm->Q_log.fieldIndex(QStringLiteral("the_time")), Qt::Horizontal).toString(),
        cfg::texts().label(72));

    // Before the first login the operator query is open and empty.
    TDataM fresh;
    fresh.OpenConnection(m_db->connectionString());
    QVERIFY(fresh.Q_operator.isOpen());
    QCOMPARE(fresh.Q_operator.recordCount(), 0);
    QCOMPARE(fresh.CheckRight(QStringLiteral("010101")), 0);
}

void TestDataStore::defaultStatusCodesAreKeyNames()
{
    issue(QStringLiteral("10101"), 1001, hexImage(1));
    QCOMPARE(cardStatus(hexImage(1)), QStringLiteral("GC_AVAILABLE"));
    QCOMPARE(roomStatus(QStringLiteral("10101")), QStringLiteral("room_used"));
    QCOMPARE(roomStatus(QStringLiteral("10102")), QStringLiteral("room_empty"));
    m_dm->CancelCardRecord(hexImage(1), 1001);
    QCOMPARE(cardStatus(hexImage(1)), QStringLiteral("GC_ISCANCEL"));
}

void TestDataStore::countRoomStatus()
{
    issue(QStringLiteral("10101"), 1, hexImage(1));
    issue(QStringLiteral("10101"), 2, hexImage(2));
    issue(QStringLiteral("20203"), 3, hexImage(3));
    issue(QStringLiteral("20203"), 4, hexImage(4), 5); // a building card: not a guest card
    m_dm->CountRoomStatus();
    QCOMPARE(m_dm->RoomCount, 12);
    QCOMPARE(m_dm->UsedRoomCount, 2);
    QCOMPARE(m_dm->ActiveCardCount, 3);
}

void TestDataStore::roomDisplayAndPosition()
{
    m_dm->OpenRoomDisplay(true, 2);
    QCOMPARE(m_dm->Q_display.recordCount(), 6);
    QCOMPARE(m_dm->Q_display.field(QStringLiteral("room_no")).toString(), QStringLiteral("20101"));
    m_dm->OpenRoomDisplay(false, 2);
    QCOMPARE(m_dm->Q_display.recordCount(), 12);
    QVERIFY(m_dm->Q_display.locate(QStringLiteral("room_no"), QStringLiteral("3"), {true}) == false);
    QVERIFY(m_dm->Q_display.locate(QStringLiteral("room_no"), QStringLiteral("1020"), {true}));
    QCOMPARE(m_dm->Q_display.field(QStringLiteral("room_no")).toString(), QStringLiteral("10201"));

    m_dm->OpenRoomByPosition(2, 1, 3);
    QCOMPARE(m_dm->Q_select.recordCount(), 1);
    QCOMPARE(m_dm->Q_select.field(QStringLiteral("room_no")).toString(), QStringLiteral("20103"));
    m_dm->OpenRoomByPosition(3, 1, 1);
    QCOMPARE(m_dm->Q_select.recordCount(), 0);
}

void TestDataStore::insertIssueLog_data()
{
    QTest::addColumn<QString>("room");
    QTest::addColumn<QString>("loss");
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("cards");
    QTest::newRow("known room") << "10102"
                                << "0" << 1 << 1;
    QTest::newRow("lost-card replacement") << "10102"
                                           << "1" << 1 << 1;
    QTest::newRow("room not in room") << "99999"
                                      << "0" << 1 << 0;
    QTest::newRow("loss flag not a number: nothing") << "10102"
                                                     << "x" << 0 << 0;
}

void TestDataStore::insertIssueLog()
{
    QFETCH(QString, room);
    QFETCH(QString, loss);
    QFETCH(int, records);
    QFETCH(int, cards);
    const QDateTime in(QDate(2024, 3, 10), QTime(12, 0, 0, 250));
    const QDateTime out(QDate(2024, 3, 12), QTime(12, 0));
    m_dm->InsertIssueLog(QStringLiteral("4294967295"), QStringLiteral("Desk One"), hexImage(7), loss, room,
                         QStringLiteral("GuestCard"), QStringLiteral("0"), QStringLiteral("late arrival"),
                         QString(), QStringLiteral("Li Wei"), in, out);
    QCOMPARE(scalar(QStringLiteral("select count(*) from issue_card_log")).toInt(), records);
    const int totalCards = scalar(QStringLiteral("select sum(card_num) from room")).toInt();
    QCOMPARE(totalCards, cards);
    if (records == 0)
        return;
    QVERIFY(m_dm->FindActiveCard(hexImage(7), 4294967295LL));
    const DataSet& r = m_dm->Q_curr_issue_card;
    QCOMPARE(r.field(QStringLiteral("card_hard_no")).toString(), QStringLiteral("4294967295"));
    QCOMPARE(r.field(QStringLiteral("publish_datetime")).toDateTime(), kStart);
    QCOMPARE(r.field(QStringLiteral("publish_operator")).toString(), QStringLiteral("Desk One"));
    QCOMPARE(r.field(QStringLiteral("checkin_datetime")).toDateTime(), in);
    QCOMPARE(r.field(QStringLiteral("checkout_datetime")).toDateTime(), out);
    QVERIFY(r.field(QStringLiteral("cancel_datetime")).isNull());
    QCOMPARE(r.field(QStringLiteral("own_name")).toString(), QStringLiteral("Li Wei"));
    QCOMPARE(r.field(QStringLiteral("own_id")).toString(), QString());
    QVERIFY(!r.field(QStringLiteral("own_id")).isNull()); // an empty text, as typed
    QCOMPARE(r.field(QStringLiteral("remark")).toString(), QStringLiteral("late arrival"));
    QCOMPARE(r.field(QStringLiteral("card_type")).toInt(), 0);
    QCOMPARE(r.field(QStringLiteral("yn_loss")).toInt(), loss.toInt());
    QCOMPARE(r.field(QStringLiteral("room_no")).toString(), room);
    if (cards > 0)
        QCOMPARE(roomStatus(room), QStringLiteral("room_used"));
}

void TestDataStore::cancellingCards_data()
{
    QTest::addColumn<int>("cancelled");
    QTest::addColumn<int>("cardsLeft");
    QTest::addColumn<QString>("status");
    QTest::newRow("one of three") << 1 << 2 << "room_used";
    QTest::newRow("two of three") << 2 << 1 << "room_used";
    QTest::newRow("all three") << 3 << 0 << "room_empty";
}

void TestDataStore::cancellingCards()
{
    QFETCH(int, cancelled);
    QFETCH(int, cardsLeft);
    QFETCH(QString, status);
    for (int i = 1; i <= 3; ++i)
        issue(QStringLiteral("10201"), 500 + i, hexImage(500 + i));
    QCOMPARE(cardNum(QStringLiteral("10201")), 3);
    m_clock->advance(60000);
    for (int i = 1; i <= cancelled; ++i)
        m_dm->CancelCardRecord(hexImage(500 + i), 500 + i);
    QCOMPARE(cardNum(QStringLiteral("10201")), cardsLeft);
    QCOMPARE(roomStatus(QStringLiteral("10201")), status);
    QCOMPARE(cardStatus(hexImage(501)), QStringLiteral("GC_ISCANCEL"));
    QCOMPARE(scalar(QStringLiteral("select cancel_operator from issue_card_log where card_date_hex = :h"),
                    {{QStringLiteral("h"), hexImage(501)}})
                 .toString(),
             QStringLiteral("admin"));
    QCOMPARE(scalar(QStringLiteral("select cancel_datetime from issue_card_log where card_date_hex = :h"),
                    {{QStringLiteral("h"), hexImage(501)}})
                 .toDateTime(),
             kStart.addSecs(60));
    // The room's remaining cards are listed afterwards.
    QVERIFY(m_dm->Q_issue_card.isOpen());
    QCOMPARE(m_dm->Q_issue_card.recordCount(), cardsLeft);
}

void TestDataStore::cancellingUnknownOrCancelledCardChangesNothing()
{
    issue(QStringLiteral("10101"), 77, hexImage(77));
    m_dm->CancelCardRecord(hexImage(77), 77);
    const QVariant when = scalar(QStringLiteral("select cancel_datetime from issue_card_log"));
    m_clock->advance(5000);
    m_dm->CancelCardRecord(hexImage(77), 77); // already cancelled
    m_dm->CancelCardRecord(hexImage(78), 78); // never recorded
    m_dm->CancelCardRecordNoCard(hexImage(79), 79);
    QCOMPARE(scalar(QStringLiteral("select cancel_datetime from issue_card_log")), when);
    QCOMPARE(cardStatus(hexImage(77)), QStringLiteral("GC_ISCANCEL"));
    QCOMPARE(cardNum(QStringLiteral("10101")), 0);
}

void TestDataStore::cancellingLastCardOfDriftedRoomWritesZero()
{
    issue(QStringLiteral("10103"), 1, hexImage(1));
    issue(QStringLiteral("10103"), 2, hexImage(2));
    setRoom(QStringLiteral("10103"), 0, QStringLiteral("room_used"));
    m_dm->CancelCardRecord(hexImage(1), 1);
    QCOMPARE(cardNum(QStringLiteral("10103")), 0); // not the one record left
    QCOMPARE(roomStatus(QStringLiteral("10103")), QStringLiteral("room_used"));
}

void TestDataStore::cancellingStaffCardTouchesNoRoom()
{
    issue(QStringLiteral("10101"), 1, hexImage(1));
    issue(QStringLiteral("10101"), 2, hexImage(2), 4);
    setRoom(QStringLiteral("10101"), 5, QStringLiteral("room_used"));
    m_dm->CancelCardRecord(hexImage(2), 2);
    QCOMPARE(cardStatus(hexImage(2)), QStringLiteral("GC_ISCANCEL"));
    QCOMPARE(cardNum(QStringLiteral("10101")), 5);
}

void TestDataStore::cancelWithoutCardRecountsEveryRoom()
{
    issue(QStringLiteral("10101"), 1, hexImage(1));
    issue(QStringLiteral("10102"), 2, hexImage(2));
    setRoom(QStringLiteral("10102"), 7, QStringLiteral("room_used")); // drifted
    setRoom(QStringLiteral("20101"), 3, QStringLiteral("room_used")); // drifted, no cards at all
    m_dm->CancelCardRecordNoCard(hexImage(1), 1);
    QCOMPARE(cardStatus(hexImage(1)), QStringLiteral("GC_NOCARDCANCEL"));
    QCOMPARE(cardNum(QStringLiteral("10101")), 0);
    QCOMPARE(roomStatus(QStringLiteral("10101")), QStringLiteral("room_empty"));
    QCOMPARE(cardNum(QStringLiteral("10102")), 1);
    QCOMPARE(cardNum(QStringLiteral("20101")), 0);
    QCOMPARE(roomStatus(QStringLiteral("20101")), QStringLiteral("room_empty"));
    QCOMPARE(m_dm->Q_issue_card.recordCount(), 0);
}

void TestDataStore::lostCardCancelsRoomCards()
{
    issue(QStringLiteral("10101"), 1, hexImage(1));
    issue(QStringLiteral("10101"), 2, hexImage(2));
    issue(QStringLiteral("10101"), 3, hexImage(3), 3); // a floor card logged with the room: kept
    issue(QStringLiteral("10102"), 4, hexImage(4));
    m_dm->CancelRoomCards(QStringLiteral("10101"));
    QCOMPARE(cardStatus(hexImage(1)), QStringLiteral("GC_LOSSCANCEL"));
    QCOMPARE(cardStatus(hexImage(2)), QStringLiteral("GC_LOSSCANCEL"));
    QCOMPARE(cardStatus(hexImage(3)), QStringLiteral("GC_AVAILABLE"));
    QCOMPARE(cardStatus(hexImage(4)), QStringLiteral("GC_AVAILABLE"));
    QCOMPARE(cardNum(QStringLiteral("10101")), 0);
    QCOMPARE(roomStatus(QStringLiteral("10101")), QStringLiteral("room_empty"));
    QCOMPARE(cardNum(QStringLiteral("10102")), 1);
}

void TestDataStore::recountRoomCards()
{
    issue(QStringLiteral("10101"), 1, hexImage(1));
    issue(QStringLiteral("10101"), 2, hexImage(2));
    issue(QStringLiteral("99999"), 3, hexImage(3)); // no such room: counts nowhere
    issue(QStringLiteral("10102"), 4, hexImage(4), 6);
    setRoom(QStringLiteral("10101"), 0, QStringLiteral("room_used"));
    setRoom(QStringLiteral("10102"), 4, QStringLiteral("room_repair"));
    setRoom(QStringLiteral("20202"), 9, QStringLiteral("room_dirty"));
    m_dm->RecountRoomCards();
    QCOMPARE(cardNum(QStringLiteral("10101")), 2);
    QCOMPARE(cardNum(QStringLiteral("10102")), 0);
    QCOMPARE(cardNum(QStringLiteral("20202")), 0);
    QCOMPARE(roomStatus(QStringLiteral("20202")), QStringLiteral("room_dirty"));
    QCOMPARE(scalar(QStringLiteral("select sum(card_num) from room")).toInt(), 2);
}

void TestDataStore::refreshRoomStatusKeepsHandSetCodes()
{
    setRoom(QStringLiteral("10101"), 0, QStringLiteral("room_used"));
    setRoom(QStringLiteral("10102"), 2, QStringLiteral("room_empty"));
    setRoom(QStringLiteral("10103"), 0, QStringLiteral("room_repair"));
    setRoom(QStringLiteral("10201"), 3, QStringLiteral("room_closed"));
    m_dm->RefreshRoomStatus();
    QCOMPARE(roomStatus(QStringLiteral("10101")), QStringLiteral("room_empty"));
    QCOMPARE(roomStatus(QStringLiteral("10102")), QStringLiteral("room_used"));
    QCOMPARE(roomStatus(QStringLiteral("10103")), QStringLiteral("room_repair"));
    QCOMPARE(roomStatus(QStringLiteral("10201")), QStringLiteral("room_closed"));
    QCOMPARE(scalar(QStringLiteral(
                        "select count(*) from room where (room_status_code = 'room_used' and card_num = 0) "
                        "or (room_status_code = 'room_empty' and card_num > 0)"))
                 .toInt(),
             0);
}

void TestDataStore::handSetRoomThroughIssueAndCancel()
{
    setRoom(QStringLiteral("20101"), 0, QStringLiteral("room_repair"));
    m_dm->RecountRoomCards();
    m_dm->RefreshRoomStatus();
    QCOMPARE(roomStatus(QStringLiteral("20101")), QStringLiteral("room_repair"));
    issue(QStringLiteral("20101"), 9, hexImage(9));
    QCOMPARE(roomStatus(QStringLiteral("20101")), QStringLiteral("room_used"));
    m_dm->CancelCardRecord(hexImage(9), 9);
    QCOMPARE(roomStatus(QStringLiteral("20101")), QStringLiteral("room_empty"));
}

void TestDataStore::rewrittenCardLeavesOneActiveRecord()
{
    issue(QStringLiteral("10101"), 3405691582LL, hexImage(1));
    // Room change: the old record is cancelled, the card rewritten with a new image for another room.
    m_dm->CancelCardRecord(hexImage(1), 3405691582LL);
    issue(QStringLiteral("20202"), 3405691582LL, hexImage(2));
    QCOMPARE(scalar(QStringLiteral("select count(*) from issue_card_log where card_hard_no = '3405691582'"))
                 .toInt(),
             2);
    QVERIFY(!m_dm->FindActiveCard(hexImage(1), 3405691582LL));
    QVERIFY(m_dm->FindActiveCard(hexImage(2), 3405691582LL));
    QCOMPARE(m_dm->Q_curr_issue_card.field(QStringLiteral("room_no")).toString(), QStringLiteral("20202"));
    QVERIFY(!m_dm->FindActiveCard(hexImage(2), 3405691583LL)); // the same image on another card
    QCOMPARE(cardNum(QStringLiteral("10101")), 0);
    QCOMPARE(cardNum(QStringLiteral("20202")), 1);
}

void TestDataStore::writeLogColumns()
{
    m_dm->WriteLog(QStringLiteral("Guest card issued"), 1);
    DataSet& log = m_dm->Q_log;
    log.requery();
    QCOMPARE(log.recordCount(), 1);
    QCOMPARE(log.field(QStringLiteral("remark")).toString(), QStringLiteral("Guest card issued"));
    QCOMPARE(log.field(QStringLiteral("operator")).toString(), QStringLiteral("admin"));
    QCOMPARE(log.field(QStringLiteral("the_time")).toDateTime(), kStart);
    QCOMPARE(log.field(QStringLiteral("type")).toInt(), 1);
}

void TestDataStore::dateBoundaries_data()
{
    QTest::addColumn<QTime>("written");
    QTest::addColumn<int>("dayOffset");
    QTest::addColumn<bool>("inDay");     // log query: the day 00:00:00 .. 23:59:59
    QTest::addColumn<bool>("inHistory"); // card history: from 00:00:01
    QTest::addColumn<bool>("tidied");    // data tidy: 00:00:02 .. 23:59:05
    QTest::newRow("00:00:00.000") << QTime(0, 0, 0) << 0 << true << false << false;
    QTest::newRow("00:00:01.000") << QTime(0, 0, 1) << 0 << true << true << false;
    QTest::newRow("00:00:02.000") << QTime(0, 0, 2) << 0 << true << true << true;
    QTest::newRow("23:59:05.000") << QTime(23, 59, 5) << 0 << true << true << true;
    QTest::newRow("23:59:05.001") << QTime(23, 59, 5, 1) << 0 << true << true << false;
    QTest::newRow("23:59:59.000") << QTime(23, 59, 59) << 0 << true << true << false;
    QTest::newRow("23:59:59.500") << QTime(23, 59, 59, 500) << 0 << false << true << false;
    QTest::newRow("day before 23:59:59.999") << QTime(23, 59, 59, 999) << -1 << false << false << false;
    QTest::newRow("day after 00:00:00") << QTime(0, 0) << 1 << false << false << false;
}

void TestDataStore::dateBoundaries()
{
    QFETCH(QTime, written);
    QFETCH(int, dayOffset);
    QFETCH(bool, inDay);
    QFETCH(bool, inHistory);
    QFETCH(bool, tidied);
    const QDate day(2024, 3, 1);
    m_clock->setNow(QDateTime(day.addDays(dayOffset), written));
    m_dm->WriteLog(QStringLiteral("entry"), 4);
    issue(QStringLiteral("10101"), 1, hexImage(1));
    m_dm->CancelCardRecord(hexImage(1), 1);

    DataSet& log = m_dm->Q_log;
    log.setSql(QStringLiteral("select * from log where the_time between :tmp_begin_time and :tmp_end_time"));
    log.bindValue(QStringLiteral("tmp_begin_time"), QDateTime(day, QTime(0, 0, 0)));
    log.bindValue(QStringLiteral("tmp_end_time"), QDateTime(day, QTime(23, 59, 59)));
    log.open();
    QCOMPARE(log.recordCount() == 1, inDay);

    DataSet& history = m_dm->Q_selectcard;
    history.setSql(
        QStringLiteral("select * from issue_card_log  where  publish_datetime >= :tmp_publish_datetime1  "
                       "and publish_datetime <= :tmp_publish_datetime2 "));
    history.bindValue(QStringLiteral("tmp_publish_datetime1"), QDateTime(day, QTime(0, 0, 1)));
    history.bindValue(QStringLiteral("tmp_publish_datetime2"),
                      QDateTime(day.addDays(1), QTime(0, 0)).addMSecs(-1));
    history.open();
    QCOMPARE(history.recordCount() == 1, inHistory);

    DataSet& tidy = m_dm->Q_Exec;
    tidy.setSql(QStringLiteral("delete from issue_card_log where publish_datetime <= :edate and "
                               "publish_datetime>=:bdate and card_status_code <> :tmp_avail  "));
    tidy.bindValue(QStringLiteral("edate"), QDateTime(day, QTime(23, 59, 5)));
    tidy.bindValue(QStringLiteral("bdate"), QDateTime(day, QTime(0, 0, 2)));
    tidy.bindValue(QStringLiteral("tmp_avail"), cfg::codes().GC_AVAILABLE);
    QCOMPARE(tidy.execSql() == 1, tidied);
}

void TestDataStore::dateTimesRoundTrip()
{
    // Written in reverse time order; read back exactly and ordered by time, across a year boundary.
    const QList<QDateTime> times{QDateTime(QDate(2025, 1, 1), QTime(0, 0, 0, 1)),
                                 QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59, 999)),
                                 QDateTime(QDate(2024, 12, 31), QTime(9, 5, 7, 30)),
                                 QDateTime(QDate(2024, 2, 29), QTime(0, 0))};
    for (const QDateTime& t : times) {
        m_clock->setNow(t);
        m_dm->WriteLog(QStringLiteral("x"), 4);
    }
    DataSet& log = m_dm->Q_log;
    log.setSql(QStringLiteral("select * from log order by the_time"));
    log.open();
    QCOMPARE(log.recordCount(), times.size());
    for (int i = 0; i < times.size(); ++i)
        QCOMPARE(log.value(i, QStringLiteral("the_time")).toDateTime(), times[times.size() - 1 - i]);
    // A UTC value is stored as the same instant in local time.
    m_dm->Q_insert.setSql(QStringLiteral("insert into log(remark,the_time,type) values('utc',:t,4)"));
    m_dm->Q_insert.bindValue(QStringLiteral("t"), times[0].toUTC());
    m_dm->Q_insert.execSql();
    QCOMPARE(scalar(QStringLiteral("select the_time from log where remark = 'utc'")).toDateTime(), times[0]);
}

void TestDataStore::checkRight_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("granted");
    QTest::newRow("granted") << ""
                             << "010101" << true;
    QTest::newRow("every catalogue code") << "all"
                                          << "" << true;
    QTest::newRow("right switched off") << "off"
                                        << "010101" << false;
    QTest::newRow("row missing for the group") << "missing"
                                               << "010101" << false;
    QTest::newRow("no group at all") << "nogroups"
                                     << "010101" << false;
    QTest::newRow("unknown code") << ""
                                  << "999999" << false;
}

void TestDataStore::checkRight()
{
    QFETCH(QString, setup);
    QFETCH(QString, code);
    QFETCH(bool, granted);
    if (setup == QStringLiteral("off"))
        exec(QStringLiteral("update group_right set the_right = :f where code = '010101'"),
             {{QStringLiteral("f"), false}});
    else if (setup == QStringLiteral("missing"))
        exec(QStringLiteral("delete from group_right where code = '010101'"));
    else if (setup == QStringLiteral("nogroups"))
        exec(QStringLiteral("delete from operator_group"));
    if (setup == QStringLiteral("all")) {
        for (const Installer::Right& right : Installer::rightsCatalogue())
            QVERIFY2((m_dm->CheckRight(right.code) & 0xFF) != 0, qPrintable(right.code));
        return;
    }
    QCOMPARE((m_dm->CheckRight(code) & 0xFF) != 0, granted);
}

void TestDataStore::openingRecords()
{
    const QDateTime lockClock(QDate(2024, 3, 9), QTime(8, 0));
    m_dm->InsertTmpUnlockLog(7, QStringLiteral("10103"), 42, lockClock, lockClock.addSecs(-3600),
                             QStringLiteral("GuestCard"), 0, 4294967295LL);
    m_dm->InsertTmpUnlockLog(7, QStringLiteral("10103"), 43, lockClock, lockClock.addSecs(-60),
                             QStringLiteral("CleaningCard"), 4, 12345);
    DataSet& list = m_dm->Q_tmp_log;
    QCOMPARE(list.recordCount(), 2);
    QCOMPARE(list.recNo(), 1); // moved to the last row
    QCOMPARE(list.field(QStringLiteral("card_no")).toLongLong(), 12345LL);
    list.first();
    QCOMPARE(list.field(QStringLiteral("card_no")).toLongLong(), 4294967295LL);
    QCOMPARE(list.field(QStringLiteral("room_id")).toInt(), 7);
    QCOMPARE(list.field(QStringLiteral("room_no")).toString(), QStringLiteral("10103"));
    QCOMPARE(list.field(QStringLiteral("card_type_id")).toInt(), 0);
    QCOMPARE(list.field(QStringLiteral("card_type")).toString(), QStringLiteral("GuestCard"));
    QCOMPARE(list.field(QStringLiteral("unlock_time")).toDateTime(), lockClock.addSecs(-3600));
    QCOMPARE(list.field(QStringLiteral("get_time")).toDateTime(), lockClock);
    QCOMPARE(list.field(QStringLiteral("issue_log_id")).toInt(), 42);
    m_dm->ClearTmpUnlockLog();
    QCOMPARE(scalar(QStringLiteral("select count(*) from tmp_unlock_log")).toInt(), 0);

    m_dm->InsertUnlockLog(1, QStringLiteral("20101"), 0, lockClock, lockClock.addSecs(-5),
                          QStringLiteral("Patrol"), 9, 99);
    QCOMPARE(m_dm->Q_xgk.recordCount(), 1);
    QCOMPARE(m_dm->Q_xgk.field(QStringLiteral("card_type_id")).toInt(), 9);
}

void TestDataStore::editInPlace()
{
    // The room map's pop-up menu sets a room's state on Q_display.
    QVERIFY(m_dm->Q_display.locate(QStringLiteral("room_no"), QStringLiteral("10202")));
    m_dm->Q_display.edit();
    m_dm->Q_display.setField(QStringLiteral("room_status_code"), QStringLiteral("room_dirty"));
    m_dm->Q_display.post();
    QCOMPARE(roomStatus(QStringLiteral("10202")), QStringLiteral("room_dirty"));
    QCOMPARE(m_dm->Q_display.field(QStringLiteral("room_status_code")).toString(),
             QStringLiteral("room_dirty"));

    // Stay change edits the found card record.
    issue(QStringLiteral("10101"), 5, hexImage(5));
    QVERIFY(m_dm->FindActiveCard(hexImage(5), 5));
    const QDateTime newOut(QDate(2024, 3, 15), QTime(11, 59, 30, 5));
    m_dm->Q_curr_issue_card.edit();
    m_dm->Q_curr_issue_card.setField(QStringLiteral("checkout_datetime"), newOut);
    m_dm->Q_curr_issue_card.setField(QStringLiteral("room_no"), QStringLiteral("10102"));
    m_dm->Q_curr_issue_card.post();
    QVERIFY(m_dm->FindActiveCard(hexImage(5), 5));
    QCOMPARE(m_dm->Q_curr_issue_card.field(QStringLiteral("checkout_datetime")).toDateTime(), newOut);
    QCOMPARE(m_dm->Q_curr_issue_card.field(QStringLiteral("room_no")).toString(), QStringLiteral("10102"));

    // The password change edits the current operator.
    m_dm->Q_operator.edit();
    m_dm->Q_operator.setField(QStringLiteral("pass_word"), TEncrypt::PasswordCipher(QStringLiteral("n3w")));
    m_dm->Q_operator.post();
    QCOMPARE(TEncrypt::PasswordCipher(scalar(QStringLiteral("select pass_word from operator")).toString()),
             QStringLiteral("n3w"));

    // A failed post keeps the edit and reports the engine's error.
    m_dm->Q_display.edit();
    m_dm->Q_display.setField(QStringLiteral("room_no"), QStringLiteral("10101")); // duplicate room number
    QVERIFY_THROWS_EXCEPTION(DatabaseError, m_dm->Q_display.post());
    QCOMPARE(m_dm->Q_display.state(), DataSet::State::Edit);
    m_dm->Q_display.cancel();
    QCOMPARE(m_dm->Q_display.field(QStringLiteral("room_no")).toString(), QStringLiteral("10202"));
}

void TestDataStore::gridEditsGroupRights()
{
    DataSet& rights = m_dm->T_g_r;
    QVERIFY(rights.locate(QStringLiteral("code"), QStringLiteral("010201")));
    const QModelIndex cell = rights.index(rights.recNo(), rights.fieldIndex(QStringLiteral("the_right")));
    QVERIFY(rights.flags(cell) & Qt::ItemIsEditable);
    QVERIFY(rights.setData(cell, false));
    QCOMPARE(m_dm->CheckRight(QStringLiteral("010201")), 0);
    QVERIFY(rights.setData(cell, true));
    QVERIFY(m_dm->CheckRight(QStringLiteral("010201")) != 0);
    QVERIFY(!(rights.flags(rights.index(0, rights.fieldIndex(QStringLiteral("code")))) & Qt::ItemIsEditable));

    // The detail follows its master group.
    DataSet& groups = m_dm->T_opt_group;
    groups.append();
    groups.setField(QStringLiteral("g_name"), QStringLiteral("Night desk"));
    groups.post();
    QCOMPARE(groups.recordCount(), 2);
    QCOMPARE(groups.field(QStringLiteral("g_name")).toString(), QStringLiteral("Night desk"));
    QCOMPARE(rights.recordCount(), 0);
    groups.first();
    QCOMPARE(rights.recordCount(), Installer::rightsCatalogue().size());
}

void TestDataStore::appendAndDelete()
{
    DataSet& types = m_dm->Q_room_type;
    types.last();
    types.append();
    types.setField(QStringLiteral("code"), QStringLiteral("0004"));
    types.setField(QStringLiteral("descript"), QStringLiteral("Family room"));
    types.post();
    QCOMPARE(types.recordCount(), 4);
    QCOMPARE(types.field(QStringLiteral("code")).toString(), QStringLiteral("0004"));
    types.deleteCurrent();
    QCOMPARE(types.recordCount(), 3);
    QCOMPARE(scalar(QStringLiteral("select count(*) from room_type")).toInt(), 3);
}

void TestDataStore::badInputStoredAndFoundExactly_data()
{
    QTest::addColumn<QString>("room");
    QTest::addColumn<QString>("name");
    QTest::newRow("single quotes") << "O'Neil's 1"
                                   << "D'Arcy";
    QTest::newRow("percent and underscore") << "10%_1"
                                            << "100% _x_";
    QTest::newRow("backslash and colon") << "a\\b:c"
                                         << ":name \\n";
    QTest::newRow("non-Latin") << QStringLiteral("楼一·101号") << QStringLiteral("王小明 Ünal ß");
    QTest::newRow("longest room number") << QString(50, QChar(u'字')) << QString(20, QChar(u'é'));
    QTest::newRow("double quotes and semicolon") << "\"1\"; drop table room"
                                                 << "--\";";
}

void TestDataStore::badInputStoredAndFoundExactly()
{
    QFETCH(QString, room);
    QFETCH(QString, name);
    exec(QStringLiteral("insert into room(building_id,floor,room_no_id,room_no,card_num,room_status_code) "
                        "values(9,1,1,:r,0,'room_empty')"),
         {{QStringLiteral("r"), room}});
    m_dm->InsertIssueLog(QStringLiteral("1"), name, hexImage(1), QStringLiteral("0"), room, name,
                         QStringLiteral("0"), name, name, name, kStart, kStart);
    QCOMPARE(cardNum(room), 1);
    QVERIFY(m_dm->FindActiveCard(hexImage(1), 1));
    QCOMPARE(m_dm->Q_curr_issue_card.field(QStringLiteral("own_name")).toString(), name);
    QCOMPARE(m_dm->Q_curr_issue_card.field(QStringLiteral("room_no")).toString(), room);
    m_dm->OpenCurrentRoom(room);
    QCOMPARE(m_dm->Q_curr_room.recordCount(), 1);
    m_dm->OpenCurrentRoom(room.left(room.size() - 1) + u'%');
    QCOMPARE(m_dm->Q_curr_room.recordCount(), 0);
    m_dm->OpenRoomGuestCards(room);
    QCOMPARE(m_dm->Q_issue_card.recordCount(), 1);
    m_dm->WriteLog(name, 5);
    QCOMPARE(scalar(QStringLiteral("select remark from log")).toString(), name);
    m_dm->CancelCardRecord(hexImage(1), 1);
    QCOMPARE(cardNum(room), 0);
    QCOMPARE(roomStatus(room), QStringLiteral("room_empty"));

    // The login name reaches the operator query as a quoted literal.
    exec(QStringLiteral("insert into operator(name,true_name,power) values(:n,:n,1)"),
         {{QStringLiteral("n"), name}});
    m_dm->CurrentOperatorName = name;
    m_dm->ConnAfterConnect();
    QCOMPARE(m_dm->Q_operator.recordCount(), 1);
    QCOMPARE(m_dm->currentOperatorTrueName(), name);
}

void TestDataStore::injectionTextsChangeNoStatement()
{
    m_dm->CurrentOperatorName = QStringLiteral("x' or '1'='1");
    m_dm->ConnAfterConnect();
    QCOMPARE(m_dm->Q_operator.recordCount(), 0);
    m_dm->CurrentOperatorName = QStringLiteral("admin");
    m_dm->ConnAfterConnect();
    QCOMPARE(m_dm->CheckRight(QStringLiteral("0' or '1'='1")), 0);
    m_dm->OpenCurrentRoom(QStringLiteral("' or ''='"));
    QCOMPARE(m_dm->Q_curr_room.recordCount(), 0);
    m_dm->CancelRoomCards(QStringLiteral("x' or '1'='1"));
    QCOMPARE(scalar(QStringLiteral("select count(*) from room")).toInt(), 12);
}

void TestDataStore::overlongTextIsRefusedOnBothEngines()
{
    QVERIFY_THROWS_EXCEPTION(DatabaseError, m_dm->WriteLog(QString(251, QChar(u'x')), 4));
    m_dm->WriteLog(QString(250, QChar(u'好')), 4);
    QCOMPARE(scalar(QStringLiteral("select remark from log")).toString(), QString(250, QChar(u'好')));
    // Record keeping swallows it: no record, no count, no error.
    m_dm->InsertIssueLog(QStringLiteral("1"), QStringLiteral("admin"), hexImage(1), QStringLiteral("0"),
                         QStringLiteral("10101"), QStringLiteral("GuestCard"), QStringLiteral("0"), QString(),
                         QString(), QString(21, QChar(u'n')), kStart, kStart);
    QCOMPARE(scalar(QStringLiteral("select count(*) from issue_card_log")).toInt(), 0);
    QCOMPARE(cardNum(QStringLiteral("10101")), 0);
}

void TestDataStore::storedProcedure()
{
    issue(QStringLiteral("10101"), 1, hexImage(1));
    issue(QStringLiteral("10101"), 2, hexImage(2));
    issue(QStringLiteral("10102"), 3, hexImage(3), 2);
    setRoom(QStringLiteral("10101"), 0, QStringLiteral("room_used"));
    setRoom(QStringLiteral("10102"), 4, QStringLiteral("room_used"));
    QVERIFY(TDataM::RunStoredProcedure(m_db->connectionString(), QStringLiteral("Auto_count_cardnum")));
    QCOMPARE(cardNum(QStringLiteral("10101")), 2);
    QCOMPARE(cardNum(QStringLiteral("10102")), 0);
    QVERIFY(!TDataM::RunStoredProcedure(m_db->connectionString(), QStringLiteral("x(); drop table room")));
    QVERIFY(!TDataM::RunStoredProcedure(m_db->connectionString(), QStringLiteral("no_such_procedure")));
}

void TestDataStore::reconnectReselectsShiftedOperator()
{
    exec(QStringLiteral("insert into operator(name,true_name,power) values('night','Night Clerk',1)"));
    m_dm->CurrentOperatorName = QStringLiteral("night"); // a shift
    if (m_db->engine() == Engine::PostgreSQL) {
        const DbConnection::PgSettings s = TestDatabase::postgresSettings(m_db->databaseName());
        cfg::sys().dataSource = s.host + u',' + QString::number(s.port);
        cfg::sys().userId = s.user;
        cfg::sys().password = s.password;
        cfg::sys().initialCatalog = s.database;
        QVERIFY(m_dm->ReconnectToServer());
        QCOMPARE(m_dm->Conn.engine(), Engine::PostgreSQL);
    } else {
        // The desk's own file: reconnecting with its string re-runs the same after-connect work.
        m_dm->OpenConnection(m_db->connectionString());
        cfg::sys().dataSource = QStringLiteral("/nonexistent-socket-folder,1");
        QVERIFY(!m_dm->ReconnectToServer()); // no server: swallowed, Conn closed
        QVERIFY(!m_dm->Conn.isOpen());
        QVERIFY(!m_dm->Q_display.isOpen());
        QVERIFY_THROWS_EXCEPTION(DatabaseError, m_dm->CountRoomStatus());
        m_dm->OpenConnection(m_db->connectionString());
    }
    QCOMPARE(m_dm->currentOperatorTrueName(), QStringLiteral("Night Clerk"));
    m_dm->WriteLog(QStringLiteral("after"), 4);
    QCOMPARE(scalar(QStringLiteral("select operator from log")).toString(), QStringLiteral("Night Clerk"));
}

QTEST_GUILESS_MAIN(TestDataStore)
#include "TestDataStore.moc"

// The staff-card reading and cancelling screen with its display rules per card kind, and the
// clock-card update.

#include "ReadingDesk.h"
#include "frontdesk/CardReading.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>

namespace {

const QDateTime kStart(QDate(2024, 5, 4), QTime(14, 0));
const QDateTime kEnd(QDate(2024, 5, 7), QTime(12, 0));
const QString kStartText = QStringLiteral("2024-05-04 14:00:00");
const QString kEndText = QStringLiteral("2024-05-07 12:00:00");

const TextTables& T()
{
    return cfg::texts();
}

// Lookups of a tiny hotel: room "203" at 1/2/3, work area 2 "Lobby", and one active record.
CardReading::Lookups testLookups(bool recordWithLoss)
{
    CardReading::Lookups l;
    l.roomAt = [](quint8 b, quint8 f, quint8 i) {
        return b == 1 && f == 2 && i == 3 ? QStringLiteral("203") : QString();
    };
    l.activeRecord = [recordWithLoss](const QString&,
                                      qint64 serial) -> std::optional<CardReading::IssueRecord> {
        if (serial != 77)
            return std::nullopt;
        return CardReading::IssueRecord{QStringLiteral("Ann Lee"), QStringLiteral("X1"),
                                        QStringLiteral("vip"),     QStringLiteral("2024-05-04 13:55:00"),
                                        QStringLiteral("Admin"),   recordWithLoss};
    };
    l.workAreaName = [](quint8 area) { return area == 2 ? QStringLiteral("Lobby") : QString(); };
    return l;
}

QString field(const CardReading::CardView& v, const QString& name)
{
    const std::pair<const char*, QString> fields[] = {
        {"type", v.cardType},     {"building", v.building}, {"floor", v.floor}, {"room", v.room},
        {"area", v.area},         {"in", v.inTime},         {"out", v.outTime}, {"label1", v.label1},
        {"holder", v.holderName}, {"card", v.cardNo}};
    for (const auto& [n, value] : fields) {
        if (name == QLatin1String(n))
            return value;
    }
    return QStringLiteral("<no field %1>").arg(name);
}

} // namespace

class TestStaffCards : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void displayRules_data();
    void displayRules();
    void staffCardOnTheScreen();
    void readFailures_data();
    void readFailures();
    void resetOnTheCancelScreen();
    void resetOfAGuestCardRecountsItsRoom();
    void resetFailureKeepsTheRecord();
    void clockCardEnd_data();
    void clockCardEnd();
    void clockCardOnAWednesday();
    void clockCardScreenWithOtherCards();
    void clockCardRefusesACardSwappedIn();

private:
    std::unique_ptr<ReadingDesk> m_texts; // loads the installation's texts and card kinds
};

void TestStaffCards::initTestCase()
{
    m_texts = std::make_unique<ReadingDesk>();
}

// Each row: the card (kind, flags, address, door byte, area, image bytes 3..7 for kind 21,
// serial), then the expected fields as "name=value" (fields not named must be as described by
// "rest": the full default for a card with that address).
void TestStaffCards::displayRules_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QList<int>>("address"); // building, floor, room index, door byte, work area
    QTest::addColumn<QList<int>>("bytes3to7");
    QTest::addColumn<qint64>("serial");
    QTest::addColumn<bool>("loss");
    QTest::addColumn<QStringList>("expected");

    const QString guest = cfg::cardTypes()[0].card_name;
    const QList<int> room203{1, 2, 3, 0, 0};
    const QList<int> noTimes{0, 0, 0, 0, 0};
    auto both = [](const QString& in, const QString& out) { return QStringList{"in=" + in, "out=" + out}; };

    QTest::newRow("guest with record") << 0 << 0x20 << room203 << noTimes << qint64(77) << false
                                       << (QStringList{"type=" + guest, "building=1", "floor=2", "room=203",
                                                       "holder=Ann Lee", "label1=", "card=77"} +
                                           both(kStartText, kEndText));
    QTest::newRow("guest, one extra door")
        << 0 << 0x20 << QList<int>{1, 2, 3, 0x04, 0} << noTimes << qint64(5) << false
        << QStringList{"label1=" + T().label(117), "holder="};
    QTest::newRow("guest, two extra doors") << 0 << 0x20 << QList<int>{1, 2, 3, 0x05, 0} << noTimes
                                            << qint64(5) << false << QStringList{"label1="};
    QTest::newRow("lost-card replacement")
        << 0 << 0xA0 << room203 << noTimes << qint64(77) << true << QStringList{"type=" + T().label(252)};
    QTest::newRow("address 255 is none") << 1 << 0 << QList<int>{255, 255, 3, 0, 255} << noTimes << qint64(5)
                                         << false << QStringList{"building=", "floor=", "area=", "room="};
    QTest::newRow("cleaning card") << 4 << 0 << QList<int>{1, 2, 3, 0, 2} << noTimes << qint64(5) << false
                                   << (QStringList{"room=", "area=Lobby"} + both(kStartText, kEndText));
    QTest::newRow("cleaning card, unknown area")
        << 4 << 0 << QList<int>{0, 0, 0, 0, 9} << noTimes << qint64(5) << false << QStringList{"area="};
    QTest::newRow("setting card, one room")
        << 8 << 0 << QList<int>{1, 2, 3, 0, 2} << noTimes << qint64(5) << false
        << (QStringList{"room=203", "area=Lobby", "label1="} + both("", ""));
    QTest::newRow("setting card, whole floor")
        << 8 << 0x08 << QList<int>{1, 2, 0, 0, 2} << noTimes << qint64(5) << false
        << QStringList{"label1=" + T().label(113), "area=2"};
    QTest::newRow("setting card, whole building")
        << 8 << 0x08 << QList<int>{1, 0, 0, 0, 0} << noTimes << qint64(5) << false
        << QStringList{"label1=" + T().label(114)};
    QTest::newRow("setting card, door option wins")
        << 8 << 0x08 << QList<int>{1, 0, 0, 0x02, 0} << noTimes << qint64(5) << false
        << QStringList{"label1=" + T().label(116)};
    QTest::newRow("setting card, bit 4") << 8 << 0x18 << QList<int>{1, 2, 0, 0, 2} << noTimes << qint64(5)
                                         << false << QStringList{"label1=", "area=2"};
    QTest::newRow("time-window setting card")
        << 8 << 16 << QList<int>{1, 2, 3, 0, 2} << noTimes << qint64(5) << false
        << (QStringList{"building=", "floor=", "area=", "label1="} + both("", ""));
    QTest::newRow("clock card") << 10 << 0 << QList<int>{0, 0, 0, 0, 0} << noTimes << qint64(5) << false
                                << both(kStartText, "");
    QTest::newRow("authorization card")
        << 12 << 0 << QList<int>{0, 0, 0, 0, 0} << noTimes << qint64(5) << false << both("", "");
    QTest::newRow("gate card") << 14 << 0 << QList<int>{1, 3, 7, 0, 2} << noTimes << qint64(5) << false
                               << QStringList{"floor=3~7", "room=", "building=1"};
    QTest::newRow("room power card") << 113 << 0x20 << room203 << noTimes << qint64(5) << false
                                     << (QStringList{"type=Guest Power ", "room=203"} + both("", ""));
    QTest::newRow("floor power card") << 114 << 0 << room203 << noTimes << qint64(5) << false
                                      << (QStringList{"type=Floor Power", "room="} + both("", ""));
    QTest::newRow("building power card") << 115 << 0 << room203 << noTimes << qint64(5) << false
                                         << (QStringList{"type=Build Power", "room="} + both("", ""));
    QTest::newRow("time-period card")
        << 21 << 0 << room203 << QList<int>{0, 0x08, 0x30, 0x17, 0x45} << qint64(5) << false
        << (QStringList{"type=" + T().label(250), "room="} + both("08:30", "17:45"));
    QTest::newRow("time-period card, cancel")
        << 21 << 0 << room203 << QList<int>{1, 0x08, 0x30, 0x17, 0x45} << qint64(5) << false
        << (QStringList{"type=" + T().label(251), "room="} + both("", ""));
}

void TestStaffCards::displayRules()
{
    QFETCH(int, kind);
    QFETCH(int, flags);
    QFETCH(QList<int>, address);
    QFETCH(QList<int>, bytes3to7);
    QFETCH(qint64, serial);
    QFETCH(bool, loss);
    QFETCH(QStringList, expected);

    TCard card(TForm_Com::instance());
    card.kind = kind;
    card.flags = quint8(flags);
    card.building = quint8(address[0]);
    card.floor = quint8(address[1]);
    card.roomIndex = quint8(address[2]);
    card.doorByte = quint8(address[3]);
    card.workArea = quint8(address[4]);
    for (int i = 0; i < 5; ++i)
        card.D(3 + i) = quint8(bytes3to7[i]);
    card.start = kStart;
    card.end = kEnd;
    card.serial = serial;
    const CardReading::CardView view = CardReading::describeCard(card, testLookups(loss));
    for (const QString& e : expected) {
        const QString name = e.section(u'=', 0, 0);
        QCOMPARE(field(view, name), e.section(u'=', 1));
    }
    QCOMPARE(view.loss, loss);
}

void TestStaffCards::staffCardOnTheScreen()
{
    ReadingDesk d;
    const auto card = d.issueCard(0x21222324, 4, QString(), kStart, kEnd, [](TCard& c) {
        c.workArea = 2;
        c.EncodeRoom();
    });
    d.console->RunCommand(QStringLiteral("M_read_cards"));
    Tform_read_allcard& s = *d.allcard;
    QVERIFY(s.isVisible());
    QCOMPARE(s.windowTitle(), T().form(25));
    QVERIFY(!s.cancelMode());
    QVERIFY(!d.console->isEnabled());
    QVERIFY(!d.console->Timer3.isActive());
    s.Timer1Timer();
    QCOMPARE(s.T_card_type->text(), cfg::cardTypes()[4].card_name);
    QCOMPARE(s.T_card_no->text(), QString::number(card.serial));
    QCOMPARE(s.T_area->text(), QStringLiteral("Housekeeping area 2"));
    QCOMPARE(s.T_intime->text(), kStartText);
    QCOMPARE(s.T_outtime->text(), kEndText);
    QCOMPARE(s.T_holder_name->text(), QStringLiteral("Ann Lee"));
    QCOMPARE(s.T_ID->text(), QStringLiteral("X1234567"));
    QCOMPARE(s.T_remark->text(), QStringLiteral("late arrival"));
    QCOMPARE(s.T_Pub_name->text(), d.operatorName());
    QCOMPARE(s.T_Pub_time->text(), QStringLiteral("2024-05-06 14:30:00"));
    QVERIFY(!s.B_cancel->isEnabled()); // reading only
    QVERIFY(panel(s.StatusBar1, 0).isEmpty());
    ReadingDesk::grab(&s, QStringLiteral("read_allcard"));

    s.B_exit->click();
    QVERIFY(!s.isVisible());
    QVERIFY(d.console->isEnabled());
    QVERIFY(d.console->Timer3.isActive());
    QVERIFY(!TForm_Com::instance().isOpen());
    QVERIFY(s.T_card_no->text().isEmpty());
}

void TestStaffCards::readFailures_data()
{
    QTest::addColumn<QString>("card");
    QTest::addColumn<QString>("panelText");
    QTest::addColumn<bool>("serialShown");
    QTest::newRow("no card") << "none" << T().except(49) << false;
    QTest::newRow("blank") << "blank" << T().except(54) << false;
    QTest::newRow("another system") << "foreign" << T().except(50) << false;
    QTest::newRow("port closed") << "port" << T().except(60) << false;
    QTest::newRow("factory card") << "factory" << QString() << true; // result 3: the serial only
}

void TestStaffCards::readFailures()
{
    QFETCH(QString, card);
    QFETCH(QString, panelText);
    QFETCH(bool, serialShown);
    ReadingDesk d;
    if (card == "blank" || card == "foreign")
        d.placeBlankCard(0x31323334);
    if (card == "foreign")
        d.engine.card()->setRawBlock(cfg::sys().sector * 4, QByteArray(16, '\x5A'));
    if (card == "factory")
        d.placeFactoryCard(0x31323334);
    if (card == "port")
        d.breakPort();
    d.console->RunCommand(QStringLiteral("M_cancel_cards"));
    Tform_read_allcard& s = *d.allcard;
    QVERIFY(s.cancelMode());
    if (card == "port")
        QCOMPARE(panel(s.StatusBar1, 0), T().except(48));
    s.Timer1Timer();
    QCOMPARE(panel(s.StatusBar1, 0), panelText);
    QCOMPARE(s.T_card_no->text(), serialShown ? QString::number(0x31323334) : QString());
    QVERIFY(s.T_card_type->text().isEmpty());
    QVERIFY(s.T_intime->text().isEmpty());
    QCOMPARE(s.B_cancel->isEnabled(), serialShown);
}

void TestStaffCards::resetOnTheCancelScreen()
{
    ReadingDesk d;
    const auto card = d.issueCard(0x21222324, 1, QString(), kStart, kEnd);
    const int logRows = d.count(QStringLiteral("log"));
    d.console->RunCommand(QStringLiteral("M_cancel_cards"));
    Tform_read_allcard& s = *d.allcard;
    QCOMPARE(s.windowTitle(), T().form(26));
    s.Timer1Timer();
    QVERIFY(s.B_cancel->isEnabled());
    ReadingDesk::grab(&s, QStringLiteral("cancel_allcard"));
    s.B_cancelClick();
    QCOMPARE(MessageBox::shownCount(), 0);

    QCOMPARE(d.cardImageHex(), QString(64, u'F'));
    // The trailer is back to the factory Key A.
    const QByteArray trailer = d.engine.card()->rawBlock(cfg::sys().sector * 4 + 3);
    QCOMPARE(trailer.left(6), CardKeys::factoryKey());
    QCOMPARE(d.recordField(card, "card_status_code"), cfg::codes().GC_ISCANCEL);
    QCOMPARE(d.count(QStringLiteral("log")), logRows); // no log entry for this
    QVERIFY(s.T_card_no->text().isEmpty());
    QVERIFY(!s.B_cancel->isEnabled());
    QVERIFY(s.Timer1.isActive());

    // The issue screens see a blank card.
    s.Timer1Timer();
    QCOMPARE(panel(s.StatusBar1, 0), T().except(54));
    s.close();
    QCOMPARE(Card().ReadCardOwnPort(), 7);
}

void TestStaffCards::resetOfAGuestCardRecountsItsRoom()
{
    ReadingDesk d;
    const QString room = QStringLiteral("10105");
    const auto card = d.issueCard(0x21222324, 0, room, kStart, kEnd);
    QCOMPARE(d.roomCards(room), 1);
    d.console->RunCommand(QStringLiteral("M_cancel_cards"));
    Tform_read_allcard& s = *d.allcard;
    s.Timer1Timer();
    QCOMPARE(s.T_room->text(), room);
    s.B_cancelClick();
    QCOMPARE(d.recordField(card, "card_status_code"), cfg::codes().GC_ISCANCEL);
    QCOMPARE(d.roomCards(room), 0);
    QCOMPARE(d.roomStatus(room), cfg::codes().room_empty);
}

void TestStaffCards::resetFailureKeepsTheRecord()
{
    ReadingDesk d;
    const auto card = d.issueCard(0x21222324, 1, QString(), kStart, kEnd);
    d.console->RunCommand(QStringLiteral("M_cancel_cards"));
    Tform_read_allcard& s = *d.allcard;
    s.Timer1Timer();
    d.removeCard();
    s.B_cancelClick();
    QCOMPARE(MessageBox::lastText(), T().except(49));
    QCOMPARE(d.recordField(card, "card_status_code"), cfg::codes().GC_AVAILABLE);
    QVERIFY(s.B_cancel->isEnabled()); // the card is still shown; the operator may try again
    QVERIFY(s.Timer1.isActive());
}

void TestStaffCards::clockCardEnd_data()
{
    QTest::addColumn<QDate>("day");
    QTest::addColumn<int>("endYear");
    for (int d = 0; d < 7; ++d) {
        const QDate day = QDate(2024, 5, 6).addDays(d); // Monday 6 May 2024 onwards
        QTest::newRow(qPrintable(day.toString(QStringLiteral("dddd")))) << day << 2001 + d;
    }
}

void TestStaffCards::clockCardEnd()
{
    QFETCH(QDate, day);
    QFETCH(int, endYear);
    QCOMPARE(CardReading::clockCardEnd(QDateTime(day, QTime(23, 59))),
             QDateTime(QDate(endYear, 1, 1), QTime(0, 0)));
}

void TestStaffCards::clockCardOnAWednesday()
{
    ReadingDesk d;
    const auto old = d.issueCard(0x41424344, 10, QString(), QDateTime(QDate(2024, 1, 2), QTime(8, 0)),
                                 QDateTime(QDate(2002, 1, 1), QTime(0, 0)), [](TCard& c) { c.D(28) = 1; });
    const int records = d.count(QStringLiteral("issue_card_log"));
    const int logRows = d.count(QStringLiteral("log"));
    d.console->RunCommand(QStringLiteral("M_update_timecard"));
    Tform_update_timecard& s = *d.timecard;
    QVERIFY(s.isVisible());
    QCOMPARE(s.windowTitle(), T().form(28));
    QVERIFY(!d.console->isEnabled());
    QCOMPARE(s.T_now->text(), QStringLiteral("2024-05-06 14:30:00"));
    QVERIFY(!s.B_update->isEnabled());
    s.Timer1Timer();
    QCOMPARE(s.T_old_time->text(), QStringLiteral("2024-01-02 08:00:00"));
    QCOMPARE(s.T_card_no->text(), QString::number(old.serial));
    QVERIFY(s.B_update->isEnabled());
    ReadingDesk::grab(&s, QStringLiteral("update_timecard"));

    s.T_new_date->setDate(QDate(2024, 5, 8)); // a Wednesday
    s.T_new_time->setTime(QTime(9, 15));
    s.B_updateClick();
    QCOMPARE(MessageBox::shownCount(), 0);
    QCOMPARE(panel(s.StatusBar1, 0), QStringLiteral("时钟修改成功"));
    QCOMPARE(d.cardByte(1), quint8(0xA0));
    const int expected[] = {24, 5, 8, 9, 15, 3, 1, 1, 0, 0};
    for (int i = 0; i < 10; ++i)
        QCOMPARE(d.cardByte(3 + i), quint8(expected[i]));
    QCOMPARE(d.cardByte(28), quint8(1)); // the rest of the image is the card's own
    QCOMPARE(d.count(QStringLiteral("issue_card_log")), records);
    QCOMPARE(d.count(QStringLiteral("log")), logRows);
    QVERIFY(s.Timer1.isActive());
    QVERIFY(!s.B_update->isEnabled());

    s.Timer1Timer();
    QCOMPARE(s.T_old_time->text(), QStringLiteral("2024-05-08 09:15:00"));
    s.B_exit->click();
    QVERIFY(d.console->isEnabled());
    QVERIFY(!TForm_Com::instance().isOpen());
}

void TestStaffCards::clockCardScreenWithOtherCards()
{
    ReadingDesk d;
    d.issueCard(0x41424344, 0, QStringLiteral("10105"), kStart, kEnd);
    d.console->RunCommand(QStringLiteral("M_update_timecard"));
    Tform_update_timecard& s = *d.timecard;
    s.Timer1Timer();
    QCOMPARE(panel(s.StatusBar1, 0), cfg::cardTypes()[0].card_name);
    QVERIFY(!s.B_update->isEnabled());
    QVERIFY(s.T_card_no->text().isEmpty());

    d.removeCard();
    s.T_new_date->setDate(QDate(2030, 1, 1));
    s.Timer1Timer();
    QCOMPARE(panel(s.StatusBar1, 0), T().except(49));
    QCOMPARE(s.T_new_date->date(), QDate(2024, 5, 6)); // cleared to now

    // Writing without a card fails, and the screen waits for the operator to try again.
    s.B_updateClick();
    QCOMPARE(panel(s.StatusBar1, 0), QStringLiteral("时钟修改失败"));
    QCOMPARE(MessageBox::lastText(), T().except(49));
    QVERIFY(!s.Timer1.isActive());
}

void TestStaffCards::clockCardRefusesACardSwappedIn()
{
    ReadingDesk d;
    const auto guest = d.issueCard(0x51525354, 0, QStringLiteral("10105"), kStart, kEnd);
    MifareClassic guestCard = d.takeCard();
    d.issueCard(0x41424344, 10, QString(), kStart, QDateTime(QDate(2001, 1, 1), QTime(0, 0)));
    d.console->RunCommand(QStringLiteral("M_update_timecard"));
    Tform_update_timecard& s = *d.timecard;
    s.Timer1Timer();
    QVERIFY(s.B_update->isEnabled());
    d.removeCard();
    d.putBack(guestCard);
    s.B_updateClick();
    QCOMPARE(panel(s.StatusBar1, 0), QStringLiteral("时钟修改失败"));
    QCOMPARE(MessageBox::lastText(), cfg::cardTypes()[0].card_name);
    QCOMPARE(d.cardImageHex(), guest.imageHex);
}

QTEST_MAIN(TestStaffCards)
#include "TestStaffCards.moc"

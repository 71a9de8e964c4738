// The guest-card reading screen in its four modes, and cancellation without the card, driven
// through the console's commands against the emulated encoder.

#include "ReadingDesk.h"
#include "frontdesk/CardReading.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimeEdit>
#include <future>

namespace {

const QDateTime kCheckin(QDate(2024, 5, 4), QTime(14, 0));
const QDateTime kCheckout(QDate(2024, 5, 7), QTime(12, 0));
const QString kRoomA = QStringLiteral("10105"); // building 1, floor 1, room index 5
const QString kRoomB = QStringLiteral("10206"); // building 1, floor 2, room index 6

const TextTables& T()
{
    return cfg::texts();
}

} // namespace

class TestCardReading : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readScreenShowsCardAndRecord();
    void readScreenRefuses_data();
    void readScreenRefuses();
    void modeOffersItsAction_data();
    void modeOffersItsAction();
    void roomChangeOfTheOnlyCard();
    void roomChangeRefused_data();
    void roomChangeRefused();
    void roomChangeHoldsTheCriticalSection();
    void failedWriteLeavesTheDatabase();
    void auxiliarySectorFailureIsNoSuccess();
    void stayChange();
    void stayChangeActsOnTheCardLyingThere();
    void cancelOnTheScreen();
    void cancelWithoutCardTakesTheSelectedRecord();
    void cancelWithoutCardOfARepairRoomsLastCard();
    void cancelWithoutCardOfAnEmptyList();
};

void TestCardReading::readScreenShowsCardAndRecord()
{
    ReadingDesk d;
    const auto card = d.issueGuestCard(0x11223344, kRoomA, kCheckin, kCheckout, true);
    QCOMPARE(d.readcard->Timer1.interval(), ReadingDesk::kNever);
    d.console->RunCommand(QStringLiteral("M_read_card"));
    TForm_readcard& s = *d.readcard;
    QVERIFY(s.isVisible());
    QCOMPARE(s.windowTitle(), T().form(3));
    QVERIFY(!d.console->isEnabled());
    QVERIFY(s.isEnabled());
    QVERIFY(!d.console->Timer3.isActive());
    QVERIFY(s.Timer1.isActive());
    QVERIFY(TForm_Com::instance().isOpen());

    s.Timer1Timer();
    QCOMPARE(s.T_room_no->text(), kRoomA);
    QCOMPARE(s.T_day_num->text(), QStringLiteral("3"));
    QCOMPARE(s.T_in_date->date(), kCheckin.date());
    QCOMPARE(s.T_in_time->time(), kCheckin.time());
    QCOMPARE(s.T_out_date->date(), kCheckout.date());
    QCOMPARE(s.T_out_time->time(), kCheckout.time());
    QCOMPARE(s.T_name->text(), QStringLiteral("Ann Lee"));
    QCOMPARE(s.T_memo->text(), QStringLiteral("late arrival"));
    QCOMPARE(s.T_ID->text(), QStringLiteral("X1234567"));
    QVERIFY(s.C_loss->isChecked());
    QCOMPARE(s.T_operator_name->text(), d.operatorName());
    QCOMPARE(s.T_pub_time->text(), QStringLiteral("2024-05-06 14:30:00"));
    QCOMPARE(panel(s.StatusBar1, 0), QStringLiteral("Guest Card"));
    QCOMPARE(panel(s.StatusBar1, 2), T().label(26) + QStringLiteral(" : ") + QString::number(card.serial));
    for (QPushButton* b : {s.B_cancel, s.B_chang_room, s.B_chang_out})
        QVERIFY(!b->isEnabled());
    QVERIFY(s.Timer1.isActive()); // reading follows the encoder
    ReadingDesk::grab(&s, QStringLiteral("readcard"));

    s.close();
    QVERIFY(d.console->isEnabled());
    QVERIFY(d.console->Timer3.isActive());
    QVERIFY(!s.Timer1.isActive());
    QVERIFY(!TForm_Com::instance().isOpen());
    QVERIFY(s.T_room_no->text().isEmpty());
}

void TestCardReading::readScreenRefuses_data()
{
    QTest::addColumn<QString>("card");
    QTest::addColumn<int>("except");
    QTest::newRow("no card") << "none" << 49;
    QTest::newRow("blank") << "blank" << 54;
    QTest::newRow("another system") << "foreign" << 50;
    QTest::newRow("cancelled earlier") << "cancelled" << 8;
    QTest::newRow("staff card") << "staff" << 40;
}

void TestCardReading::readScreenRefuses()
{
    QFETCH(QString, card);
    QFETCH(int, except);
    ReadingDesk d;
    if (card == "blank") {
        d.placeBlankCard(0x01020304);
    } else if (card == "foreign") {
        d.placeBlankCard(0x01020304);
        // The signature block of another card: it does not match this serial.
        d.engine.card()->setRawBlock(cfg::sys().sector * 4, QByteArray(16, '\x5A'));
    } else if (card == "cancelled") {
        const auto issued = d.issueGuestCard(0x01020304, kRoomA, kCheckin, kCheckout);
        DataM().CancelCardRecord(issued.imageHex, issued.serial);
    } else if (card == "staff") {
        d.issueCard(0x01020304, 1, QString(), kCheckin, kCheckout);
    }
    d.console->RunCommand(QStringLiteral("M_cancel_card"));
    TForm_readcard& s = *d.readcard;
    s.Timer1Timer();
    QCOMPARE(panel(s.StatusBar1, 0), T().except(except));
    QCOMPARE(panel(s.StatusBar1, 1), except == 40 ? cfg::cardTypes()[1].card_name : QString());
    QVERIFY(s.T_room_no->text().isEmpty());
    QVERIFY(s.T_day_num->text().isEmpty());
    QVERIFY(!s.B_cancel->isEnabled());
    QVERIFY(s.Timer1.isActive());
}

void TestCardReading::modeOffersItsAction_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("enabled"); // widgets the mode enables once a card is shown
    QTest::addColumn<bool>("polling");
    QTest::newRow("read") << "M_read_card" << T().form(3) << "" << true;
    QTest::newRow("room change") << "M_chang_room" << T().label(27) << "B_chang_room T_room_no" << false;
    QTest::newRow("stay change") << "M_chang_checkout" << T().label(28) << "B_chang_out T_out_date T_out_time"
                                 << false;
    QTest::newRow("cancel") << "M_cancel_card" << T().form(5) << "B_cancel" << true;
}

void TestCardReading::modeOffersItsAction()
{
    QFETCH(QString, command);
    QFETCH(QString, caption);
    QFETCH(QString, enabled);
    QFETCH(bool, polling);
    ReadingDesk d;
    d.issueGuestCard(0x0A0B0C0D, kRoomA, kCheckin, kCheckout);
    d.console->T_room_no->setText(kRoomB);
    d.console->RunCommand(command);
    TForm_readcard& s = *d.readcard;
    QCOMPARE(s.windowTitle(), caption);
    QVERIFY(d.console->T_room_no->text().isEmpty());
    s.Timer1Timer();
    const QStringList on = enabled.split(u' ', Qt::SkipEmptyParts);
    for (const char* name : {"B_cancel", "B_chang_room", "B_chang_out", "T_room_no", "T_out_time"}) {
        auto* w = s.findChild<QWidget*>(QLatin1String(name));
        QVERIFY2(w, name);
        QCOMPARE(w->isEnabled(), on.contains(QLatin1String(name)));
    }
    QCOMPARE(s.Timer1.isActive(), polling);

    // Without a card the screen shows entry 49 and offers nothing.
    d.removeCard();
    s.Timer1Timer();
    QCOMPARE(panel(s.StatusBar1, 0), T().except(49));
    for (const char* name : {"B_cancel", "B_chang_room", "B_chang_out", "T_room_no"})
        QVERIFY(!s.findChild<QWidget*>(QLatin1String(name))->isEnabled());
}

void TestCardReading::roomChangeOfTheOnlyCard()
{
    ReadingDesk d;
    const auto card = d.issueGuestCard(0x0A0B0C0D, kRoomA, kCheckin, kCheckout);
    QCOMPARE(d.roomCards(kRoomA), 1);
    QCOMPARE(d.roomStatus(kRoomA), cfg::codes().room_used);
    d.clock.setNow(QDateTime(QDate(2024, 5, 6), QTime(16, 0)));

    d.console->RunCommand(QStringLiteral("M_chang_room"));
    TForm_readcard& s = *d.readcard;
    s.Timer1Timer();
    QCOMPARE(s.T_room_no->text(), kRoomA);
    ReadingDesk::grab(&s, QStringLiteral("readcard-roomchange"));
    s.T_room_no->setText(kRoomB);
    s.B_chang_roomClick();
    QCOMPARE(MessageBox::shownCount(), 0);

    // The card now opens B: building 1, floor 2, room index 6; validity unchanged.
    QCOMPARE(d.cardByte(13), quint8(1));
    QCOMPARE(d.cardByte(14), quint8(2));
    QCOMPARE(d.cardByte(15), quint8(6));
    QCOMPARE(d.cardByte(3), quint8(24));
    QCOMPARE(d.cardByte(5), quint8(4));
    QCOMPARE(d.cardByte(10), quint8(7));
    const QString written = d.cardImageHex();

    QCOMPARE(d.recordField(card, "room_no"), kRoomB);
    QCOMPARE(d.recordField(card, "card_date_hex"), written);
    QCOMPARE(d.recordField(card, "card_status_code"), cfg::codes().GC_AVAILABLE);
    QCOMPARE(d.recordField(card, "publish_operator"), d.operatorName());
    const QDateTime published = d.recordTime(card, "publish_datetime"); // when the card was written
    QVERIFY(published >= QDateTime(QDate(2024, 5, 6), QTime(16, 0)));
    QVERIFY(published <= QDateTime(QDate(2024, 5, 6), QTime(16, 0, 5)));
    QCOMPARE(d.recordTime(card, "checkin_datetime"), kCheckin);
    QCOMPARE(d.recordTime(card, "checkout_datetime"), kCheckout);

    QCOMPARE(d.roomCards(kRoomA), 0);
    QCOMPARE(d.roomStatus(kRoomA), cfg::codes().room_empty);
    QCOMPARE(d.roomCards(kRoomB), 1);
    QCOMPARE(d.roomStatus(kRoomB), cfg::codes().room_used);
    QCOMPARE(d.logRows(2), 1);
    QCOMPARE(d.lastLogRemark(), T().log(18));

    // The screen is cleared and follows the encoder again; the card reads as B's.
    QVERIFY(s.Timer1.isActive());
    QVERIFY(!s.B_chang_room->isEnabled());
    s.Timer1Timer();
    QCOMPARE(s.T_room_no->text(), kRoomB);
}

void TestCardReading::roomChangeRefused_data()
{
    QTest::addColumn<QString>("newRoom");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("except");
    QTest::newRow("room full") << kRoomB << "full" << 16;
    QTest::newRow("unknown room") << "99999"
                                  << "" << 17;
    QTest::newRow("no room") << ""
                             << "" << 13;
    QTest::newRow("right refused") << kRoomB << "no right" << 81;
    QTest::newRow("card taken away") << kRoomB << "removed" << 49;
}

void TestCardReading::roomChangeRefused()
{
    QFETCH(QString, newRoom);
    QFETCH(QString, setup);
    QFETCH(int, except);
    ReadingDesk d;
    const auto card = d.issueGuestCard(0x0A0B0C0D, kRoomA, kCheckin, kCheckout);
    if (setup == "full")
        d.exec(QStringLiteral("update room set card_num=%1 where room_no='%2'")
                   .arg(cfg::sys().max_card)
                   .arg(kRoomB));

    d.console->RunCommand(QStringLiteral("M_chang_room"));
    TForm_readcard& s = *d.readcard;
    s.Timer1Timer();
    QVERIFY(s.B_chang_room->isEnabled());
    if (setup == "no right") // taken away while the screen is open
        d.exec(QStringLiteral("update group_right set the_right=0 where code='010401'"));
    if (setup == "removed")
        d.removeCard();
    s.T_room_no->setText(newRoom);
    s.B_chang_roomClick();

    QCOMPARE(MessageBox::lastText(), T().except(except));
    QVERIFY(!s.B_chang_room->isEnabled());
    QVERIFY(s.Timer1.isActive()); // back to reading, which offers the change again
    if (setup != "removed")
        QCOMPARE(d.cardImageHex(), card.imageHex);
    QCOMPARE(d.recordField(card, "room_no"), kRoomA);
    QCOMPARE(d.recordField(card, "card_date_hex"), card.imageHex);
    QCOMPARE(d.roomCards(kRoomA), 1);
    QCOMPARE(d.logRows(2), 0);
    QVERIFY(cfg::criticalSection().tryLock());
    cfg::criticalSection().unlock();
}

void TestCardReading::roomChangeHoldsTheCriticalSection()
{
    ReadingDesk d;
    d.issueGuestCard(0x0A0B0C0D, kRoomA, kCheckin, kCheckout);
    d.console->RunCommand(QStringLiteral("M_chang_room"));
    TForm_readcard& s = *d.readcard;
    s.Timer1Timer();
    s.T_room_no->setText(kRoomB);
    // Another thread looks at the section while the change waits between reading and writing.
    std::vector<bool> freeDuringChange;
    d.clock.callLater(200, [&] {
        auto probe = std::async(std::launch::async, [] {
            const bool free = cfg::criticalSection().tryLock();
            if (free)
                cfg::criticalSection().unlock();
            return free;
        });
        freeDuringChange.push_back(probe.get());
    });
    s.B_chang_roomClick();
    QCOMPARE(freeDuringChange, std::vector<bool>{false});
    QCOMPARE(d.roomCards(kRoomB), 1);
    auto after = std::async(std::launch::async, [] {
        const bool free = cfg::criticalSection().tryLock();
        if (free)
            cfg::criticalSection().unlock();
        return free;
    });
    QVERIFY(after.get());
}

void TestCardReading::failedWriteLeavesTheDatabase()
{
    ReadingDesk d;
    const auto card = d.issueGuestCard(0x0A0B0C0D, kRoomA, kCheckin, kCheckout);
    d.console->RunCommand(QStringLiteral("M_chang_room"));
    TForm_readcard& s = *d.readcard;
    s.Timer1Timer();
    // How long a read takes on this line, so the card can leave between the re-read and the write.
    const qint64 before = d.clock.ticks();
    QCOMPARE(Card().ReadCard(), 0);
    const int readMs = int(d.clock.ticks() - before);
    MifareClassic pocket = *d.engine.card();
    d.clock.callLater(readMs + 150, [&] { d.removeCard(); });
    s.T_room_no->setText(kRoomB);
    s.B_chang_roomClick();

    QCOMPARE(MessageBox::lastText(), T().except(49));
    QCOMPARE(d.recordField(card, "room_no"), kRoomA);
    QCOMPARE(d.roomCards(kRoomA), 1);
    QCOMPARE(d.roomCards(kRoomB), 0);
    QCOMPARE(d.logRows(2), 0);
    d.putBack(pocket);
    QCOMPARE(d.cardImageHex(), card.imageHex);
}

void TestCardReading::auxiliarySectorFailureIsNoSuccess()
{
    ReadingDesk d;
    const auto card = d.issueGuestCard(0x0A0B0C0D, kRoomA, kCheckin, kCheckout);
    d.console->RunCommand(QStringLiteral("M_chang_room"));
    TForm_readcard& s = *d.readcard;
    s.Timer1Timer();
    // The auxiliary sector of this card was never prepared: its part of the write fails (11) and
    // the card image is not written at all.
    cfg::sys().ishdxk = 1;
    cfg::sys().hdsq = 2;
    s.T_room_no->setText(kRoomB);
    s.B_chang_roomClick();
    cfg::sys().ishdxk = 0;

    QCOMPARE(MessageBox::lastText(), T().except(65));
    QCOMPARE(d.cardImageHex(), card.imageHex);
    QCOMPARE(d.recordField(card, "room_no"), kRoomA);
    QCOMPARE(d.recordField(card, "card_date_hex"), card.imageHex);
    QCOMPARE(d.roomCards(kRoomA), 1);
    QCOMPARE(d.roomCards(kRoomB), 0);
    QCOMPARE(d.logRows(2), 0);
}

void TestCardReading::stayChange()
{
    ReadingDesk d;
    const auto card = d.issueGuestCard(0x0A0B0C0D, kRoomA, kCheckin, kCheckout);
    d.clock.setNow(QDateTime(QDate(2024, 5, 6), QTime(14, 30, 40)));
    d.console->RunCommand(QStringLiteral("M_chang_checkout"));
    TForm_readcard& s = *d.readcard;
    s.Timer1Timer();
    QVERIFY(s.B_chang_out->isEnabled());
    s.T_out_date->setDate(QDate(2024, 5, 9));
    s.T_out_time->setTime(QTime(11, 0));
    s.B_chang_outClick();
    QCOMPARE(MessageBox::shownCount(), 0);

    // Start: now minus five minutes (seconds are not on the card); end: the new check-out.
    const int expected[] = {24, 5, 6, 14, 25, 24, 5, 9, 11, 0};
    for (int i = 0; i < 10; ++i)
        QCOMPARE(d.cardByte(3 + i), quint8(expected[i]));
    QCOMPARE(d.cardByte(15), quint8(5)); // still room A
    QCOMPARE(d.recordField(card, "card_date_hex"), d.cardImageHex());
    QCOMPARE(d.recordTime(card, "checkout_datetime"), QDateTime(QDate(2024, 5, 9), QTime(11, 0)));
    QCOMPARE(d.recordTime(card, "checkin_datetime"), kCheckin);
    QCOMPARE(d.recordField(card, "room_no"), kRoomA);
    QCOMPARE(d.roomCards(kRoomA), 1);
    QCOMPARE(d.logRows(2), 1);
    QCOMPARE(d.lastLogRemark(), T().log(18));
    QVERIFY(s.Timer1.isActive());
    QVERIFY(!s.B_chang_out->isEnabled()); // nothing shown, nothing offered
}

void TestCardReading::stayChangeActsOnTheCardLyingThere()
{
    ReadingDesk d;
    const auto first = d.issueGuestCard(0x0A0B0C0D, kRoomA, kCheckin, kCheckout);
    MifareClassic firstCard = d.takeCard();
    const auto second = d.issueGuestCard(0x0E0F1011, kRoomB, kCheckin, kCheckout);
    MifareClassic secondCard = d.takeCard();

    d.putBack(firstCard);
    d.console->RunCommand(QStringLiteral("M_chang_checkout"));
    TForm_readcard& s = *d.readcard;
    s.Timer1Timer();
    QCOMPARE(s.T_room_no->text(), kRoomA);
    // The guest hands over another card before the operator confirms.
    d.removeCard();
    d.putBack(secondCard);
    s.T_out_date->setDate(QDate(2024, 5, 9));
    s.B_chang_outClick();

    QCOMPARE(d.recordField(second, "card_date_hex"), d.cardImageHex());
    QCOMPARE(d.recordTime(second, "checkout_datetime").date(), QDate(2024, 5, 9));
    QCOMPARE(d.recordField(first, "card_date_hex"), first.imageHex);
    QCOMPARE(d.recordTime(first, "checkout_datetime"), kCheckout);
}

void TestCardReading::cancelOnTheScreen()
{
    ReadingDesk d;
    const auto card = d.issueGuestCard(0x0A0B0C0D, kRoomA, kCheckin, kCheckout);
    d.console->RunCommand(QStringLiteral("M_cancel_card"));
    TForm_readcard& s = *d.readcard;
    s.Timer1Timer();
    QVERIFY(s.B_cancel->isEnabled());
    s.B_cancelClick();
    QCOMPARE(MessageBox::shownCount(), 0);

    QCOMPARE(d.cardByte(1), quint8(0xFF));
    QCOMPARE(d.recordField(card, "card_status_code"), cfg::codes().GC_ISCANCEL);
    QCOMPARE(d.recordField(card, "cancel_operator"), d.operatorName());
    QCOMPARE(d.roomCards(kRoomA), 0);
    QCOMPARE(d.roomStatus(kRoomA), cfg::codes().room_empty);
    QCOMPARE(d.logRows(3), 1);
    QCOMPARE(d.lastLogRemark(), T().log(14));
    QVERIFY(s.T_room_no->text().isEmpty());
    QVERIFY(!s.B_cancel->isEnabled());
    QVERIFY(s.Timer1.isActive());
    s.Timer1Timer();
    QCOMPARE(panel(s.StatusBar1, 0), T().except(54)); // the erased card reads as blank
}

void TestCardReading::cancelWithoutCardTakesTheSelectedRecord()
{
    ReadingDesk d;
    const auto kept = d.issueGuestCard(0x0A0B0C0D, kRoomA, kCheckin, kCheckout);
    const auto lost = d.issueGuestCard(0x0E0F1011, kRoomA, kCheckin, kCheckout);
    QCOMPARE(d.roomCards(kRoomA), 2);
    d.console->RunCommand(QStringLiteral("M_cancel_nocard"));
    TForm_nocard_cancel& s = *d.nocard;
    QVERIFY(s.isVisible());
    QCOMPARE(s.windowTitle(), T().form(6));
    QVERIFY(d.console->isEnabled());
    QVERIFY(!d.console->Timer3.isActive());
    s.Edit1->setText(QStringLiteral(" ") + kRoomA);
    s.BitBtn1Click();
    QCOMPARE(s.DBGrid1->model()->rowCount(), 2);
    ReadingDesk::grab(&s, QStringLiteral("nocard"));
    int lostRow = -1;
    for (int r = 0; r < 2; ++r) {
        if (DataM().Q_issue_card.value(r, QStringLiteral("card_hard_no")).toString() ==
            QString::number(lost.serial))
            lostRow = r;
    }
    s.DBGrid1->selectRow(lostRow);
    s.B_cancelClick();

    QCOMPARE(d.recordField(lost, "card_status_code"), cfg::codes().GC_NOCARDCANCEL);
    QCOMPARE(d.recordField(kept, "card_status_code"), cfg::codes().GC_AVAILABLE);
    QCOMPARE(d.roomCards(kRoomA), 1);
    QCOMPARE(d.roomStatus(kRoomA), cfg::codes().room_used);
    QCOMPARE(d.logRows(3), 1);
    QCOMPARE(d.lastLogRemark(), T().log(14));
    QCOMPARE(s.DBGrid1->model()->rowCount(), 1);
    QVERIFY(s.B_cancel->isEnabled());

    s.close();
    QVERIFY(d.console->Timer3.isActive());
}

void TestCardReading::cancelWithoutCardOfARepairRoomsLastCard()
{
    ReadingDesk d;
    const auto card = d.issueGuestCard(0x0A0B0C0D, kRoomA, kCheckin, kCheckout);
    d.exec(QStringLiteral("update room set room_status_code='%1' where room_no='%2'")
               .arg(cfg::codes().room_repair, kRoomA));
    // The room selected on the console goes to the screen.
    d.console->T_room_no->setText(kRoomA);
    d.nocard->show();
    TForm_nocard_cancel& s = *d.nocard;
    QCOMPARE(s.Edit1->text(), kRoomA);
    QCOMPARE(s.DBGrid1->model()->rowCount(), 1);
    s.B_cancelClick();

    QCOMPARE(d.recordField(card, "card_status_code"), cfg::codes().GC_NOCARDCANCEL);
    QCOMPARE(d.roomCards(kRoomA), 0);
    QCOMPARE(d.roomStatus(kRoomA), cfg::codes().room_empty);
}

void TestCardReading::cancelWithoutCardOfAnEmptyList()
{
    ReadingDesk d;
    d.exec(QStringLiteral("update room set card_num=3, room_status_code='%1' where room_no='%2'")
               .arg(cfg::codes().room_used, kRoomB));
    d.console->RunCommand(QStringLiteral("M_cancel_nocard"));
    TForm_nocard_cancel& s = *d.nocard;
    s.Edit1->setText(kRoomB);
    s.Edit1Exit();
    QCOMPARE(s.DBGrid1->model()->rowCount(), 0);
    s.B_cancelClick();
    QCOMPARE(d.logRows(3), 1);
    QCOMPARE(d.roomCards(kRoomB), 0);
    QCOMPARE(d.roomStatus(kRoomB), cfg::codes().room_empty);
}

QTEST_MAIN(TestCardReading)
#include "TestCardReading.moc"

#include "DeskFixture.h"
#include "frontdesk/GuestCardIssue.h"
#include "frontdesk/TForm_isslock.h"
#include "frontdesk/Tform_main.h"
#include "platform/gui/StatusPanels.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>

namespace {
const QString kRoomA = QStringLiteral("10105");
const QString kRoomB = QStringLiteral("10106");
} // namespace

// The console's check-in panel against the emulated encoder.
struct CheckinDesk : DeskFixture
{
    Tform_main console;

    CheckinDesk()
    {
        console.show();
        console.Timer3.stop(); // refreshes are driven by the steps themselves
    }

    // Keys go where the operator's keyboard would send them: the focused field of the console.
    void pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        console.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&console));
        console.T_room_no->setFocus();
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }

    // The operator closes the waiting window that stays after a failed issue.
    void closeWaitingWindow()
    {
        TForm_isslock* waiting = console.waitingWindow();
        if (waiting && waiting->isVisible()) {
            QVERIFY(waiting->Button1->isEnabled()); // clickable while the console is held still
            QTest::mouseClick(waiting->Button1, Qt::LeftButton);
            QVERIFY(!waiting->isVisible());
        }
    }

    void fillPanel(const QString& room, int nights = 1)
    {
        console.T_room_no->setText(room);
        const QDateTime now = clock.now();
        console.T_in_date->setDate(now.date());
        console.T_in_time->setTime(now.time());
        console.T_out_date->setDate(now.date().addDays(nights));
        console.T_out_time->setTime(QTime(12, 0));
    }

    void issueFromPanel(const QString& room)
    {
        fillPanel(room);
        console.B_okClick();
        if (console.waitingWindow() && console.waitingWindow()->isVisible())
            console.waitingWindow()->close();
    }

    int activeCards(const QString& room)
    {
        return count(
            QStringLiteral(
                "issue_card_log where room_no='%1' and card_status_code='GC_AVAILABLE' and card_type=0")
                .arg(room));
    }
};

class TestCheckin : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void startTimeRules();
    void doorByte();
    void checkinOfABlankCard();
    void reissueOverAnActiveCard();
    void lostCardReplacement();
    void maxCardRefusedBeforeWriting();
    void reservationOverlapRefused();
    void batchOfThreeRooms();
    void cardPulledMidWrite();
    void databaseFailingAfterTheWrite();
    void noEncoder();
    void consoleCancelOfAStaffCard();
    void consoleReadFillsThePanel();
    void secondCardOperationDoesNotStart();
    void cancelThatDidNotEraseKeepsTheRecord();
};

void TestCheckin::startTimeRules()
{
    DeskFixture desk;
    const QDateTime now = desk.clock.now();
    // A previous guest 30 minutes ago: the new card starts at that check-in, not two hours early.
    desk.exec(
        QStringLiteral(
            "insert into issue_card_log(card_hard_no,card_status_code,card_type,room_no,checkin_datetime,"
            "checkout_datetime,publish_datetime,yn_loss,card_date_hex) values('1','GC_ISCANCEL',0,'%1',"
            "'%2','%3','%2',0,'AA')")
            .arg(kRoomA, SqlValue::canonical(now.addSecs(-1800)), SqlValue::canonical(now.addDays(1))));
    QCOMPARE(GuestCardIssue::startTime(kRoomA, now, false, 2, now), now.addSecs(-1800));
    QCOMPARE(GuestCardIssue::startTime(kRoomB, now, false, 2, now), now.addSecs(-7200));
    // Three hours ahead, no reservation: starts in one hour.
    QCOMPARE(GuestCardIssue::startTime(kRoomB, now.addSecs(3 * 3600), false, 2, now), now.addSecs(3600));
    // Lost card: the later of now and check-in.
    QCOMPARE(GuestCardIssue::startTime(kRoomA, now.addSecs(-600), true, 2, now), now);
    QCOMPARE(GuestCardIssue::startTime(kRoomA, now.addSecs(600), true, 2, now), now.addSecs(600));
}

void TestCheckin::doorByte()
{
    std::array<bool, 8> options{};
    QCOMPARE(GuestCardIssue::doorByte(options), quint8(0));
    options[0] = options[2] = true;
    QCOMPARE(GuestCardIssue::doorByte(options), quint8(0x05));
    options = {};
    options[7] = true;
    QCOMPARE(GuestCardIssue::doorByte(options), quint8(0x80));
}

void TestCheckin::checkinOfABlankCard()
{
    CheckinDesk desk;
    desk.placeBlankCard(0x0A0B0C0D);
    desk.issueFromPanel(kRoomA);
    QCOMPARE(MessageBox::shownCount(), 0);
    QCOMPARE(desk.activeCards(kRoomA), 1);
    QCOMPARE(desk.roomCards(kRoomA), 1);
    QCOMPARE(desk.roomStatus(kRoomA), QStringLiteral("room_used"));
    QCOMPARE(
        desk.scalar(QStringLiteral("select card_date_hex from issue_card_log where room_no='%1'").arg(kRoomA))
            .toString(),
        desk.cardImageHex());
    QCOMPARE(
        desk.scalar(QStringLiteral("select card_hard_no from issue_card_log where room_no='%1'").arg(kRoomA))
            .toString(),
        QString::number(0x0A0B0C0D));
    QCOMPARE(desk.count(QStringLiteral("log where type=1")), 1);
    QCOMPARE(desk.console.StatusBar1->panelText(4), cfg::texts().state(3));
    // The card itself: room address of 10105 (building 1, floor 1, index 5), valid until tomorrow noon.
    Card().Clear();
    TForm_Com::instance().open();
    QCOMPARE(Card().ReadCard(), 0);
    TForm_Com::instance().close();
    Card().Decode();
    QCOMPARE(int(Card().building), 1);
    QCOMPARE(int(Card().floor), 1);
    QCOMPARE(int(Card().roomIndex), 5);
    QCOMPARE(Card().end, QDateTime(desk.clock.now().date().addDays(1), QTime(12, 0)));
    const QString minute = QStringLiteral("yyyy-MM-dd HH:mm");
    QCOMPARE(Card().start.toString(minute), desk.clock.now().addSecs(-7200).toString(minute));
}

void TestCheckin::reissueOverAnActiveCard()
{
    CheckinDesk desk;
    desk.placeBlankCard(0x01020304);
    desk.issueFromPanel(kRoomA);
    QCOMPARE(desk.activeCards(kRoomA), 1);
    // isfgfk 0: a card that still holds valid guest data is refused (55) and nothing changes.
    MessageBox::resetRecord();
    desk.issueFromPanel(kRoomB);
    QCOMPARE(MessageBox::lastText(), cfg::texts().except(55));
    QCOMPARE(desk.activeCards(kRoomB), 0);
    QCOMPARE(desk.activeCards(kRoomA), 1);
    // isfgfk 1: accepted; the old record is cancelled with the card.
    cfg::sys().isfgfk = 1;
    MessageBox::resetRecord();
    desk.issueFromPanel(kRoomB);
    QCOMPARE(MessageBox::shownCount(), 0);
    QCOMPARE(desk.activeCards(kRoomA), 0);
    QCOMPARE(desk.activeCards(kRoomB), 1);
    QCOMPARE(desk.count(QStringLiteral("issue_card_log where card_status_code='GC_ISCANCEL'")), 1);
    QCOMPARE(desk.roomCards(kRoomA), 0);
    QCOMPARE(desk.roomStatus(kRoomA), QStringLiteral("room_empty"));
}

void TestCheckin::lostCardReplacement()
{
    CheckinDesk desk;
    for (quint32 uid : {0x11111111u, 0x22222222u}) {
        desk.placeBlankCard(uid);
        desk.issueFromPanel(kRoomA);
    }
    QCOMPARE(desk.activeCards(kRoomA), 2);
    desk.placeBlankCard(0x33333333);
    desk.fillPanel(kRoomA);
    desk.console.C_loss->setChecked(true);
    desk.console.B_okClick();
    QCOMPARE(desk.count(QStringLiteral("issue_card_log where card_status_code='GC_LOSSCANCEL'")), 2);
    QCOMPARE(desk.activeCards(kRoomA), 1);
    QCOMPARE(desk.scalar(QStringLiteral(
                             "select yn_loss from issue_card_log where card_status_code='GC_AVAILABLE'"))
                 .toInt(),
             1);
    QCOMPARE(desk.roomCards(kRoomA), 1);
    QVERIFY(!desk.console.C_loss->isChecked());
}

void TestCheckin::maxCardRefusedBeforeWriting()
{
    CheckinDesk desk;
    cfg::sys().max_card = 2;
    cfg::sys().drts = 0;
    for (quint32 uid : {0x11111111u, 0x22222222u}) {
        desk.placeBlankCard(uid);
        desk.issueFromPanel(kRoomA);
    }
    desk.placeBlankCard(0x33333333);
    const QString before = desk.cardImageHex();
    MessageBox::resetRecord();
    desk.issueFromPanel(kRoomA);
    QCOMPARE(MessageBox::lastText(), cfg::texts().except(16));
    QCOMPARE(desk.cardImageHex(), before);
    QCOMPARE(desk.activeCards(kRoomA), 2);
}

void TestCheckin::reservationOverlapRefused()
{
    CheckinDesk desk;
    const QDateTime now = desk.clock.now();
    // A reservation from tomorrow 14:00 to the day after, at noon.
    desk.placeBlankCard(0x11111111);
    desk.console.T_room_no->setText(kRoomA);
    desk.console.T_in_date->setDate(now.date().addDays(1));
    desk.console.T_in_time->setTime(QTime(14, 0));
    desk.console.T_out_date->setDate(now.date().addDays(2));
    desk.console.T_out_time->setTime(QTime(12, 0));
    desk.console.B_okClick();
    QCOMPARE(desk.activeCards(kRoomA), 1);
    // Another reservation starting inside that stay is refused; the card stays blank.
    desk.placeBlankCard(0x22222222);
    MessageBox::resetRecord();
    desk.console.T_room_no->setText(kRoomA);
    desk.console.T_in_date->setDate(now.date().addDays(1));
    desk.console.T_in_time->setTime(QTime(20, 0));
    desk.console.B_okClick();
    QCOMPARE(MessageBox::lastText(), cfg::texts().except(102));
    QCOMPARE(desk.cardImageHex().left(2), QStringLiteral("FF"));
    // After that stay's check-out it is written.
    desk.console.T_in_date->setDate(now.date().addDays(2));
    desk.console.T_in_time->setTime(QTime(14, 0));
    desk.console.T_out_date->setDate(now.date().addDays(3));
    desk.console.B_okClick();
    QCOMPARE(desk.activeCards(kRoomA), 2);
}

void TestCheckin::batchOfThreeRooms()
{
    CheckinDesk desk;
    cfg::sys().drts = 0;
    const QStringList rooms{QStringLiteral("10101"), QStringLiteral("10102"), QStringLiteral("10103")};
    for (const QString& r : rooms)
        desk.console.QueueRoom(r);
    desk.placeBlankCard(0x0000A001);
    desk.fillPanel(QString());
    desk.console.B_okClick();
    QVERIFY(desk.console.Timer2.isActive());
    desk.console.Timer2Timer();
    QCOMPARE(desk.activeCards(rooms[0]), 1);
    // The same card left on the encoder is written once; the next room waits for another card.
    desk.console.Timer2Timer();
    desk.console.Timer2Timer();
    QCOMPARE(desk.activeCards(rooms[1]), 0);
    QCOMPARE(desk.console.ListBox1->count(), 2);
    desk.removeCard();
    desk.console.Timer2Timer(); // no card: except 49 in panel 4, the queue keeps polling
    QCOMPARE(desk.console.StatusBar1->panelText(4), cfg::texts().except(49));
    QVERIFY(desk.console.Timer2.isActive());
    desk.placeBlankCard(0x0000A002);
    desk.console.Timer2Timer();
    desk.placeBlankCard(0x0000A003);
    desk.console.Timer2Timer();
    for (const QString& r : rooms)
        QCOMPARE(desk.activeCards(r), 1);
    QCOMPARE(desk.console.ListBox1->count(), 0);
    QVERIFY(!desk.console.Timer2.isActive());
}

void TestCheckin::cardPulledMidWrite()
{
    CheckinDesk desk;
    desk.placeBlankCard(0x0C0C0C0C);
    desk.fillPanel(kRoomA);
    desk.control(QStringLiteral("fault pull-after 12")); // after the probe, inside the write
    MessageBox::resetRecord();
    desk.console.B_okClick();
    QCOMPARE(MessageBox::lastText(), cfg::texts().except(59));
    QCOMPARE(desk.count(QStringLiteral("issue_card_log")), 0);
    QCOMPARE(desk.count(QStringLiteral("log where type=1")), 0);
    QVERIFY(!desk.console.isEnabled()); // the waiting window stays until the operator closes it
    desk.closeWaitingWindow();
    QVERIFY(desk.console.B_ok->isEnabled());
}

void TestCheckin::databaseFailingAfterTheWrite()
{
    CheckinDesk desk;
    desk.placeBlankCard(0x0D0D0D0D);
    desk.fillPanel(kRoomA);
    // The write succeeds, then every database statement fails.
    QObject::connect(&TForm_Com::instance(), &TForm_Com::replyChanged, &desk.console, [&] {
        if (Card().readBackHex == Card().comparisonHex && !Card().readBackHex.isEmpty())
            DataM().Conn.close();
    });
    MessageBox::resetRecord();
    desk.console.B_okClick();
    QObject::disconnect(&TForm_Com::instance(), &TForm_Com::replyChanged, &desk.console, nullptr);
    QCOMPARE(MessageBox::shownCount(), 0);
    QCOMPARE(desk.console.StatusBar1->panelText(4), cfg::texts().state(3));
    QCOMPARE(desk.cardImageHex().left(2), QStringLiteral("00")); // a guest card was written
    DataM().OpenConnection(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") +
                           desk.path("lodgex.db") + u';');
    DataM().RecountRoomCards();
    QCOMPARE(desk.roomCards(kRoomA), desk.activeCards(kRoomA));
}

void TestCheckin::noEncoder()
{
    CheckinDesk desk;
    desk.portOpenFails = true;
    TForm_Com::instance().setStreamFactory([&desk](int) {
        auto s = std::make_unique<EmulatedStream>(desk.engine);
        s->setOpenFails(true);
        return s;
    });
    desk.fillPanel(kRoomA);
    MessageBox::resetRecord();
    desk.console.B_okClick();
    QCOMPARE(MessageBox::lastText(), cfg::texts().except(63));
    desk.closeWaitingWindow();
    QVERIFY(desk.console.B_ok->isEnabled());
    QVERIFY(desk.console.B_cancel->isEnabled());
    QVERIFY(desk.console.BitBtn2->isEnabled());
}

void TestCheckin::consoleCancelOfAStaffCard()
{
    CheckinDesk desk;
    desk.placeBlankCard(0x0E0E0E0E);
    Card().Clear();
    Card().kind = 4; // cleaning card
    Card().start = desk.clock.now();
    Card().end = desk.clock.now().addDays(30);
    Card().EncodeKind();
    Card().EncodeTimes();
    QCOMPARE(Card().WriteCardVerified(1), 0);
    const QString image = desk.cardImageHex();
    MessageBox::resetRecord();
    desk.pressKey(Qt::Key_Delete);
    QVERIFY(MessageBox::lastText().startsWith(QStringLiteral("Card Type:")));
    QVERIFY(
        MessageBox::lastText().contains(QStringLiteral("Please cancle this card in cancle all card menu")));
    QCOMPARE(desk.console.StatusBar1->panelText(4), cfg::cardTypes()[4].card_name);
    QCOMPARE(desk.cardImageHex(), image);
}

void TestCheckin::consoleReadFillsThePanel()
{
    CheckinDesk desk;
    desk.placeBlankCard(0x0F0F0F0F);
    desk.fillPanel(kRoomA, 2);
    desk.console.CheckListBox1->item(2)->setCheckState(Qt::Checked);
    desk.console.B_okClick();
    desk.console.T_room_no->clear();
    desk.console.ResetCheckinPanel();
    desk.console.BitBtn2Click();
    QCOMPARE(desk.console.T_room_no->text(), kRoomA);
    QCOMPARE(desk.console.T_out_date->date(), desk.clock.now().date().addDays(2));
    QCOMPARE(desk.console.CheckListBox1->item(2)->checkState(), Qt::Checked);
    QVERIFY(desk.console.StatusBar1->panelText(4).endsWith(QString::number(0x0F0F0F0F)));
    // Cancelling it on the console erases the card and cancels its record.
    desk.console.B_cancelClick();
    QCOMPARE(desk.activeCards(kRoomA), 0);
    QCOMPARE(desk.roomStatus(kRoomA), QStringLiteral("room_empty"));
    QCOMPARE(desk.cardImageHex().left(2), QStringLiteral("FF"));
    QCOMPARE(desk.count(QStringLiteral("log where type=3")), 1);
    QVERIFY(desk.console.T_room_no->text().isEmpty());
}

void TestCheckin::secondCardOperationDoesNotStart()
{
    CheckinDesk desk;
    desk.placeBlankCard(0x10101010);
    desk.fillPanel(kRoomA);
    int replies = 0;
    bool pressed = false;
    // While the write waits for the encoder, the operator presses Delete and multiply.
    QObject::connect(&TForm_Com::instance(), &TForm_Com::replyChanged, &desk.console, [&] {
        if (replies++ == 5) {
            desk.console.B_cancelClick(); // what Delete runs
            desk.console.BitBtn2Click();  // what multiply runs
            pressed = true;
        }
    });
    desk.console.B_okClick();
    QVERIFY(pressed);
    QObject::disconnect(&TForm_Com::instance(), &TForm_Com::replyChanged, &desk.console, nullptr);
    QCOMPARE(desk.activeCards(kRoomA), 1);
    QCOMPARE(desk.count(QStringLiteral("issue_card_log where card_status_code<>'GC_AVAILABLE'")), 0);
    QCOMPARE(desk.cardImageHex().left(2), QStringLiteral("00"));
}

void TestCheckin::cancelThatDidNotEraseKeepsTheRecord()
{
    CheckinDesk desk;
    desk.placeBlankCard(0x11223344);
    desk.issueFromPanel(kRoomA);
    // The card is read (7 frames), then leaves the field while it is being erased.
    desk.control(QStringLiteral("fault pull-after 9"));
    MessageBox::resetRecord();
    desk.console.B_cancelClick();
    QCOMPARE(MessageBox::lastText(), cfg::texts().except(59));
    QCOMPARE(desk.activeCards(kRoomA), 1); // the card still opens the door: its record stays
    QCOMPARE(desk.roomCards(kRoomA), 1);
    QCOMPARE(desk.count(QStringLiteral("log where type=3")), 0);
}

QTEST_MAIN(TestCheckin)
#include "TestCheckin.moc"

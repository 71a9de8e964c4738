#include "DeskFixture.h"
#include "frontdesk/TForm_issue_card.h"
#include "frontdesk/Tform_main.h"
#include "platform/gui/StatusPanels.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimeEdit>

// The guest-card issue screen and its guest list.
struct IssueDesk : DeskFixture
{
    Tform_main console;
    TForm_issue_card* screen = nullptr;

    IssueDesk()
    {
        console.show();
        console.Timer3.stop();
        screen = new TForm_issue_card(console);
    }

    void writeGuestList(const QByteArray& csv)
    {
        QDir().mkpath(path("guests"));
        QFile f(path("guests/guests.csv"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(csv);
    }

    int rows() { return screen->DBGrid1->model() ? screen->DBGrid1->model()->rowCount() : 0; }
};

class TestIssueScreen : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void issuesWithHolderDetails();
    void refusesAValidGuestCard();
    void guestListMissing();
    void guestListSearchIsLiteral();
    void guestListFillsTheFields();
};

void TestIssueScreen::issuesWithHolderDetails()
{
    IssueDesk desk;
    desk.placeBlankCard(0x21212121);
    desk.console.T_room_no->setText(QStringLiteral("10203"));
    desk.screen->show();
    QCOMPARE(desk.screen->T_room_no->text(), QStringLiteral("10203"));
    QVERIFY(!desk.console.isEnabled());
    desk.screen->T_name->setText(QStringLiteral("O'Brien 李"));
    desk.screen->T_id->setText(QStringLiteral("X-100%"));
    desk.screen->T_memo->setText(QStringLiteral("late arrival"));
    // The console is held still, the screen itself takes clicks.
    QVERIFY(desk.screen->isEnabled());
    QTest::mouseClick(desk.screen->B_ok, Qt::LeftButton);
    QCOMPARE(MessageBox::shownCount(), 0);
    QCOMPARE(desk.screen->StatusBar1->panelText(0), cfg::texts().state(3));
    QCOMPARE(
        desk.scalar(QStringLiteral("select own_name from issue_card_log where room_no='10203'")).toString(),
        QStringLiteral("O'Brien 李"));
    QCOMPARE(
        desk.scalar(QStringLiteral("select own_id from issue_card_log where room_no='10203'")).toString(),
        QStringLiteral("X-100%"));
    QCOMPARE(
        desk.scalar(QStringLiteral("select remark from issue_card_log where room_no='10203'")).toString(),
        QStringLiteral("late arrival"));
    QCOMPARE(desk.roomCards(QStringLiteral("10203")), 1);
    QVERIFY(desk.screen->T_room_no->text().isEmpty()); // the screen is ready for the next guest
    // An empty name is recorded as "guest".
    desk.placeBlankCard(0x22222222);
    cfg::sys().drts = 0;
    desk.screen->T_room_no->setText(QStringLiteral("10204"));
    desk.screen->B_okClick();
    QCOMPARE(
        desk.scalar(QStringLiteral("select own_name from issue_card_log where room_no='10204'")).toString(),
        QStringLiteral("guest"));
    desk.screen->close();
    QVERIFY(desk.console.isEnabled());
}

void TestIssueScreen::refusesAValidGuestCard()
{
    IssueDesk desk;
    desk.placeBlankCard(0x23232323);
    desk.screen->show();
    desk.screen->T_room_no->setText(QStringLiteral("10101"));
    desk.screen->B_okClick();
    MessageBox::resetRecord();
    desk.screen->T_room_no->setText(QStringLiteral("10102"));
    desk.screen->B_okClick();
    QCOMPARE(MessageBox::lastText(), cfg::texts().except(55));
    QCOMPARE(desk.screen->T_room_no->text(), QStringLiteral("10102")); // fields kept for another try
    QVERIFY(desk.screen->B_ok->isEnabled());
    desk.removeCard();
    desk.screen->B_okClick();
    QCOMPARE(MessageBox::lastText(), cfg::texts().except(49));
}

void TestIssueScreen::guestListMissing()
{
    IssueDesk desk;
    cfg::sys().isxsxxdr = 1;
    desk.placeBlankCard(0x24242424);
    desk.console.T_room_no->setText(QStringLiteral("10105"));
    desk.screen->show();
    QVERIFY(desk.screen->GuestPanel->isVisibleTo(desk.screen));
    QCOMPARE(desk.screen->StatusBar1->panelText(0),
             QStringLiteral("csv Files Open Failse，Please Check System Setting"));
    QCOMPARE(desk.rows(), 0);
    desk.screen->B_okClick(); // the issue itself still works
    QCOMPARE(desk.roomCards(QStringLiteral("10105")), 1);
}

void TestIssueScreen::guestListSearchIsLiteral()
{
    IssueDesk desk;
    cfg::sys().isxsxxdr = 1;
    desk.writeGuestList("WorkID,Name,UserGroup,checkout,roomno\r\n"
                        "A1,Ann O'Neil,Sales,2024-05-09,10101\r\n"
                        "A2,Bo 100% Pure,Ops,2024-05-10,10102\r\n"
                        "A3,Cy Zed,Ops,2024-05-11,10103\r\n"
                        "A4,\"Dee, Jr\",Ops,2024-05-12,10104\r\n");
    desk.screen->show();
    struct Case
    {
        QString name;
        int expected;
    };
    const Case cases[] = {{QStringLiteral("O'Neil"), 1},  {QStringLiteral("%"), 1},
                          {QStringLiteral("_"), 0},       {QStringLiteral("' or '1'='1"), 0},
                          {QStringLiteral("Dee, Jr"), 1}, {QString(), 4},
                          {QStringLiteral("o"), 2}};
    for (const Case& c : cases) {
        desk.screen->Edit2->setText(c.name);
        desk.screen->BitBtn1Click();
        QVERIFY2(desk.screen->StatusBar1->panelText(0).isEmpty(), qPrintable(c.name));
        QVERIFY2(
            desk.rows() == c.expected,
            qPrintable(
                QStringLiteral("'%1': %2 rows, expected %3").arg(c.name).arg(desk.rows()).arg(c.expected)));
    }
    desk.screen->Edit2->clear();
    desk.screen->Edit3->setText(QStringLiteral("Ops"));
    desk.screen->Edit4->setText(QStringLiteral("1010"));
    desk.screen->BitBtn1Click();
    QCOMPARE(desk.rows(), 3);
}

void TestIssueScreen::guestListFillsTheFields()
{
    IssueDesk desk;
    cfg::sys().isxsxxdr = 1;
    desk.writeGuestList("WorkID,Name,UserGroup,checkout,roomno\r\nA7,Eva Lund,Guests,2024-05-09,10107\r\n");
    desk.console.T_room_no->setText(QStringLiteral("10107"));
    desk.screen->show();
    QCOMPARE(desk.screen->Edit4->text(), QStringLiteral("10107"));
    QCOMPARE(desk.rows(), 1);
    desk.screen->T_room_no->setText(QStringLiteral("999"));
    desk.screen->DBGrid1->setCurrentIndex(desk.screen->DBGrid1->model()->index(0, 0));
    desk.screen->DBGrid1DblClick();
    QCOMPARE(desk.screen->T_id->text(), QStringLiteral("A7"));
    QCOMPARE(desk.screen->T_name->text(), QStringLiteral("Eva Lund"));
    QCOMPARE(desk.screen->T_memo->text(), QStringLiteral("Guests"));
    QCOMPARE(desk.screen->T_out_date->date(), QDate(2024, 5, 9));
    QCOMPARE(desk.screen->T_room_no->text(), QStringLiteral("10107"));
}

QTEST_MAIN(TestIssueScreen)
#include "TestIssueScreen.moc"

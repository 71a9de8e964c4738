// The main console: commands behind their rights and keys, one card operation at a time, the
// periodic refresh and its fall-back to the server, tool-bar icons, and the screenshots mode.

#include "ConsoleDesk.h"
#include "DbTestEnv.h"
#include "ToolbarIcons.h"
#include "datastore/ConnectionString.h"
#include "datastore/DatabaseError.h"
#include "frontdesk/CardWork.h"
#include "platform/IniFile.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTimeEdit>
#include <QToolBar>
#include <QToolButton>

namespace {

const TextTables& T()
{
    return cfg::texts();
}

const QString kNotBuilt = QStringLiteral("This screen is not part of this build yet.");

// Counts how often a command's screen was asked for.
struct ScreenSpy
{
    int opened = 0;
    void attach(Tform_main& console, const QString& command)
    {
        console.setScreen(command, [this](Tform_main&) { ++opened; });
    }
};

bool inAnyMenuOrToolBar(Tform_main& console, QAction* action)
{
    for (QMenu* menu : console.menuBar()->findChildren<QMenu*>())
        if (menu->actions().contains(action))
            return true;
    for (QToolBar* bar : console.findChildren<QToolBar*>())
        if (bar->actions().contains(action))
            return true;
    return false;
}

// Encoder replies seen while fn runs: how much the encoder was asked.
int encoderReplies(const std::function<void()>& fn)
{
    int replies = 0;
    const auto watch = QObject::connect(&TForm_Com::instance(), &TForm_Com::replyChanged, [&] { ++replies; });
    fn();
    QObject::disconnect(watch);
    return replies;
}

} // namespace

class TestConsole : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void refusedRightDoesNothing_data();
    void refusedRightDoesNothing();
    void commandKeysComeBeforeTheFieldsOwn_data();
    void commandKeysComeBeforeTheFieldsOwn();
    void hiddenCommandRunsByItsKey_data();
    void hiddenCommandRunsByItsKey();
    void laterScreensSayNotBuilt_data();
    void laterScreensSayNotBuilt();
    void roomStatusFromThePopupMenu_data();
    void roomStatusFromThePopupMenu();
    void oneCardOperationAtATime();
    void roomFieldKeys();
    void spaceOpensTheCheckinPanel();
    void mapClicks();
    void handOverFileFillsThePanel();
    void refreshKeepsThePictureWhenNoDatabaseAnswers_data();
    void refreshKeepsThePictureWhenNoDatabaseAnswers();
    void refreshFallsBackToTheServer();
    void toolButtonsShowIcons();
    void iconsMatchTheirDrawings();
    void screenshotsMode();
};

// --- rights and commands ---------------------------------------------------------------------

void TestConsole::refusedRightDoesNothing_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QKeySequence>("key");
    QTest::addColumn<QString>("right");
    QTest::addColumn<QString>("refusal"); // SQL that takes the right away
    const QString missing = QStringLiteral("delete from group_right where code='%1'");
    const QString off = QStringLiteral("update group_right set the_right=0 where code='%1'");
    const QString noGroups = QStringLiteral("delete from operator_group");
    QTest::newRow("issue card, row missing")
        << "M_issue_card" << QKeySequence(Qt::Key_F2) << "010101" << missing;
    QTest::newRow("read card, right off") << "M_read_card" << QKeySequence(Qt::Key_F3) << "010201" << off;
    QTest::newRow("shift, right off") << "M_shift" << QKeySequence(Qt::Key_F10) << "020201" << off;
    QTest::newRow("backup, row missing")
        << "N12" << QKeySequence(Qt::CTRL | Qt::Key_F2) << "050301" << missing;
    QTest::newRow("room setting, no groups")
        << "M_room_setting" << QKeySequence(Qt::CTRL | Qt::Key_A) << "050101" << noGroups;
    QTest::newRow("operators, right off")
        << "M_manage_operator" << QKeySequence(Qt::CTRL | Qt::Key_E) << "060101" << off;
    QTest::newRow("group rights, no groups")
        << "N8" << QKeySequence(Qt::CTRL | Qt::Key_G) << "070101" << noGroups;
    QTest::newRow("hidden patrol records, row missing")
        << "N18" << QKeySequence(Qt::SHIFT | Qt::Key_F2) << "040201" << missing;
}

void TestConsole::refusedRightDoesNothing()
{
    QFETCH(QString, command);
    QFETCH(QKeySequence, key);
    QFETCH(QString, right);
    QFETCH(QString, refusal);
    ConsoleDesk desk;
    QVERIFY(desk.active);
    ScreenSpy screen;
    screen.attach(desk.console, command);
    desk.press(key);
    QCOMPARE(screen.opened, 1); // granted: the key opens the screen

    desk.exec(refusal.arg(right));
    desk.console.T_room_no->setText(QStringLiteral("10105"));
    desk.console.T_room_no->setFocus();
    MessageBox::resetRecord();
    MessageBox::setAutoAnswer(true);
    desk.press(key);
    QCOMPARE(screen.opened, 1);
    QCOMPARE(MessageBox::shownCount(), 1);
    QCOMPARE(MessageBox::lastText(), T().except(81));
    QCOMPARE(desk.console.T_room_no->text(), QStringLiteral("10105")); // not even the field is cleared

    // The menu item and tool button take the same way.
    desk.console.action(command)->trigger();
    QCOMPARE(screen.opened, 1);
    QCOMPARE(MessageBox::shownCount(), 2);
}

void TestConsole::commandKeysComeBeforeTheFieldsOwn_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QKeySequence>("key");
    // Keys a text field would otherwise take for itself (select all, undo, line editing).
    QTest::newRow("room setting Ctrl+A") << "M_room_setting" << QKeySequence(Qt::CTRL | Qt::Key_A);
    QTest::newRow("work areas Ctrl+B") << "M_clear_area" << QKeySequence(Qt::CTRL | Qt::Key_B);
    QTest::newRow("system parameters Ctrl+D") << "M_sys_parameter" << QKeySequence(Qt::CTRL | Qt::Key_D);
    QTest::newRow("operators Ctrl+E") << "M_manage_operator" << QKeySequence(Qt::CTRL | Qt::Key_E);
    QTest::newRow("about Ctrl+Z") << "M_about_us" << QKeySequence(Qt::CTRL | Qt::Key_Z);
}

void TestConsole::commandKeysComeBeforeTheFieldsOwn()
{
    QFETCH(QString, command);
    QFETCH(QKeySequence, key);
    ConsoleDesk desk;
    QVERIFY(desk.active);
    ScreenSpy screen;
    screen.attach(desk.console, command);
    QLineEdit& field = *desk.console.T_day_num;
    field.setFocus();
    field.clear();
    QTest::keyClicks(&field, QStringLiteral("12"));
    field.setCursorPosition(1);
    desk.press(key);
    QCOMPARE(screen.opened, 1);
    QCOMPARE(field.text(), QStringLiteral("12"));
    QVERIFY(!field.hasSelectedText());
    QCOMPARE(field.cursorPosition(), 1);
}

void TestConsole::hiddenCommandRunsByItsKey_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QKeySequence>("key");
    QTest::newRow("power-switch cards Ctrl+F10") << "N10" << QKeySequence(Qt::CTRL | Qt::Key_F10);
    QTest::newRow("card initialisation Ctrl+F1") << "N4" << QKeySequence(Qt::CTRL | Qt::Key_F1);
    QTest::newRow("opening records F8") << "GetData1" << QKeySequence(Qt::Key_F8);
    QTest::newRow("access records Shift+F1") << "N17" << QKeySequence(Qt::SHIFT | Qt::Key_F1);
    QTest::newRow("access records Shift+F4") << "N20" << QKeySequence(Qt::SHIFT | Qt::Key_F4);
}

void TestConsole::hiddenCommandRunsByItsKey()
{
    QFETCH(QString, command);
    QFETCH(QKeySequence, key);
    ConsoleDesk desk;
    QVERIFY(desk.active);
    QAction* action = desk.console.action(command);
    QVERIFY(action);
    QVERIFY(!inAnyMenuOrToolBar(desk.console, action));
    ScreenSpy screen;
    screen.attach(desk.console, command);
    desk.press(key);
    QCOMPARE(screen.opened, 1);
    QCOMPARE(MessageBox::shownCount(), 0);
}

void TestConsole::laterScreensSayNotBuilt_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QKeySequence>("key");
    QTest::addColumn<QString>("right"); // empty: the command checks none
    QTest::newRow("read card") << "M_read_card" << QKeySequence(Qt::Key_F3) << "010201";
    QTest::newRow("staff cards") << "M_issue_cards" << QKeySequence(Qt::CTRL | Qt::Key_F4) << "030101";
    QTest::newRow("system log") << "M_sys_log" << QKeySequence(Qt::CTRL | Qt::Key_F11) << "040101";
    QTest::newRow("system parameters") << "M_sys_parameter" << QKeySequence(Qt::CTRL | Qt::Key_D) << "050301";
    QTest::newRow("guide card") << "N5" << QKeySequence(Qt::CTRL | Qt::Key_F6) << "";
    QTest::newRow("hidden power-switch cards") << "N10" << QKeySequence(Qt::CTRL | Qt::Key_F10) << "";
}

void TestConsole::laterScreensSayNotBuilt()
{
    QFETCH(QString, command);
    QFETCH(QKeySequence, key);
    QFETCH(QString, right);
    ConsoleDesk desk;
    QVERIFY(desk.active);
    desk.press(key);
    QCOMPARE(MessageBox::shownCount(), 1);
    QVERIFY2(MessageBox::lastText().endsWith(kNotBuilt), qPrintable(MessageBox::lastText()));
    const QString caption = desk.console.action(command)->text();
    if (!caption.isEmpty())
        QVERIFY(MessageBox::lastText().startsWith(caption));

    // The right comes first: without it the operator learns only that.
    if (right.isEmpty())
        return;
    desk.exec(QStringLiteral("delete from group_right where code='%1'").arg(right));
    desk.press(key);
    QCOMPARE(MessageBox::shownCount(), 2);
    QCOMPARE(MessageBox::lastText(), T().except(81));
}

void TestConsole::roomStatusFromThePopupMenu_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("granted");
    QTest::newRow("repair") << "PM_repair"
                            << "room_repair" << true;
    QTest::newRow("dirty") << "PM_clear"
                           << "room_dirty" << true;
    QTest::newRow("closed") << "PM_close"
                            << "room_closed" << true;
    QTest::newRow("repair refused") << "PM_repair"
                                    << "room_repair" << false;
}

void TestConsole::roomStatusFromThePopupMenu()
{
    QFETCH(QString, item);
    QFETCH(QString, status);
    QFETCH(bool, granted);
    ConsoleDesk desk;
    const QString room = QStringLiteral("10103");
    if (!granted)
        desk.exec(QStringLiteral("delete from group_right where code='020401'"));
    QVERIFY(desk.console.DrawGrid1->selectRoom(room));
    desk.console.SelectCell(desk.console.DrawGrid1->selectedRow(), desk.console.DrawGrid1->selectedColumn());
    QCOMPARE(desk.console.T_room_no->text(), room);
    QAction* action = desk.console.action(item);
    QCOMPARE(action->text(), status); // the caption is the configured code itself
    action->trigger();

    const QString expected = granted ? status : cfg::codes().room_empty;
    QCOMPARE(desk.roomStatus(room), expected);
    const MapRoom* shown = desk.console.DrawGrid1->roomAt(desk.console.DrawGrid1->selectedRow(),
                                                          desk.console.DrawGrid1->selectedColumn());
    QVERIFY(shown);
    QCOMPARE(shown->roomNo, room);
    QCOMPARE(shown->status, expected);
    QCOMPARE(MessageBox::shownCount(), granted ? 0 : 1);
    if (!granted)
        QCOMPARE(MessageBox::lastText(), T().except(81));
}

// --- card work -------------------------------------------------------------------------------

void TestConsole::oneCardOperationAtATime()
{
    ConsoleDesk desk;
    QVERIFY(desk.active);
    desk.placeBlankCard(0x5A5A0001);
    const QString image = desk.cardImageHex();
    StatusPanels& status = *desk.console.StatusBar1;

    // Idle, the multiply key reads the card on the encoder.
    const int oneRead = encoderReplies([&] { desk.press(Qt::Key_Asterisk, Qt::KeypadModifier); });
    QVERIFY(oneRead > 0);
    QVERIFY(!CardWork::busy());

    // While another card operation runs, Delete and multiply start nothing, although the
    // window still takes them (the buttons would be disabled, the keys are not).
    {
        const CardWork running;
        QVERIFY(running.acquired());
        status.setPanelText(4, QStringLiteral("busy"));
        MessageBox::resetRecord();
        MessageBox::setAutoAnswer(true);
        const int replies = encoderReplies([&] {
            desk.press(Qt::Key_Delete);
            desk.press(Qt::Key_Asterisk, Qt::KeypadModifier);
            QTest::mouseClick(desk.console.B_ok, Qt::LeftButton);
        });
        QCOMPARE(replies, 0);
        QCOMPARE(MessageBox::shownCount(), 0);
        QCOMPARE(status.panelText(4), QStringLiteral("busy"));
    }

    // The same keys pressed while a real read waits for the encoder: the read runs alone.
    int nestedKeys = 0;
    bool busyWhenPressed = false;
    const auto keys = QObject::connect(&TForm_Com::instance(), &TForm_Com::replyChanged, &desk.console, [&] {
        if (nestedKeys++ != 0)
            return;
        busyWhenPressed = CardWork::busy();
        desk.press(Qt::Key_Delete);
        desk.press(Qt::Key_Asterisk, Qt::KeypadModifier);
    });
    const int readWithKeys = encoderReplies([&] { desk.press(Qt::Key_Asterisk, Qt::KeypadModifier); });
    QObject::disconnect(keys);
    QVERIFY(busyWhenPressed);
    QCOMPARE(readWithKeys, oneRead);
    QCOMPARE(desk.cardImageHex(), image);
    QCOMPARE(desk.count(QStringLiteral("log where type=3")), 0);
    QVERIFY(!CardWork::busy());
}

// --- keys, mouse and the hand-over file ------------------------------------------------------

void TestConsole::roomFieldKeys()
{
    ConsoleDesk desk;
    QVERIFY(desk.active);
    Tform_main& console = desk.console;
    QLineEdit& room = *console.T_room_no;
    room.setFocus();
    room.clear();
    QTest::keyClicks(&room, QStringLiteral("1020"));
    // The keypad's add key queues the first room on the map that the typed text begins.
    desk.press(Qt::Key_Plus, Qt::KeypadModifier);
    QCOMPARE(console.ListBox1->count(), 1);
    QCOMPARE(console.ListBox1->item(0)->text(), QStringLiteral("10201"));
    QVERIFY(room.text().isEmpty());
    QVERIFY(console.cxSplitter2->sizes().at(0) > 0); // the queue pane opened
    // A prefix no room has queues nothing and keeps the text.
    QTest::keyClicks(&room, QStringLiteral("9"));
    desk.press(Qt::Key_Plus, Qt::KeypadModifier);
    QCOMPARE(console.ListBox1->count(), 1);
    QCOMPARE(room.text(), QStringLiteral("9"));
    // Space selects the field's text instead of typing a blank; Down goes to the nights.
    desk.press(Qt::Key_Space);
    QCOMPARE(room.selectedText(), QStringLiteral("9"));
    desk.press(Qt::Key_Down);
    QCOMPARE(QApplication::focusWidget(), console.T_day_num);
    QCOMPARE(console.T_day_num->selectedText(), console.T_day_num->text());
}

void TestConsole::spaceOpensTheCheckinPanel()
{
    ConsoleDesk desk;
    QVERIFY(desk.active);
    Tform_main& console = desk.console;
    console.PageControl1->setCurrentWidget(console.TabSheet2);
    console.SetBottomPaneOpen(false);
    console.DrawGrid1->setFocus();
    desk.press(Qt::Key_Space);
    QCOMPARE(console.PageControl1->currentWidget(), console.TabSheet1);
    QVERIFY(console.cxSplitter1->sizes().at(1) > 0);
    QCOMPARE(QApplication::focusWidget(), console.T_room_no);
}

void TestConsole::mapClicks()
{
    ConsoleDesk desk;
    Tform_main& console = desk.console;
    RoomMapGrid& map = *console.DrawGrid1;
    ScreenSpy issue;
    issue.attach(console, QStringLiteral("M_issue_card"));
    auto centreOf = [&](const QString& roomNo) {
        const auto cell = map.layout().cellOf(
            static_cast<int>(std::find_if(map.rooms().begin(), map.rooms().end(),
                                          [&](const MapRoom& r) { return r.roomNo == roomNo; }) -
                             map.rooms().begin()) +
            1);
        return map.cellRect(cell->first, cell->second).center();
    };
    // A click selects the room and shows its active cards.
    QTest::mouseClick(&map, Qt::LeftButton, Qt::NoModifier, centreOf(QStringLiteral("10105")));
    QCOMPARE(console.T_room_no->text(), QStringLiteral("10105"));
    QCOMPARE(DataM().Q_issue_card.recordCount(), 3);
    // Ctrl + click selects and queues it.
    QTest::mouseClick(&map, Qt::LeftButton, Qt::ControlModifier, centreOf(QStringLiteral("10106")));
    QCOMPARE(console.ListBox1->count(), 1);
    QCOMPARE(console.ListBox1->item(0)->text(), QStringLiteral("10106"));
    // A double click opens the issue screen with the room kept in the field.
    QTest::mouseClick(&map, Qt::LeftButton, Qt::NoModifier, centreOf(QStringLiteral("10203")));
    QTest::mouseDClick(&map, Qt::LeftButton, Qt::NoModifier, centreOf(QStringLiteral("10203")));
    QCOMPARE(issue.opened, 1);
    QCOMPARE(console.T_room_no->text(), QStringLiteral("10203"));
    // A click on an empty cell changes nothing.
    const QRect last = map.cellRect(0, map.layout().columnCount() - 1);
    QTest::mouseClick(&map, Qt::LeftButton, Qt::NoModifier, last.center());
    QCOMPARE(console.T_room_no->text(), QStringLiteral("10203"));
    QCOMPARE(MessageBox::shownCount(), 0);
}

void TestConsole::handOverFileFillsThePanel()
{
    ConsoleDesk desk;
    Tform_main& console = desk.console;
    const QDateTime end(QDate(2024, 5, 9), QTime(11, 30));
    {
        IniFile lock(cfg::lockIniPath());
        lock.writeString(QStringLiteral("brimtal"), QStringLiteral("room_no"), QStringLiteral("10407"));
        lock.writeDateTime(QStringLiteral("brimtal"), QStringLiteral("end_time"), end);
    }
    console.repaint();
    QCOMPARE(console.T_room_no->text(), QStringLiteral("10407"));
    QCOMPARE(console.T_out_date->date(), end.date());
    QCOMPARE(console.T_out_time->time(), end.time());
    // Gone again: the fields keep what the operator types.
    QVERIFY(QFile::remove(cfg::lockIniPath()));
    console.T_room_no->setText(QStringLiteral("10101"));
    console.repaint();
    QCOMPARE(console.T_room_no->text(), QStringLiteral("10101"));
}

// --- periodic refresh ------------------------------------------------------------------------

void TestConsole::refreshKeepsThePictureWhenNoDatabaseAnswers_data()
{
    QTest::addColumn<bool>("fileRemoved"); // else: the connection is lost with the file still there
    QTest::newRow("database file removed") << true;
    QTest::newRow("connection lost") << false;
}

void TestConsole::refreshKeepsThePictureWhenNoDatabaseAnswers()
{
    QFETCH(bool, fileRemoved);
    ConsoleDesk desk;
    Tform_main& console = desk.console;
    // A server that is not there: the fall-back fails too.
    cfg::sys().dataSource = QStringLiteral("127.0.0.1,1");
    console.SetBuild->setCurrentIndex(console.SetBuild->count() - 1); // every building
    console.Timer3Timer();
    QVERIFY(DataM().Conn.isOpen());
    const QImage before = console.DrawGrid1->grab().toImage();
    const size_t rooms = console.DrawGrid1->rooms().size();
    QCOMPARE(rooms, size_t(96));
    QStringList panels;
    for (int i = 0; i < 3; ++i)
        panels << console.StatusBar1->panelText(i);

    if (fileRemoved)
        QVERIFY(QFile::remove(desk.path(QStringLiteral("lodgex.db"))));
    else
        DataM().Conn.close();
    for (int tick = 0; tick < 3; ++tick) {
        console.Timer3Timer();
        QVERIFY(console.Timer3.isActive()); // the refresh keeps trying
        QVERIFY(console.isEnabled());
        QVERIFY(console.B_ok->isEnabled());
    }
    QVERIFY(!DataM().Conn.isOpen());
    QCOMPARE(console.DrawGrid1->rooms().size(), rooms);
    QCOMPARE(console.DrawGrid1->grab().toImage(), before);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(console.StatusBar1->panelText(i), panels[i]);

    // The operator keeps clicking rooms: the selection still works, and nothing pops up.
    QVERIFY(console.DrawGrid1->selectRoom(QStringLiteral("10207")));
    console.SelectCell(console.DrawGrid1->selectedRow(), console.DrawGrid1->selectedColumn());
    QCOMPARE(console.T_room_no->text(), QStringLiteral("10207"));
    QCOMPARE(MessageBox::shownCount(), 0);
    console.Timer3.stop();
}

void TestConsole::refreshFallsBackToTheServer()
{
    if (!TestDatabase::postgresAvailable())
        QSKIP(qPrintable(TestDatabase::postgresMissingReason()));
    ConsoleDesk desk;
    Tform_main& console = desk.console;
    const QString name = QStringLiteral("tolvane_console_%1").arg(QCoreApplication::applicationPid());
    const DbConnection::PgSettings server = TestDatabase::postgresSettings(name);
    const Installer::SampleHotel small{1, 1, 3};
    Installer::initialisePostgres(server, {QStringLiteral("admin"), QStringLiteral("admin")}, &small);
    auto dropDatabase = qScopeGuard([&] {
        DataM().Conn.close();
        DbConnection maintenance;
        maintenance.openPostgres(TestDatabase::postgresSettings(QStringLiteral("postgres")));
        maintenance.exec(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(name));
    });
    SysSettings& sys = cfg::sys();
    sys.dataSource = server.host + u',' + QString::number(server.port);
    sys.userId = server.user;
    sys.password = server.password;
    sys.initialCatalog = server.database;

    QVERIFY(QFile::remove(desk.path(QStringLiteral("lodgex.db"))));
    console.Timer3Timer(); // fails on the file, reconnects to the server
    QCOMPARE(DataM().Conn.engine(), Engine::PostgreSQL);
    QCOMPARE(DataM().currentOperatorTrueName(), QStringLiteral("admin"));
    console.Timer3Timer(); // the next tick draws from the server
    QCOMPARE(console.DrawGrid1->rooms().size(), size_t(3));
    QCOMPARE(console.StatusBar1->panelText(1), T().state(37) + QStringLiteral("3"));
    QCOMPARE(MessageBox::shownCount(), 0);
    console.Timer3.stop();
}

// --- look ------------------------------------------------------------------------------------

void TestConsole::toolButtonsShowIcons()
{
    ConsoleDesk desk;
    int buttons = 0;
    for (QToolBar* bar : {desk.console.TBar_client, desk.console.TBar_server, desk.console.TBar_super}) {
        for (QAction* action : bar->actions()) {
            if (action->isSeparator())
                continue;
            auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action));
            QVERIFY(button);
            QVERIFY2(!action->icon().isNull(), qPrintable(button->objectName()));
            QCOMPARE(action->icon().pixmap(32, 32).size(), QSize(32, 32));
            ++buttons;
        }
    }
    QVERIFY(buttons > 0);
}

void TestConsole::iconsMatchTheirDrawings()
{
    // The PNG files in the program are what tools/make-toolbar-icons draws today.
    for (const QString& name : ToolbarIcons::names()) {
        const QImage stored(QStringLiteral(":/toolbar/%1.png").arg(name));
        QVERIFY2(!stored.isNull(), qPrintable(name));
        QVERIFY2(stored.convertToFormat(QImage::Format_ARGB32) ==
                     ToolbarIcons::icon(name).convertToFormat(QImage::Format_ARGB32),
                 qPrintable(name +
                            QStringLiteral(" differs: run tolvane-make-toolbar-icons src/frontdesk/icons")));
    }
}

void TestConsole::screenshotsMode()
{
    QTemporaryDir out;
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("TOLVANE_HOME"));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(TOLVANE_PROGRAM), {QStringLiteral("--screenshots"), out.path()});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitCode(), 0);
    QImage previous;
    for (const char* screen : {"login", "welcome", "console"}) {
        for (const char* suffix : {"", "-zh"}) {
            const QString file = out.filePath(QLatin1String(screen) + QLatin1String(suffix) + ".png");
            const QImage image(file);
            QVERIFY2(!image.isNull(), qPrintable(file));
            if (qstrcmp(suffix, "-zh") == 0)
                QVERIFY2(image != previous, "the Chinese picture differs from the English one");
            previous = image;
        }
    }
    QCOMPARE(QImage(out.filePath(QStringLiteral("console.png"))).size(), QSize(1366, 768));
}

QTEST_MAIN(TestConsole)
#include "TestConsole.moc"

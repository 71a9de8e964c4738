// Login, shift, password change and lock screen, driven through the program's real windows.

#include "AppDesk.h"
#include "admin/TForm_chang_pwd.h"
#include "admin/TForm_shift.h"
#include "admin/Tform_lock_app.h"
#include "app/TDosMove.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTimer>

namespace {

const TextTables& T()
{
    return cfg::texts();
}

QString lastLogOperator(DeskFixture& desk)
{
    return desk.scalar(QStringLiteral("select operator from log order by id desc limit 1")).toString();
}

QString lastLogRemark(DeskFixture& desk)
{
    return desk.scalar(QStringLiteral("select remark from log order by id desc limit 1")).toString();
}

// Runs steps inside the modal screen the command opens (exec() returns when it closes).
void whileOpen(const std::function<void()>& steps)
{
    QTimer::singleShot(0, steps);
}

} // namespace

class TestLogin : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void refusedLogin_data();
    void refusedLogin();
    void goodLoginReachesConsole();
    void shiftHandsTheDeskOver();
    void shiftRefusesWithoutChangingTheOperator();
    void lockLetsOnlyTheRightPasswordThrough();
    void passwordChange_data();
    void passwordChange();
    void enterMovesBetweenFields();
    void enterInAGridMovesToTheNextCell();
};

void TestLogin::refusedLogin_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("except");
    QTest::newRow("unknown name") << "nobody"
                                  << "admin" << 70;
    QTest::newRow("empty name") << ""
                                << "" << 70;
    QTest::newRow("quote in name") << "admin' or '1'='1"
                                   << "admin" << 70;
    QTest::newRow("wrong password") << "admin"
                                    << "secret" << 71;
    QTest::newRow("password case differs") << "admin"
                                           << "Admin" << 71;
    QTest::newRow("password with trailing blank") << "admin"
                                                  << "admin " << 71;
    QTest::newRow("empty password") << "admin"
                                    << "" << 71;
}

void TestLogin::refusedLogin()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(int, except);
    AppDesk desk;
    const int logRows = desk.count(QStringLiteral("log"));
    desk.typeLogin(name, password);

    QCOMPARE(desk.login().StatusBar1->panelText(0), T().except(except));
    QVERIFY(desk.login().isVisible());
    QVERIFY(!desk.welcome().isVisible());
    if (except == 70)
        QVERIFY(DataM().currentOperatorTrueName().isEmpty()); // nobody is logged in
    QCOMPARE(desk.count(QStringLiteral("log")), logRows);
    QCOMPARE(desk.login().T_name->text(), name); // the fields stay as typed
    QCOMPARE(desk.login().T_pwd->text(), password);
    QCOMPARE(MessageBox::shownCount(), 0);

    // The operator may try again at once.
    QVERIFY(desk.logInAsAdmin());
    QVERIFY(desk.login().StatusBar1->panelText(0).isEmpty());
}

void TestLogin::goodLoginReachesConsole()
{
    AppDesk desk;
    QVERIFY(desk.logInAsAdmin());
    QVERIFY(!desk.login().isVisible());
    QVERIFY(!desk.welcome().isVisible());
    QCOMPARE(desk.console().StatusBar1->panelText(3), T().state(2) + QStringLiteral("admin"));
    QCOMPARE(lastLogRemark(desk), T().log(11));
    QCOMPARE(lastLogOperator(desk), QStringLiteral("admin"));
    QCOMPARE(desk.scalar(QStringLiteral("select type from log order by id desc limit 1")).toInt(), 4);
    QCOMPARE(MessageBox::shownCount(), 0);
    QVERIFY(!desk.programEnded());
    QVERIFY(!desk.console().DrawGrid1->rooms().empty());
}

void TestLogin::shiftHandsTheDeskOver()
{
    AppDesk desk;
    desk.addOperator(QStringLiteral("clerk"), QStringLiteral("Clerk Two"), QStringLiteral("pw2"));
    QVERIFY(desk.logInAsAdmin());
    Tform_main& console = desk.console();
    TForm_shift& shift = *desk.app->Form_shift;
    bool consoleHeld = false;
    QString shownOperator;
    whileOpen([&] {
        consoleHeld = !console.isEnabled() && !console.Timer3.isActive();
        shownOperator = shift.L_current_operator->text();
        shift.T_name->setText(QStringLiteral("clerk"));
        shift.T_pwd->setText(QStringLiteral("pw2"));
        QTest::mouseClick(shift.B_ok, Qt::LeftButton);
    });
    QTest::keyClick(&console, Qt::Key_F10);

    QVERIFY(!shift.isVisible());
    QVERIFY(consoleHeld);
    QCOMPARE(shownOperator, T().state(2) + QStringLiteral("admin"));
    QCOMPARE(console.StatusBar1->panelText(3), T().state(2) + QStringLiteral("Clerk Two"));
    QCOMPARE(lastLogRemark(desk), T().log(4));
    QCOMPARE(lastLogOperator(desk), QStringLiteral("Clerk Two"));
    QVERIFY(console.isEnabled());
    QVERIFY(console.Timer3.isActive());

    // Whatever is logged next carries the new operator, also after the database reconnects.
    DataM().OpenConnection(DataM().Conn.connectionString());
    QCOMPARE(DataM().currentOperatorTrueName(), QStringLiteral("Clerk Two"));
    DataM().WriteLog(QStringLiteral("next"), 4);
    QCOMPARE(lastLogOperator(desk), QStringLiteral("Clerk Two"));
}

void TestLogin::shiftRefusesWithoutChangingTheOperator()
{
    AppDesk desk;
    desk.addOperator(QStringLiteral("clerk"), QStringLiteral("Clerk Two"), QStringLiteral("pw2"));
    QVERIFY(desk.logInAsAdmin());
    TForm_shift& shift = *desk.app->Form_shift;
    QStringList panels;
    QStringList operators;
    whileOpen([&] {
        for (const auto& [name, password] : {std::pair{"someone", "pw2"}, std::pair{"clerk", "PW2"}}) {
            shift.T_name->setText(QLatin1String(name));
            shift.T_pwd->setText(QLatin1String(password));
            QTest::mouseClick(shift.B_ok, Qt::LeftButton);
            panels << shift.StatusBar1->panelText(0);
            operators << DataM().currentOperatorTrueName();
        }
        shift.reject();
    });
    desk.console().RunCommand(QStringLiteral("M_shift"));

    QCOMPARE(panels, QStringList({T().except(70), T().except(71)}));
    QCOMPARE(operators, QStringList({QStringLiteral("admin"), QStringLiteral("admin")}));
    QCOMPARE(desk.console().StatusBar1->panelText(3), T().state(2) + QStringLiteral("admin"));
    QCOMPARE(lastLogOperator(desk), QStringLiteral("admin"));
}

void TestLogin::lockLetsOnlyTheRightPasswordThrough()
{
    AppDesk desk;
    QVERIFY(desk.logInAsAdmin());
    // The lock checks no right: it works for an operator whose group holds none.
    desk.exec(QStringLiteral("delete from group_right"));
    Tform_main& console = desk.console();
    Tform_lock_app& lock = *desk.app->form_lock_app;
    struct Attempt
    {
        bool stillLocked;
        QString fieldAfter;
        bool consoleEnabled;
    };
    std::vector<Attempt> attempts;
    whileOpen([&] {
        for (const char* password : {"Admin", "", "admin2"}) {
            QTest::keyClicks(lock.T_pwd, QLatin1String(password));
            QTest::mouseClick(lock.B_ok, Qt::LeftButton);
            attempts.push_back({lock.isVisible(), lock.T_pwd->text(), console.isEnabled()});
        }
        QTest::keyClick(lock.T_pwd, Qt::Key_Escape);
        lock.close();
        attempts.push_back({lock.isVisible(), lock.T_pwd->text(), console.isEnabled()});
        QTest::keyClicks(lock.T_pwd, QStringLiteral("admin"));
        QTest::keyClick(lock.T_pwd, Qt::Key_Return);
    });
    QTest::keyClick(&console, Qt::Key_F12);

    QCOMPARE(attempts.size(), size_t(4));
    for (const Attempt& a : attempts) {
        QVERIFY(a.stillLocked);
        QVERIFY(a.fieldAfter.isEmpty());
        QVERIFY(!a.consoleEnabled);
    }
    QVERIFY(!lock.isVisible());
    QVERIFY(lock.T_pwd->text().isEmpty());
    QVERIFY(console.isEnabled());
    QVERIFY(console.Timer3.isActive());
    QCOMPARE(MessageBox::shownCount(), 0); // a wrong password says nothing
}

void TestLogin::passwordChange_data()
{
    QTest::addColumn<QString>("oldPassword");
    QTest::addColumn<QString>("newPassword");
    QTest::addColumn<QString>("repeated");
    QTest::addColumn<int>("except"); // 0: changed
    QTest::newRow("changed") << "admin"
                             << "n3w"
                             << "n3w" << 0;
    QTest::newRow("empty new password accepted") << "admin"
                                                 << ""
                                                 << "" << 0;
    QTest::newRow("old password wrong") << "ADMIN"
                                        << "n3w"
                                        << "n3w" << 78;
    QTest::newRow("new passwords differ") << "admin"
                                          << "n3w"
                                          << "N3w" << 79;
    QTest::newRow("escape instead of the exit button") << "ADMIN"
                                                       << ""
                                                       << "" << 78;
}

void TestLogin::passwordChange()
{
    QFETCH(QString, oldPassword);
    QFETCH(QString, newPassword);
    QFETCH(QString, repeated);
    QFETCH(int, except);
    AppDesk desk;
    QVERIFY(desk.logInAsAdmin());
    TForm_chang_pwd& screen = *desk.app->Form_chang_pwd;
    bool openAfterOk = false;
    whileOpen([&] {
        screen.T_old_pwd->setText(oldPassword);
        screen.T_pwd->setText(newPassword);
        screen.T_pwd2->setText(repeated);
        QTest::mouseClick(screen.B_ok, Qt::LeftButton);
        openAfterOk = screen.isVisible();
        if (openAfterOk && QByteArray(QTest::currentDataTag()).startsWith("escape"))
            QTest::keyClick(&screen, Qt::Key_Escape);
        else if (openAfterOk)
            QTest::mouseClick(screen.B_close, Qt::LeftButton); // leaving without a change
    });
    QTest::keyClick(&desk.console(), Qt::Key_F11);

    const QString stored = TEncrypt::PasswordCipher(
        desk.scalar(QStringLiteral("select pass_word from operator where name='admin'")).toString());
    if (except == 0) {
        QVERIFY(!openAfterOk);
        QCOMPARE(stored, newPassword);
        QCOMPARE(MessageBox::lastText(), T().state(25));
    } else {
        QVERIFY(openAfterOk);
        QCOMPARE(stored, QStringLiteral("admin"));
        QCOMPARE(MessageBox::lastText(), T().except(except));
    }
    // Either way, closing the screen ends the program: the operator logs in again.
    QVERIFY(desk.programEnded());
}

void TestLogin::enterMovesBetweenFields()
{
    AppDesk desk;
    Tform_login& login = desk.login();
    login.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&login));
    login.T_name->setFocus();
    QTest::keyClicks(login.T_name, QStringLiteral("admin"));
    QTest::keyClick(login.T_name, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), login.T_pwd);
    QCOMPARE(login.T_name->text(), QStringLiteral("admin"));
    QTest::keyClick(login.T_pwd, Qt::Key_Up);
    QCOMPARE(QApplication::focusWidget(), login.T_name);
    QTest::keyClick(login.T_name, Qt::Key_Down);
    QCOMPARE(QApplication::focusWidget(), login.T_pwd);
    // With a shift key held the keys are the field's own.
    QTest::keyClick(login.T_pwd, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), login.T_pwd);
    // A login by keyboard alone: Enter after the password reaches OK, Enter on OK presses it.
    QTest::keyClicks(login.T_pwd, QStringLiteral("admin"));
    QTest::keyClick(login.T_pwd, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), login.B_ok);
    QTest::keyClick(login.B_ok, Qt::Key_Return);
    QVERIFY(!login.isVisible());
    QCOMPARE(desk.console().StatusBar1->panelText(3), T().state(2) + QStringLiteral("admin"));

    // One per form.
    QString refusal;
    try {
        TDosMove second(&login);
    } catch (const std::logic_error& e) {
        refusal = QString::fromUtf8(e.what());
    }
    QCOMPARE(refusal, QStringLiteral("TDosMove can have only one instance per form"));
}

void TestLogin::enterInAGridMovesToTheNextCell()
{
    QWidget form;
    auto* grid = new QTableWidget(2, 3, &form);
    new QLineEdit(&form); // the next control in tab order: the grid keeps the focus all the same
    TDosMove move(&form);
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    grid->setFocus();
    grid->setCurrentCell(0, 0);
    QSignalSpy enterInGrid(grid, &QAbstractItemView::activated);
    QTest::keyClick(grid, Qt::Key_Return);
    QCOMPARE(grid->currentColumn(), 1);
    QCOMPARE(QApplication::focusWidget(), grid);
    QCOMPARE(enterInGrid.count(), 0); // no Enter reached the grid
}

QTEST_MAIN(TestLogin)
#include "TestLogin.moc"

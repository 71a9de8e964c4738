#pragma once

#include "DeskFixture.h"
#include "admin/Tform_login.h"
#include "app/Application.h"
#include "app/TForm_wellcome.h"
#include "card/TEncrypt.h"
#include "datastore/SqlValue.h"
#include "frontdesk/Tform_main.h"
#include "platform/gui/StatusPanels.h"

#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

// Counts the close events a window receives (the login window closing ends the program).
class CloseWatcher : public QObject
{
public:
    explicit CloseWatcher(QWidget* window) { window->installEventFilter(this); }
    int closes = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Close)
            ++closes;
        return QObject::eventFilter(watched, event);
    }
};

// The whole program on a desk fixture: every window created in the program's order, the login
// shown (it opens the demo database), the encoder module on the emulator.
struct AppDesk : DeskFixture
{
    // Runs after the installation exists and before the program starts (sys.ini edits).
    using BeforeStart = std::function<void(AppDesk&)>;

    explicit AppDesk(const BeforeStart& beforeStart = {}, bool roomStates = false)
        : DeskFixture(QStringLiteral("en"), roomStates)
    {
        if (beforeStart)
            beforeStart(*this);
        app = std::make_unique<Application>();
        loginClosed = std::make_unique<CloseWatcher>(app->form_login.get());
        app->start();
    }

    ~AppDesk()
    {
        console().Timer1.stop();
        console().Timer3.stop();
        app.reset();
    }

    Tform_login& login() { return *app->form_login; }
    TForm_wellcome& welcome() { return *app->Form_wellcome; }
    Tform_main& console() { return *app->form_main; }

    void typeLogin(const QString& name, const QString& password)
    {
        login().T_name->setText(name);
        login().T_pwd->setText(password);
        QTest::mouseClick(login().B_ok, Qt::LeftButton);
    }

    // The welcome sequence starts on a 50 ms timer; its own waits are virtual.
    // The console ends up the active window, so its keys and shortcuts reach it.
    bool reachConsole()
    {
        if (!QTest::qWaitFor([this] { return console().isVisible(); }, 5000))
            return false;
        console().activateWindow();
        return QTest::qWaitForWindowActive(&console());
    }
    bool programEnded() const { return loginClosed->closes > 0; }

    bool logInAsAdmin()
    {
        typeLogin(QStringLiteral("admin"), QStringLiteral("admin"));
        return reachConsole();
    }

    int adminGroup()
    {
        return scalar(QStringLiteral("select power from operator where name='admin'")).toInt();
    }

    void addOperator(const QString& name, const QString& trueName, const QString& password)
    {
        const QString cipher = SqlValue::quoted(TEncrypt::PasswordCipher(password));
        exec(QStringLiteral("insert into operator(name,true_name,pass_word,passwd,descript,power) "
                            "values(%1,%2,%3,%3,'',%4)")
                 .arg(SqlValue::quoted(name), SqlValue::quoted(trueName), cipher)
                 .arg(adminGroup()));
    }

    std::unique_ptr<Application> app;
    std::unique_ptr<CloseWatcher> loginClosed;
};

#include "app/Application.h"

#include "admin/TForm_chang_pwd.h"
#include "admin/TForm_shift.h"
#include "admin/Tform_lock_app.h"
#include "admin/Tform_login.h"
#include "app/TForm_Close.h"
#include "app/TForm_wellcome.h"
#include "app/Tform_about.h"
#include "config/Settings.h"
#include "datastore/TDataM.h"
#include "frontdesk/CardReadingScreens.h"
#include "frontdesk/RoomLookup.h"
#include "frontdesk/TForm_issue_card.h"
#include "frontdesk/Tform_main.h"
#include "platform/gui/StatusPanels.h"

#include <QApplication>

namespace {
Application* g_instance = nullptr;
}

Application::Application()
{
    g_instance = this;
    QApplication::setApplicationName(QLatin1String(kTitle));
    installRoomLookup();
    // Created in the program's fixed order; the login loads the configuration.
    form_login = std::make_unique<Tform_login>();
    form_main = std::make_unique<Tform_main>();
    Form_shift = std::make_unique<TForm_shift>(form_main.get());
    Form_chang_pwd = std::make_unique<TForm_chang_pwd>(form_main.get());
    form_lock_app = std::make_unique<Tform_lock_app>(form_main.get());
    form_about = std::make_unique<Tform_about>(form_main.get());
    Form_wellcome = std::make_unique<TForm_wellcome>();
    Form_Close = std::make_unique<TForm_Close>();
    wire();
}

Application::~Application()
{
    g_instance = nullptr;
}

Application& Application::instance()
{
    return *g_instance;
}

void Application::start()
{
    form_login->show();
}

void Application::quit()
{
    form_login->close();
    QApplication::quit();
}

void Application::wire()
{
    connect(form_login.get(), &Tform_login::loggedIn, this, &Application::afterLogin);
    connect(Form_wellcome.get(), &TForm_wellcome::finished, this, &Application::showConsole);
    connect(Form_wellcome.get(), &TForm_wellcome::abortProgram, this, &Application::quit);
    connect(form_main.get(), &Tform_main::closed, this, [this] { Form_Close->show(); });
    connect(Form_Close.get(), &TForm_Close::done, this, &Application::quit);

    Tform_main& main = *form_main;
    auto* issueCard = new TForm_issue_card(main); // owned by the console
    main.setScreen(QStringLiteral("M_issue_card"), [issueCard](Tform_main&) {
        issueCard->show();
        issueCard->raise();
    });
    installCardReadingScreens(main);
    main.setScreen(QStringLiteral("M_shift"),
                   [this](Tform_main&) { openModalOverConsole(Form_shift.get()); });
    main.setScreen(QStringLiteral("M_chang_pwd"),
                   [this](Tform_main&) { openModalOverConsole(Form_chang_pwd.get()); });
    main.setScreen(QStringLiteral("M_lock_app"),
                   [this](Tform_main&) { openModalOverConsole(form_lock_app.get()); });
    main.setScreen(QStringLiteral("M_about_us"), [this](Tform_main&) { form_about->exec(); });
    connect(Form_shift.get(), &TForm_shift::operatorChanged, this, [this](const QString& trueName) {
        form_main->StatusBar1->setPanelText(3, cfg::texts().state(2) + trueName);
    });
    connect(Form_shift.get(), &TForm_shift::exitProgram, this, &Application::quit);
    connect(Form_chang_pwd.get(), &TForm_chang_pwd::exitProgram, this, &Application::quit);
}

// Shift, password change and lock disable the console and stop its refresh while open.
void Application::openModalOverConsole(QWidget* screen)
{
    Tform_main& main = *form_main;
    main.Timer3.stop();
    main.setEnabled(false);
    screen->setEnabled(true);
    if (auto* dialog = qobject_cast<QDialog*>(screen))
        dialog->exec();
    else
        screen->show();
    main.setEnabled(true);
    main.Timer3.start();
}

void Application::afterLogin()
{
    form_main->StatusBar1->setPanelText(3, cfg::texts().state(2) + DataM().currentOperatorTrueName());
    Form_wellcome->show();
    form_login->hide();
}

void Application::showConsole()
{
    form_main->showMaximized();
    form_main->BuildRoomMap();
    form_main->DrawGrid1->update();
    Form_wellcome->hide();
}

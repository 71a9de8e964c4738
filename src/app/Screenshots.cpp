#include "app/Screenshots.h"

#include "admin/OperatorLogin.h"
#include "admin/Tform_login.h"
#include "app/Application.h"
#include "app/DemoInstallation.h"
#include "app/TForm_wellcome.h"
#include "config/Settings.h"
#include "datastore/TDataM.h"
#include "frontdesk/Tform_main.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/StatusPanels.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cstdio>

namespace Screenshots {
namespace {

void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

bool save(QWidget* widget, const QString& file)
{
    settle();
    const bool ok = widget->grab().save(file);
    std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "wrote" : "could not write", qPrintable(file));
    return ok;
}

bool renderLanguage(const QString& directory, const QString& language)
{
    QTemporaryDir home;
    DemoInstallation::copyInstallData(home.path(), language, true);
    DemoInstallation::createDatabase(QDir(home.path()).filePath(QStringLiteral("lodgex.db")),
                                     QStringLiteral("admin"), QStringLiteral("admin"), true);
    qputenv("TOLVANE_HOME", home.path().toUtf8());
    // No serial port of this machine is touched while the screens are rendered.
    for (int n = 1; n <= 8; ++n)
        qputenv(QStringLiteral("TOLVANE_COM%1").arg(n).toLatin1(),
                home.filePath(QStringLiteral("no-port")).toUtf8());
    const QString suffix = language == QLatin1String("en") ? QString() : QStringLiteral("-") + language;
    auto file = [&](const char* name) {
        return QDir(directory).filePath(QLatin1String(name) + suffix + ".png");
    };

    bool ok = true;
    Application app;
    Tform_login& login = *app.form_login;
    login.show();
    login.T_name->setText(QStringLiteral("admin"));
    login.T_pwd->setText(QStringLiteral("admin"));
    login.adjustSize();
    ok &= save(&login, file("login"));

    TDataM& dm = DataM();
    dm.CurrentOperatorName = QStringLiteral("admin");
    OperatorLogin::verify(dm.Q_operator, QStringLiteral("admin"), QStringLiteral("admin"));
    login.hide();

    TForm_wellcome& welcome = *app.Form_wellcome;
    welcome.show();
    welcome.Timer1.stop(); // the encoder search does not run for a picture
    welcome.Panel1->setText(cfg::texts().state(27));
    ok &= save(&welcome, file("welcome"));
    welcome.hide();

    Tform_main& main = *app.form_main;
    main.StatusBar1->setPanelText(3, cfg::texts().state(2) + dm.currentOperatorTrueName());
    main.resize(1366, 768);
    main.show();
    main.SetBottomPaneOpen(true);
    main.T_room_no->setText(QStringLiteral("10105"));
    main.DrawGrid1->selectRoom(QStringLiteral("10105"));
    main.RefreshConsole();
    main.StatusBar1->setPanelText(4, cfg::texts().state(3));
    ok &= save(&main, file("console"));
    main.Timer1.stop();
    main.Timer3.stop();
    main.hide();
    dm.Conn.close();
    return ok;
}

} // namespace

int render(const QString& directory)
{
    if (!QDir().mkpath(directory)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(directory));
        return 1;
    }
    MessageBox::setAutoAnswer(true);
    bool ok = true;
    try {
        for (const char* language : {"en", "zh"})
            ok &= renderLanguage(directory, QLatin1String(language));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "screenshots failed: %s\n", e.what());
        return 1;
    }
    return ok ? 0 : 1;
}

} // namespace Screenshots

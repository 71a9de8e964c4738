#include "app/TForm_Close.h"

#include "config/Settings.h"
#include "datastore/ConnectionString.h"
#include "datastore/TDataM.h"
#include "platform/Clock.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

TForm_Close::TForm_Close(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Form_Close"));
    auto* layout = new QVBoxLayout(this);
    Label1 = new QLabel(this);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setStyleSheet(QStringLiteral("font-size: 14pt; color: #1f3a93;"));
    Label1->setText(QStringLiteral("Closing Tolvane…"));
    layout->addWidget(Label1);
    setStyleSheet(QStringLiteral("TForm_Close { background: #f4f7fb; border: 1px solid #9fb3c8; }"));
    resize(360, 120);
    Timer1.setInterval(1500);
    Timer1.setSingleShot(true);
    connect(&Timer1, &QTimer::timeout, this, &TForm_Close::Timer1Timer);
}

void TForm_Close::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormShow();
}

void TForm_Close::FormShow()
{
    // The recount runs on the server database only; an embedded database simply closes.
    m_connectionString.clear();
    if (DataM().Conn.engine() == Engine::PostgreSQL) {
        const IniFile sys(cfg::sysIniPath());
        SysSettings s = cfg::sys();
        s.password = sys.readString(QStringLiteral("sys"), QStringLiteral("password"), QString());
        s.userId = sys.readString(QStringLiteral("sys"), QStringLiteral("User ID"), QStringLiteral("sa"));
        s.initialCatalog = sys.readString(QStringLiteral("sys"), QStringLiteral("Initial Catalog"),
                                          QStringLiteral("lodgex"));
        s.dataSource = sys.readString(QStringLiteral("sys"), QStringLiteral("Data Source"),
                                      QLatin1String(SysSettings::kDefaultMachine));
        s.workstationId = sys.readString(QStringLiteral("sys"), QStringLiteral("WorkstationID"),
                                         QLatin1String(SysSettings::kDefaultMachine));
        m_connectionString = ConnectionString::buildSqlServer(s);
    }
    Timer1.start();
}

void TForm_Close::Timer1Timer()
{
    Delay(500);
    m_procedureRan = !m_connectionString.isEmpty() &&
                     TDataM::RunStoredProcedure(m_connectionString, QStringLiteral("Auto_count_cardnum"));
    Q_EMIT done();
}

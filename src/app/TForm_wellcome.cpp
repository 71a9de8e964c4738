#include "app/TForm_wellcome.h"

#include "card/TCard.h"
#include "config/Eic.h"
#include "config/Settings.h"
#include "datastore/TDataM.h"
#include "encoder/TForm_Com.h"
#include "platform/Clock.h"
#include "platform/gui/GridColumns.h"
#include "platform/gui/MessageBox.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QShowEvent>
#include <QTableView>
#include <QVBoxLayout>

TForm_wellcome::TForm_wellcome(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Form_wellcome"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("PanelFrame"));
    panel->setStyleSheet(QStringLiteral("#PanelFrame { background: #f4f7fb; border: 1px solid #9fb3c8; }"));
    auto* inner = new QVBoxLayout(panel);
    Panel1 = new QLabel(panel);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAlignment(Qt::AlignCenter);
    Panel1->setStyleSheet(QStringLiteral("color: #1f3a93; font-weight: bold; font-size: 19pt;"));
    Panel1->setMinimumHeight(120);
    DBGrid2 = new QTableView(panel);
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    DBGrid2->setFixedHeight(20);
    DBGrid2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    inner->addWidget(Panel1, 1);
    inner->addWidget(DBGrid2);
    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setFixedHeight(0);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(panel, 1);
    layout->addWidget(DBGrid1);
    resize(520, 220);
    Timer1.setInterval(50);
    Timer1.setSingleShot(true);
    connect(&Timer1, &QTimer::timeout, this, &TForm_wellcome::Timer1Timer);
}

void TForm_wellcome::caption(int stateEntry)
{
    Panel1->setText(cfg::texts().state(stateEntry));
    Delay(50);
}

void TForm_wellcome::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormShow();
}

void TForm_wellcome::FormShow()
{
    TForm_Com& com = TForm_Com::instance();
    try {
        caption(1);
        try {
            com.setPortNumber(cfg::sys().com);
            com.open();
        } catch (const PortError&) {
            // The configured port is not there: fall back to COM1 and remember it.
            com.close();
            com.setPortNumber(1);
            try {
                com.open();
                cfg::sysIni().writeInteger(QStringLiteral("sys"), QStringLiteral("com"), 1);
                cfg::sys().com = 1;
            } catch (const PortError&) {
                com.close();
            }
        }
        Delay(50);
        if (com.isOpen())
            Card().LoadCardKeys();
        Timer1.start();
    } catch (const std::exception&) {
        MessageBox::error(this, cfg::texts().except(48));
        Q_EMIT abortProgram();
    }
}

bool TForm_wellcome::searchEncoder()
{
    TForm_Com& com = TForm_Com::instance();
    for (int port = 1; port <= 8; ++port) {
        try {
            com.close();
            com.setPortNumber(port);
            com.open();
            Delay(800);
            if (com.DetectEncoder() == 0) {
                cfg::sysIni().writeInteger(QStringLiteral("sys"), QStringLiteral("com"), port);
                cfg::sys().com = static_cast<quint8>(port);
                Card().LoadCardKeys();
                return true;
            }
        } catch (const std::exception&) {
            // this port is missing or busy: try the next
        }
    }
    return false;
}

void TForm_wellcome::runSequence()
{
    TForm_Com& com = TForm_Com::instance();
    Delay(50);
    bool answered = false;
    try {
        answered = com.isOpen() && com.DetectEncoder() == 0;
    } catch (const PortError&) {
    }
    Delay(500);
    if (!answered && !searchEncoder())
        throw Eic(47);
    TDataM& dm = DataM();
    dm.SetDisplayLabels();
    caption(26);
    caption(27);
    showColumns(DBGrid1, &dm.Q_room,
                {{"room_no", QString()}, {"card_num", QString()}, {"room_status_code", QString()}});
    DBGrid1->setFixedHeight(21); // the rooms pass by while they are recounted
    dm.RecountRoomCards();
    DBGrid1->setFixedHeight(0);
    caption(28);
    dm.RefreshRoomStatus();
    com.ReadIdentification();
    com.setSiteCode(cfg::sys().siteCode());
    Delay(150);
    com.close();
}

void TForm_wellcome::Timer1Timer()
{
    Timer1.stop();
    try {
        runSequence();
        Q_EMIT finished();
    } catch (const Eic& e) {
        TForm_Com::instance().close();
        TForm_Com::instance().setSiteCode(cfg::sys().siteCode());
        if (e.code() == 47) {
            const auto answer = MessageBox::question(this, cfg::texts().label(100), QStringLiteral("Erroe"),
                                                     QMessageBox::Yes | QMessageBox::No);
            if (answer == QMessageBox::Yes)
                Q_EMIT finished();
            else
                Q_EMIT abortProgram();
            return;
        }
        MessageBox::error(this, cfg::texts().except(e.code()));
        Q_EMIT abortProgram();
    } catch (const std::exception& e) {
        TForm_Com::instance().close();
        MessageBox::error(this, QString::fromUtf8(e.what()));
        Q_EMIT abortProgram();
    }
}

void TForm_wellcome::closeEvent(QCloseEvent* event)
{
    TForm_Com::instance().close();
    QWidget::closeEvent(event);
}

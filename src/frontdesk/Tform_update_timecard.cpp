#include "frontdesk/Tform_update_timecard.h"

#include "card/TCard.h"
#include "config/Eic.h"
#include "config/Settings.h"
#include "frontdesk/CardReading.h"
#include "frontdesk/CardReadingScreens.h"
#include "frontdesk/CardWork.h"
#include "frontdesk/Tform_main.h"
#include "platform/Clock.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/StatusPanels.h"

#include <QCloseEvent>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTimeEdit>
#include <QVBoxLayout>

using ReadingScreens::named;

namespace {

const TextTables& T()
{
    return cfg::texts();
}

// Entry 40 is told by the kind of the card that lies there instead.
QString failureText(int exceptEntry)
{
    return exceptEntry == 40 ? Card().kindName : T().except(exceptEntry);
}

} // namespace

Tform_update_timecard::Tform_update_timecard(Tform_main& console)
    : QWidget(&console, Qt::Window | Qt::WindowStaysOnTopHint), m_console(console)
{
    setObjectName(QStringLiteral("form_update_timecard"));
    buildLayout();
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &Tform_update_timecard::Timer1Timer);
    connect(B_update, &QPushButton::clicked, this, &Tform_update_timecard::B_updateClick);
    connect(B_exit, &QPushButton::clicked, this, &Tform_update_timecard::B_exitClick);
}

void Tform_update_timecard::buildLayout()
{
    L_card_no = named<QLabel>(this, "L_card_no");
    L_now = named<QLabel>(this, "L_now");
    L_old_time = named<QLabel>(this, "L_old_time");
    L_new_time = named<QLabel>(this, "L_new_time");
    T_card_no = named<QLineEdit>(this, "T_card_no");
    T_now = named<QLineEdit>(this, "T_now");
    T_old_time = named<QLineEdit>(this, "T_old_time");
    for (QLineEdit* e : {T_card_no, T_now, T_old_time}) {
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::ClickFocus);
    }
    T_new_date = named<QDateEdit>(this, "T_new_date");
    T_new_date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    T_new_date->setCalendarPopup(true);
    T_new_time = named<QTimeEdit>(this, "T_new_time");
    T_new_time->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    B_update = named<QPushButton>(this, "B_update");
    B_exit = named<QPushButton>(this, "B_exit");
    StatusBar1 = new StatusPanels({300}, this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));

    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(8);
    fields->addWidget(L_card_no, 0, 0);
    fields->addWidget(T_card_no, 0, 1, 1, 2);
    fields->addWidget(L_now, 1, 0);
    fields->addWidget(T_now, 1, 1, 1, 2);
    fields->addWidget(L_old_time, 2, 0);
    fields->addWidget(T_old_time, 2, 1, 1, 2);
    fields->addWidget(L_new_time, 3, 0);
    fields->addWidget(T_new_date, 3, 1);
    fields->addWidget(T_new_time, 3, 2);
    fields->setColumnStretch(1, 1);
    fields->setColumnStretch(2, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* b : {B_update, B_exit}) {
        b->setMinimumWidth(110);
        buttons->addWidget(b);
    }
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(10, 10, 10, 0);
    page->addLayout(fields);
    page->addSpacing(6);
    page->addLayout(buttons);
    page->addStretch();
    page->addWidget(StatusBar1);
    resize(420, 220);
}

void Tform_update_timecard::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void Tform_update_timecard::closeEvent(QCloseEvent* event)
{
    FormClose();
    QWidget::closeEvent(event);
}

void Tform_update_timecard::FormShow()
{
    setWindowTitle(T().form(28));
    L_card_no->setText(T().label(26));
    L_now->setText(T().label(56));
    L_old_time->setText(T().label(60));
    L_new_time->setText(T().label(57));
    B_update->setText(T().button(6));
    B_exit->setText(T().button(3));
    ClearScreen();
    T_new_date->setFocus();
    if (!ReadingScreens::openEncoderPort())
        StatusBar1->setPanelText(0, T().except(48));
    Timer1.start();
    ReadingScreens::holdConsole(m_console, this, true);
}

void Tform_update_timecard::ClearScreen()
{
    T_old_time->clear();
    T_card_no->clear();
    B_update->setEnabled(false);
    const QDateTime now = Clock::instance().now();
    T_now->setText(CardReading::dateTimeText(now));
    T_new_date->setDate(now.date());
    T_new_time->setTime(now.time());
    StatusBar1->setPanelText(0, QString());
}

void Tform_update_timecard::Timer1Timer()
{
    const CardWork work;
    if (!work.acquired())
        return;
    try {
        const CardReading::ClockCardReading card = CardReading::ReadClockCard();
        if (card.isClockCard) {
            T_old_time->setText(CardReading::dateTimeText(card.carried));
            T_card_no->setText(QString::number(card.serial));
            StatusBar1->setPanelText(0, QString());
            B_update->setEnabled(true);
        } else {
            // Another kind of card: say which, and offer nothing to write onto it.
            T_old_time->clear();
            T_card_no->clear();
            B_update->setEnabled(false);
            StatusBar1->setPanelText(0, card.kindName);
        }
    } catch (const Eic& e) {
        ClearScreen();
        StatusBar1->setPanelText(0, failureText(e.code()));
    } catch (const std::exception& e) {
        ClearScreen();
        StatusBar1->setPanelText(0, QString::fromUtf8(e.what()));
    }
}

void Tform_update_timecard::B_updateClick()
{
    const CardWork work;
    if (!work.acquired())
        return;
    StatusBar1->setPanelText(0, QString());
    Timer1.stop();
    try {
        // The time to write is the date of T_new_date at the time of T_new_time.
        CardReading::UpdateClockCard(QDateTime(T_new_date->date(), T_new_time->time()));
        Delay(1000);
        Timer1.start();
        ClearScreen();
        StatusBar1->setPanelText(0, QStringLiteral("时钟修改成功"));
    } catch (const Eic& e) {
        // The timer stays stopped and the button as it is: the operator may press it again.
        StatusBar1->setPanelText(0, QStringLiteral("时钟修改失败"));
        MessageBox::warning(this, failureText(e.code()));
    } catch (const std::exception& e) {
        StatusBar1->setPanelText(0, QStringLiteral("时钟修改失败"));
        MessageBox::error(this, QString::fromUtf8(e.what()));
    }
}

void Tform_update_timecard::B_exitClick()
{
    close();
}

void Tform_update_timecard::FormClose()
{
    ReadingScreens::closeEncoderPort();
    ReadingScreens::releaseConsole(m_console);
    Timer1.stop();
    ClearScreen();
}

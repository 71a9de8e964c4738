#include "frontdesk/TForm_readcard.h"

#include "card/TCard.h"
#include "config/Eic.h"
#include "config/Settings.h"
#include "datastore/TDataM.h"
#include "frontdesk/CardReadingScreens.h"
#include "frontdesk/CardWork.h"
#include "frontdesk/Tform_main.h"
#include "platform/Clock.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/StatusPanels.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMutexLocker>
#include <QPalette>
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

QString errorText(const std::exception& e)
{
    return QString::fromUtf8(e.what());
}

} // namespace

TForm_readcard::TForm_readcard(Tform_main& console) : QWidget(&console, Qt::Window), m_console(console)
{
    setObjectName(QStringLiteral("Form_readcard"));
    buildLayout();
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &TForm_readcard::Timer1Timer);
    connect(B_cancel, &QPushButton::clicked, this, &TForm_readcard::B_cancelClick);
    connect(B_chang_room, &QPushButton::clicked, this, &TForm_readcard::B_chang_roomClick);
    connect(B_chang_out, &QPushButton::clicked, this, &TForm_readcard::B_chang_outClick);
    // Enter in the room field confirms the new room, as the button does.
    connect(T_room_no, &QLineEdit::returnPressed, this, [this] {
        if (B_chang_room->isEnabled())
            B_chang_roomClick();
    });
}

void TForm_readcard::buildLayout()
{
    L_room_no = named<QLabel>(this, "L_room_no");
    L_in_time = named<QLabel>(this, "L_in_time");
    L_out_time = named<QLabel>(this, "L_out_time");
    L_day_num = named<QLabel>(this, "L_day_num");
    L_name = named<QLabel>(this, "L_name");
    L_id = named<QLabel>(this, "L_id");
    L_memo = named<QLabel>(this, "L_memo");
    T_room_no = named<QLineEdit>(this, "T_room_no");
    T_in_date = named<QDateEdit>(this, "T_in_date");
    T_in_time = named<QTimeEdit>(this, "T_in_time");
    T_out_date = named<QDateEdit>(this, "T_out_date");
    T_out_time = named<QTimeEdit>(this, "T_out_time");
    for (QDateEdit* d : {T_in_date, T_out_date}) {
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        d->setCalendarPopup(true);
    }
    for (QTimeEdit* t : {T_in_time, T_out_time})
        t->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    T_in_date->setReadOnly(true);
    T_in_time->setReadOnly(true);
    T_in_date->setFocusPolicy(Qt::NoFocus);
    T_in_time->setFocusPolicy(Qt::NoFocus);
    // Room and check-out are disabled until a mode offers them for editing; they must stay
    // legible meanwhile, as they show the card.
    for (QWidget* w : std::initializer_list<QWidget*>{T_room_no, T_out_date, T_out_time}) {
        QPalette p = w->palette();
        p.setColor(QPalette::Disabled, QPalette::Text, p.color(QPalette::Active, QPalette::Text));
        w->setPalette(p);
    }
    T_day_num = named<QLineEdit>(this, "T_day_num");
    C_loss = named<QCheckBox>(this, "C_loss");
    // Shows the record; the operator does not tick it here.
    C_loss->setAttribute(Qt::WA_TransparentForMouseEvents);
    C_loss->setFocusPolicy(Qt::NoFocus);
    T_name = named<QLineEdit>(this, "T_name");
    T_memo = named<QLineEdit>(this, "T_memo");
    T_ID = named<QLineEdit>(this, "T_ID");
    for (QLineEdit* e : {T_day_num, T_name, T_memo, T_ID}) {
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::ClickFocus); // shown, not typed: Tab goes to what can be changed
    }

    G_operator_info = named<QGroupBox>(this, "G_operator_info");
    L_operator = named<QLabel>(G_operator_info, "L_operator");
    L_pub_time = named<QLabel>(G_operator_info, "L_pub_time");
    T_operator_name = named<QLineEdit>(G_operator_info, "T_operator_name");
    T_pub_time = named<QLineEdit>(G_operator_info, "T_pub_time");
    for (QLineEdit* e : {T_operator_name, T_pub_time}) {
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::ClickFocus);
    }
    auto* who = new QGridLayout(G_operator_info);
    who->addWidget(L_operator, 0, 0);
    who->addWidget(T_operator_name, 0, 1);
    who->addWidget(L_pub_time, 0, 2);
    who->addWidget(T_pub_time, 0, 3);
    who->setColumnStretch(1, 1);
    who->setColumnStretch(3, 1);

    B_chang_room = named<QPushButton>(this, "B_chang_room");
    B_chang_out = named<QPushButton>(this, "B_chang_out");
    B_cancel = named<QPushButton>(this, "B_cancel");
    StatusBar1 = new StatusPanels({300, 150, 10}, this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));

    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(8);
    fields->addWidget(L_room_no, 0, 0);
    fields->addWidget(T_room_no, 0, 1);
    fields->addWidget(L_day_num, 0, 2);
    fields->addWidget(T_day_num, 0, 3);
    fields->addWidget(L_in_time, 1, 0);
    fields->addWidget(T_in_date, 1, 1);
    fields->addWidget(T_in_time, 1, 2, 1, 2);
    fields->addWidget(L_out_time, 2, 0);
    fields->addWidget(T_out_date, 2, 1);
    fields->addWidget(T_out_time, 2, 2, 1, 2);
    fields->addWidget(L_name, 3, 0);
    fields->addWidget(T_name, 3, 1);
    fields->addWidget(L_id, 3, 2);
    fields->addWidget(T_ID, 3, 3);
    fields->addWidget(L_memo, 4, 0);
    fields->addWidget(T_memo, 4, 1, 1, 3);
    fields->addWidget(C_loss, 5, 1, 1, 3);
    fields->setColumnStretch(1, 1);
    fields->setColumnStretch(3, 1);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {B_chang_room, B_chang_out, B_cancel}) {
        b->setMinimumWidth(120);
        buttons->addWidget(b);
    }
    buttons->addStretch();

    auto* top = new QHBoxLayout;
    top->addLayout(fields, 1);
    top->addSpacing(12);
    top->addLayout(buttons);

    auto* page = new QVBoxLayout(this);
    page->addLayout(top);
    page->addWidget(G_operator_info);
    page->addStretch();
    page->addWidget(StatusBar1);
    page->setContentsMargins(10, 10, 10, 0);
    resize(660, 310);
}

CardReading::Mode TForm_readcard::mode() const
{
    return CardReading::modeForCaption(windowTitle());
}

void TForm_readcard::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TForm_readcard::closeEvent(QCloseEvent* event)
{
    FormClose();
    QWidget::closeEvent(event);
}

void TForm_readcard::setCaptions()
{
    C_loss->setText(T().label(8));
    L_room_no->setText(T().label(4));
    L_in_time->setText(T().label(5));
    L_out_time->setText(T().label(6));
    L_day_num->setText(T().label(7));
    L_memo->setText(T().label(9));
    L_id->setText(T().label(68));
    L_name->setText(T().label(11));
    G_operator_info->setTitle(T().label(23));
    L_operator->setText(T().label(67));
    L_pub_time->setText(T().label(24));
    B_cancel->setText(T().button(22));
    B_chang_room->setText(T().label(27));
    B_chang_out->setText(T().label(28));
}

void TForm_readcard::FormShow()
{
    try {
        DataSet& rooms = DataM().Q_room;
        rooms.close();
        rooms.setSql(QStringLiteral("select * from room order by building_id,floor,room_no_id"));
        rooms.open();
    } catch (const std::exception&) {
        // The room list is only a convenience here; the card and its record come from elsewhere.
    }
    setCaptions();
    showDatesNow();
    const bool portOpen = ReadingScreens::openEncoderPort();
    ClearScreen();
    if (!portOpen)
        StatusBar1->setPanelText(0, T().except(48));
    Timer1.start();
    ReadingScreens::holdConsole(m_console, this, true);
}

void TForm_readcard::showDatesNow()
{
    const QDateTime now = Clock::instance().now();
    T_in_date->setDate(now.date());
    T_in_time->setTime(now.time());
    T_out_date->setDate(now.date());
    T_out_time->setTime(now.time());
}

void TForm_readcard::ClearScreen()
{
    showDatesNow();
    for (QLineEdit* e : {T_memo, T_day_num, T_ID, T_room_no, T_operator_name, T_pub_time, T_name})
        e->clear();
    C_loss->setChecked(false);
    StatusBar1->clearPanels();
    for (QWidget* w : std::initializer_list<QWidget*>{T_room_no, T_out_date, T_out_time, B_cancel,
                                                      B_chang_room, B_chang_out})
        w->setEnabled(false);
    m_cardShown = false;
}

void TForm_readcard::showCard(const CardReading::GuestCard& card)
{
    T_day_num->setText(QString::number(card.nights));
    T_in_date->setDate(card.start.date());
    T_in_time->setTime(card.start.time());
    T_out_date->setDate(card.end.date());
    T_out_time->setTime(card.end.time());
    T_room_no->setText(card.roomNo);
    T_name->setText(card.holderName);
    T_memo->setText(card.remark);
    C_loss->setChecked(card.lostCardReplacement);
    T_pub_time->setText(card.publishTime);
    T_operator_name->setText(card.publishOperator);
    T_ID->setText(card.ownId);
    StatusBar1->setPanelText(0, card.kindText());
    StatusBar1->setPanelText(2, card.serialText());
    m_cardShown = true;
}

// The one action of the mode. The change modes stop polling so the operator can edit the card's
// room or check-out; cancelling keeps following the card on the encoder.
void TForm_readcard::offerAction()
{
    switch (mode()) {
    case CardReading::Mode::RoomChange:
        B_chang_room->setEnabled(true);
        T_room_no->setEnabled(true);
        T_room_no->setFocus();
        T_room_no->selectAll();
        Timer1.stop();
        break;
    case CardReading::Mode::StayChange:
        B_chang_out->setEnabled(true);
        T_out_date->setEnabled(true);
        T_out_time->setEnabled(true);
        T_out_date->setFocus();
        Timer1.stop();
        break;
    case CardReading::Mode::Cancel:
        B_cancel->setEnabled(true);
        break;
    case CardReading::Mode::Read:
        break;
    }
}

void TForm_readcard::showReadFailure(int exceptEntry)
{
    ClearScreen();
    StatusBar1->setPanelText(0, T().except(exceptEntry));
    if (exceptEntry == 40)
        StatusBar1->setPanelText(1, Card().kindName);
}

void TForm_readcard::Timer1Timer()
{
    const CardWork work;
    if (!work.acquired())
        return;
    try {
        showCard(CardReading::ReadGuestCard());
        offerAction();
    } catch (const Eic& e) {
        showReadFailure(e.code());
    } catch (const std::exception& e) {
        // A date on the card the calendar does not have, or the database gone.
        ClearScreen();
        StatusBar1->setPanelText(0, errorText(e));
    }
}

void TForm_readcard::afterCardChanged()
{
    ClearScreen();
    ReadingScreens::redrawConsole(m_console);
    Timer1.start();
}

// Polling stops while the card is changed; it resumes after a failure (after a success the
// screen is cleared and afterCardChanged starts it again).
void TForm_readcard::runCardChange(const std::function<void()>& change)
{
    try {
        Timer1.stop();
        change();
        afterCardChanged();
    } catch (const Eic& e) {
        MessageBox::warning(this, T().except(e.code()));
        Timer1.start();
    } catch (const std::exception& e) {
        MessageBox::error(this, errorText(e));
        Timer1.start();
    }
}

void TForm_readcard::B_cancelClick()
{
    const CardWork work;
    if (!work.acquired())
        return;
    B_cancel->setEnabled(false);
    runCardChange([] { CardReading::CancelGuestCard(); });
    // Offered again only while a card is shown: after a cancellation the screen is empty.
    B_cancel->setEnabled(m_cardShown);
}

void TForm_readcard::B_chang_roomClick()
{
    const CardWork work;
    if (!work.acquired())
        return;
    const QMutexLocker<QRecursiveMutex> section(&cfg::criticalSection());
    B_chang_room->setEnabled(false);
    runCardChange([this] { CardReading::ChangeRoom(T_room_no->text()); });
}

void TForm_readcard::B_chang_outClick()
{
    const CardWork work;
    if (!work.acquired())
        return;
    const QMutexLocker<QRecursiveMutex> section(&cfg::criticalSection());
    B_chang_out->setEnabled(false);
    // The check-out is the date of T_out_date at the time of T_out_time.
    runCardChange([this] { CardReading::ChangeStay(QDateTime(T_out_date->date(), T_out_time->time())); });
    B_chang_out->setEnabled(m_cardShown);
}

void TForm_readcard::FormClose()
{
    ClearScreen();
    Timer1.stop();
    ReadingScreens::releaseConsole(m_console);
    ReadingScreens::closeEncoderPort();
}

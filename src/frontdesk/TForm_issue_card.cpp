#include "frontdesk/TForm_issue_card.h"

#include "config/Eic.h"
#include "config/Settings.h"
#include "datastore/DatabaseError.h"
#include "datastore/TDataM.h"
#include "encoder/TForm_Com.h"
#include "frontdesk/CardWork.h"
#include "frontdesk/Tform_main.h"
#include "platform/Clock.h"
#include "platform/gui/GridColumns.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/StatusPanels.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <QTableView>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace {

const TextTables& T()
{
    return cfg::texts();
}

template <typename W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

TForm_issue_card::TForm_issue_card(Tform_main& console)
    : QWidget(&console, Qt::Window | Qt::WindowStaysOnTopHint), m_console(console)
{
    setObjectName(QStringLiteral("Form_issue_card"));
    buildLayout();
    connect(B_ok, &QPushButton::clicked, this, &TForm_issue_card::B_okClick);
    connect(B_close, &QPushButton::clicked, this, &QWidget::close);
    connect(BitBtn1, &QPushButton::clicked, this, &TForm_issue_card::BitBtn1Click);
    connect(Button1, &QPushButton::clicked, this, &TForm_issue_card::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm_issue_card::Button2Click);
    connect(DBGrid1, &QTableView::doubleClicked, this, &TForm_issue_card::DBGrid1DblClick);
    connect(T_day_num, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (text.isEmpty())
            return;
        const QSignalBlocker block(T_out_date);
        T_out_date->setDate(T_in_date->date().addDays(text.toInt()));
    });
    connect(T_out_date, &QDateEdit::dateChanged, this, [this](const QDate& date) {
        T_day_num->setText(QString::number(T_in_date->date().daysTo(date)));
    });
    connect(T_out_date, &QDateEdit::editingFinished, this, [this] {
        const QDateTime now = Clock::instance().now();
        if (now > QDateTime(T_out_date->date(), T_out_time->time())) {
            MessageBox::warning(this, T().label(229));
            T_out_date->setDate(now.date().addDays(1));
            T_day_num->setText(QStringLiteral("1"));
        }
    });
}

void TForm_issue_card::buildLayout()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* body = new QHBoxLayout;
    body->setContentsMargins(10, 10, 10, 6);
    outer->addLayout(body, 1);

    auto* form = new QGridLayout;
    form->setVerticalSpacing(6);
    L_room_no = named(new QLabel, "L_room_no");
    L_in_time = named(new QLabel, "L_in_time");
    L_out_time = named(new QLabel, "L_out_time");
    L_day_num = named(new QLabel, "L_day_num");
    L_memo = named(new QLabel, "L_memo");
    L_id = named(new QLabel, "L_id");
    L_name = named(new QLabel, "L_name");
    T_room_no = named(new QLineEdit, "T_room_no");
    T_in_date = named(new QDateEdit, "T_in_date");
    T_in_time = named(new QTimeEdit, "T_in_time");
    T_out_date = named(new QDateEdit, "T_out_date");
    T_out_time = named(new QTimeEdit, "T_out_time");
    for (QDateEdit* d : {T_in_date, T_out_date}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    }
    for (QTimeEdit* t : {T_in_time, T_out_time})
        t->setDisplayFormat(QStringLiteral("HH:mm"));
    T_day_num = named(new QLineEdit, "T_day_num");
    T_day_num->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,4}")), T_day_num));
    C_loss = named(new QCheckBox, "C_loss");
    CheckListBox1 = named(new QListWidget, "CheckListBox1");
    for (int i = 0; i < 8; ++i) {
        auto* item = new QListWidgetItem(CheckListBox1);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    CheckListBox1->setMaximumHeight(130);
    T_name = named(new QLineEdit, "T_name");
    T_name->setMaxLength(20);
    T_id = named(new QLineEdit, "T_id");
    T_memo = named(new QLineEdit, "T_memo");
    T_memo->setMaxLength(250);
    B_ok = named(new QPushButton, "B_ok");
    B_ok->setDefault(true);
    B_close = named(new QPushButton, "B_close");

    int row = 0;
    form->addWidget(L_room_no, row, 0);
    form->addWidget(T_room_no, row++, 1, 1, 2);
    form->addWidget(L_in_time, row, 0);
    form->addWidget(T_in_date, row, 1);
    form->addWidget(T_in_time, row++, 2);
    form->addWidget(L_out_time, row, 0);
    form->addWidget(T_out_date, row, 1);
    form->addWidget(T_out_time, row++, 2);
    form->addWidget(L_day_num, row, 0);
    form->addWidget(T_day_num, row, 1);
    form->addWidget(C_loss, row++, 2);
    form->addWidget(L_name, row, 0);
    form->addWidget(T_name, row++, 1, 1, 2);
    form->addWidget(L_id, row, 0);
    form->addWidget(T_id, row++, 1, 1, 2);
    form->addWidget(L_memo, row, 0);
    form->addWidget(T_memo, row++, 1, 1, 2);
    form->addWidget(CheckListBox1, row++, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(B_ok);
    buttons->addWidget(B_close);
    form->addLayout(buttons, row, 0, 1, 3);
    auto* formBox = new QWidget;
    formBox->setLayout(form);
    formBox->setFixedWidth(330);
    body->addWidget(formBox, 0, Qt::AlignTop);

    GuestPanel = named(new QWidget, "GuestPanel");
    auto* guest = new QGridLayout(GuestPanel);
    guest->setContentsMargins(10, 0, 0, 0);
    Label1 = named(new QLabel, "Label1");
    Label2 = named(new QLabel, "Label2");
    Label3 = named(new QLabel, "Label3");
    Label4 = named(new QLabel, "Label4");
    Edit1 = named(new QLineEdit, "Edit1");
    Edit2 = named(new QLineEdit, "Edit2");
    Edit3 = named(new QLineEdit, "Edit3");
    Edit4 = named(new QLineEdit, "Edit4");
    BitBtn1 = named(new QPushButton(QStringLiteral("查询")), "BitBtn1");
    Button1 = named(new QPushButton(QStringLiteral(">>")), "Button1");
    Button2 = named(new QPushButton(QStringLiteral("<<")), "Button2");
    DBGrid1 = named(new QTableView, "DBGrid1");
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->verticalHeader()->hide();
    int c = 0;
    for (auto [label, edit] : {std::pair{Label1, Edit1}, std::pair{Label2, Edit2}, std::pair{Label3, Edit3},
                               std::pair{Label4, Edit4}}) {
        guest->addWidget(label, 0, c);
        guest->addWidget(edit, 1, c++);
    }
    guest->addWidget(Button2, 1, c++);
    guest->addWidget(Button1, 1, c++);
    guest->addWidget(BitBtn1, 1, c++);
    guest->addWidget(DBGrid1, 2, 0, 1, c);
    body->addWidget(GuestPanel, 1);

    StatusBar1 = new StatusPanels({400}, this);
    outer->addWidget(StatusBar1);
}

void TForm_issue_card::setCaptions()
{
    setWindowTitle(T().form(2));
    C_loss->setText(T().label(8));
    L_room_no->setText(T().label(4));
    L_in_time->setText(T().label(5));
    L_out_time->setText(T().label(6));
    L_day_num->setText(T().label(7));
    L_memo->setText(T().label(9));
    L_id->setText(T().label(68));
    L_name->setText(T().label(11));
    B_ok->setText(T().button(1));
    B_close->setText(T().button(3));
    for (int i = 0; i < 8; ++i)
        CheckListBox1->item(i)->setText(T().label(115 + i));
    const SysSettings& s = cfg::sys();
    Label1->setText(s.filecaption[0]);
    Label2->setText(s.filecaption[1]);
    Label3->setText(s.filecaption[2]);
    Label4->setText(s.filecaption[4]);
}

void TForm_issue_card::resetStay()
{
    const QDateTime now = Clock::instance().now();
    const bool afterDayBoundary = now.time() > cfg::sys().dayout_time;
    T_in_date->setDate(now.date());
    T_in_time->setTime(now.time());
    const QSignalBlocker block(T_out_date);
    T_out_date->setDate(afterDayBoundary ? now.date().addDays(1) : now.date());
    T_out_time->setTime(cfg::sys().checkout_time);
    T_day_num->setText(afterDayBoundary ? QStringLiteral("1") : QStringLiteral("0"));
}

void TForm_issue_card::resetScreen()
{
    T_room_no->clear();
    T_memo->clear();
    T_name->clear();
    T_id->clear();
    resetStay();
    C_loss->setChecked(false);
    for (int i = 0; i < 8; ++i)
        CheckListBox1->item(i)->setCheckState(Qt::Unchecked);
    StatusBar1->setPanelText(0, QString());
}

void TForm_issue_card::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TForm_issue_card::FormShow()
{
    TDataM& dm = DataM();
    try {
        dm.Q_room.setSql(QStringLiteral("select * from room order by building_id,floor,room_no_id"));
        dm.Q_room.open();
    } catch (const DatabaseError&) {
        // the room list only serves the guest-list browsing
    }
    setCaptions();
    resetStay();
    m_console.setEnabled(false);
    setEnabled(true);
    m_console.Timer1.stop();
    m_console.Timer3.stop();
    T_room_no->setFocus();
    T_room_no->setText(m_console.T_room_no->text());
    if (cfg::sys().isxsxxdr == 1) {
        GuestPanel->show();
        setGeometry(100, y(), 970, std::max(height(), 430));
        if (!T_room_no->text().isEmpty()) {
            Edit4->setText(T_room_no->text());
            BitBtn1Click();
        }
    } else {
        GuestPanel->hide();
        setGeometry(397, y(), 356, std::max(height(), 430));
    }
}

void TForm_issue_card::B_okClick()
{
    const CardWork work;
    if (!work.acquired())
        return;
    try {
        if (cfg::sys().drts == 1) {
            const int cards = GuestCardIssue::activeGuestCards(T_room_no->text());
            if (cards > 0 &&
                MessageBox::information(
                    this, QStringLiteral("The Room Is Used,Total Card : %1 Continue？").arg(cards), QString(),
                    QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
                return;
        }
        B_ok->setEnabled(false);
        if ((DataM().CheckRight(QStringLiteral("010101")) & 0xFF) == 0)
            throw Eic(81);
        GuestCardIssue::probe(GuestCardIssue::Caller::Screen, m_probe);
        if (C_loss->isChecked())
            DataM().CancelRoomCards(T_room_no->text());
        issue();
        B_ok->setEnabled(true);
        m_console.RefreshConsole();
        resetScreen();
        StatusBar1->setPanelText(0, T().state(3));
    } catch (const Eic& e) {
        TForm_Com::instance().close();
        MessageBox::warning(this, T().except(e.code()));
        B_ok->setEnabled(true);
    } catch (const std::exception& e) {
        TForm_Com::instance().close();
        MessageBox::error(this, QString::fromUtf8(e.what()));
        B_ok->setEnabled(true);
    }
}

void TForm_issue_card::issue()
{
    if (T_name->text().isEmpty())
        T_name->setText(QStringLiteral("guest"));
    std::array<bool, 8> options{};
    for (int k = 0; k < 8; ++k)
        options[static_cast<size_t>(k)] = CheckListBox1->item(k)->checkState() == Qt::Checked;
    GuestCardIssue::Request request;
    request.room = T_room_no->text();
    request.checkin = QDateTime(T_in_date->date(), T_in_time->time());
    request.checkout = QDateTime(T_out_date->date(), T_out_time->time());
    request.lostCard = C_loss->isChecked();
    request.doorByte = GuestCardIssue::doorByte(options);
    request.holderName = T_name->text();
    request.holderId = T_id->text();
    request.remark = T_memo->text();
    request.withAuxiliary = true;
    GuestCardIssue::issue(request, m_probe);
}

// --- guest list -------------------------------------------------------------------------------

void TForm_issue_card::BitBtn1Click()
{
    StatusBar1->setPanelText(0, QString());
    const SysSettings& s = cfg::sys();
    QList<QPair<QString, QString>> conditions;
    const std::pair<QLineEdit*, QString> fields[] = {
        {Edit1, s.filename[0]}, {Edit2, s.filename[1]}, {Edit3, s.filename[2]}, {Edit4, s.filename[4]}};
    for (const auto& [edit, column] : fields)
        if (!edit->text().isEmpty())
            conditions.append({column, edit->text()});
    try {
        DataM().OpenGuestListSearch(conditions);
        DataSet* list = &DataM().Q_csv;
        showColumns(DBGrid1, list,
                    {{s.filename[0], s.filecaption[0]},
                     {s.filename[1], s.filecaption[1]},
                     {s.filename[2], s.filecaption[2]},
                     {s.filename[3], s.filecaption[3]},
                     {s.filename[4], s.filecaption[4]}});
        const int widths[] = {60, 60, 80, 80, 80};
        for (int i = 0; i < 5; ++i) {
            const int column = list->fieldIndex(s.filename[static_cast<size_t>(i)]);
            if (column >= 0)
                DBGrid1->setColumnWidth(column, widths[i]);
        }
    } catch (const std::exception&) {
        DBGrid1->setModel(nullptr);
        StatusBar1->setPanelText(0, QStringLiteral("csv Files Open Failse，Please Check System Setting"));
    }
}

void TForm_issue_card::moveRoomAndSearch(bool forward)
{
    DataSet& rooms = DataM().Q_room;
    if (!rooms.isOpen() || rooms.isEmpty())
        return;
    if (forward)
        rooms.next();
    else
        rooms.prior();
    Edit4->setText(rooms.field(QStringLiteral("Room_no")).toString());
    BitBtn1Click();
}

void TForm_issue_card::Button1Click()
{
    moveRoomAndSearch(true);
}

void TForm_issue_card::Button2Click()
{
    moveRoomAndSearch(false);
}

void TForm_issue_card::DBGrid1DblClick()
{
    DataSet& list = DataM().Q_csv;
    const QModelIndex current = DBGrid1->currentIndex();
    if (!list.isOpen() || !current.isValid())
        return;
    const int row = current.row();
    const SysSettings& s = cfg::sys();
    T_name->clear();
    T_id->clear();
    T_memo->clear();
    T_room_no->clear();
    auto value = [&](const QString& field) {
        return list.hasField(field) ? list.value(row, field) : QVariant();
    };
    if (const QVariant v = value(s.filename[0]); v.isValid())
        T_id->setText(v.toString());
    if (const QVariant v = value(s.filename[1]); v.isValid())
        T_name->setText(v.toString());
    if (const QVariant v = value(s.filename[2]); v.isValid())
        T_memo->setText(v.toString());
    if (const QVariant v = value(s.filename[3]); v.isValid()) {
        const QDate date =
            v.toDate().isValid() ? v.toDate() : QDate::fromString(v.toString().left(10), Qt::ISODate);
        if (date.isValid())
            T_out_date->setDate(date);
    }
    if (const QVariant v = value(s.filename[4]); v.isValid())
        T_room_no->setText(v.toString());
}

void TForm_issue_card::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    FormClose();
}

void TForm_issue_card::FormClose()
{
    resetScreen();
    m_console.Timer3.start();
    m_console.setEnabled(true);
}

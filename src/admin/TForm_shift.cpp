#include "admin/TForm_shift.h"

#include "admin/OperatorLogin.h"
#include "app/TDosMove.h"
#include "config/Eic.h"
#include "config/Settings.h"
#include "datastore/DatabaseError.h"
#include "datastore/TDataM.h"
#include "platform/gui/StatusPanels.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

TForm_shift::TForm_shift(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Form_shift"));
    auto* grid = new QGridLayout(this);
    L_current_operator = new QLabel(this);
    L_current_operator->setObjectName(QStringLiteral("L_current_operator"));
    L_name = new QLabel(this);
    L_pwd = new QLabel(this);
    T_name = new QLineEdit(this);
    T_name->setObjectName(QStringLiteral("T_name"));
    T_pwd = new QLineEdit(this);
    T_pwd->setObjectName(QStringLiteral("T_pwd"));
    T_pwd->setEchoMode(QLineEdit::Password);
    B_ok = new QPushButton(this);
    B_ok->setObjectName(QStringLiteral("B_ok"));
    B_ok->setDefault(true);
    B_close = new QPushButton(this);
    B_close->setObjectName(QStringLiteral("B_close"));
    StatusBar1 = new StatusPanels({260}, this);
    grid->addWidget(L_current_operator, 0, 0, 1, 2);
    grid->addWidget(L_name, 1, 0);
    grid->addWidget(T_name, 1, 1);
    grid->addWidget(L_pwd, 2, 0);
    grid->addWidget(T_pwd, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(B_ok);
    buttons->addWidget(B_close);
    grid->addLayout(buttons, 3, 0, 1, 2);
    grid->addWidget(StatusBar1, 4, 0, 1, 2);
    new TDosMove(this);
    connect(B_ok, &QPushButton::clicked, this, &TForm_shift::B_okClick);
    connect(B_close, &QPushButton::clicked, this, [this] {
        close();
        Q_EMIT exitProgram();
    });
}

void TForm_shift::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TForm_shift::FormShow()
{
    const TextTables& t = cfg::texts();
    setWindowTitle(t.form(1));
    L_name->setText(t.label(1));
    L_pwd->setText(t.label(2));
    B_ok->setText(t.button(1));
    B_close->setText(t.button(3));
    L_current_operator->setText(t.state(2) + DataM().currentOperatorTrueName());
    T_name->clear();
    T_pwd->clear();
    StatusBar1->setPanelText(0, QString());
    T_name->setFocus();
}

void TForm_shift::B_okClick()
{
    TDataM& dm = DataM();
    try {
        // Checked on a scratch query: the current operator stays until the check passes.
        OperatorLogin::verify(dm.Q_select, T_name->text(), T_pwd->text());
        dm.Q_operator.close();
        dm.Q_operator.setSql(OperatorLogin::selectSql(T_name->text()));
        dm.Q_operator.open();
        dm.CurrentOperatorName = T_name->text();
        dm.WriteLog(cfg::texts().log(4), 4);
        Q_EMIT operatorChanged(dm.currentOperatorTrueName());
        accept();
    } catch (const Eic& e) {
        StatusBar1->setPanelText(0, cfg::texts().except(e.code()));
    } catch (const DatabaseError& e) {
        StatusBar1->setPanelText(0, QString::fromUtf8(e.what()));
    }
}

#include "admin/TForm_chang_pwd.h"

#include "admin/OperatorLogin.h"
#include "app/TDosMove.h"
#include "card/TEncrypt.h"
#include "config/Eic.h"
#include "config/Settings.h"
#include "datastore/DatabaseError.h"
#include "datastore/TDataM.h"
#include "platform/gui/MessageBox.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

TForm_chang_pwd::TForm_chang_pwd(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Form_chang_pwd"));
    auto* grid = new QGridLayout(this);
    L_current_operator = new QLabel(this);
    L_old_pwd = new QLabel(this);
    L_pwd = new QLabel(this);
    L_pwd2 = new QLabel(this);
    auto edit = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setEchoMode(QLineEdit::Password);
        return e;
    };
    T_old_pwd = edit("T_old_pwd");
    T_pwd = edit("T_pwd");
    T_pwd2 = edit("T_pwd2");
    B_ok = new QPushButton(this);
    B_ok->setObjectName(QStringLiteral("B_ok"));
    B_close = new QPushButton(this);
    B_close->setObjectName(QStringLiteral("B_close"));
    grid->addWidget(L_current_operator, 0, 0, 1, 2);
    grid->addWidget(L_old_pwd, 1, 0);
    grid->addWidget(T_old_pwd, 1, 1);
    grid->addWidget(L_pwd, 2, 0);
    grid->addWidget(T_pwd, 2, 1);
    grid->addWidget(L_pwd2, 3, 0);
    grid->addWidget(T_pwd2, 3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(B_ok);
    buttons->addWidget(B_close);
    grid->addLayout(buttons, 4, 0, 1, 2);
    new TDosMove(this);
    connect(B_ok, &QPushButton::clicked, this, &TForm_chang_pwd::B_okClick);
    connect(B_close, &QPushButton::clicked, this, &QDialog::close);
}

void TForm_chang_pwd::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    FormShow();
}

void TForm_chang_pwd::FormShow()
{
    const TextTables& t = cfg::texts();
    setWindowTitle(t.form(17));
    L_old_pwd->setText(t.label(36));
    L_pwd->setText(t.label(37));
    L_pwd2->setText(t.label(38));
    B_close->setText(t.button(3));
    B_ok->setText(t.button(6));
    L_current_operator->setText(t.state(2) + DataM().currentOperatorTrueName());
}

void TForm_chang_pwd::B_okClick()
{
    TDataM& dm = DataM();
    try {
        if (T_old_pwd->text() != OperatorLogin::storedPassword(dm.Q_operator))
            throw Eic(78);
        if (T_pwd->text() != T_pwd2->text())
            throw Eic(79);
        dm.Q_operator.edit();
        dm.Q_operator.setField(QStringLiteral("pass_word"), TEncrypt::PasswordCipher(T_pwd->text()));
        dm.Q_operator.post();
        MessageBox::information(this, cfg::texts().state(25));
        T_old_pwd->clear();
        T_pwd->clear();
        T_pwd2->clear();
        close();
    } catch (const Eic& e) {
        MessageBox::warning(this, cfg::texts().except(e.code()));
    } catch (const DatabaseError& e) {
        MessageBox::error(this, QString::fromUtf8(e.what()));
    }
}

void TForm_chang_pwd::done(int result)
{
    QDialog::done(result);
    Q_EMIT exitProgram();
}

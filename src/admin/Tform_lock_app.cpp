#include "admin/Tform_lock_app.h"

#include "admin/OperatorLogin.h"
#include "config/Settings.h"
#include "datastore/TDataM.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

Tform_lock_app::Tform_lock_app(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("form_lock_app"));
    auto* grid = new QGridLayout(this);
    L_current_operator = new QLabel(this);
    L_pwd = new QLabel(this);
    T_pwd = new QLineEdit(this);
    T_pwd->setObjectName(QStringLiteral("T_pwd"));
    T_pwd->setEchoMode(QLineEdit::Password);
    B_ok = new QPushButton(this);
    B_ok->setObjectName(QStringLiteral("B_ok"));
    B_ok->setDefault(true);
    grid->addWidget(L_current_operator, 0, 0, 1, 2);
    grid->addWidget(L_pwd, 1, 0);
    grid->addWidget(T_pwd, 1, 1);
    grid->addWidget(B_ok, 2, 1, Qt::AlignRight);
    connect(B_ok, &QPushButton::clicked, this, &Tform_lock_app::B_okClick);
}

void Tform_lock_app::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void Tform_lock_app::FormShow()
{
    const TextTables& t = cfg::texts();
    setWindowTitle(t.form(18));
    L_pwd->setText(t.label(2));
    B_ok->setText(t.button(1));
    L_current_operator->setText(t.state(2) + DataM().currentOperatorTrueName());
    T_pwd->setFocus();
}

void Tform_lock_app::B_okClick()
{
    const bool right = T_pwd->text() == OperatorLogin::storedPassword(DataM().Q_operator);
    T_pwd->clear();
    T_pwd->setFocus();
    if (!right)
        return; // no message, no count of attempts
    m_unlocking = true;
    close();
    m_unlocking = false;
    Q_EMIT unlocked();
}

void Tform_lock_app::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape)
        return; // Escape would close a dialog; this one only opens with the password
    QDialog::keyPressEvent(event);
}

void Tform_lock_app::closeEvent(QCloseEvent* event)
{
    if (!m_unlocking)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

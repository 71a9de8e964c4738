#include "admin/Tform_login.h"

#include "admin/OperatorLogin.h"
#include "app/TDosMove.h"
#include "config/Eic.h"
#include "config/Settings.h"
#include "config/TSystem.h"
#include "datastore/DatabaseError.h"
#include "datastore/TDataM.h"
#include "platform/WinPath.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/StatusPanels.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

Tform_login::Tform_login(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("form_login"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* form = new QGridLayout;
    form->setContentsMargins(24, 20, 24, 12);
    form->setVerticalSpacing(10);
    L_name = new QLabel(this);
    L_name->setObjectName(QStringLiteral("L_name"));
    L_pwd = new QLabel(this);
    L_pwd->setObjectName(QStringLiteral("L_pwd"));
    T_name = new QLineEdit(this);
    T_name->setObjectName(QStringLiteral("T_name"));
    T_name->setMaxLength(20);
    T_pwd = new QLineEdit(this);
    T_pwd->setObjectName(QStringLiteral("T_pwd"));
    T_pwd->setEchoMode(QLineEdit::Password);
    B_ok = new QPushButton(this);
    B_ok->setObjectName(QStringLiteral("B_ok"));
    B_ok->setDefault(true);
    B_close = new QPushButton(this);
    B_close->setObjectName(QStringLiteral("B_close"));
    form->addWidget(L_name, 0, 0);
    form->addWidget(T_name, 0, 1);
    form->addWidget(L_pwd, 1, 0);
    form->addWidget(T_pwd, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(B_ok);
    buttons->addWidget(B_close);
    form->addLayout(buttons, 2, 0, 1, 2);
    outer->addLayout(form);
    StatusBar1 = new StatusPanels({240}, this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    outer->addWidget(StatusBar1);
    setMinimumWidth(340);
    connect(B_ok, &QPushButton::clicked, this, &Tform_login::B_okClick);
    connect(B_close, &QPushButton::clicked, this, &QWidget::close);
    FormCreate();
}

void Tform_login::FormCreate()
{
    m_dosMove = new TDosMove(this); // owned by the form
    try {
        TSystem::LoadSettings();
    } catch (const Eic& e) {
        MessageBox::error(this, cfg::texts().except(e.code()));
    }
    // Settings that could not be read keep their defaults; the operator is told which.
    if (!cfg::loadWarnings().isEmpty())
        MessageBox::warning(this, cfg::loadWarnings().join(u'\n'));
}

void Tform_login::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void Tform_login::FormShow()
{
    const TextTables& t = cfg::texts();
    setWindowTitle(t.form(1));
    L_name->setText(t.label(1));
    L_pwd->setText(t.label(2));
    B_ok->setText(t.button(1));
    B_close->setText(t.button(3));
    T_name->setFocus();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    m_databaseFailed = false;
    try {
        OperatorLogin::openDatabase();
        applyFontAndSkin();
    } catch (const Eic& e) {
        MessageBox::error(this, t.except(e.code()));
    } catch (const DatabaseError& e) {
        // The login stays open with the engine's error; nobody can log in until it is mended.
        m_databaseFailed = true;
        StatusBar1->setPanelText(0, QString::fromUtf8(e.what()));
        MessageBox::error(this, QString::fromUtf8(e.what()));
    }
}

void Tform_login::applyFontAndSkin()
{
    const SysSettings& s = cfg::sys();
    if (s.font_size != 8 && s.font_size > 0) {
        QFont font = QApplication::font();
        font.setPointSize(s.font_size);
        QApplication::setFont(font);
    }
    if (s.xp == 1) {
        QFile skin(WinPath::toLocal(QStringLiteral("skin.skn")));
        if (skin.open(QIODevice::ReadOnly))
            qApp->setStyleSheet(QString::fromUtf8(skin.readAll()));
    }
}

void Tform_login::B_okClick()
{
    StatusBar1->setPanelText(0, QString());
    TDataM& dm = DataM();
    try {
        const QString name = T_name->text();
        dm.CurrentOperatorName = name;
        OperatorLogin::verify(dm.Q_operator, name, T_pwd->text());
        dm.WriteLog(cfg::texts().log(11), 4);
        Q_EMIT loggedIn();
    } catch (const Eic& e) {
        StatusBar1->setPanelText(0, cfg::texts().except(e.code()));
    } catch (const DatabaseError& e) {
        StatusBar1->setPanelText(0, QString::fromUtf8(e.what()));
    }
}

void Tform_login::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    QApplication::quit();
}

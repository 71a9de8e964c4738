#include "frontdesk/TForm_isslock.h"

#include "config/Settings.h"
#include "frontdesk/Tform_main.h"

#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

TForm_isslock::TForm_isslock(Tform_main& console)
    : QWidget(&console, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_console(console)
{
    setObjectName(QStringLiteral("Form_isslock"));
    auto* layout = new QVBoxLayout(this);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    Label1->setStyleSheet(QStringLiteral("font-size: 14pt; font-weight: bold; color: #1f3a93;"));
    Button1 = new QPushButton(this);
    Button1->setObjectName(QStringLiteral("Button1"));
    layout->addWidget(Label1, 1);
    layout->addWidget(Button1, 0, Qt::AlignCenter);
    setStyleSheet(QStringLiteral("TForm_isslock { background: #fffbe8; border: 2px solid #e0b000; }"));
    resize(380, 150);
    connect(Button1, &QPushButton::clicked, this, &QWidget::close);
}

void TForm_isslock::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    setWindowTitle(cfg::texts().form(62));
    Label1->setText(cfg::texts().label(243));
    Button1->setText(cfg::texts().button(3));
    move(m_console.geometry().center() - rect().center());
    m_console.Timer1.stop();
    m_console.setEnabled(false);
    setEnabled(true);
    m_timer2WasRunning = m_console.Timer2.isActive();
    m_console.Timer2.stop();
    m_console.Timer3.stop();
}

void TForm_isslock::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (m_timer2WasRunning)
        m_console.Timer2.start();
    m_console.Timer3.start();
    m_console.Timer1.start();
    m_console.setEnabled(true);
    m_console.setCheckinButtonsEnabled(true);
}

#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class Tform_main;

// "Put the card on the encoder" while the check-in panel writes one card. It holds the
// console still: its timers stop and it is disabled until the window closes.
class TForm_isslock : public QWidget
{
    Q_OBJECT
public:
    explicit TForm_isslock(Tform_main& console);

    QLabel* Label1 = nullptr;
    QPushButton* Button1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    Tform_main& m_console;
    bool m_timer2WasRunning = false;
};

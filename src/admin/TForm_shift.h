#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class StatusPanels;

// Hands the desk over to another operator without restarting the program.
class TForm_shift : public QDialog
{
    Q_OBJECT
public:
    explicit TForm_shift(QWidget* parent = nullptr);

    QLabel* L_current_operator = nullptr;
    QLabel* L_name = nullptr;
    QLabel* L_pwd = nullptr;
    QLineEdit* T_name = nullptr;
    QLineEdit* T_pwd = nullptr;
    QPushButton* B_ok = nullptr;
    QPushButton* B_close = nullptr;
    StatusPanels* StatusBar1 = nullptr;

    void FormShow();
    void B_okClick();

Q_SIGNALS:
    // The new operator took over (the console shows the name).
    void operatorChanged(const QString& trueName);
    // The exit button: the program ends.
    void exitProgram();

protected:
    void showEvent(QShowEvent* event) override;
};

#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Changes the current operator's password; closing it ends the program (the operator logs in
// again with the new password).
class TForm_chang_pwd : public QDialog
{
    Q_OBJECT
public:
    explicit TForm_chang_pwd(QWidget* parent = nullptr);

    QLabel* L_current_operator = nullptr;
    QLabel* L_old_pwd = nullptr;
    QLabel* L_pwd = nullptr;
    QLabel* L_pwd2 = nullptr;
    QLineEdit* T_old_pwd = nullptr;
    QLineEdit* T_pwd = nullptr;
    QLineEdit* T_pwd2 = nullptr;
    QPushButton* B_ok = nullptr;
    QPushButton* B_close = nullptr;

    void FormShow();
    void B_okClick();

Q_SIGNALS:
    // Closed, by OK or by the exit button: the program ends.
    void exitProgram();

protected:
    void showEvent(QShowEvent* event) override;
    // Every way out (OK, the exit button, Escape) ends here: the program ends too.
    void done(int result) override;
};

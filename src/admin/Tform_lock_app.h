#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Blocks the desk until the current operator's password is typed again. No other way out.
class Tform_lock_app : public QDialog
{
    Q_OBJECT
public:
    explicit Tform_lock_app(QWidget* parent = nullptr);

    QLabel* L_current_operator = nullptr;
    QLabel* L_pwd = nullptr;
    QLineEdit* T_pwd = nullptr;
    QPushButton* B_ok = nullptr;

    void FormShow();
    void B_okClick();

Q_SIGNALS:
    void unlocked();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool m_unlocking = false;
};

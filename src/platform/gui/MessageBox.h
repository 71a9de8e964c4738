#pragma once

#include <QMessageBox>
#include <QString>
#include <optional>

// Every message box of the program goes through here, so that GUI tests can answer a box
// before it appears and read what it said.
class MessageBox
{
public:
    using Button = QMessageBox::StandardButton;
    using Buttons = QMessageBox::StandardButtons;

    static Button information(QWidget* parent, const QString& text, const QString& caption = QString(),
                              Buttons buttons = QMessageBox::Ok);
    static Button warning(QWidget* parent, const QString& text, const QString& caption = QString(),
                          Buttons buttons = QMessageBox::Ok);
    static Button question(QWidget* parent, const QString& text, const QString& caption = QString(),
                           Buttons buttons = QMessageBox::Yes | QMessageBox::No);
    static Button error(QWidget* parent, const QString& text, const QString& caption = QString(),
                        Buttons buttons = QMessageBox::Ok);

    // Tests: the next box closes at once with this answer (and is not shown).
    static void setNextAnswer(Button answer);
    // Tests: every box closes at once with its default (first) button until cleared.
    static void setAutoAnswer(bool on);
    static QString lastText();
    static QString lastCaption();
    static int shownCount();
    // Forgets what was shown (the automatic answering stays as it is).
    static void resetRecord();

private:
    static Button show(QMessageBox::Icon icon, QWidget* parent, const QString& text, const QString& caption,
                       Buttons buttons);
};

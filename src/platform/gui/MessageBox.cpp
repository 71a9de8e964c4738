#include "platform/gui/MessageBox.h"

#include <QApplication>

namespace {

struct Record
{
    std::optional<MessageBox::Button> next;
    bool autoAnswer = false;
    QString lastText;
    QString lastCaption;
    int count = 0;
};

Record& record()
{
    static Record r;
    return r;
}

MessageBox::Button firstButton(MessageBox::Buttons buttons)
{
    for (auto b : {QMessageBox::Ok, QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel})
        if (buttons.testFlag(b))
            return b;
    return QMessageBox::Ok;
}

} // namespace

MessageBox::Button MessageBox::show(QMessageBox::Icon icon, QWidget* parent, const QString& text,
                                    const QString& caption, Buttons buttons)
{
    Record& r = record();
    r.lastText = text;
    r.lastCaption = caption;
    ++r.count;
    if (r.next) {
        const Button answer = *r.next;
        r.next.reset();
        return answer;
    }
    if (r.autoAnswer)
        return firstButton(buttons);
    QMessageBox box(icon, caption.isEmpty() ? QApplication::applicationName() : caption, text, buttons,
                    parent);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    return static_cast<Button>(box.exec());
}

MessageBox::Button MessageBox::information(QWidget* parent, const QString& text, const QString& caption,
                                           Buttons buttons)
{
    return show(QMessageBox::Information, parent, text, caption, buttons);
}

MessageBox::Button MessageBox::warning(QWidget* parent, const QString& text, const QString& caption,
                                       Buttons buttons)
{
    return show(QMessageBox::Warning, parent, text, caption, buttons);
}

MessageBox::Button MessageBox::question(QWidget* parent, const QString& text, const QString& caption,
                                        Buttons buttons)
{
    return show(QMessageBox::Question, parent, text, caption, buttons);
}

MessageBox::Button MessageBox::error(QWidget* parent, const QString& text, const QString& caption,
                                     Buttons buttons)
{
    return show(QMessageBox::Critical, parent, text, caption, buttons);
}

void MessageBox::setNextAnswer(Button answer)
{
    record().next = answer;
}

void MessageBox::setAutoAnswer(bool on)
{
    record().autoAnswer = on;
}

QString MessageBox::lastText()
{
    return record().lastText;
}

QString MessageBox::lastCaption()
{
    return record().lastCaption;
}

int MessageBox::shownCount()
{
    return record().count;
}

void MessageBox::resetRecord()
{
    Record& r = record();
    const bool autoAnswer = r.autoAnswer;
    r = Record{};
    r.autoAnswer = autoAnswer;
}

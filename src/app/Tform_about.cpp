#include "app/Tform_about.h"

#include "app/Application.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

Tform_about::Tform_about(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("form_about"));
    setWindowTitle(QStringLiteral("About"));
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QLatin1String(Application::kTitle), this);
    title->setStyleSheet(QStringLiteral("font-size: 15pt; font-weight: bold; color: #1f3a93;"));
    auto* text =
        new QLabel(QStringLiteral("Front desk and back office of the hotel door-lock installation.\n"
                                  "Guest and staff key cards, room map, lock records, administration."),
                   this);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(title);
    layout->addWidget(text);
    layout->addWidget(ok, 0, Qt::AlignRight);
}

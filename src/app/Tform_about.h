#pragma once

#include <QDialog>

// The about box: the program's title and version.
class Tform_about : public QDialog
{
    Q_OBJECT
public:
    explicit Tform_about(QWidget* parent = nullptr);
};

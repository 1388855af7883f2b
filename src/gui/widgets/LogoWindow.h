#pragma once

#include <QDialog>

// The About window: the logo on white and the tool's version.
class LogoWindow : public QDialog
{
    Q_OBJECT
public:
    explicit LogoWindow(QWidget *parent = nullptr);
};

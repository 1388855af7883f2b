#pragma once

#include <QDialog>

// The About window: the logo on white.
class LogoWindow : public QDialog
{
    Q_OBJECT
public:
    explicit LogoWindow(QWidget *parent = nullptr);
};

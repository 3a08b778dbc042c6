#pragma once

#include <QDialog>

namespace wendlecott::ui {

// The notice that a result list reached 20000 entries and the lists were saved into the
// overflow folder and cleared. Shown without waiting; its one button closes it.
class Form2 final : public QDialog {
    Q_OBJECT
public:
    explicit Form2(QWidget *parent = nullptr);
    ~Form2() override;

    static QString noticeText();
};

} // namespace wendlecott::ui

#pragma once

#include <QDialog>

namespace wendlecott::ui {

// The notice that a result list reached 20000 entries and the lists were saved into the
// overflow folder and cleared. Shown without waiting; its one button closes it.
class OverflowNotice final : public QDialog {
    Q_OBJECT
public:
    explicit OverflowNotice(QWidget *parent = nullptr);
    ~OverflowNotice() override;

    static QString noticeText();
};

} // namespace wendlecott::ui

#include "ui/OverflowNotice.h"

#include "core/lists/ResultLists.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace wendlecott::ui {

OverflowNotice::OverflowNotice(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("File backup"));
    setModal(false);

    auto *label = new QLabel(this);
    label->setObjectName(QStringLiteral("Label1"));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setText(noticeText());

    auto *ok = new QPushButton(QStringLiteral("Ok"), this);
    ok->setObjectName(QStringLiteral("Command1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addLayout(buttons);
    resize(380, 130);
}

OverflowNotice::~OverflowNotice() = default;

QString OverflowNotice::noticeText()
{
    return core::overflowNoticeText();
}

} // namespace wendlecott::ui

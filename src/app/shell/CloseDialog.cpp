#include "app/shell/CloseDialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace sundrel::app {

TCloseDialog::TCloseDialog(QWidget* parent)
    : QDialog(parent), yes_(new QPushButton(tr("Yes"))), no_(new QPushButton(tr("No"))),
      cancel_(new QPushButton(tr("I don't know")))
{
    setObjectName("CloseDialog");
    setWindowTitle(tr("Save changes?"));
    setModal(true);

    auto* frame = new QGroupBox(tr(" The current map has been modified : "));
    auto* text = new QLabel(tr("Do you want to save the changes?"));
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(text);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* b : {yes_, no_, cancel_}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    yes_->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());

    connect(yes_, &QPushButton::clicked, this, [this] {
        answer_ = Answer::Yes;
        accept();
    });
    connect(no_, &QPushButton::clicked, this, [this] {
        answer_ = Answer::No;
        accept();
    });
    connect(cancel_, &QPushButton::clicked, this, [this] {
        answer_ = Answer::Cancel;
        reject();
    });
}

TCloseDialog::Answer TCloseDialog::Ask()
{
    answer_ = Answer::Cancel;
    yes_->setFocus();
    exec();
    return answer_;
}

} // namespace sundrel::app

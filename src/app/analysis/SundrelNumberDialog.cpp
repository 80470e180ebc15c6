#include "app/analysis/SundrelNumberDialog.h"

#include "app/widgets/Fields.h"
#include "monmonier/AnalysisSetup.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace sundrel::app {

TSundrelNumberDialog::TSundrelNumberDialog(QWidget* parent)
    : QDialog(parent), number_(new QSpinBox)
{
    setObjectName("SundrelNumberDialog");
    setWindowTitle(tr("Number of sundrels"));
    setModal(true);
    auto* group = new QGroupBox(tr(" Number of sundrels "));
    number_->setRange(1, kMaxSundrelNumber);
    auto* row = new QHBoxLayout(group);
    row->addWidget(FieldLabel(tr("Choose the number of sundrels :"), number_));
    row->addWidget(number_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);
}

int TSundrelNumberDialog::Ask(int k)
{
    number_->setValue(k);
    number_->selectAll();
    number_->setFocus();
    return exec() == QDialog::Accepted ? number_->value() : 0;
}

} // namespace sundrel::app

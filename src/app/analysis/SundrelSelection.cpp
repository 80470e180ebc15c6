#include "app/analysis/SundrelSelection.h"

#include "app/widgets/Progress.h"
#include "app/widgets/Settings.h"
#include "monmonier/MonmonierLayer.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

namespace sundrel::app {

namespace {

constexpr const char* kGroup = "SundrelSelection";
constexpr int kColumns = 5;

} // namespace

TSundrelSelection::TSundrelSelection(MonmonierLayer& layers, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), layers_(layers),
      group_(new QGroupBox(tr(" Select sundrel to be displayed "))),
      ok_(new QPushButton(tr("OK")))
{
    setObjectName("SundrelSelection");
    setWindowTitle(tr("Sundrel selection"));

    auto* grid = new QGridLayout(group_);
    grid->setHorizontalSpacing(16);
    for (int tag = 1; tag <= kBoxes; ++tag) {
        auto* box = new QCheckBox(tag < kBoxes ? QString::number(tag) : tr("> 9"));
        box->setObjectName(QStringLiteral("Rank%1").arg(tag));
        grid->addWidget(box, (tag - 1) / kColumns, (tag - 1) % kColumns);
        connect(box, &QCheckBox::toggled, this, [this, tag](bool checked) { Toggled(tag, checked); });
        boxes_[static_cast<std::size_t>(tag - 1)] = box;
    }
    SetBoxesEnabled(false);

    ok_->setDefault(true);
    ok_->setAutoDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group_);
    layout->addLayout(ButtonRow({ok_}));
    setFixedSize(sizeHint());

    connect(ok_, &QPushButton::clicked, this, &QWidget::hide);

    ReadSettings();
}

TSundrelSelection::~TSundrelSelection()
{
    WriteSettings();
}

void TSundrelSelection::ReadSettings()
{
    QSettings settings;
    settings.beginGroup(kGroup);
    // Read until the first missing or bad value.
    ReadWindowPosition(settings, this);
    settings.endGroup();
}

void TSundrelSelection::WriteSettings() const
{
    QSettings settings;
    settings.beginGroup(kGroup);
    WriteWindowPosition(settings, this);
    settings.endGroup();
}

void TSundrelSelection::SetBoxesEnabled(bool enabled)
{
    for (QCheckBox* box : boxes_)
        box->setEnabled(enabled);
}

void TSundrelSelection::SetLayer(std::int32_t index)
{
    const std::shared_ptr<SundrelMonmonier> layer = layers_.layer(index);
    if (!layer) {
        serial_ = 0;
        SetBoxesEnabled(false);
        return;
    }
    serial_ = layer->serial();
    const std::array<bool, 10> flags = layer->getSelection();
    updating_ = true;
    for (int tag = 1; tag <= kBoxes; ++tag)
        Box(tag)->setChecked(flags[static_cast<std::size_t>(tag - 1)]);
    updating_ = false;
    SetBoxesEnabled(true);
    show();
    raise();
}

// Box `tag` stands for the layer's selection flag tag - 1. The layer is
// looked up again at every change: it may have moved in the list or gone.
void TSundrelSelection::Toggled(int tag, bool checked)
{
    if (updating_)
        return;
    const std::int32_t index = serial_ != 0 ? layers_.indexOfSerial(serial_) : -1;
    const std::shared_ptr<SundrelMonmonier> layer = layers_.layer(index);
    if (!layer) {
        SetBoxesEnabled(false);
        return;
    }
    if (layer->getSelection()[static_cast<std::size_t>(tag - 1)] != checked)
        layers_.requestToggle(index, tag - 1);
}

} // namespace sundrel::app

#include "app/geo/BackdropDialog.h"

#include "app/document/OpenDocument.h"
#include "app/geo/BackdropLayers.h"
#include "app/style/StyleMenus.h"
#include "app/widgets/Accessibility.h"
#include "app/widgets/Fields.h"
#include "app/widgets/FileDialogs.h"
#include "app/widgets/Progress.h"
#include "app/widgets/Settings.h"
#include "geo/Backdrop.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <utility>

namespace sundrel::app {

namespace {

constexpr const char* kGroup = "Backdrops";

// Line sizes as the command line takes them, in points.
constexpr double kMaximumLineSize = 1000.0;

} // namespace

TBackdropDialog::TBackdropDialog(TOpenDocument& document, TBackdropLayers& drawn, QWidget* parent)
    : QDialog(parent), document_(document), drawn_(drawn), list_(new QListWidget),
      add_(new QPushButton(tr("Add..."))), remove_(new QPushButton(tr("Remove"))),
      up_(new QPushButton(tr("Move up"))), down_(new QPushButton(tr("Move down"))),
      lineColour_(new QPushButton(tr("Line colour..."))), lineSize_(new QDoubleSpinBox),
      fill_(new QCheckBox(tr("Fill polygons"))),
      fillColour_(new QPushButton(tr("Fill colour..."))),
      information_(NewStatusLine(tr("Backdrop"), 2)), close_(new QPushButton(tr("Close")))
{
    setObjectName("BackdropDialog");
    setWindowTitle(tr("Backdrops"));
    setModal(true);

    QLabel* listLabel = FieldLabel(tr("Backdrops, the topmost first:"), list_);
    list_->setMinimumHeight(140);
    auto* listButtons = new QVBoxLayout;
    for (QPushButton* b : {add_, remove_, up_, down_})
        listButtons->addWidget(b);
    listButtons->addStretch(1);
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(list_, 1);
    listRow->addLayout(listButtons);

    auto* style = new QGroupBox(tr("Style"));
    auto* grid = new QGridLayout(style);
    grid->addWidget(lineColour_, 0, 0, 1, 2);
    lineSize_->setRange(0.0, kMaximumLineSize);
    lineSize_->setDecimals(1);
    lineSize_->setSingleStep(0.5);
    lineSize_->setSuffix(tr(" pt"));
    lineSize_->setKeyboardTracking(false);
    AddField(grid, 1, tr("Line size :"), lineSize_);
    grid->addWidget(fill_, 2, 0);
    grid->addWidget(fillColour_, 2, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(listLabel);
    layout->addLayout(listRow, 1);
    layout->addWidget(style);
    layout->addWidget(information_);
    layout->addLayout(ButtonRow({close_}));
    resize(520, 420);

    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    connect(add_, &QPushButton::clicked, this, [this] { AddCommand(); });
    connect(remove_, &QPushButton::clicked, this, [this] {
        const int row = Selected();
        if (row >= 0)
            Change([row](auto& list) { list.erase(list.begin() + row); }, row - 1);
    });
    connect(up_, &QPushButton::clicked, this, [this] { Move(1); });
    connect(down_, &QPushButton::clicked, this, [this] { Move(-1); });
    connect(list_, &QListWidget::currentRowChanged, this, [this] { ShowSelected(); });
    // Another document, or none: the dialog shows its list, or closes.
    connect(&document_, &TOpenDocument::changed, this, [this](unsigned what) {
        if (!isVisible() || changing_ || !(what & (TOpenDocument::MapChange | TOpenDocument::GeographyChange)))
            return;
        if (!document_.Map())
            reject();
        else if (what & TOpenDocument::MapChange)
            Fill(document_.Geography().backdrops.empty() ? -1 : 0);
        else
            Fill(Selected());
    });
    // Visibility, as the check box of an item is toggled in any way.
    connect(list_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (filling_)
            return;
        const int row = list_->row(item);
        const bool visible = item->checkState() == Qt::Checked;
        Change([row, visible](auto& list) { list[static_cast<std::size_t>(row)].style.visible = visible; },
               row);
    });
    connect(lineColour_, &QPushButton::clicked, this, [this] { ChooseColour(false); });
    connect(fillColour_, &QPushButton::clicked, this, [this] { ChooseColour(true); });
    connect(lineSize_, &QDoubleSpinBox::valueChanged, this, [this](double size) {
        if (filling_ || Selected() < 0)
            return;
        const int row = Selected();
        Change([row, size](auto& list) {
            list[static_cast<std::size_t>(row)].style.lineSize = static_cast<float>(size);
        }, row);
    });
    connect(fill_, &QCheckBox::toggled, this, [this](bool filled) {
        if (filling_ || Selected() < 0)
            return;
        const int row = Selected();
        Change([row, filled](auto& list) { list[static_cast<std::size_t>(row)].style.filled = filled; },
               row);
    });

    QSettings settings;
    settings.beginGroup(kGroup);
    ReadWindowPosition(settings, this);
    folder_ = ReadString(settings, "Folder").value_or(QString());
    settings.endGroup();
}

TBackdropDialog::~TBackdropDialog()
{
    QSettings settings;
    settings.beginGroup(kGroup);
    WriteWindowPosition(settings, this);
    settings.setValue("Folder", folder_);
    settings.endGroup();
}

void TBackdropDialog::Execute()
{
    Fill(document_.Geography().backdrops.empty() ? -1 : 0);
    exec();
}

int TBackdropDialog::Selected() const
{
    // The list shows the top backdrop first: row r is entry count - 1 - r.
    const int row = list_->currentRow();
    const int count = static_cast<int>(document_.Geography().backdrops.size());
    return row >= 0 && row < count ? count - 1 - row : -1;
}

void TBackdropDialog::Fill(int entry)
{
    const std::vector<geo::BackdropEntry>& list = document_.Geography().backdrops;
    const int count = static_cast<int>(list.size());
    filling_ = true;
    list_->clear();
    for (int k = count - 1; k >= 0; --k) {
        const geo::BackdropEntry& e = list[static_cast<std::size_t>(k)];
        const QString path = QString::fromStdString(e.file.string());
        auto* item = new QListWidgetItem(QFileInfo(path).fileName(), list_);
        item->setToolTip(path);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(e.style.visible ? Qt::Checked : Qt::Unchecked);
        item->setIcon(SwatchIcon(e.style.filled ? e.style.fillColour : e.style.lineColour));
    }
    if (entry >= count)
        entry = count - 1;
    list_->setCurrentRow(entry >= 0 ? count - 1 - entry : (count > 0 ? 0 : -1));
    filling_ = false;
    ShowSelected();
}

void TBackdropDialog::ShowSelected()
{
    if (filling_)
        return;
    const int entry = Selected();
    const bool any = entry >= 0;
    for (QWidget* w : std::initializer_list<QWidget*>{remove_, lineColour_, lineSize_, fill_, fillColour_})
        w->setEnabled(any);
    const int count = static_cast<int>(document_.Geography().backdrops.size());
    up_->setEnabled(any && entry < count - 1);
    down_->setEnabled(any && entry > 0);
    if (!any) {
        ShowStatus(information_, count == 0 ? tr("No backdrop: add a vector file (shapefile, "
                                                  "GeoPackage, GeoJSON...).")
                                            : QString(),
                   palette().color(QPalette::WindowText));
        return;
    }
    const geo::BackdropEntry& e = document_.Geography().backdrops[static_cast<std::size_t>(entry)];
    filling_ = true;
    lineSize_->setValue(e.style.lineSize);
    fill_->setChecked(e.style.filled);
    filling_ = false;
    fillColour_->setEnabled(e.style.filled);
    lineColour_->setIcon(SwatchIcon(e.style.lineColour));
    fillColour_->setIcon(SwatchIcon(e.style.fillColour));
    const QString path = QString::fromStdString(e.file.string());
    if (drawn_.Unreadable(e.file))
        ShowStatus(information_, tr("Cannot be read, not drawn: ") + path, kFailureColour);
    else
        ShowStatus(information_, path, palette().color(QPalette::WindowText));
}

void TBackdropDialog::Change(const std::function<void(std::vector<geo::BackdropEntry>&)>& change,
                             int entry)
{
    std::vector<geo::BackdropEntry> list = document_.Geography().backdrops;
    change(list);
    changing_ = true;
    document_.SetBackdrops(std::move(list));
    changing_ = false;
    Fill(entry);
}

void TBackdropDialog::Move(int by)
{
    const int entry = Selected();
    const int other = entry + by;
    if (entry < 0 || other < 0 ||
        other >= static_cast<int>(document_.Geography().backdrops.size()))
        return;
    Change([entry, other](auto& list) {
        std::swap(list[static_cast<std::size_t>(entry)], list[static_cast<std::size_t>(other)]);
    }, other);
}

void TBackdropDialog::ChooseColour(bool fill)
{
    const int entry = Selected();
    if (entry < 0)
        return;
    const geo::BackdropStyle& style =
        document_.Geography().backdrops[static_cast<std::size_t>(entry)].style;
    QColorDialog dialog(ToQColor(fill ? style.fillColour : style.lineColour), this);
    dialog.setObjectName("ColorDialog");
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    dialog.setWindowTitle(fill ? tr("Fill colour") : tr("Line colour"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    const std::uint32_t colour = FromQColor(dialog.selectedColor());
    Change([entry, fill, colour](auto& list) {
        geo::BackdropStyle& s = list[static_cast<std::size_t>(entry)].style;
        (fill ? s.fillColour : s.lineColour) = colour;
    }, entry);
}

bool TBackdropDialog::AddCommand()
{
    if (!document_.Map())
        return false;
    QString folder = folder_;
    if (folder.isEmpty() && !document_.Name().isEmpty())
        folder = QFileInfo(document_.Name()).absolutePath();
    const QString fileName = AskFileToRead(
        this, {"AddBackdropDialog", tr("Add a backdrop"),
               {tr("Vector files (*.shp *.gpkg *.geojson *.json)"), tr("All files (*)")}, {},
               folder, {}, {}});
    if (fileName.isEmpty())
        return false;
    folder_ = QFileInfo(fileName).absolutePath();
    geo::BackdropEntry entry;
    entry.file = std::filesystem::absolute(ToPath(fileName)).lexically_normal();
    std::vector<geo::BackdropEntry> list = document_.Geography().backdrops;
    for (std::size_t k = 0; k < list.size(); ++k) {
        if (list[k].file == entry.file) {
            Fill(static_cast<int>(k));
            return false;
        }
    }
    // A file that cannot be read (its error shown as it was tried) is not
    // kept, nor does it leave the document modified.
    const bool wasModified = document_.Modified();
    const std::vector<geo::BackdropEntry> before = list;
    list.push_back(entry);
    document_.SetBackdrops(list);
    if (drawn_.Unreadable(entry.file)) {
        document_.SetBackdrops(before);
        document_.SetModified(wasModified);
        Fill(static_cast<int>(before.size()) - 1);
        return false;
    }
    Fill(static_cast<int>(list.size()) - 1);
    return true;
}

} // namespace sundrel::app

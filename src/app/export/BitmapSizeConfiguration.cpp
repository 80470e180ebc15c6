#include "app/export/BitmapSizeConfiguration.h"

#include "app/widgets/Fields.h"
#include "app/widgets/Progress.h"
#include "app/widgets/Settings.h"
#include "render/OffscreenContext.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <optional>

namespace sundrel::app {

namespace {

const QString kGroup = QStringLiteral("BitmapExport");
const QString kPrintingGroup = QStringLiteral("PrintingSize");
// Finer than this, a page image only grows: no printed label gets sharper.
constexpr double kMaximumPrintingDpi = 300.0;

// A decimal number typed with a point or a comma.
std::optional<double> ParseNumber(const QString& text)
{
    QString t = text.trimmed();
    t.replace(',', '.');
    bool ok = false;
    const double value = t.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<std::int64_t> ParsePixels(const QString& text)
{
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return static_cast<std::int64_t>(value);
}

} // namespace

TBitmapSizeConfiguration::TBitmapSizeConfiguration(QWidget* parent) : QDialog(parent)
{
    setObjectName("BitmapSizeConfiguration");
    setWindowTitle(tr("Image size"));
    auto* grid = new QGridLayout;
    for (QLineEdit** edit : {&pixelWidth_, &pixelHeight_, &width_, &height_, &resolution_})
        *edit = new QLineEdit(this);
    AddField(grid, 0, tr("Pixel width"), pixelWidth_);
    AddField(grid, 1, tr("Pixel height"), pixelHeight_);
    widthUnit_ = AddUnitField(grid, 2, tr("Width"), width_, {tr("cm"), tr("inches")});
    heightUnit_ = AddUnitField(grid, 3, tr("Height"), height_, {tr("cm"), tr("inches")});
    resolutionUnit_ =
        AddUnitField(grid, 4, tr("Resolution"), resolution_, {tr("dpi"), tr("pixels/cm")});
    // Room for a refusal of two lines, so that the dialog need not grow.
    message_ = NewStatusLine(tr("Message"), 2);
    SetLabelColour(message_, kFailureColour);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &TBitmapSizeConfiguration::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(message_);
    layout->addWidget(buttons);

    // Each field entered derives the others; a value that cannot be read
    // leaves them as they are until it can.
    connect(pixelWidth_, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (const auto v = ParsePixels(text)) {
            size_.SetWidth(*v);
            Show(pixelWidth_);
        }
    });
    connect(pixelHeight_, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (const auto v = ParsePixels(text)) {
            size_.SetHeight(*v);
            Show(pixelHeight_);
        }
    });
    connect(width_, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (const auto v = ParseNumber(text)) {
            size_.SetWidthCentimetres(ToCentimetres(*v, widthUnit_));
            Show(width_);
        }
    });
    connect(height_, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (const auto v = ParseNumber(text)) {
            size_.SetHeightCentimetres(ToCentimetres(*v, heightUnit_));
            Show(height_);
        }
    });
    connect(resolution_, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (const auto v = ParseNumber(text)) {
            size_.SetResolution(resolutionUnit_->currentIndex() == 0 ? *v / 2.54 : *v);
            Show(resolution_);
        }
    });
    for (QComboBox* unit : {widthUnit_, heightUnit_, resolutionUnit_})
        connect(unit, &QComboBox::currentIndexChanged, this, [this] { Show(); });
    ReadSettings();
    Show();
}

TBitmapSizeConfiguration::~TBitmapSizeConfiguration() { WriteSettings(); }

void TBitmapSizeConfiguration::SetImageMode()
{
    if (printingMode_)
        std::swap(size_, other_);
    printingMode_ = false;
    setWindowTitle(tr("Image size"));
    pixelWidth_->setReadOnly(false);
    pixelHeight_->setReadOnly(false);
    message_->clear();
}

void TBitmapSizeConfiguration::SetPrintingMode(double pageWidth, double pageHeight,
                                               double printerDpi, double ratio)
{
    if (!printingMode_)
        std::swap(size_, other_);
    printingMode_ = true;
    size_.SetRatio(ratio);
    if (!printingChosen_ && pageWidth > 0.0 && pageHeight > 0.0 && printerDpi > 0.0) {
        size_.SetResolution(std::min(printerDpi, kMaximumPrintingDpi) / 2.54);
        size_.SetWidthCentimetres(pageWidth);
        if (size_.HeightCentimetres() > pageHeight)
            size_.SetHeightCentimetres(pageHeight);
    }
    Show();
    setWindowTitle(tr("Printing size"));
    pixelWidth_->setReadOnly(true);
    pixelHeight_->setReadOnly(true);
    message_->clear();
}

void TBitmapSizeConfiguration::SetAspectRatio(double ratio)
{
    size_.SetRatio(ratio);
    Show();
}

void TBitmapSizeConfiguration::accept()
{
    const std::int64_t limit = limit_ > 0 ? limit_ : render::OffscreenContext::MaximumSize();
    if (const auto problem = BitmapSizeProblem(size_, limit)) {
        message_->setText(QString::fromStdString(*problem));
        return;
    }
    message_->clear();
    printingChosen_ = printingChosen_ || printingMode_;
    QDialog::accept();
}

double TBitmapSizeConfiguration::FromCentimetres(double cm, const QComboBox* unit)
{
    return unit->currentIndex() == 1 ? cm * kInchesPerCentimetre : cm;
}

double TBitmapSizeConfiguration::ToCentimetres(double value, const QComboBox* unit)
{
    return unit->currentIndex() == 1 ? value / kInchesPerCentimetre : value;
}

void TBitmapSizeConfiguration::Show(const QLineEdit* except)
{
    const auto set = [except](QLineEdit* edit, const std::string& text) {
        if (edit != except)
            edit->setText(QString::fromStdString(text));
    };
    set(pixelWidth_, std::to_string(size_.width));
    set(pixelHeight_, std::to_string(size_.height));
    set(width_, FormatSize(FromCentimetres(size_.WidthCentimetres(), widthUnit_)));
    set(height_, FormatSize(FromCentimetres(size_.HeightCentimetres(), heightUnit_)));
    set(resolution_, FormatResolution(resolutionUnit_->currentIndex() == 0 ? size_.Dpi()
                                                                          : size_.resolution));
    message_->clear();
}

void TBitmapSizeConfiguration::ReadSettings()
{
    QSettings settings;
    settings.beginGroup(kGroup);
    const auto unit = [&](const char* key, QComboBox* combo) {
        const auto v = ReadInt(settings, QString::fromLatin1(key));
        if (v && *v >= 0 && *v < combo->count())
            combo->setCurrentIndex(*v);
    };
    unit("WidthUnitComboBoxItemIndex", widthUnit_);
    unit("HeightUnitComboBoxItemIndex", heightUnit_);
    unit("ResolutionUnitComboBoxItemIndex", resolutionUnit_);
    // Kept in double precision: 72 dpi read back is exactly 72 / 2.54.
    const auto size = [&](BitmapSize& into) {
        const auto r = ParseNumber(settings.value("Resolution").toString());
        const auto w = ReadInt(settings, "Width");
        if (r && *r > 0.0)
            into.resolution = *r;
        into.SetWidth(w && *w > 0 ? *w : 800);
        return r && *r > 0.0 && w && *w > 0;
    };
    size(size_);
    settings.endGroup();
    settings.beginGroup(kPrintingGroup);
    printingChosen_ = size(other_);
    settings.endGroup();
}

void TBitmapSizeConfiguration::WriteSettings() const
{
    QSettings settings;
    settings.beginGroup(kGroup);
    settings.setValue("WidthUnitComboBoxItemIndex", widthUnit_->currentIndex());
    settings.setValue("HeightUnitComboBoxItemIndex", heightUnit_->currentIndex());
    settings.setValue("ResolutionUnitComboBoxItemIndex", resolutionUnit_->currentIndex());
    const auto size = [&](const BitmapSize& from) {
        settings.setValue("Resolution", QString::number(from.resolution, 'g', 17));
        settings.setValue("Width", static_cast<int>(from.width));
    };
    size(printingMode_ ? other_ : size_);
    settings.endGroup();
    if (printingChosen_) {
        settings.beginGroup(kPrintingGroup);
        size(printingMode_ ? size_ : other_);
        settings.endGroup();
    }
}

} // namespace sundrel::app

#include "app/importing/ImportForm.h"

#include "app/document/DocumentBridge.h"
#include "app/importing/PreviewModels.h"
#include "app/widgets/Accessibility.h"
#include "app/widgets/Choices.h"
#include "app/widgets/ErrorBox.h"
#include "app/widgets/Fields.h"
#include "app/widgets/Progress.h"
#include "app/widgets/Settings.h"
#include "import/DataFileWorker.h"
#include "import/FileReader.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

#include <optional>

namespace sundrel::app {

namespace {

constexpr const char* kGroup = "Import";
constexpr int kSpinMaximum = 32767;

// The line an extraction failed on, when it failed on one.
std::optional<std::int64_t> FailedLine(const JobResult& result)
{
    try {
        if (result.failure)
            std::rethrow_exception(result.failure);
    } catch (const LineError& e) {
        return e.line();
    } catch (...) {
    }
    return std::nullopt;
}

} // namespace

TImportForm::TImportForm(DocumentBridge& bridge, QWidget* parent)
    : QDialog(parent), bridge_(bridge), fileLabel_(new QLabel), preview_(new QPlainTextEdit),
      lines_(new QSpinBox), columns_(new QSpinBox), number_(new QSpinBox),
      xFirst_(new QRadioButton(tr("X first"))), yFirst_(new QRadioButton(tr("Y first"))),
      geographic_(new QCheckBox(tr("Longitude / latitude (degrees)"))),
      information_(NewStatusLine(tr("Information"), 2)), bar_(NewProgressBar()),
      ok_(new QPushButton(tr("OK"))),
      cancel_(new QPushButton(tr("Cancel"))), grid_(new QTableView),
      model_(new PointTableModel(this))
{
    setObjectName("ImportForm");
    setWindowTitle(tr("Import coordinates data"));
    setModal(true);

    fileLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ShowTextToReaders(fileLabel_, tr("File"));
    fileLabel_->setWordWrap(true);

    QLabel* previewLabel = FieldLabel(tr("File preview"), preview_);
    preview_->setReadOnly(true);
    preview_->setLineWrapMode(QPlainTextEdit::NoWrap);
    preview_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    preview_->setMinimumHeight(160);

    auto* setup = new QGroupBox(tr("Data setup"));
    auto* setupLayout = new QGridLayout(setup);
    for (QSpinBox* spin : {lines_, columns_, number_})
        spin->setRange(1, kSpinMaximum);
    AddField(setupLayout, 0, tr("Start import at line :"), lines_);
    AddField(setupLayout, 1, tr("Start import at column :"), columns_);
    AddField(setupLayout, 2, tr("Number of points :"), number_);

    auto* order = new QGroupBox(tr(" Data order "));
    auto* orderLayout = new QHBoxLayout(order);
    orderLayout->addWidget(xFirst_);
    orderLayout->addWidget(yFirst_);
    xFirst_->setChecked(true);
    geographic_->setToolTip(tr("X is the longitude and Y the latitude, in degrees: the sites are "
                               "projected onto a plane centred on them before triangulation"));

    ok_->setDefault(true);
    ok_->setEnabled(false);

    QLabel* gridLabel = FieldLabel(tr("Data preview"), grid_);
    grid_->setModel(model_);
    grid_->setEnabled(false);
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 4);
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    grid_->setMinimumWidth(260);

    auto* left = new QVBoxLayout;
    left->addWidget(fileLabel_);
    left->addWidget(previewLabel);
    left->addWidget(preview_, 1);
    left->addWidget(setup);
    left->addWidget(order);
    left->addWidget(geographic_);
    left->addWidget(information_);
    left->addWidget(bar_);
    left->addLayout(ButtonRow({ok_, cancel_}));
    auto* right = new QVBoxLayout;
    right->addWidget(gridLabel);
    right->addWidget(grid_, 1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 3);
    layout->addLayout(right, 2);
    resize(760, 560);

    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    for (QSpinBox* spin : {lines_, columns_, number_})
        connect(spin, &QSpinBox::valueChanged, this, &TImportForm::SetupChanged);
    for (QRadioButton* order : {xFirst_, yFirst_})
        OnChecked(order, this, [this] { SetupChanged(); });
    connect(geographic_, &QCheckBox::toggled, this, &TImportForm::SetupChanged);

    ImportSignals& worker = bridge_.coordinateImport();
    connect(&worker, &ImportSignals::progress, this, &TImportForm::Progress);
    connect(&worker, &ImportSignals::fileRead, this, &TImportForm::FileRead);
    connect(&worker, &ImportSignals::readEnded, this, &TImportForm::ReadEnded);
    connect(&worker, &ImportSignals::extractionEnded, this, &TImportForm::ExtractionEnded);

    ReadSettings();
}

TImportForm::~TImportForm()
{
    StopWorker();
    WriteSettings();
}

geo::DocumentGeography TImportForm::Geography() const
{
    geo::DocumentGeography geography;
    if (crs_)
        geography.SetCrs(*crs_);
    return geography;
}

void TImportForm::ReadSettings()
{
    QSettings settings;
    settings.beginGroup(kGroup);
    ReadWindowPosition(settings, this);
    const auto lines = ReadInt(settings, "IgnoredLines");
    const auto columns = ReadInt(settings, "IgnoredColumns");
    const auto number = ReadInt(settings, "PointsNumber");
    const auto order = ReadInt(settings, "DataOrder");
    const auto inRange = [](const std::optional<int>& v, int max) { return v && *v >= 1 && *v <= max; };
    if (inRange(lines, kSpinMaximum) && inRange(columns, kSpinMaximum) &&
        inRange(number, std::numeric_limits<int>::max()) && order && (*order == 0 || *order == 1)) {
        lines_->setValue(*lines);
        columns_->setValue(*columns);
        number_->setMaximum(std::max(*number, kSpinMaximum));
        number_->setValue(*number);
        (*order == 1 ? yFirst_ : xFirst_)->setChecked(true);
    } else {
        lines_->setValue(1);
        columns_->setValue(1);
        number_->setValue(10);
        xFirst_->setChecked(true);
    }
    // Read alone: settings written before it existed keep the rest.
    geographic_->setChecked(ReadInt(settings, "Geographic").value_or(0) == 1);
    settings.endGroup();
}

void TImportForm::WriteSettings() const
{
    QSettings settings;
    settings.beginGroup(kGroup);
    WriteWindowPosition(settings, this);
    settings.setValue("IgnoredLines", lines_->value());
    settings.setValue("IgnoredColumns", columns_->value());
    settings.setValue("PointsNumber", number_->value());
    settings.setValue("DataOrder", yFirst_->isChecked() ? 1 : 0);
    settings.setValue("Geographic", geographic_->isChecked() ? 1 : 0);
    settings.endGroup();
}

bool TImportForm::Idle() const
{
    return !reading_ && !extracting_;
}

bool TImportForm::Execute(const QString& fileName)
{
    StopWorker();
    worker_ = std::make_unique<DataFileWorker>(bridge_.notifier(Sender::CoordinateImport));
    loading_ = true;
    fileLabel_->setText(tr("Importing data from file: ") + fileName);
    preview_->clear();
    points_.clear();
    sites_.clear();
    crs_.reset();
    model_->Set(0, nullptr);
    grid_->setEnabled(false);
    ok_->setEnabled(false);
    ShowStatus(information_, tr("Analysing data, please wait..."), kWorkingColour);
    bar_->setValue(0);
    reading_ = true;
    extracting_ = false;
    try {
        step_ = worker_->startReading(fileName.toUtf8().toStdString());
    } catch (const std::exception& e) {
        reading_ = false;
        ShowStatus(information_, QString::fromStdString(e.what()), kFailureColour);
    }
    return exec() == QDialog::Accepted;
}

void TImportForm::done(int result)
{
    if (result == QDialog::Accepted && (points_.empty() || !ok_->isEnabled()))
        return;
    // Closing, in any way, stops the worker and forgets its reader; the
    // points of a successful extraction stay for the caller.
    StopWorker();
    loading_ = true;
    QDialog::done(result);
}

void TImportForm::StopWorker()
{
    if (worker_) {
        worker_->cancel();
        worker_.reset();
    }
    bridge_.discard(Sender::CoordinateImport);
    reading_ = false;
    extracting_ = false;
}

void TImportForm::SetupChanged()
{
    if (!loading_)
        StartExtraction();
}

void TImportForm::StartExtraction()
{
    if (!worker_)
        return;
    const std::int64_t firstLine = lines_->value();
    const std::int64_t firstColumn = columns_->value();
    const std::int64_t count = number_->value();
    const DataOrder order = yFirst_->isChecked() ? DataOrder::YFirst : DataOrder::XFirst;
    const bool geographic = geographic_->isChecked();
    points_.clear();
    sites_.clear();
    crs_.reset();
    requested_ = count;
    model_->Set(0, nullptr);
    ShowStatus(information_, tr("Extracting data, please wait..."), kWorkingColour);
    bar_->setValue(0);
    ok_->setEnabled(false);
    grid_->setEnabled(false);
    extracting_ = true;
    try {
        step_ = worker_->startExtraction([this, firstLine, firstColumn, count, order, geographic](
                                     FileReader& reader, const DataFileWorker::Progress& progress) {
            extracted_.clear();
            projected_.reset();
            extracted_ = ExtractCoordinates(reader, firstLine, firstColumn, count, order, progress);
            dataLines_ = DefaultPointCount(reader, firstLine);
            // Degrees are checked and projected as the command line does;
            // a refusal names the site's line.
            if (geographic)
                projected_ = geo::ProjectSites(extracted_, firstLine);
        });
    } catch (const std::exception& e) {
        extracting_ = false;
        ShowStatus(information_, QString::fromStdString(e.what()), kFailureColour);
    }
}

void TImportForm::Progress(int percent)
{
    bar_->setValue(percent);
}

void TImportForm::FileRead(quint64 step)
{
    if (!worker_ || step != step_)
        return;
    const std::int64_t lines = worker_->lineCount();
    number_->setMaximum(static_cast<int>(std::clamp<std::int64_t>(lines, 1, std::numeric_limits<int>::max())));
    ShowStatus(information_, tr("Generating preview, please wait..."), kWorkingColour);
    bar_->setValue(0);
}

void TImportForm::ReadEnded(quint64 step, const JobResult& result)
{
    // A cancelled reading is the dialog's own closing.
    if (!worker_ || step != step_ || result.outcome == JobOutcome::Cancelled)
        return;
    reading_ = false;
    if (result.Failed()) {
        ShowStatus(information_, FailureText(result), kFailureColour);
        ShowErrorBox(this, kApplicationTitle, QString::fromStdString(result.message),
                     ErrorDetail(result));
        return;
    }
    preview_->setPlainText(DisplayedPreview(worker_->previewText()));
    StartExtraction();
    loading_ = false;
}

void TImportForm::ExtractionEnded(quint64 step, const JobResult& result)
{
    // A cancelled extraction is replaced by the next one.
    if (!worker_ || step != step_ || result.outcome == JobOutcome::Cancelled)
        return;
    extracting_ = false;
    if (result.Failed()) {
        points_.clear();
        model_->Set(requested_, nullptr);
        ok_->setEnabled(false);
        grid_->setEnabled(false);
        QString text = FailureText(result);
        // Nothing skipped yet and the first line failed: a header, most likely.
        if (lines_->value() == 1 && FailedLine(result) == 1)
            text += '\n' + tr("The first lines of the file may be a header: set \"Start import at "
                              "line\" to the first line of numbers.");
        ShowStatus(information_, text, kFailureColour);
        return;
    }
    points_ = std::move(extracted_);
    extracted_.clear();
    if (projected_) {
        sites_ = std::move(projected_->sites);
        crs_ = std::move(projected_->crs);
        projected_.reset();
    }
    model_->Set(static_cast<std::int64_t>(points_.size()), &points_);
    ok_->setEnabled(!points_.empty());
    grid_->setEnabled(true);
    const auto read = static_cast<std::int64_t>(points_.size());
    QString text = QString::fromStdString(ExtractionSuccessText(read));
    // "Number of points" may leave sites out: the user sees it before OK.
    if (dataLines_ > read)
        text += '\n' + tr("%1 of the %2 data lines will be read").arg(read).arg(dataLines_);
    ShowStatus(information_, text, palette().color(QPalette::WindowText));
}

} // namespace sundrel::app

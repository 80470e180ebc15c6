#include "app/genetics/GenotypeForm.h"

#include "app/document/DocumentBridge.h"
#include "app/genetics/ColumnBox.h"
#include "app/importing/DiskDialog.h"
#include "app/importing/StoreFolder.h"
#include "app/widgets/Accessibility.h"
#include "app/widgets/Choices.h"
#include "app/widgets/ErrorBox.h"
#include "app/widgets/Fields.h"
#include "app/widgets/FileDialogs.h"
#include "app/widgets/Progress.h"
#include "common/Errors.h"
#include "genetics/GenotypeWorker.h"
#include "genetics/MatrixSinks.h"
#include "genetics/Messages.h"
#include "gzip/GzipSource.h"
#include "matrix/MatrixFile.h"

#include <QButtonGroup>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <climits>

namespace sundrel::app {

namespace {

using genetics::GenotypeFormat;
using genetics::Resampling;

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

// The items of the format box, in the order of GenotypeFormat.
const char* const kFormats[] = {"Detected from the content",     "GENEPOP (.gen)",
                                "FSTAT (.dat)",                  "STRUCTURE (.str)",
                                "Table (CSV or tab-separated)",  "VCF (.vcf, .vcf.gz)"};
// The items of the distance box, in the order of genetics::Distance.
const char* const kDistances[] = {"Nei's standard distance (1972)",
                                  "Edwards' angular distance (1971)",
                                  "Reynolds, Weir and Cockerham's coancestry distance (1983)",
                                  "Rogers' distance (1972)", "Prevosti's distance (1975)"};

bool IsVcfName(const QString& name)
{
    const QString lower = name.toLower();
    return lower.endsWith(".vcf") || lower.endsWith(".vcf.gz");
}

} // namespace

TGenotypeForm::TGenotypeForm(DocumentBridge& bridge, StoreFolder& stores, QWidget* parent)
    : QDialog(parent), bridge_(bridge), stores_(stores), file_(new QLineEdit),
      browse_(new QPushButton(tr("Browse..."))), format_(new TNamedComboBox(tr("Format :"))),
      columnsGroup_(new QGroupBox(tr(" Columns (STRUCTURE, tables) "))),
      rows_(new TNamedComboBox(tr("Rows per individual :"))), labelColumn_(new TColumnBox(true)),
      populationColumn_(new TColumnBox(false)), firstLocus_(new TColumnBox(false)),
      markerNames_(new TNamedComboBox(tr("Row of locus names :"))), missing_(new QLineEdit),
      samplesRow_(new QWidget), samples_(new QLineEdit),
      samplesBrowse_(new QPushButton(tr("Browse samples..."))),
      status_(NewStatusLine(tr("Status"), 2)), summary_(new QPlainTextEdit),
      distance_(new TNamedComboBox(tr("Distance :"))), resampling_(new QButtonGroup(this)),
      replicates_(new QSpinBox), seed_(new QSpinBox), bar_(NewProgressBar()),
      ok_(new QPushButton(tr("OK"))), cancel_(new QPushButton(tr("Cancel")))
{
    setObjectName("GenotypeForm");
    setWindowTitle(tr("New from genotypes"));

    // The file and how to read it.
    auto* fileGroup = new QGroupBox(tr(" Genotype file "));
    auto* fileGrid = new QGridLayout(fileGroup);
    AddField(fileGrid, 0, tr("File :"), file_);
    fileGrid->addWidget(browse_, 0, 2);
    for (const char* item : kFormats)
        format_->addItem(tr(item));
    AddField(fileGrid, 1, tr("Format :"), format_);

    auto* columns = new QGridLayout(columnsGroup_);
    rows_->addItems({tr("detected"), "1", "2"});
    AddField(columns, 0, tr("Rows per individual :"), rows_);
    AddField(columns, 0, tr("Label column :"), labelColumn_, 2);
    AddField(columns, 1, tr("Population column :"), populationColumn_);
    AddField(columns, 1, tr("First locus column :"), firstLocus_, 2);
    markerNames_->addItems({tr("detected"), tr("Yes"), tr("No")});
    AddField(columns, 2, tr("Row of locus names :"), markerNames_);
    AddField(columns, 2, tr("Missing allele :"), missing_, 2);
    fileGrid->addWidget(columnsGroup_, 2, 0, 1, 3);

    auto* samplesLayout = new QHBoxLayout(samplesRow_);
    samplesLayout->setContentsMargins(0, 0, 0, 0);
    samplesLayout->addWidget(FieldLabel(tr("Samples file :"), samples_));
    samplesLayout->addWidget(samples_, 1);
    samplesLayout->addWidget(samplesBrowse_);
    fileGrid->addWidget(samplesRow_, 3, 0, 1, 3);

    // What was read.
    auto* readGroup = new QGroupBox(tr(" Summary "));
    auto* readLayout = new QVBoxLayout(readGroup);
    readLayout->addWidget(status_);
    summary_->setReadOnly(true);
    summary_->setAccessibleName(tr("Summary"));
    // The alleles per locus make a long line: wrapped, it stays in view.
    summary_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    summary_->setMinimumHeight(summary_->fontMetrics().height() * 9);
    readLayout->addWidget(summary_);

    // The distance and the replicates.
    auto* distanceGroup = new QGroupBox(tr(" Distances "));
    auto* distanceGrid = new QGridLayout(distanceGroup);
    for (const char* item : kDistances)
        distance_->addItem(tr(item));
    distanceGrid->addWidget(FieldLabel(tr("Distance :"), distance_), 0, 0);
    distanceGrid->addWidget(distance_, 0, 1, 1, 3);
    distanceGrid->addWidget(new QLabel(tr("Resampling :")), 1, 0);
    const QString kinds[] = {tr("None"), tr("Loci"), tr("Individuals")};
    for (int id = 0; id < 3; ++id) {
        auto* button = new QRadioButton(kinds[id]);
        resampling_->addButton(button, id);
        distanceGrid->addWidget(button, 1, 1 + id);
    }
    resampling_->button(0)->setChecked(true);
    replicates_->setRange(1, 1000000);
    replicates_->setValue(100);
    seed_->setRange(0, INT_MAX);
    seed_->setValue(1);
    AddField(distanceGrid, 2, tr("Replicates :"), replicates_);
    AddField(distanceGrid, 2, tr("Seed :"), seed_, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fileGroup);
    layout->addWidget(readGroup);
    layout->addWidget(distanceGroup);
    layout->addWidget(bar_);
    layout->addLayout(ButtonRow({ok_, cancel_}));
    ok_->setDefault(true);

    connect(browse_, &QPushButton::clicked, this, &TGenotypeForm::BrowseCommand);
    connect(samplesBrowse_, &QPushButton::clicked, this, &TGenotypeForm::BrowseSamplesCommand);
    connect(file_, &QLineEdit::editingFinished, this, [this] {
        if (file_->isModified())
            StartReading();
        file_->setModified(false);
    });
    connect(samples_, &QLineEdit::editingFinished, this, [this] {
        if (samples_->isModified())
            StartReading();
        samples_->setModified(false);
    });
    connect(missing_, &QLineEdit::editingFinished, this, [this] {
        if (missing_->isModified())
            StartReading();
        missing_->setModified(false);
    });
    connect(format_, &QComboBox::currentIndexChanged, this, [this] {
        ShowFormatOptions();
        StartReading();
    });
    for (QComboBox* box : {rows_, markerNames_})
        connect(box, &QComboBox::currentIndexChanged, this, &TGenotypeForm::StartReading);
    // A column typed in is read once typing pauses, not at each digit.
    for (QSpinBox* box : {labelColumn_, populationColumn_, firstLocus_}) {
        box->setKeyboardTracking(false);
        connect(box, &QSpinBox::valueChanged, this, &TGenotypeForm::StartReading);
    }
    TakeTypedValuesAfterPause({labelColumn_, populationColumn_, firstLocus_}, nullptr, nullptr);
    OnChosen(resampling_, this, [this](int id) {
        replicates_->setEnabled(id != 0 && !computing_);
        seed_->setEnabled(id != 0 && !computing_);
    });
    connect(ok_, &QPushButton::clicked, this, &TGenotypeForm::OKCommand);
    connect(cancel_, &QPushButton::clicked, this, &TGenotypeForm::CancelPressed);

    ImportSignals& worker = bridge_.genotypeImport();
    connect(&worker, &ImportSignals::progress, this, &TGenotypeForm::Progress);
    connect(&worker, &ImportSignals::readEnded, this, &TGenotypeForm::ReadEnded);
    connect(&worker, &ImportSignals::extractionEnded, this, &TGenotypeForm::ComputationEnded);

    loading_ = true;
    ReadSettings();
    loading_ = false;
    ShowFormatOptions();
    replicates_->setEnabled(resampling_->checkedId() != 0);
    seed_->setEnabled(resampling_->checkedId() != 0);
}

TGenotypeForm::~TGenotypeForm()
{
    StopWorker();
    DropStores();
    WriteSettings();
}

genetics::ReadOptions TGenotypeForm::ReadingOptions() const
{
    genetics::ReadOptions options;
    options.format = static_cast<GenotypeFormat>(format_->currentIndex());
    options.columns.rowsPerIndividual = rows_->currentIndex();
    options.columns.labelColumn = labelColumn_->Column();
    options.columns.populationColumn = populationColumn_->Column();
    options.columns.firstLocusColumn = firstLocus_->Column();
    options.columns.markerNames = markerNames_->currentIndex() == 0 ? -1 : markerNames_->currentIndex() == 1;
    options.missing = missing_->text().toStdString();
    if (samplesRow_->isVisibleTo(this))
        options.samplesFile = ToPath(samples_->text()).string();
    return options;
}

genetics::DistanceRequest TGenotypeForm::ObservedRequest() const
{
    // As `analyse --genotypes` makes them: the observed matrix in a store of
    // its own, for the single run.
    genetics::DistanceRequest request;
    request.distance = static_cast<genetics::Distance>(distance_->currentIndex());
    request.observed = true;
    request.resampling = Resampling::None;
    return request;
}

genetics::DistanceRequest TGenotypeForm::ReplicatesRequest() const
{
    // The replicates alone: the significance test counts over them only.
    genetics::DistanceRequest request = ObservedRequest();
    request.observed = false;
    request.resampling = static_cast<Resampling>(std::max(0, resampling_->checkedId()));
    request.seed = static_cast<std::uint64_t>(seed_->value());
    request.firstReplicate = 1;
    request.lastReplicate = request.resampling == Resampling::None ? 0 : replicates_->value();
    return request;
}

QString TGenotypeForm::FileName() const
{
    return file_->text();
}

void TGenotypeForm::ShowFormatOptions()
{
    const auto format = static_cast<GenotypeFormat>(format_->currentIndex());
    columnsGroup_->setVisible(format == GenotypeFormat::Structure || format == GenotypeFormat::Table);
    samplesRow_->setVisible(format == GenotypeFormat::Vcf ||
                            (format == GenotypeFormat::Detect && IsVcfName(file_->text())));
}

bool TGenotypeForm::Execute()
{
    StopWorker();
    DropStores();
    computed_ = false;
    fit_ = false;
    worker_ = std::make_unique<genetics::GenotypeWorker>(bridge_.notifier(Sender::GenotypeImport),
                                                         gzip::OpenSource);
    summary_->clear();
    bar_->setValue(0);
    ShowStatus(status_, tr("Choose a genotype file."), palette().color(QPalette::WindowText));
    EnableControls(true);
    ShowFormatOptions();
    if (!file_->text().isEmpty() && QFileInfo::exists(file_->text()))
        StartReading();
    UpdateOK();
    return exec() == QDialog::Accepted;
}

std::unique_ptr<MatrixFile> TGenotypeForm::TakeStore()
{
    computed_ = false;
    return std::move(store_);
}

std::unique_ptr<MatrixFile> TGenotypeForm::TakeReplicates()
{
    return std::move(replicateStore_);
}

void TGenotypeForm::DropStores()
{
    store_.reset();
    replicateStore_.reset();
}

void TGenotypeForm::BrowseCommand()
{
    const QString fileName = AskFileToRead(
        this, {"GenotypeFileDialog", tr("Open genotype file"),
               {tr("genotype files (*.gen *.dat *.str *.csv *.txt *.tsv *.vcf *.vcf.gz *.gtx)"),
                tr("all files (*)")},
               {}, DataFolder(), {}, {}});
    if (fileName.isEmpty())
        return;
    SetDataFolder(QFileInfo(fileName).absolutePath());
    file_->setText(fileName);
    ShowFormatOptions();
    StartReading();
}

void TGenotypeForm::BrowseSamplesCommand()
{
    const QString fileName =
        AskFileToRead(this, {"SamplesFileDialog", tr("Open samples file"),
                             {tr("text files (*.txt *.tsv)"), tr("all files (*)")}, {}, DataFolder(), {}, {}});
    if (fileName.isEmpty())
        return;
    SetDataFolder(QFileInfo(fileName).absolutePath());
    samples_->setText(fileName);
    StartReading();
}

void TGenotypeForm::StartReading()
{
    if (loading_ || !worker_ || computing_)
        return;
    fit_ = false;
    summary_->clear();
    bar_->setValue(0);
    ShowFormatOptions();
    UpdateOK();
    if (file_->text().isEmpty())
        return;
    // A VCF file cannot be read without its samples file: the row that asks
    // for it has just appeared, the user fills it in first.
    if (samplesRow_->isVisibleTo(this) && samples_->text().trimmed().isEmpty()) {
        ShowStatus(status_, tr("Choose the samples file: ") + Q(msg::VcfNeedsSamples) + '.',
                   palette().color(QPalette::WindowText));
        return;
    }
    ShowStatus(status_, tr("Reading genotypes. Please wait..."), kWorkingColour);
    reading_ = true;
    try {
        step_ = worker_->startReading(ToPath(file_->text()).string(), ReadingOptions());
    } catch (const std::exception& e) {
        reading_ = false;
        ShowStatus(status_, Q(e.what()), kFailureColour);
    }
}

void TGenotypeForm::ReadEnded(quint64 step, const JobResult& result)
{
    if (step != step_ || !worker_)
        return;
    reading_ = false;
    if (result.outcome == JobOutcome::Cancelled) {
        ShowStatus(status_, tr("Reading canceled."), kFailureColour);
        return;
    }
    if (result.Failed()) {
        Failed(tr("The genotypes could not be read."), result);
        return;
    }
    QStringList lines;
    const genetics::GenotypeSummary summary = worker_->summary();
    for (const std::string& line : genetics::SummaryLines(summary))
        lines << Q(line);
    summary_->setPlainText(lines.join('\n'));
    // Population k is site k of the map: another count is refused here,
    // before any distance is computed.
    const auto populations = static_cast<std::int64_t>(summary.populations.size());
    if (expectedSize_ >= 0 && populations != expectedSize_) {
        ShowStatus(status_, Q(msg::PopulationCountMismatch(populations, expectedSize_)), kFailureColour);
    } else if (populations < 2) {
        ShowStatus(status_, Q(msg::TwoPopulationsNeeded), kFailureColour);
    } else {
        fit_ = true;
        ShowStatus(status_, tr("Genotypes read: ") + lines.value(0),
                   palette().color(QPalette::WindowText));
    }
    UpdateOK();
    if (fit_)
        ok_->setFocus();
}

void TGenotypeForm::OKCommand()
{
    if (!fit_ || reading_ || computing_ || !worker_)
        return;
    const auto n = static_cast<std::int32_t>(worker_->populationCount());
    const genetics::DistanceRequest replicates = ReplicatesRequest();
    const bool resampled = replicates.resampling != Resampling::None;
    const std::int64_t required = genetics::RequiredStoreBytes(n, ObservedRequest()) +
                                  (resampled ? genetics::RequiredStoreBytes(n, replicates) : 0);
    // The same room check as the matrix import, with its choice of folder.
    const QPointer<TGenotypeForm> self(this);
    while (!stores_.HasRoom(required)) {
        TDiskDialog dialog(required, stores_.Folder(), stores_.FreeSpace(), this);
        const int answer = dialog.exec();
        if (!self)
            return;
        if (answer != QDialog::Accepted || !isVisible())
            return;
        stores_.Choose(dialog.Folder());
    }
    store_ = stores_.NewStore();
    if (resampled)
        replicateStore_ = stores_.NewStore();
    computing_ = true;
    computingReplicates_ = false;
    EnableControls(false);
    bar_->setValue(0);
    ShowStatus(status_, Q(msg::ComputingDistances), kWorkingColour);
    StartComputing(ObservedRequest(), *store_);
}

bool TGenotypeForm::StartComputing(const genetics::DistanceRequest& request, MatrixFile& store)
{
    try {
        step_ = worker_->startComputing(request, store);
        return true;
    } catch (const std::exception& e) {
        computing_ = false;
        DropStores();
        EnableControls(true);
        ShowStatus(status_, Q(e.what()), kFailureColour);
        return false;
    }
}

void TGenotypeForm::Progress(int percent)
{
    if (computing_)
        bar_->setValue(percent);
}

void TGenotypeForm::ComputationEnded(quint64 step, const JobResult& result)
{
    if (step != step_ || !computing_)
        return;
    if (result.outcome == JobOutcome::Done && replicateStore_ && !computingReplicates_) {
        // The observed matrix is in: the replicates follow.
        computingReplicates_ = true;
        StartComputing(ReplicatesRequest(), *replicateStore_);
        return;
    }
    computing_ = false;
    EnableControls(true);
    if (result.outcome == JobOutcome::Done) {
        computed_ = true;
        bar_->setValue(100);
        const std::int32_t count = store_->matrixCount() + (replicateStore_ ? replicateStore_->matrixCount() : 0);
        ShowStatus(status_,
                   tr("%1 matri%2 of %3 populations computed.")
                       .arg(count)
                       .arg(count == 1 ? "x" : "ces")
                       .arg(store_->size()),
                   palette().color(QPalette::WindowText));
        accept();
        return;
    }
    // Nothing computed stays behind: the stores go with their files.
    DropStores();
    bar_->setValue(0);
    if (result.outcome == JobOutcome::Cancelled)
        ShowStatus(status_, Q(msg::DistancesCanceled), kFailureColour);
    else
        Failed(tr("The distances could not be computed."), result);
}

void TGenotypeForm::Failed(const QString& status, const JobResult& result)
{
    ShowStatus(status_, status + '\n' + FailureText(result), kFailureColour);
    ShowErrorBox(this, windowTitle(), Q(result.message), ErrorDetail(result));
}

void TGenotypeForm::CancelPressed()
{
    if (computing_) {
        // The dialog stays: the cancel's report gives the choices back.
        worker_->cancel();
        return;
    }
    reject();
}

void TGenotypeForm::EnableControls(bool enabled)
{
    for (QWidget* w :
         std::initializer_list<QWidget*>{file_, browse_, format_, columnsGroup_, samplesRow_, distance_})
        w->setEnabled(enabled);
    for (QAbstractButton* button : resampling_->buttons())
        button->setEnabled(enabled);
    replicates_->setEnabled(enabled && resampling_->checkedId() != 0);
    seed_->setEnabled(enabled && resampling_->checkedId() != 0);
    UpdateOK();
}

void TGenotypeForm::UpdateOK()
{
    ok_->setEnabled(fit_ && !reading_ && !computing_);
}

void TGenotypeForm::done(int result)
{
    if (result == QDialog::Accepted && (!store_ || !computed_))
        return;
    // Closing, in any way, stops the worker first: it may be writing to the
    // store. Only an accepted store outlives the dialog's session.
    StopWorker();
    if (result != QDialog::Accepted) {
        DropStores();
        computed_ = false;
    }
    QDialog::done(result);
}

void TGenotypeForm::StopWorker()
{
    if (worker_) {
        worker_->cancel();
        worker_.reset();
    }
    bridge_.discard(Sender::GenotypeImport);
    reading_ = false;
    if (computing_) {
        computing_ = false;
        DropStores();
    }
    UpdateOK();
}

} // namespace sundrel::app

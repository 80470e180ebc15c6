#include "app/importing/ImportMatForm.h"

#include "app/document/DocumentBridge.h"
#include "app/importing/PreviewModels.h"
#include "app/importing/DiskDialog.h"
#include "app/importing/ImportMatSettings.h"
#include "app/widgets/Fields.h"
#include "app/widgets/Progress.h"
#include "app/widgets/ErrorBox.h"
#include "app/widgets/Settings.h"
#include "matrix/MatrixFile.h"
#include "matrix/MatrixImportWorker.h"
#include "matrix/Messages.h"
#include "matrix/PreviewGrid.h"
#include "matrix/SMatrix.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QDir>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

namespace sundrel::app {

namespace {

constexpr const char* kGroup = "ImportMat";
constexpr int kSpinMaximum = 32767;

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

TImportMatForm::TImportMatForm(DocumentBridge& bridge, QWidget* parent)
    : QDialog(parent), bridge_(bridge), file_(new QLineEdit),
      size_(new QLineEdit), matrices_(new QSpinBox),
      square_(new QCheckBox(tr("Square matrix"))), lines_(new QSpinBox),
      columns_(new QSpinBox), gap_(new QSpinBox), autoExtract_(new QCheckBox(tr("Auto extract"))),
      extract_(new QPushButton(tr("Extract data"))), previewNumber_(new QSpinBox),
      preview_(new QPlainTextEdit),
      results_{NewStatusLine(tr("Result 1"), 1), NewStatusLine(tr("Result 2"), 1),
               NewStatusLine(tr("Result 3"), 1)},
      bar_(NewProgressBar()), grid_(new QTableView), model_(new PreviewGridModel(this)),
      ok_(new QPushButton(tr("OK"))), cancel_(new QPushButton(tr("Cancel")))
{
    setObjectName("ImportMatForm");
    setWindowTitle(tr("Import matrix data"));
    setModal(true);

    file_->setReadOnly(true);
    auto* top = new QHBoxLayout;
    top->addWidget(FieldLabel(tr("File :"), file_));
    top->addWidget(file_, 1);

    preview_->setReadOnly(true);
    preview_->setLineWrapMode(QPlainTextEdit::NoWrap);
    preview_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    preview_->setMinimumHeight(160);

    size_->setReadOnly(true);
    size_->setMaximumWidth(90);
    // Each value is taken once typed in full (a pause in typing, Enter,
    // leaving the field, the arrows), not at every key: a change may start
    // an extraction.
    for (QSpinBox* spin : {matrices_, lines_, columns_, gap_, previewNumber_}) {
        spin->setKeyboardTracking(false);
        spin->setMaximum(kSpinMaximum);
        spin->setMinimumWidth(90);
    }
    matrices_->setMinimum(1);
    lines_->setMinimum(1);
    columns_->setMinimum(1);
    gap_->setMinimum(0);
    previewNumber_->setRange(1, 1);

    auto* setup = new QGroupBox;
    auto* form = new QGridLayout(setup);
    AddField(form, 0, tr("Matrix size :"), size_);
    AddField(form, 1, tr("Number of matrices : "), matrices_);
    form->addWidget(square_, 1, 2);
    AddField(form, 2, tr("Start import at line :"), lines_);
    AddField(form, 3, tr("Start import at column :"), columns_);
    AddField(form, 4, tr("Lines between matrices :"), gap_);
    form->addWidget(autoExtract_, 5, 0);
    form->addWidget(extract_, 5, 1, 1, 2, Qt::AlignLeft);
    form->setColumnStretch(2, 1);

    auto* left = new QVBoxLayout;
    left->addWidget(FieldLabel(tr("File preview"), preview_));
    left->addWidget(preview_, 1);
    left->addWidget(setup);

    grid_->setModel(model_);
    grid_->setAccessibleName(tr("Matrix preview"));
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 4);
    grid_->setMinimumWidth(300);
    // The place of the grid stays while it is hidden.
    QSizePolicy policy = grid_->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    grid_->setSizePolicy(policy);
    grid_->hide();
    auto* number = new QHBoxLayout;
    number->addWidget(FieldLabel(tr("Preview matrix n° :"), previewNumber_));
    number->addWidget(previewNumber_);
    number->addStretch();
    auto* right = new QVBoxLayout;
    right->addLayout(number);
    right->addWidget(grid_, 1);

    auto* middle = new QHBoxLayout;
    middle->addLayout(left, 3);
    middle->addLayout(right, 2);

    ok_->setEnabled(false);
    ok_->setAutoDefault(false);
    cancel_->setAutoDefault(false);
    extract_->setAutoDefault(false);
    extract_->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(middle, 1);
    for (QLabel* result : results_)
        layout->addWidget(result);
    layout->addWidget(bar_);
    layout->addLayout(ButtonRow({ok_, cancel_}));
    resize(900, 620);

    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &TImportMatForm::CancelPressed);
    connect(extract_, &QPushButton::clicked, this, [this] { Validate(true); });
    connect(autoExtract_, &QCheckBox::toggled, this, &TImportMatForm::AutoExtractToggled);
    connect(square_, &QCheckBox::toggled, this, [this] { Validate(); });
    for (QSpinBox* spin : {matrices_, lines_, columns_, gap_})
        connect(spin, &QSpinBox::valueChanged, this, [this] { Validate(); });
    // While a value is being typed the results shown are not the fields':
    // OK waits. A value typed again unchanged gives OK back.
    TakeTypedValuesAfterPause(
        {matrices_, lines_, columns_, gap_}, [this] { ok_->setEnabled(false); },
        [this] {
            if (!loading_ && !reading_ && !extracting_)
                ok_->setEnabled(extracted_);
        });
    connect(previewNumber_, &QSpinBox::valueChanged, this, [this] {
        if (extracted_ && !reading_ && !extracting_)
            ShowPreviewGrid();
    });

    ImportSignals& worker = bridge_.matrixImport();
    connect(&worker, &ImportSignals::progress, this, &TImportMatForm::Progress);
    connect(&worker, &ImportSignals::fileRead, this, &TImportMatForm::FileRead);
    connect(&worker, &ImportSignals::readEnded, this, &TImportMatForm::ReadEnded);
    connect(&worker, &ImportSignals::extractionEnded, this, &TImportMatForm::ExtractionEnded);

    ReadSettings();
    EnableParameters(false);
}

TImportMatForm::~TImportMatForm()
{
    StopWorker();
    store_.reset();
    WriteSettings();
}

void TImportMatForm::ReadSettings()
{
    QSettings settings;
    settings.beginGroup(kGroup);
    const bool placed = ReadWindowPosition(settings, this);
    const std::optional<ImportMatSettings> read = ReadImportMatSettings(settings, kSpinMaximum);
    settings.endGroup();
    const ImportMatSettings values = placed && read ? *read : ImportMatSettings{};
    setMatrixSize(values.matrixSize);
    matrices_->setValue(values.matrices);
    square_->setChecked(values.square);
    lines_->setValue(values.ignoredLines);
    columns_->setValue(values.ignoredColumns);
    gap_->setValue(values.ignoredMatrices);
    folder_.Choose(std::filesystem::path(values.storeFolder.toStdString()));
    autoExtract_->setChecked(values.autoExtract);
}

void TImportMatForm::WriteSettings() const
{
    QSettings settings;
    settings.beginGroup(kGroup);
    WriteWindowPosition(settings, this);
    WriteImportMatSettings(settings, {n_, matrices_->value(), square_->isChecked(), lines_->value(),
                                      columns_->value(), gap_->value(),
                                      QString::fromStdString(folder_.Chosen().string()),
                                      autoExtract_->isChecked()});
    settings.endGroup();
}

void TImportMatForm::setMatrixSize(std::int32_t n)
{
    n_ = n;
    size_->setText(QString::number(n));
    Validate();
}

QLabel* TImportMatForm::ResultLabel(int line) const
{
    return line >= 1 && line <= 3 ? results_[line - 1] : nullptr;
}

std::unique_ptr<MatrixFile> TImportMatForm::takeMatrixFile()
{
    if (!store_ || !extracted_ || reading_ || extracting_)
        return nullptr;
    takenCount_ = store_->matrixCount();
    takenSize_ = store_->size();
    extracted_ = false;
    return std::move(store_);
}

std::int32_t TImportMatForm::MatrixCount() const
{
    return store_ && extracted_ ? store_->matrixCount() : takenCount_;
}

std::int32_t TImportMatForm::MatrixSize() const
{
    return store_ && extracted_ ? store_->size() : takenSize_;
}

bool TImportMatForm::Execute(const QString& fileName)
{
    Setup(fileName);
    return exec() == QDialog::Accepted;
}

void TImportMatForm::Setup(const QString& fileName)
{
    StopWorker();
    store_.reset();
    extracted_ = false;
    takenCount_ = takenSize_ = 0;
    worker_ = std::make_unique<MatrixImportWorker>(bridge_.notifier(Sender::MatrixImport));
    loading_ = true;
    lineCount_ = 0;

    file_->setText(fileName);
    preview_->clear();
    grid_->hide();
    model_->Clear();
    previewNumber_->setValue(1);
    EnableParameters(false);
    ok_->setEnabled(false);
    extract_->setDefault(true);
    bar_->setValue(0);
    SetResult(1, QString(), NormalColour());
    SetResult(2, Q(msg::AnalysingData), kWorkingColour);
    SetResult(3, QString(), NormalColour());
    try {
        store_ = folder_.NewStore();
        reading_ = true;
        step_ = worker_->startReading(fileName.toUtf8().toStdString());
    } catch (const std::exception& e) {
        reading_ = false;
        SetResult(3, Q(e.what()), kFailureColour);
    }
}

void TImportMatForm::done(int result)
{
    if (result == QDialog::Accepted && (!store_ || !extracted_ || reading_ || extracting_))
        return;
    // Closing, in any way, stops the worker first: it may be writing to the
    // store. Only an accepted store outlives the dialog's session.
    StopWorker();
    loading_ = true;
    if (result != QDialog::Accepted) {
        store_.reset();
        extracted_ = false;
    }
    QDialog::done(result);
}

void TImportMatForm::StopWorker()
{
    const bool wasExtracting = extracting_;
    if (worker_) {
        worker_->cancel();
        worker_.reset();
    }
    bridge_.discard(Sender::MatrixImport);
    reading_ = false;
    extracting_ = false;
    // A half-written store is of no use: its file goes at once.
    if (wasExtracting && store_)
        store_->close();
}

MatrixLayout TImportMatForm::Layout() const
{
    MatrixLayout layout;
    layout.size = n_;
    layout.matrices = matrices_->value();
    layout.square = square_->isChecked();
    layout.startLine = lines_->value();
    layout.startColumn = columns_->value();
    layout.gap = gap_->value();
    return layout;
}

QColor TImportMatForm::NormalColour() const
{
    return palette().color(QPalette::WindowText);
}

void TImportMatForm::SetResult(int line, const QString& text, const QColor& colour)
{
    ShowStatus(results_[line - 1], text, colour);
}

void TImportMatForm::EnableParameters(bool enabled)
{
    for (QWidget* w : std::initializer_list<QWidget*>{matrices_, square_, lines_, columns_, gap_,
                                                      autoExtract_, previewNumber_})
        w->setEnabled(enabled);
    extract_->setEnabled(enabled && !autoExtract_->isChecked());
}

void TImportMatForm::Validate(bool force)
{
    if (loading_ || reading_ || extracting_ || checkingDisk_ || !worker_ || !store_)
        return;
    const MatrixLayout layout = Layout();
    extracted_ = false;
    grid_->hide();
    bar_->setValue(0);
    ok_->setEnabled(false);
    extract_->setDefault(true);
    previewNumber_->setMaximum(layout.matrices);

    const std::int64_t required = RequiredLines(layout);
    if (required > lineCount_) {
        SetResult(1, Q(msg::MatrixSize(layout.size)), kFailureColour);
        SetResult(2, Q(msg::MatrixCount(layout.matrices)), kFailureColour);
        SetResult(3, Q(msg::FileTooShort(lineCount_, required)), kFailureColour);
        return;
    }
    SetResult(1, Q(msg::MatrixSize(layout.size)), NormalColour());
    SetResult(2, Q(msg::MatrixCount(layout.matrices)), NormalColour());
    if (!force && !autoExtract_->isChecked()) {
        // What the third line said of other settings no longer holds.
        const QString third = results_[2]->text();
        SetResult(3, third == msg::PreviewComplete ? third : QString(), NormalColour());
        return;
    }
    if (!CheckDisk(layout))
        return;
    StartExtraction(layout);
}

bool TImportMatForm::CheckDisk(const MatrixLayout& layout)
{
    // The matrices of earlier settings go first: their room counts.
    store_->close();
    const std::int64_t required = RequiredBytes(layout);
    const QPointer<TImportMatForm> self(this);
    checkingDisk_ = true;
    while (!folder_.HasRoom(required)) {
        TDiskDialog dialog(required, folder_.Folder(), folder_.FreeSpace(), this);
        const int answer = dialog.exec();
        if (!self)
            return false;
        if (answer != QDialog::Accepted || !isVisible()) {
            checkingDisk_ = false;
            return false;
        }
        folder_.Choose(dialog.Folder());
        store_.reset();
        store_ = folder_.NewStore();
    }
    checkingDisk_ = false;
    return true;
}

void TImportMatForm::StartExtraction(const MatrixLayout& layout)
{
    EnableParameters(false);
    ok_->setEnabled(false);
    bar_->setValue(0);
    SetResult(3, Q(msg::CheckingData), kWorkingColour);
    extracting_ = true;
    try {
        step_ = worker_->startExtraction(layout, *store_);
    } catch (const std::exception& e) {
        extracting_ = false;
        EnableParameters(true);
        SetResult(3, Q(e.what()), kFailureColour);
    }
}

void TImportMatForm::ShowPreviewGrid()
{
    try {
        const std::unique_ptr<SMatrix> matrix = store_->readMatrix(previewNumber_->value() - 1);
        if (!matrix) {
            grid_->hide();
            return;
        }
        model_->Set(MakePreviewGrid(*matrix));
        grid_->resizeColumnsToContents();
        grid_->show();
    } catch (const std::exception& e) {
        grid_->hide();
        SetResult(3, Q(e.what()), kFailureColour);
    }
}

void TImportMatForm::CancelPressed()
{
    if (extracting_) {
        // The dialog stays: the cancel's report re-enables the settings.
        worker_->cancel();
        return;
    }
    reject();
}

void TImportMatForm::AutoExtractToggled(bool on)
{
    const bool idle = !loading_ && !reading_ && !extracting_;
    extract_->setEnabled(!on && idle);
    if (on)
        Validate();
    else
        results_[2]->clear();
}

void TImportMatForm::Progress(int percent)
{
    if (reading_ || extracting_)
        bar_->setValue(percent);
}

void TImportMatForm::FileRead(quint64 step)
{
    if (!worker_ || step != step_)
        return;
    lineCount_ = worker_->lineCount();
    SetResult(2, Q(msg::LinesRead(lineCount_)), kWorkingColour);
    SetResult(3, Q(msg::PreviewingFile), kWorkingColour);
    bar_->setValue(0);
}

void TImportMatForm::ReadEnded(quint64 step, const JobResult& result)
{
    if (!worker_ || step != step_)
        return;
    reading_ = false;
    switch (result.outcome) {
    case JobOutcome::Done:
        preview_->setPlainText(DisplayedPreview(worker_->previewText()));
        SetResult(3, Q(msg::PreviewComplete), NormalColour());
        loading_ = false;
        EnableParameters(true);
        extract_->setFocus();
        Validate();
        break;
    case JobOutcome::Failed:
        SetResult(2, Q(msg::InitializationErrorPrefix), kFailureColour);
        SetResult(3, FailureText(result), kFailureColour);
        break;
    case JobOutcome::Cancelled:
        reject();
        break;
    }
}

void TImportMatForm::ExtractionEnded(quint64 step, const JobResult& result)
{
    if (!worker_ || step != step_)
        return;
    extracting_ = false;
    EnableParameters(true);
    if (result.outcome == JobOutcome::Done) {
        extracted_ = true;
        SetResult(3, Q(msg::LinesExtracted(store_->matrixCount(), store_->size())), NormalColour());
        ok_->setEnabled(true);
        ok_->setDefault(true);
        ok_->setFocus();
        ShowPreviewGrid();
        return;
    }
    // A half-written store is of no use: its file goes at once.
    store_->close();
    ok_->setEnabled(false);
    SetResult(3, result.Failed() ? FailureText(result) : Q(msg::ExtractionCancelled),
              kFailureColour);
}

} // namespace sundrel::app

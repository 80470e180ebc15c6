#include "app/analysis/MonmonierSetup.h"

#include "app/analysis/SundrelNumberDialog.h"
#include "app/widgets/Choices.h"
#include "app/widgets/Fields.h"
#include "app/widgets/FileDialogs.h"
#include "app/widgets/Progress.h"
#include "app/widgets/Settings.h"
#include "matrix/MatrixFile.h"
#include "monmonier/AnalysisSetup.h"
#include "monmonier/MonmonierLayer.h"
#include "monmonier/Messages.h"

#include <QButtonGroup>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QVBoxLayout>

namespace sundrel::app {

namespace {

constexpr const char* kGroup = "MonmonierSetup";
const char* const kLabelStyles[3] = {"a; b; c; d...", "1; 2; 3; 4...", "i; ii; iii; iv..."};

} // namespace

TMonmonierSetup::TMonmonierSetup(QWidget* parent)
    : QDialog(parent), fileLabel_(NewStatusLine(tr("File"))), status_(NewStatusLine(tr("Status"))),
      load_(new QPushButton(tr("Load  matrix data..."))), sundrelGroup_(new QGroupBox),
      sundrels_(new QButtonGroup(this)), more_(new QPushButton(tr("More..."))),
      title_(new QLineEdit), labelsGroup_(new QGroupBox(tr(" Sundrel labels "))),
      labels_(new QButtonGroup(this)), noAnalysis_(new QRadioButton(tr("No"))),
      analysis_(new QRadioButton(tr("Yes"))), bst_(new QLabel(tr("Sundrel significance test"))),
      report_(new QButtonGroup(this)), ok_(new QPushButton(tr("OK"))),
      cancel_(new QPushButton(tr("Cancel"))), numberDialog_(new TSundrelNumberDialog(this))
{
    setObjectName("MonmonierSetup");
    setWindowTitle(tr("Monmonier algorithm specifications"));
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);

    // The distance data.
    auto* data = new QGroupBox(tr(" Distance data file "));
    auto* dataLayout = new QVBoxLayout(data);
    dataLayout->addWidget(fileLabel_);
    dataLayout->addWidget(status_);
    dataLayout->addWidget(load_, 0, Qt::AlignLeft);

    // The number of sundrels: 1 .. 10, or more through "More...".
    auto* sundrelLayout = new QHBoxLayout(sundrelGroup_);
    for (int k = 1; k <= 10; ++k) {
        auto* button = new QRadioButton(QString::number(k));
        sundrels_->addButton(button, k);
        sundrelLayout->addWidget(button);
    }
    sundrelLayout->addWidget(more_);
    sundrelGroup_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(sundrelGroup_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        menu.addAction(tr("More..."), this, &TMonmonierSetup::MoreCommand);
        menu.exec(sundrelGroup_->mapToGlobal(at));
    });
    OnChosen(sundrels_, this, [this](int k) { SundrelChosen(k); });
    connect(more_, &QPushButton::clicked, this, &TMonmonierSetup::MoreCommand);

    // The title.
    auto* titleGroup = new QGroupBox(tr(" Monmonier title "));
    auto* titleLayout = new QHBoxLayout(titleGroup);
    titleLayout->addWidget(FieldLabel(tr("Name : "), title_));
    titleLayout->addWidget(title_);
    connect(title_, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (newMode_ || updating_)
            return;
        const std::int32_t index = ConfiguredIndex();
        if (index < 0)
            return;
        layers_->layer(index)->rename(text.toStdString());
        emit layerEdited(index);
    });

    // The labels of a single run.
    auto* labelsLayout = new QHBoxLayout(labelsGroup_);
    for (int style = 0; style < 3; ++style) {
        auto* button = new QRadioButton(QString::fromUtf8(kLabelStyles[style]));
        labels_->addButton(button, style);
        labelsLayout->addWidget(button);
    }
    labels_->button(0)->setChecked(true);
    OnChosen(labels_, this, [this](int style) {
        if (newMode_ || updating_)
            return;
        const std::int32_t index = ConfiguredIndex();
        if (index < 0 || !layers_->layer(index)->isSingle())
            return;
        layers_->layer(index)->setLabelStyle(style);
        emit layerEdited(index);
    });

    // Single run or significance test.
    auto* analysisGroup = new QGroupBox(tr(" Subreplicates analysis "));
    auto* analysisLayout = new QHBoxLayout(analysisGroup);
    analysisLayout->addWidget(noAnalysis_);
    analysisLayout->addWidget(analysis_);
    analysisLayout->addWidget(bst_);
    noAnalysis_->setChecked(true);
    OnChecked(noAnalysis_, this, [this] { NoAnalysisClicked(); });
    OnChecked(analysis_, this, [this] { AnalysisClicked(); });

    // The report.
    auto* reportGroup = new QGroupBox(tr(" Show report "));
    auto* reportLayout = new QHBoxLayout(reportGroup);
    for (int i = 0; i < 2; ++i) {
        auto* button = new QRadioButton(i == 0 ? tr("No") : tr("Yes"));
        report_->addButton(button, i);
        reportLayout->addWidget(button);
    }
    report_->button(0)->setChecked(true);
    OnChosen(report_, this, [this](int id) {
        if (newMode_ || updating_ || id != 1)
            return;
        const std::int32_t index = ConfiguredIndex();
        if (index >= 0)
            emit reportRequested(index);
    });

    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &TMonmonierSetup::OKClicked);
    connect(cancel_, &QPushButton::clicked, this, &TMonmonierSetup::reject);
    connect(load_, &QPushButton::clicked, this, &TMonmonierSetup::LoadCommand);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(data);
    layout->addWidget(sundrelGroup_);
    layout->addWidget(titleGroup);
    layout->addWidget(labelsGroup_);
    layout->addWidget(analysisGroup);
    layout->addWidget(reportGroup);
    layout->addLayout(ButtonRow({ok_, cancel_}));

    ReadSettings();
    SetSundrelNumber(sundrelNumber_);
    PrepareNewAnalysis();
}

TMonmonierSetup::~TMonmonierSetup()
{
    WriteSettings();
}

void TMonmonierSetup::ReadSettings()
{
    QSettings settings;
    settings.beginGroup(kGroup);
    // Two groups: a missing value ends its group, the rest keep their defaults.
    ReadWindowPosition(settings, this);
    [&] {
        const auto dir = ReadString(settings, "OpenDir");
        if (!dir)
            return;
        TakeDataFolderFromSettings(*dir);
        const auto k = ReadInt(settings, "SundrelNumber");
        if (!k || *k < 1 || *k > kMaxSundrelNumber)
            return;
        sundrelNumber_ = *k;
        const auto reported = ReadInt(settings, "Reported");
        if (!reported || (*reported != 0 && *reported != 1))
            return;
        CheckQuietly(report_->button(*reported));
    }();
    settings.endGroup();
}

void TMonmonierSetup::WriteSettings() const
{
    QSettings settings;
    settings.beginGroup(kGroup);
    WriteWindowPosition(settings, this);
    settings.setValue("OpenDir", DataFolder());
    settings.setValue("SundrelNumber", sundrelNumber_);
    settings.setValue("Reported", report_->checkedId() == 1 ? 1 : 0);
    settings.endGroup();
}

QAbstractButton* TMonmonierSetup::SundrelButton(int k) const { return sundrels_->button(k); }
QAbstractButton* TMonmonierSetup::LabelStyleButton(int style) const { return labels_->button(style); }
QAbstractButton* TMonmonierSetup::ReportButton(bool yes) const { return report_->button(yes ? 1 : 0); }

bool TMonmonierSetup::IsSingleRun() const { return noAnalysis_->isChecked(); }
bool TMonmonierSetup::ReportWanted() const { return report_->checkedId() == 1; }
int TMonmonierSetup::LabelStyle() const { return std::max(0, labels_->checkedId()); }
QString TMonmonierSetup::Title() const { return title_->text(); }

std::unique_ptr<MatrixFile> TMonmonierSetup::TakeStore()
{
    return std::move(store_);
}

std::unique_ptr<MatrixFile> TMonmonierSetup::TakeReplicates()
{
    std::unique_ptr<MatrixFile> replicates = std::move(replicates_);
    return IsSingleRun() ? nullptr : std::move(replicates);
}

void TMonmonierSetup::SetChoicesEnabled(bool enabled)
{
    for (QWidget* w : std::initializer_list<QWidget*>{sundrelGroup_, report_->button(0)->parentWidget(),
                                                      ok_, bst_, noAnalysis_, analysis_, title_,
                                                      labelsGroup_})
        w->setEnabled(enabled);
}

void TMonmonierSetup::PrepareNewAnalysis()
{
    newMode_ = true;
    layers_ = nullptr;
    serial_ = 0;
    store_.reset();
    replicates_.reset();
    matrixCount_ = 0;
    matrixSize_ = 0;
    fileLabel_->setText(QString::fromUtf8(msg::NoFileSelected));
    status_->setText(QString::fromUtf8(msg::NoMatrixLoaded));
    SetLabelColour(status_, palette().color(QPalette::WindowText));
    title_->clear();
    load_->setEnabled(true);
    cancel_->setVisible(true);
    SetChoicesEnabled(false);
}

bool TMonmonierSetup::ExecuteNew()
{
    hide();
    setModal(true);
    PrepareNewAnalysis();
    load_->setFocus();
    const bool accepted = exec() == QDialog::Accepted;
    setModal(false);
    return accepted;
}

bool TMonmonierSetup::ExecuteNew(std::unique_ptr<MatrixFile> store, const QString& source)
{
    hide();
    setModal(true);
    PrepareNewAnalysis();
    TakeLoaded(std::move(store), source);
    const bool accepted = exec() == QDialog::Accepted;
    setModal(false);
    return accepted;
}

bool TMonmonierSetup::ExecuteNew(std::unique_ptr<MatrixFile> observed,
                                 std::unique_ptr<MatrixFile> replicates, const QString& source)
{
    if (!replicates)
        return ExecuteNew(std::move(observed), source);
    hide();
    setModal(true);
    PrepareNewAnalysis();
    replicates_ = std::move(replicates);
    TakeLoaded(std::move(observed), source);
    const bool accepted = exec() == QDialog::Accepted;
    setModal(false);
    return accepted;
}

void TMonmonierSetup::LoadCommand()
{
    const QString fileName = AskFileToRead(
        this, {"LoadMatrixDialog", tr("Load matrix data"),
               {tr("text files (*.txt *.TXT)"), tr("all files (*)")}, {}, DataFolder(), {}});
    if (fileName.isEmpty())
        return;
    SetDataFolder(QFileInfo(fileName).absolutePath());
    // The store loaded before stays until another one is taken.
    std::unique_ptr<MatrixFile> store =
        LoadMatrices ? LoadMatrices(fileName, expectedSize_) : nullptr;
    if (!store)
        return;
    // Matrices loaded by the user replace the observed matrix and its
    // replicates given before.
    replicates_.reset();
    TakeLoaded(std::move(store), fileName);
}

void TMonmonierSetup::TakeLoaded(std::unique_ptr<MatrixFile> store, const QString& source)
{
    if (!store)
        return;
    store_ = std::move(store);
    matrixCount_ = (replicates_ ? replicates_ : store_)->matrixCount();
    matrixSize_ = store_->size();
    CheckQuietly(replicates_ || matrixCount_ >= 2 ? analysis_ : noAnalysis_);
    fileName_ = source;
    // The file the user chose, not the store the matrices were copied into.
    fileLabel_->setText(tr("File : ") + source);
    title_->setText(QString::fromStdString(ProposedTitle(source.toStdString())));
    UpdateStatus();
    (ok_->isEnabled() ? ok_ : cancel_)->setFocus();
}

void TMonmonierSetup::UpdateStatus()
{
    const LoadedMatricesStatus status = MatricesStatus(matrixCount_, matrixSize_, expectedSize_);
    QString text = QString::fromStdString(status.text);
    if (replicates_)
        text += tr("\nand the observed matrix: a single run on it, beside the test (Yes)");
    status_->setText(text);
    SetLabelColour(status_, status.compatible ? palette().color(QPalette::WindowText)
                                              : kFailureColour);
    SetChoicesEnabled(status.compatible);
    if (status.compatible) {
        bst_->setEnabled(analysis_->isChecked());
        // The labels concern single runs only (with replicates, the observed
        // matrix's single run is made either way).
        labelsGroup_->setEnabled(noAnalysis_->isChecked() || replicates_);
    }
}

void TMonmonierSetup::NoAnalysisClicked()
{
    bst_->setEnabled(false);
    // With replicates, "No" is the observed matrix's single run alone.
    if (matrixCount_ < 2 || replicates_) {
        ok_->setEnabled(true);
        labelsGroup_->setEnabled(true);
        return;
    }
    QMessageBox::warning(this, windowTitle(), QString::fromUtf8(msg::SingleRunOnManyMatrices));
    noAnalysis_->setEnabled(false);
    ok_->setEnabled(false);
}

void TMonmonierSetup::AnalysisClicked()
{
    bst_->setEnabled(true);
    labelsGroup_->setEnabled(replicates_ != nullptr);
    if (matrixCount_ != 1 || replicates_) {
        ok_->setEnabled(true);
        return;
    }
    QMessageBox::warning(this, windowTitle(), QString::fromUtf8(msg::TestOnOneMatrix));
    analysis_->setEnabled(false);
    ok_->setEnabled(false);
}

void TMonmonierSetup::SetSundrelNumber(std::int32_t k)
{
    sundrelNumber_ = k;
    sundrelGroup_->setTitle(QString::fromStdString(SundrelNumberCaption(k)));
    if (k <= 10)
        CheckQuietly(sundrels_->button(k));
    else
        ClearQuietly(sundrels_);
}

void TMonmonierSetup::SundrelChosen(std::int32_t k)
{
    SetSundrelNumber(k);
    if (newMode_)
        return;
    const std::int32_t index = ConfiguredIndex();
    if (index >= 0 && layers_->layer(index)->sundrelCount() != k)
        layers_->requestRecompute(index, k);
}

void TMonmonierSetup::MoreCommand()
{
    const int k = numberDialog_->Ask(sundrelNumber_);
    if (k <= 0)
        return;
    SundrelChosen(k);
    ok_->setFocus();
}

void TMonmonierSetup::OKClicked()
{
    if (newMode_)
        accept();
    else
        hide();
}

void TMonmonierSetup::reject()
{
    if (newMode_) {
        // The temporary stores go with their files.
        store_.reset();
        replicates_.reset();
    }
    QDialog::reject();
}

void TMonmonierSetup::LayersChanged()
{
    if (!newMode_ && ConfiguredIndex() < 0) {
        hide();
        PrepareNewAnalysis();
    }
}

std::int32_t TMonmonierSetup::ConfiguredIndex() const
{
    return layers_ ? layers_->indexOfSerial(serial_) : -1;
}

void TMonmonierSetup::Configure(MonmonierLayer& layers, std::int32_t index)
{
    const auto layer = layers.layer(index);
    if (!layer)
        return;
    if (isModal() && isVisible())
        return;
    store_.reset();
    replicates_.reset();
    newMode_ = false;
    layers_ = &layers;
    serial_ = layer->serial();
    updating_ = true;
    matrixCount_ = layer->matrixCount();
    matrixSize_ = layer->populationCount();
    expectedSize_ = matrixSize_;
    CheckQuietly(layer->isSingle() ? noAnalysis_ : analysis_);
    UpdateStatus();
    fileLabel_->setText(tr("File : ") + QString::fromStdString(layer->store().fileName().string()));
    title_->setText(QString::fromStdString(layer->layerName()));
    SetSundrelNumber(layer->sundrelCount() > 0 ? layer->sundrelCount() : sundrelNumber_);
    load_->setEnabled(false);
    cancel_->setVisible(false);
    if (layer->isSingle()) {
        noAnalysis_->setEnabled(true);
        analysis_->setEnabled(false);
        bst_->setEnabled(false);
        labelsGroup_->setEnabled(true);
        CheckQuietly(labels_->button(std::clamp(layer->labelStyle, 0, 2)));
    } else {
        analysis_->setEnabled(true);
        noAnalysis_->setEnabled(false);
        bst_->setEnabled(true);
        labelsGroup_->setEnabled(false);
        ClearQuietly(labels_);
    }
    CheckQuietly(report_->button(0));
    updating_ = false;
    setModal(false);
    show();
    raise();
}

} // namespace sundrel::app

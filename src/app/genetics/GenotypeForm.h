#pragma once
// "New from genotypes...": reads a genotype file (GENEPOP, FSTAT, STRUCTURE,
// a table or VCF), shows its summary, and computes the observed distance
// matrix between its populations into one temporary matrix store and, with
// resampling, the replicates into a second one, as `analyse --genotypes`
// does; OK hands both to the analysis set-up. Reading and computing run on a
// worker; Cancel stops the computation and deletes what it wrote. Genotypes
// whose population count is not the map's are refused before any work; a
// VCF file is read once its samples file is named.

#include "common/Job.h"
#include "genetics/Distances.h"
#include "genetics/GenotypeReaders.h"

#include <QDialog>
#include <QString>

#include <cstdint>
#include <memory>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QWidget;

namespace sundrel {
class MatrixFile;
namespace genetics {
class GenotypeWorker;
}
} // namespace sundrel

namespace sundrel::app {

class DocumentBridge;
class StoreFolder;
class TColumnBox;

class TGenotypeForm : public QDialog {
    Q_OBJECT

public:
    // Reads its settings (group "Genotypes"). Stores are made in `stores`
    // (the matrix import's folder), which must outlive the dialog.
    TGenotypeForm(DocumentBridge& bridge, StoreFolder& stores, QWidget* parent = nullptr);
    // Stops the worker, deletes a store not taken, writes its settings.
    ~TGenotypeForm() override;

    // N, the number of sites of the current map.
    void SetExpectedSize(std::int32_t n) { expectedSize_ = n; }
    // Shows the dialog until OK (the matrices computed) or Cancel; true for
    // OK. The file chosen last is read again at once.
    bool Execute();
    // The stores of the accepted computation: the observed matrix, and the
    // replicates (none without resampling). The dialog holds none after.
    std::unique_ptr<MatrixFile> TakeStore();
    std::unique_ptr<MatrixFile> TakeReplicates();
    // The genotype file the matrices come from.
    QString FileName() const;

    // The choices as they stand.
    genetics::ReadOptions ReadingOptions() const;
    // The observed matrix alone, and the replicates 1..M without it (M = 0
    // without resampling).
    genetics::DistanceRequest ObservedRequest() const;
    genetics::DistanceRequest ReplicatesRequest() const;

    QLineEdit* FileEdit() const { return file_; }
    QPushButton* BrowseButton() const { return browse_; }
    QComboBox* FormatBox() const { return format_; }
    QGroupBox* ColumnsGroup() const { return columnsGroup_; }
    QComboBox* RowsBox() const { return rows_; }
    TColumnBox* LabelColumnEdit() const { return labelColumn_; }
    TColumnBox* PopulationColumnEdit() const { return populationColumn_; }
    TColumnBox* FirstLocusColumnEdit() const { return firstLocus_; }
    QComboBox* LocusNamesBox() const { return markerNames_; }
    QLineEdit* MissingEdit() const { return missing_; }
    QWidget* SamplesRow() const { return samplesRow_; }
    QLineEdit* SamplesEdit() const { return samples_; }
    QPushButton* SamplesButton() const { return samplesBrowse_; }
    QLabel* StatusLabel() const { return status_; }
    QPlainTextEdit* SummaryView() const { return summary_; }
    QComboBox* DistanceBox() const { return distance_; }
    QButtonGroup* ResamplingButtons() const { return resampling_; }
    QSpinBox* ReplicatesEdit() const { return replicates_; }
    QSpinBox* SeedEdit() const { return seed_; }
    QProgressBar* ProgressBar() const { return bar_; }
    QPushButton* OKButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    // True while the file is read, and while the matrices are computed.
    bool IsReading() const { return reading_; }
    bool IsComputing() const { return computing_; }

protected:
    void done(int result) override;

private:
    void ReadSettings();
    void WriteSettings() const;
    void BrowseCommand();
    void BrowseSamplesCommand();
    // Shows the options of the format chosen (or detected from the name).
    void ShowFormatOptions();
    // Reads the file named, with the options shown.
    void StartReading();
    void ReadEnded(quint64 step, const JobResult& result);
    void OKCommand();
    void Progress(int percent);
    void ComputationEnded(quint64 step, const JobResult& result);
    void CancelPressed();
    void EnableControls(bool enabled);
    void UpdateOK();
    // Cancels the running step and lets the worker go.
    void StopWorker();
    void Failed(const QString& status, const JobResult& result);
    // Starts computing the matrices of `request` into `store`.
    bool StartComputing(const genetics::DistanceRequest& request, MatrixFile& store);
    // Both stores go with their files.
    void DropStores();

    DocumentBridge& bridge_;
    StoreFolder& stores_;
    // Declared before the worker: the worker, which writes to them, goes
    // first.
    std::unique_ptr<MatrixFile> store_;
    std::unique_ptr<MatrixFile> replicateStore_;
    std::unique_ptr<genetics::GenotypeWorker> worker_;

    QLineEdit* file_;
    QPushButton* browse_;
    QComboBox* format_;
    QGroupBox* columnsGroup_;
    QComboBox* rows_;
    TColumnBox* labelColumn_;
    TColumnBox* populationColumn_;
    TColumnBox* firstLocus_;
    QComboBox* markerNames_;
    QLineEdit* missing_;
    QWidget* samplesRow_;
    QLineEdit* samples_;
    QPushButton* samplesBrowse_;
    QLabel* status_;
    QPlainTextEdit* summary_;
    QComboBox* distance_;
    QButtonGroup* resampling_;
    QSpinBox* replicates_;
    QSpinBox* seed_;
    QProgressBar* bar_;
    QPushButton* ok_;
    QPushButton* cancel_;

    std::int32_t expectedSize_ = -1;
    // The file read and found fit for the map: OK computes its matrices.
    bool fit_ = false;
    bool reading_ = false;
    bool computing_ = false;
    bool computed_ = false;
    // The observed matrix is computed: the replicates are (or come next).
    bool computingReplicates_ = false;
    // Settings are being applied: no reading starts.
    bool loading_ = false;
    // The step whose reports count; earlier steps' are dropped.
    quint64 step_ = 0;
};

} // namespace sundrel::app

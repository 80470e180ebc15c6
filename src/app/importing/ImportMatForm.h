#pragma once
// The matrix import dialog: reads M distance matrices between the N
// populations of the current map from one text file into a temporary matrix
// store. The user says where the matrices stand in the file (number, square
// or lower-triangular, first line and column, lines between them); the file
// is read, checked against that layout and extracted on a worker, with a
// preview of the file and of each extracted matrix. OK hands the store over
// and is possible only after a successful extraction; any other way out
// deletes the store's file.

#include "app/importing/StoreFolder.h"
#include "common/Job.h"
#include "matrix/MatrixImport.h"

#include <QDialog>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

class QCheckBox;
class QColor;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableView;

namespace sundrel {
class MatrixFile;
class MatrixImportWorker;
} // namespace sundrel

namespace sundrel::app {

class DocumentBridge;
class PreviewGridModel;

class TImportMatForm : public QDialog {
    Q_OBJECT

public:
    // Reads its settings (group "ImportMat").
    TImportMatForm(DocumentBridge& bridge, QWidget* parent = nullptr);
    // Stops the worker, deletes a store not taken, writes its settings.
    ~TImportMatForm() override;

    // N, the number of populations of the current map.
    void setMatrixSize(std::int32_t n);
    // Shows the dialog for `fileName` until OK or Cancel; true for OK.
    bool Execute(const QString& fileName);
    // The store of the accepted extraction; the dialog holds none after.
    std::unique_ptr<MatrixFile> takeMatrixFile();
    // The matrices and populations of the store taken last (of the store
    // held, before it is taken).
    std::int32_t MatrixCount() const;
    std::int32_t MatrixSize() const;

    // Where stores are made and how the disk check measures a folder; a
    // folder chosen affects the next store made.
    StoreFolder& Stores() { return folder_; }
    const StoreFolder& Stores() const { return folder_; }

    QLineEdit* FileEdit() const { return file_; }
    QLineEdit* MatrixSizeEdit() const { return size_; }
    QSpinBox* MatricesEdit() const { return matrices_; }
    QCheckBox* SquareBox() const { return square_; }
    QSpinBox* LinesEdit() const { return lines_; }
    QSpinBox* ColumnsEdit() const { return columns_; }
    QSpinBox* GapEdit() const { return gap_; }
    QCheckBox* AutoExtractBox() const { return autoExtract_; }
    QPushButton* ExtractButton() const { return extract_; }
    QSpinBox* PreviewNumberEdit() const { return previewNumber_; }
    QPlainTextEdit* FilePreview() const { return preview_; }
    // The three result lines, 1 to 3.
    QLabel* ResultLabel(int line) const;
    QProgressBar* ProgressBar() const { return bar_; }
    QTableView* MatrixPreview() const { return grid_; }
    QPushButton* OKButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    // True while the file is being read.
    bool Reading() const { return reading_; }
    // True while matrices are being extracted.
    bool Extracting() const { return extracting_; }

protected:
    void done(int result) override;

private:
    void ReadSettings();
    void WriteSettings() const;
    void Setup(const QString& fileName);
    MatrixLayout Layout() const;
    void SetResult(int line, const QString& text, const QColor& colour);
    QColor NormalColour() const;
    void EnableParameters(bool enabled);
    // Checks the layout against the file; starts the extraction when auto
    // extract is on or `force`.
    void Validate(bool force = false);
    // True once the temporary folder has room for the layout's store,
    // possibly after the user chose another folder.
    bool CheckDisk(const MatrixLayout& layout);
    void StartExtraction(const MatrixLayout& layout);
    void ShowPreviewGrid();
    void CancelPressed();
    void AutoExtractToggled(bool on);
    // Worker reports.
    void Progress(int percent);
    void FileRead(quint64 step);
    void ReadEnded(quint64 step, const JobResult& result);
    void ExtractionEnded(quint64 step, const JobResult& result);
    // Cancels the running step and waits for the worker to end.
    void StopWorker();

    DocumentBridge& bridge_;
    // Declared before the worker: the worker, which writes to it, goes first.
    std::unique_ptr<MatrixFile> store_;
    std::unique_ptr<MatrixImportWorker> worker_;

    QLineEdit* file_;
    QLineEdit* size_;
    QSpinBox* matrices_;
    QCheckBox* square_;
    QSpinBox* lines_;
    QSpinBox* columns_;
    QSpinBox* gap_;
    QCheckBox* autoExtract_;
    QPushButton* extract_;
    QSpinBox* previewNumber_;
    QPlainTextEdit* preview_;
    QLabel* results_[3];
    QProgressBar* bar_;
    QTableView* grid_;
    PreviewGridModel* model_;
    QPushButton* ok_;
    QPushButton* cancel_;

    std::int32_t n_ = 0;
    // Where stores are made.
    StoreFolder folder_;
    std::int64_t lineCount_ = 0;
    // True while the file is read or the dialog is closed: parameter changes
    // are not validated then.
    bool loading_ = true;
    bool reading_ = false;
    bool extracting_ = false;
    // True while the disk dialog is up.
    bool checkingDisk_ = false;
    // The store holds every matrix of the layout the controls show.
    bool extracted_ = false;
    std::int32_t takenCount_ = 0;
    std::int32_t takenSize_ = 0;
    // The step whose reports count; earlier steps' are dropped.
    quint64 step_ = 0;
};

} // namespace sundrel::app

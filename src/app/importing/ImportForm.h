#pragma once
// The coordinate import dialog: where the sites' coordinates stand in a text
// file (first line, first column, number of points, axis order), with a
// preview of the file and of the values extracted. The file is read and the
// values extracted on a worker, again after every change of the set-up; OK
// is possible only after a successful extraction. With "Longitude /
// latitude (degrees)" the values are sites in degrees, projected for the map
// as the command line's `map --geographic` does; a site refused is named by
// its line, with the reason, and OK stays off.

#include "common/Job.h"
#include "geo/CoordinateSystem.h"
#include "geo/GeographicSites.h"
#include "geo/Sidecar.h"
#include "import/CoordinateImport.h"
#include "model/MXY.h"

#include <QDialog>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableView;

namespace sundrel {
class DataFileWorker;
}

namespace sundrel::app {

class DocumentBridge;
class PointTableModel;

class TImportForm : public QDialog {
    Q_OBJECT

public:
    // Reads its settings (group "Import").
    TImportForm(DocumentBridge& bridge, QWidget* parent = nullptr);
    // Writes its settings.
    ~TImportForm() override;

    // Shows the dialog for `fileName` until OK or Cancel; true for OK.
    bool Execute(const QString& fileName);
    std::int64_t GetPointCount() const { return static_cast<std::int64_t>(points_.size()); }
    // The points of the last extraction, (X, Y) whatever the order in the
    // file, as the map takes them: projected when they are in degrees.
    const std::vector<MXY>& GetPoints() const { return crs_ ? sites_ : points_; }
    // The coordinate system of GetPoints() when they were projected (none:
    // an unknown plane system), for the new document.
    geo::DocumentGeography Geography() const;

    QLabel* FileLabel() const { return fileLabel_; }
    QPlainTextEdit* FilePreview() const { return preview_; }
    QSpinBox* LinesEdit() const { return lines_; }
    QSpinBox* ColumnsEdit() const { return columns_; }
    QSpinBox* NumberEdit() const { return number_; }
    QRadioButton* XFirstButton() const { return xFirst_; }
    QRadioButton* YFirstButton() const { return yFirst_; }
    QCheckBox* GeographicBox() const { return geographic_; }
    QLabel* InformationLabel() const { return information_; }
    QProgressBar* ProgressBar() const { return bar_; }
    QPushButton* OKButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    QTableView* DataPreview() const { return grid_; }
    // True while nothing is being read or extracted.
    bool Idle() const;

protected:
    void done(int result) override;

private:
    void ReadSettings();
    void WriteSettings() const;
    void SetupChanged();
    void StartExtraction();
    // Worker reports.
    void Progress(int percent);
    void FileRead(quint64 step);
    void ReadEnded(quint64 step, const JobResult& result);
    void ExtractionEnded(quint64 step, const JobResult& result);
    void StopWorker();

    DocumentBridge& bridge_;
    std::unique_ptr<DataFileWorker> worker_;

    QLabel* fileLabel_;
    QPlainTextEdit* preview_;
    QSpinBox* lines_;
    QSpinBox* columns_;
    QSpinBox* number_;
    QRadioButton* xFirst_;
    QRadioButton* yFirst_;
    QCheckBox* geographic_;
    QLabel* information_;
    QProgressBar* bar_;
    QPushButton* ok_;
    QPushButton* cancel_;
    QTableView* grid_;
    PointTableModel* model_;

    // True while the file is being analysed or the dialog is hidden: set-up
    // changes start no extraction then.
    bool loading_ = true;
    bool reading_ = false;
    bool extracting_ = false;
    std::vector<MXY> points_;
    // The points projected, and their system, when they are in degrees.
    std::vector<MXY> sites_;
    std::optional<geo::CoordinateSystem> crs_;
    // Written by the worker's extraction, taken once it is done.
    std::vector<MXY> extracted_;
    std::optional<geo::ProjectedSites> projected_;
    // The data lines from the first line read to the last that is not blank.
    std::int64_t dataLines_ = 0;
    std::int64_t requested_ = 0;
    // The step whose reports count; earlier steps' are dropped.
    quint64 step_ = 0;
};

} // namespace sundrel::app

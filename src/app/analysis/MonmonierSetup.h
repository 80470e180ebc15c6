#pragma once
// The analysis set-up: for a new analysis (modal) the user loads the
// distance matrices, chooses a single run or a significance test, the number
// of sundrels, the label style, whether to show the report and a title; for
// an existing layer (modeless, "configure") the same window edits that layer
// live.

#include <QDialog>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class QAbstractButton;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace sundrel {
class MatrixFile;
class MonmonierLayer;
} // namespace sundrel

namespace sundrel::app {

class TSundrelNumberDialog;

class TMonmonierSetup : public QDialog {
    Q_OBJECT

public:
    // Reads the matrices of a text file for a map of `expectedSize`
    // populations (the matrix import dialog); null when the user gave up.
    using MatrixLoader =
        std::function<std::unique_ptr<MatrixFile>(const QString& fileName, std::int32_t expectedSize)>;

    // Reads its settings (group "MonmonierSetup").
    explicit TMonmonierSetup(QWidget* parent = nullptr);
    // Writes them.
    ~TMonmonierSetup() override;

    MatrixLoader LoadMatrices;

    // N of the current map.
    void SetExpectedSize(std::int32_t n) { expectedSize_ = n; }
    // Resets the dialog for a new analysis and shows it modally; true for
    // OK (the choices and the store are then ready to be taken).
    bool ExecuteNew();
    // The same with matrices already in `store`, as if loaded from
    // `source` (which names the title): the set-up of matrices computed
    // elsewhere, such as from genotypes.
    bool ExecuteNew(std::unique_ptr<MatrixFile> store, const QString& source);
    // The same with an observed matrix and its resampled replicates (from
    // genotypes): "Yes" makes the single run on the observed matrix and the
    // significance test on the replicates, "No" the single run alone.
    bool ExecuteNew(std::unique_ptr<MatrixFile> observed, std::unique_ptr<MatrixFile> replicates,
                    const QString& source);
    void PrepareNewAnalysis();

    std::int32_t MatrixCount() const { return matrixCount_; }
    std::int32_t MatrixSize() const { return matrixSize_; }
    std::int32_t SundrelNumber() const { return sundrelNumber_; }
    bool IsSingleRun() const;
    bool ReportWanted() const;
    int LabelStyle() const;
    QString Title() const;
    std::unique_ptr<MatrixFile> TakeStore();
    // The replicates, when given with an observed matrix and the test was
    // chosen; null otherwise.
    std::unique_ptr<MatrixFile> TakeReplicates();

    // Shows the window modeless for the layer at `index` of `layers`; every
    // change applies to it at once.
    void Configure(MonmonierLayer& layers, std::int32_t index);
    bool Configuring() const { return !newMode_; }
    // Layers were removed: a configured layer that is gone closes the window.
    void LayersChanged();

    QPushButton* LoadButton() const { return load_; }
    QLabel* FileLabel() const { return fileLabel_; }
    QLabel* StatusLabel() const { return status_; }
    QRadioButton* NoAnalysisButton() const { return noAnalysis_; }
    QRadioButton* AnalysisButton() const { return analysis_; }
    QLabel* BSTLabel() const { return bst_; }
    QGroupBox* SundrelGroup() const { return sundrelGroup_; }
    QAbstractButton* SundrelButton(int k) const; // k = 1 .. 10
    QPushButton* MoreButton() const { return more_; }
    QGroupBox* LabelsGroup() const { return labelsGroup_; }
    QAbstractButton* LabelStyleButton(int style) const;
    QAbstractButton* ReportButton(bool yes) const;
    QLineEdit* TitleEdit() const { return title_; }
    QPushButton* OKButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    TSundrelNumberDialog* NumberDialog() const { return numberDialog_; }

signals:
    // Configure mode: the layer was renamed or relabelled (the document is
    // modified), or its report was asked for.
    void layerEdited(int index);
    void reportRequested(int index);

protected:
    void reject() override;

private:
    void ReadSettings();
    void WriteSettings() const;
    void LoadCommand();
    // Takes `store`, loaded from `source`, as the matrices of the analysis.
    void TakeLoaded(std::unique_ptr<MatrixFile> store, const QString& source);
    void UpdateStatus();
    void SetChoicesEnabled(bool enabled);
    void SetSundrelNumber(std::int32_t k);
    void SundrelChosen(std::int32_t k);
    void MoreCommand();
    void NoAnalysisClicked();
    void AnalysisClicked();
    void OKClicked();
    // The layer configured, or -1 when it is gone.
    std::int32_t ConfiguredIndex() const;

    QLabel* fileLabel_;
    QLabel* status_;
    QPushButton* load_;
    QGroupBox* sundrelGroup_;
    QButtonGroup* sundrels_;
    QPushButton* more_;
    QLineEdit* title_;
    QGroupBox* labelsGroup_;
    QButtonGroup* labels_;
    QRadioButton* noAnalysis_;
    QRadioButton* analysis_;
    QLabel* bst_;
    QButtonGroup* report_;
    QPushButton* ok_;
    QPushButton* cancel_;
    TSundrelNumberDialog* numberDialog_;

    std::int32_t matrixCount_ = 0;
    std::int32_t matrixSize_ = 0;
    std::int32_t sundrelNumber_ = 1;
    std::int32_t expectedSize_ = -1;
    bool newMode_ = true;
    std::unique_ptr<MatrixFile> store_;
    // The replicates beside an observed matrix in store_ (matrixCount_ is
    // theirs).
    std::unique_ptr<MatrixFile> replicates_;
    QString fileName_;
    // Configure mode: the layers and the configured layer's serial.
    MonmonierLayer* layers_ = nullptr;
    std::intptr_t serial_ = 0;
    bool updating_ = false;
};

} // namespace sundrel::app

#pragma once
// The report of a result layer as text, and its saving as a text file. The
// window keeps its own copy of the lines: the layer may be removed or
// computed again while the report is shown or being saved.

#include "monmonier/SundrelTypes.h"

#include <QString>
#include <QWidget>

#include <cstdint>

class QKeyEvent;
class QPlainTextEdit;
class QPushButton;
class QShowEvent;

namespace sundrel {
class MonmonierLayer;
}

namespace sundrel::app {

class DocumentBridge;

class TReportForm : public QWidget {
    Q_OBJECT

public:
    // Shows the report of every layer whose computation asked for it (the
    // bridge's reportReady).
    TReportForm(DocumentBridge& bridge, MonmonierLayer& layers, QWidget* parent = nullptr);

    // Shows `lines` (copied) and the window.
    void ShowReport(const Report& lines);
    // Shows the report of the layer at `index`; nothing when there is none.
    void ShowLayerReport(std::int32_t index);
    // Asks for a file name and writes the report shown.
    void Save();

    const Report& Lines() const { return lines_; }
    QPlainTextEdit* Text() const { return text_; }
    QPushButton* SaveButton() const { return save_; }
    QPushButton* CloseButton() const { return close_; }

protected:
    void showEvent(QShowEvent* event) override;
    // Return and Enter save (the default button), Escape closes.
    void keyPressEvent(QKeyEvent* event) override;
    // The error box of a failed save.
    virtual void ShowError(const QString& message, const QString& detail = {});

private:
    void ReportReady(qintptr serial);

    MonmonierLayer& layers_;
    QPlainTextEdit* text_;
    QPushButton* save_;
    QPushButton* close_;
    Report lines_;
    // The folder of the last report saved, proposed for the next one.
    QString folder_;
    bool placed_ = false;
};

} // namespace sundrel::app

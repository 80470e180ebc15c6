#include "app/analysis/ReportForm.h"

#include "app/document/DocumentBridge.h"
#include "app/widgets/ErrorBox.h"
#include "app/widgets/FileDialogs.h"
#include "app/widgets/Progress.h"
#include "app/widgets/Settings.h"
#include "common/Messages.h"
#include "monmonier/MonmonierLayer.h"
#include "monmonier/SundrelDocument.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <filesystem>
#include <new>

namespace sundrel::app {

TReportForm::TReportForm(DocumentBridge& bridge, MonmonierLayer& layers, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), layers_(layers),
      text_(new QPlainTextEdit), save_(new QPushButton(tr("Save..."))),
      close_(new QPushButton(tr("Close")))
{
    setObjectName("ReportForm");
    setWindowTitle(tr("Monmonier Sundrel Report"));

    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPixelSize(13);
    text_->setFont(font);
    // The segment lines are tab-separated, laid out as a text file shows them.
    text_->setTabStopDistance(8 * QFontMetricsF(font).horizontalAdvance(' '));
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setAccessibleName(tr("Report"));

    // As in a dialog: Return clicks the focused button, else "Save...".
    save_->setDefault(true);
    save_->setAutoDefault(true);
    close_->setAutoDefault(true);
    save_->setEnabled(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_, 1);
    layout->addLayout(ButtonRow({save_, close_}));
    resize(512, 467);

    connect(save_, &QPushButton::clicked, this, &TReportForm::Save);
    connect(close_, &QPushButton::clicked, this, &QWidget::hide);
    connect(&bridge, &DocumentBridge::reportReady, this, &TReportForm::ReportReady);
}

void TReportForm::ShowReport(const Report& lines)
{
    lines_ = lines;
    QStringList text;
    text.reserve(static_cast<qsizetype>(lines_.size()));
    for (const std::string& line : lines_)
        text << QString::fromStdString(line);
    text_->setPlainText(text.join('\n'));
    save_->setEnabled(!lines_.empty());
    show();
    raise();
}

void TReportForm::ShowLayerReport(std::int32_t index)
{
    if (const std::shared_ptr<SundrelMonmonier> layer = layers_.layer(index))
        ShowReport(layer->report());
}

// A report names its layer by serial: the layer may have moved in the list,
// or gone, since its computation ended.
void TReportForm::ReportReady(qintptr serial)
{
    const std::int32_t index = layers_.indexOfSerial(serial);
    if (index >= 0)
        ShowLayerReport(index);
}

void TReportForm::Save()
{
    if (lines_.empty())
        return;
    // The report as shown now: another one may arrive while the file dialog
    // is up, and the name proposed must match what is written.
    const Report lines = lines_;
    QString proposed = QString::fromStdString(ProposedReportName(lines));
    // A layer name is free text; it must not lead the dialog into folders.
    proposed.replace('/', '_');

    QPointer<QFileDialog> dialog =
        new QFileDialog(this, tr("Save report"), folder_, tr("Text files (*.txt *.TXT);;All files (*)"));
    dialog->setObjectName("ReportSaveDialog");
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix("txt");
    if (!proposed.isEmpty())
        dialog->selectFile(proposed);
    const int result = dialog->exec();
    // The dialog is this window's child: gone means this window went too.
    if (!dialog)
        return;
    const QStringList files = dialog->selectedFiles();
    delete dialog;
    if (result != QDialog::Accepted || files.isEmpty())
        return;

    const QString fileName = files.front();
    try {
        // Written through a temporary file: a failure leaves no partial file
        // and any previous one untouched.
        WriteReport(ToPath(fileName), lines);
        folder_ = QFileInfo(fileName).absolutePath();
    } catch (const std::bad_alloc&) {
        ShowError(QString::fromUtf8(msg::MemoryAllocationFailure));
    } catch (const std::exception& e) {
        ShowError(QString::fromStdString(e.what()), ErrorDetail(e));
    }
}

void TReportForm::ShowError(const QString& message, const QString& detail)
{
    ShowErrorBox(this, kApplicationTitle, message, detail);
}

void TReportForm::showEvent(QShowEvent* event)
{
    if (!placed_) {
        placed_ = true;
        QRect around;
        if (QWidget* owner = parentWidget())
            around = owner->window()->frameGeometry();
        else if (const QScreen* screen = QGuiApplication::primaryScreen())
            around = screen->availableGeometry();
        if (around.isValid())
            move(around.center() - QPoint(width() / 2, height() / 2));
    }
    QWidget::showEvent(event);
}

void TReportForm::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (save_->isEnabled())
            save_->click();
        return;
    case Qt::Key_Escape:
        hide();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

} // namespace sundrel::app

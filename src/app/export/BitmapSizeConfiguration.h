#pragma once
// The size dialog of bitmap exports and printing: the pixel size, the
// physical size (cm or inches) and the resolution (dpi or pixels/cm), kept
// consistent with the view's aspect ratio as the user types. In printing
// mode the pixel sizes follow the physical size and the resolution. OK
// refuses a size the renderer cannot make, before anything is drawn. The
// units, the resolution and the pixel width are kept in the settings group
// "BitmapExport"; the printing size, once the user chose one, apart in
// "PrintingSize".

#include "common/BitmapSize.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace sundrel::app {

class TBitmapSizeConfiguration : public QDialog {
    Q_OBJECT

public:
    explicit TBitmapSizeConfiguration(QWidget* parent = nullptr);
    ~TBitmapSizeConfiguration() override;

    // "Image size", pixel sizes writable.
    void SetImageMode();
    // "Printing size", pixel sizes read-only, for a printable area of
    // `pageWidth` x `pageHeight` cm on a printer of `printerDpi`, and a view
    // of `ratio` (width over height). Until the user chose a printing size,
    // the size fills the printable area at the printer's resolution (at most
    // 300 dpi): labels then print at their point size.
    void SetPrintingMode(double pageWidth, double pageHeight, double printerDpi, double ratio);
    // View width over view height; the present pixel width is applied again.
    void SetAspectRatio(double ratio);
    bool PrintingMode() const { return printingMode_; }
    // The largest image side the renderer makes (the off-screen limit by
    // default).
    void SetLimit(std::int64_t pixels) { limit_ = pixels; }

    std::int32_t PixelWidth() const { return static_cast<std::int32_t>(size_.width); }
    std::int32_t PixelHeight() const { return static_cast<std::int32_t>(size_.height); }
    // Pixels per centimetre.
    double Resolution() const { return size_.resolution; }

    QLineEdit* PixelWidthEdit() const { return pixelWidth_; }
    QLineEdit* PixelHeightEdit() const { return pixelHeight_; }
    QLineEdit* WidthEdit() const { return width_; }
    QLineEdit* HeightEdit() const { return height_; }
    QLineEdit* ResolutionEdit() const { return resolution_; }
    QComboBox* WidthUnit() const { return widthUnit_; }
    QComboBox* HeightUnit() const { return heightUnit_; }
    QComboBox* ResolutionUnit() const { return resolutionUnit_; }
    QLabel* Message() const { return message_; }
    QPushButton* OkButton() const { return ok_; }

    void accept() override;

private:
    void ReadSettings();
    void WriteSettings() const;
    // Shows every field but `except` from the present size.
    void Show(const QLineEdit* except = nullptr);
    // A physical size in the unit of `unit`, and back to centimetres.
    static double FromCentimetres(double cm, const QComboBox* unit);
    static double ToCentimetres(double value, const QComboBox* unit);

    // The size in force, and the other mode's.
    BitmapSize size_;
    BitmapSize other_;
    bool printingMode_ = false;
    // A printing size was chosen (now or in an earlier session).
    bool printingChosen_ = false;
    std::int64_t limit_ = 0;
    QLineEdit* pixelWidth_;
    QLineEdit* pixelHeight_;
    QLineEdit* width_;
    QLineEdit* height_;
    QLineEdit* resolution_;
    QComboBox* widthUnit_;
    QComboBox* heightUnit_;
    QComboBox* resolutionUnit_;
    QLabel* message_;
    QPushButton* ok_;
};

} // namespace sundrel::app

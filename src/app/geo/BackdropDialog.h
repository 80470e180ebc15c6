#pragma once
// "Layers" > "Backdrop...": the document's backdrops — vector files drawn
// beneath the map — in drawing order (the first lowest), each with its
// visibility, line colour, line size and fill. Every change applies to the
// open document at once (the view follows); the list is saved beside the
// document, in its ".backdrops" sidecar. Another document opened shows its
// list; the document closed closes the dialog.

#include <QDialog>

#include <functional>

#include <vector>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace sundrel::geo {
struct BackdropEntry;
}

namespace sundrel::app {

class TBackdropLayers;
class TOpenDocument;

class TBackdropDialog : public QDialog {
    Q_OBJECT

public:
    // Reads its settings (group "Backdrops").
    TBackdropDialog(TOpenDocument& document, TBackdropLayers& drawn, QWidget* parent = nullptr);
    // Writes its settings.
    ~TBackdropDialog() override;

    // Shows the document's list until the dialog is closed.
    void Execute();
    // "Add...": a vector file chosen in the file dialog "AddBackdropDialog"
    // joins the list on top; false when none was added (cancelled, or the
    // file cannot be read: its error has then been shown).
    bool AddCommand();

    QListWidget* List() const { return list_; }
    QPushButton* AddButton() const { return add_; }
    QPushButton* RemoveButton() const { return remove_; }
    QPushButton* UpButton() const { return up_; }
    QPushButton* DownButton() const { return down_; }
    QPushButton* LineColourButton() const { return lineColour_; }
    QDoubleSpinBox* LineSizeEdit() const { return lineSize_; }
    QCheckBox* FillBox() const { return fill_; }
    QPushButton* FillColourButton() const { return fillColour_; }
    QLabel* InformationLabel() const { return information_; }
    QPushButton* CloseButton() const { return close_; }

private:
    // The list shown again from the document, `row` selected.
    void Fill(int row);
    // The selected backdrop's style shown, quietly.
    void ShowSelected();
    int Selected() const;
    // The document's list with `change` made to it.
    void Change(const std::function<void(std::vector<geo::BackdropEntry>&)>& change, int row);
    void ChooseColour(bool fill);
    void Move(int by);

    TOpenDocument& document_;
    TBackdropLayers& drawn_;
    QListWidget* list_;
    QPushButton* add_;
    QPushButton* remove_;
    QPushButton* up_;
    QPushButton* down_;
    QPushButton* lineColour_;
    QDoubleSpinBox* lineSize_;
    QCheckBox* fill_;
    QPushButton* fillColour_;
    QLabel* information_;
    QPushButton* close_;
    QString folder_;
    bool filling_ = false;
    // The dialog's own change of the list is under way.
    bool changing_ = false;
};

} // namespace sundrel::app

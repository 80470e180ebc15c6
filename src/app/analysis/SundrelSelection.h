#pragma once
// The ranks of sundrels that a layer counts (significance layers) or marks:
// one check box per rank 1 to 9 and one for every rank beyond. A change is
// sent to the layers' worker, which computes the layer again.
//
// The layer is held by its serial, never by pointer or index: it may be
// removed, and the others renumbered, while the window is open.

#include <QWidget>

#include <array>
#include <cstdint>

class QCheckBox;
class QGroupBox;
class QPushButton;

namespace sundrel {
class MonmonierLayer;
}

namespace sundrel::app {

class TSundrelSelection : public QWidget {
    Q_OBJECT

public:
    static constexpr int kBoxes = 10;

    // Reads its settings (group "SundrelSelection").
    explicit TSundrelSelection(MonmonierLayer& layers, QWidget* parent = nullptr);
    // Writes its settings.
    ~TSundrelSelection() override;

    // Shows the selection of the layer at `index`; boxes disabled when there
    // is none.
    void SetLayer(std::int32_t index);
    // The serial of the layer shown, 0 before the first.
    std::intptr_t LayerSerial() const { return serial_; }

    QGroupBox* Group() const { return group_; }
    // The box of rank `tag`, 1 to 9, and 10 for "> 9".
    QCheckBox* Box(int tag) const { return boxes_[static_cast<std::size_t>(tag - 1)]; }
    QPushButton* OKButton() const { return ok_; }

private:
    void ReadSettings();
    void WriteSettings() const;
    void SetBoxesEnabled(bool enabled);
    void Toggled(int tag, bool checked);

    MonmonierLayer& layers_;
    QGroupBox* group_;
    std::array<QCheckBox*, kBoxes> boxes_{};
    QPushButton* ok_;
    std::intptr_t serial_ = 0;
    // True while the boxes are set from the layer: those changes are not
    // the user's.
    bool updating_ = false;
};

} // namespace sundrel::app

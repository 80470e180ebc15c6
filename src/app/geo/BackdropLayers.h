#pragma once
// The backdrops of the open document as they are drawn: each file of its
// list read into the map's coordinates once (again only for another map or
// another file), styled and shown as the list says, for the view and for
// every figure made from the window. A file that cannot be read is named
// once through failed() and left out of the drawing; its entry stays in the
// list, so that a file on a drive not mounted today is not forgotten.

#include "render/BackdropDrawing.h"

#include <QObject>
#include <QString>

#include <filesystem>
#include <optional>
#include <vector>

namespace sundrel::app {

class TOpenDocument;

class TBackdropLayers : public QObject {
    Q_OBJECT

public:
    explicit TBackdropLayers(TOpenDocument& document, QObject* parent = nullptr);

    // The visible backdrops, the first lowest; null when there are none.
    const std::vector<render::Backdrop>* Drawn() const;
    // Whether a file of the list could not be read.
    bool Unreadable(const std::filesystem::path& file) const;

signals:
    // A backdrop file cannot be read (its name and the reason), or is
    // drawn without reprojection.
    void failed(const QString& message);
    void noted(const QString& message);
    // What is drawn changed.
    void changed();

private:
    void DocumentChanged(unsigned what);
    void Update();

    struct Loaded {
        std::filesystem::path file;
        std::optional<geo::BackdropGeometry> geometry; // none: unreadable
    };
    TOpenDocument& document_;
    std::vector<Loaded> loaded_;
    std::vector<render::Backdrop> drawn_;
};

} // namespace sundrel::app

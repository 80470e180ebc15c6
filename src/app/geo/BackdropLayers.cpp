#include "app/geo/BackdropLayers.h"

#include "app/document/OpenDocument.h"
#include "common/Errors.h"
#include "geo/Messages.h"

#include <algorithm>

namespace sundrel::app {

TBackdropLayers::TBackdropLayers(TOpenDocument& document, QObject* parent)
    : QObject(parent), document_(document)
{
    connect(&document_, &TOpenDocument::changed, this, &TBackdropLayers::DocumentChanged);
}

const std::vector<render::Backdrop>* TBackdropLayers::Drawn() const
{
    return drawn_.empty() ? nullptr : &drawn_;
}

bool TBackdropLayers::Unreadable(const std::filesystem::path& file) const
{
    return std::any_of(loaded_.begin(), loaded_.end(), [&](const Loaded& l) {
        return l.file == file && !l.geometry;
    });
}

void TBackdropLayers::DocumentChanged(unsigned what)
{
    // Another map (or none) takes its backdrops in its own coordinates.
    if (what & TOpenDocument::MapChange)
        loaded_.clear();
    if (what & (TOpenDocument::MapChange | TOpenDocument::GeographyChange))
        Update();
}

void TBackdropLayers::Update()
{
    const MMap* map = document_.Map();
    const geo::DocumentGeography& geography = document_.Geography();
    const std::vector<geo::BackdropEntry>& list = map ? geography.backdrops
                                                      : std::vector<geo::BackdropEntry>{};
    // Files no longer listed are forgotten; new ones are read, near the map.
    std::erase_if(loaded_, [&](const Loaded& l) {
        return std::none_of(list.begin(), list.end(),
                            [&](const geo::BackdropEntry& e) { return e.file == l.file; });
    });
    QStringList failures;
    for (const geo::BackdropEntry& entry : list) {
        if (std::any_of(loaded_.begin(), loaded_.end(),
                        [&](const Loaded& l) { return l.file == entry.file; }))
            continue;
        Loaded loaded{entry.file, std::nullopt};
        try {
            geo::LoadedBackdrop read = geo::LoadBackdrop(
                entry.file, geography.crs ? &*geography.crs : nullptr, &map->outerBounds);
            if (!read.reprojected && (read.ownCrs || geography.crs))
                emit noted(QString::fromStdString(msg::BackdropNotReprojected(entry.file.string())));
            loaded.geometry = std::move(read.geometry);
        } catch (const std::exception& e) {
            failures << QString::fromStdString(e.what());
        }
        loaded_.push_back(std::move(loaded));
    }
    drawn_.clear();
    for (const geo::BackdropEntry& entry : list) {
        if (!entry.style.visible)
            continue;
        const auto at = std::find_if(loaded_.begin(), loaded_.end(),
                                     [&](const Loaded& l) { return l.file == entry.file; });
        if (at != loaded_.end() && at->geometry)
            drawn_.emplace_back(*at->geometry, entry.style, entry.file.string());
    }
    emit changed();
    if (!failures.isEmpty())
        emit failed(failures.join('\n'));
}

} // namespace sundrel::app

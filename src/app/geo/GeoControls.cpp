#include "app/geo/GeoControls.h"

#include "app/document/OpenDocument.h"
#include "app/export/FigureExporter.h"
#include "app/geo/BackdropDialog.h"
#include "app/geo/BackdropLayers.h"
#include "app/geo/GisExport.h"
#include "app/view/ViewController.h"
#include "app/widgets/ElidedLabel.h"
#include "geo/Sidecar.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>
#include <QStringList>

namespace sundrel::app {

namespace {

QString CrsText(const TOpenDocument& document)
{
    if (!document.Map())
        return {};
    const geo::DocumentGeography& geography = document.Geography();
    if (geography.crs)
        return QString::fromStdString(geography.crs->Description());
    if (!geography.crsText.empty())
        return QObject::tr("Coordinate system not understood");
    return QObject::tr("No coordinate system");
}

} // namespace

TGeoControls::TGeoControls(TOpenDocument& document, TViewController& viewer,
                           TFigureExporter& exports, QMainWindow* window)
    : QObject(window), document_(document), viewer_(viewer), exports_(exports), window_(window),
      backdrops_(std::make_unique<TBackdropLayers>(document)),
      gisExport_(new TGisExport(document, exports, window)),
      crsPanel_(new TElidedLabel(tr("Coordinate system")))
{
    // The map's coordinate system, named as `sundrel-cli info` names it.
    window->statusBar()->addPermanentWidget(crsPanel_, 1);
    connect(&document_, &TOpenDocument::changed, crsPanel_, [this](unsigned what) {
        if (what & (TOpenDocument::MapChange | TOpenDocument::GeographyChange))
            crsPanel_->SetFullText(CrsText(document_));
    });
    viewer_.Backdrops = [this] { return backdrops_->Drawn(); };
    exports_.Backdrops = [this] { return backdrops_->Drawn(); };
    connect(backdrops_.get(), &TBackdropLayers::changed, &viewer_, &TViewController::UpdateScene);
    connect(backdrops_.get(), &TBackdropLayers::failed, this, &TGeoControls::failed);
    connect(gisExport_, &TGisExport::failed, this, &TGeoControls::failed);
    const auto note = [window](const QString& m) { window->statusBar()->showMessage(m, 10000); };
    connect(backdrops_.get(), &TBackdropLayers::noted, window, note);
    connect(gisExport_, &TGisExport::written, window, note);
}

TGeoControls::~TGeoControls()
{
    delete backdropDialog_;
    viewer_.Backdrops = nullptr;
    exports_.Backdrops = nullptr;
}

void TGeoControls::AddMenuEntries(QMenu* layers)
{
    layers->addSeparator();
    backdropAction_ = layers->addAction(tr("Backdrop..."), this, [this] { BackdropCommand(); });
}

void TGeoControls::EnableMapCommands(bool enabled)
{
    gisExport_->EnableMapCommands(enabled);
    if (backdropAction_)
        backdropAction_->setEnabled(enabled);
}

TBackdropDialog* TGeoControls::BackdropDialog()
{
    if (!backdropDialog_)
        backdropDialog_ = new TBackdropDialog(document_, *backdrops_, window_);
    return backdropDialog_;
}

void TGeoControls::BackdropCommand()
{
    if (document_.Map())
        BackdropDialog()->Execute();
}

geo::DocumentGeography TGeoControls::Read(const std::filesystem::path& document,
                                          QString& warnings)
{
    std::vector<std::string> read;
    geo::DocumentGeography geography = geo::ReadGeography(document, &read);
    QStringList lines;
    for (const std::string& line : read)
        lines << QString::fromStdString(line);
    warnings = lines.join('\n');
    return geography;
}

} // namespace sundrel::app

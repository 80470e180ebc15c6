// The settings of the genotype dialog (group "Genotypes"): every choice,
// the file and folder last used, and the window's place. A value missing or
// out of range leaves its default.

#include "app/genetics/ColumnBox.h"
#include "app/genetics/GenotypeForm.h"
#include "app/widgets/FileDialogs.h"
#include "app/widgets/Settings.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QSettings>
#include <QSpinBox>

namespace sundrel::app {

namespace {

constexpr const char* kGroup = "Genotypes";

} // namespace

void TGenotypeForm::ReadSettings()
{
    QSettings settings;
    settings.beginGroup(kGroup);
    ReadWindowPosition(settings, this);
    // A value missing or out of range leaves its default.
    const auto index = [&](const char* key, int count) -> std::optional<int> {
        const auto v = ReadInt(settings, key);
        return v && *v >= 0 && *v < count ? v : std::nullopt;
    };
    if (const auto dir = ReadString(settings, "OpenDir"))
        TakeDataFolderFromSettings(*dir);
    if (const auto file = ReadString(settings, "File"))
        file_->setText(*file);
    if (const auto v = index("Format", 6))
        format_->setCurrentIndex(*v);
    if (const auto v = index("Distance", 5))
        distance_->setCurrentIndex(*v);
    if (const auto v = index("Resampling", 3))
        resampling_->button(*v)->setChecked(true);
    if (const auto v = ReadInt(settings, "Replicates"); v && *v >= 1 && *v <= 1000000)
        replicates_->setValue(*v);
    if (const auto v = ReadInt(settings, "Seed"); v && *v >= 0)
        seed_->setValue(*v);
    if (const auto v = index("RowsPerIndividual", 3))
        rows_->setCurrentIndex(*v);
    if (const auto v = index("LocusNames", 3))
        markerNames_->setCurrentIndex(*v);
    for (const auto& [key, box] : {std::pair{"LabelColumn", labelColumn_},
                                   std::pair{"PopulationColumn", populationColumn_},
                                   std::pair{"FirstLocusColumn", firstLocus_}})
        if (const auto v = ReadInt(settings, key); v && *v >= box->minimum() && *v <= box->maximum())
            box->setValue(*v);
    if (const auto missing = ReadString(settings, "Missing"))
        missing_->setText(*missing);
    if (const auto samples = ReadString(settings, "SamplesFile"))
        samples_->setText(*samples);
    settings.endGroup();
}

void TGenotypeForm::WriteSettings() const
{
    QSettings settings;
    settings.beginGroup(kGroup);
    WriteWindowPosition(settings, this);
    settings.setValue("OpenDir", DataFolder());
    settings.setValue("File", file_->text());
    settings.setValue("Format", format_->currentIndex());
    settings.setValue("Distance", distance_->currentIndex());
    settings.setValue("Resampling", resampling_->checkedId());
    settings.setValue("Replicates", replicates_->value());
    settings.setValue("Seed", seed_->value());
    settings.setValue("RowsPerIndividual", rows_->currentIndex());
    settings.setValue("LocusNames", markerNames_->currentIndex());
    settings.setValue("LabelColumn", labelColumn_->value());
    settings.setValue("PopulationColumn", populationColumn_->value());
    settings.setValue("FirstLocusColumn", firstLocus_->value());
    settings.setValue("Missing", missing_->text());
    settings.setValue("SamplesFile", samples_->text());
    settings.endGroup();
}

} // namespace sundrel::app

#include "app/shell/SundrelSettings.h"

#include "app/shell/MainFormSettings.h"

#include <QSettings>

namespace sundrel::app {

namespace {

// Sizes and colours beyond these are a damaged value, not a choice.
constexpr float kLargestSize = 1000.0f;
constexpr int kLargestFontSize = 1000;
constexpr int kFontStyleBits = 0x1111; // bold, italic, underline, strike-out

void ReadSize(QSettings& settings, const char* key, float& into)
{
    const auto v = ReadFloat(settings, key);
    if (v && *v > 0.0f && *v <= kLargestSize)
        into = *v;
}

void ReadColour(QSettings& settings, const char* key, std::uint32_t& into)
{
    const auto v = ReadInt(settings, key);
    if (v && *v >= 0 && *v <= 0xFFFFFF)
        into = static_cast<std::uint32_t>(*v);
}

void ReadFont(QSettings& settings, const QString& prefix, LayerFont& into)
{
    const auto name = ReadString(settings, prefix + "Name");
    if (name && !name->trimmed().isEmpty())
        into.name = name->toStdString();
    const auto size = ReadInt(settings, prefix + "Size");
    if (size && *size > 0 && *size <= kLargestFontSize)
        into.size = *size;
    const auto style = ReadInt(settings, prefix + "Style");
    if (style && (*style & ~kFontStyleBits) == 0)
        into.style = *style;
}

void WriteFont(QSettings& settings, const QString& prefix, const LayerFont& font)
{
    settings.setValue(prefix + "Name", QString::fromStdString(font.name));
    settings.setValue(prefix + "Size", font.size);
    settings.setValue(prefix + "Style", font.style);
}

} // namespace

void ReadLayerStyles(QSettings& settings, LayerStyles& into)
{
    ReadSize(settings, "SundrelSingleSize", into.singleSize);
    ReadColour(settings, "SundrelSingleColor", into.singleColor);
    ReadFont(settings, "SundrelTitleFont", into.titleFont);
    ReadColour(settings, "SundrelTitleColor", into.titleColor);
    ReadSize(settings, "SundrelMultipleSize", into.multipleSize);
    ReadColour(settings, "SundrelMultipleColor", into.multipleColor);
    ReadFont(settings, "SundrelValueFont", into.valueFont);
    ReadColour(settings, "SundrelValueColor", into.valueColor);
}

void WriteLayerStyles(QSettings& settings, const LayerStyles& values)
{
    settings.setValue("SundrelSingleSize", static_cast<double>(values.singleSize));
    settings.setValue("SundrelSingleColor", static_cast<int>(values.singleColor));
    WriteFont(settings, "SundrelTitleFont", values.titleFont);
    settings.setValue("SundrelTitleColor", static_cast<int>(values.titleColor));
    settings.setValue("SundrelMultipleSize", static_cast<double>(values.multipleSize));
    settings.setValue("SundrelMultipleColor", static_cast<int>(values.multipleColor));
    WriteFont(settings, "SundrelValueFont", values.valueFont);
    settings.setValue("SundrelValueColor", static_cast<int>(values.valueColor));
}

} // namespace sundrel::app

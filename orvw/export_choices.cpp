#include "orvw/export_choices.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

namespace {

std::string text(const QSettings& file, const char* key) {
    return file.value(QLatin1String(key)).toString().toStdString();
}

QString qtext(std::string_view name) {
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

}  // namespace

QString exportChoicesPath(const QString& settings_path) {
    if (settings_path.isEmpty()) return {};
    const QFileInfo settings(settings_path);
    return settings.dir().filePath(settings.completeBaseName() + QStringLiteral("_export.ini"));
}

RememberedExport loadExportChoices(const QString& path) {
    RememberedExport remembered;
    if (path.isEmpty()) return remembered;
    const QSettings file(path, QSettings::IniFormat);
    ExportOptions& o = remembered.options;
    o.folder = text(file, "folder");
    remembered.has_variables = file.contains(QStringLiteral("variables"));
    for (const QString& name : file.value(QStringLiteral("variables")).toStringList())
        if (!name.isEmpty()) o.variables.push_back(name.toStdString());
    bool number = false;
    const double cell = file.value(QStringLiteral("cell_size")).toDouble(&number);
    if (number && cell > 0.0) o.cell_size = cell;
    if (auto format = grid_format_named(text(file, "grid_format"))) o.grid_format = *format;
    if (auto type = value_type_named(text(file, "value_type"))) o.value_type = *type;
    const std::string stations = text(file, "stations");
    if (stations == "none") o.station_format.reset();
    else if (auto format = station_format_named(stations)) o.station_format = format;
    o.crs = text(file, "crs");
    return remembered;
}

bool saveExportChoices(const QString& path, const ExportOptions& o) {
    if (path.isEmpty()) return false;
    QSettings file(path, QSettings::IniFormat);
    // Saved through a temporary file renamed over the old one, never rewritten in place:
    // a program killed while saving leaves the previous choices whole.
    file.setAtomicSyncRequired(true);
    file.setValue(QStringLiteral("folder"), QString::fromStdString(o.folder));
    QStringList variables;
    for (const std::string& name : o.variables) variables << QString::fromStdString(name);
    // An empty list is stored as such, so that "no grids" is remembered too.
    file.setValue(QStringLiteral("variables"),
                  QVariant(variables.isEmpty() ? QStringList{QString()} : variables));
    file.setValue(QStringLiteral("cell_size"),
                  o.cell_size ? QVariant(*o.cell_size) : QVariant(QString()));
    file.setValue(QStringLiteral("grid_format"), qtext(name_of(o.grid_format)));
    file.setValue(QStringLiteral("value_type"), qtext(name_of(o.value_type)));
    file.setValue(QStringLiteral("stations"),
                  qtext(o.station_format ? name_of(*o.station_format) : "none"));
    file.setValue(QStringLiteral("crs"), QString::fromStdString(o.crs));
    file.sync();
    return file.status() == QSettings::NoError;
}

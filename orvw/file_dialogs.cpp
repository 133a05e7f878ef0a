#include "orvw/file_dialogs.h"

QStringList qtFiltersFromPairs(const QString& pairs) {
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // "*.*" means every file where it comes from; here it would miss names without a dot.
        const QString pattern =
            parts[i + 1] == QLatin1String("*.*") ? QStringLiteral("*") : parts[i + 1];
        filters << parts[i] + QLatin1String(" (") + pattern + QLatin1Char(')');
    }
    return filters;
}

QString saveFilterExtension(int filter) {
    switch (filter) {
    case SAVE_AS_BITMAP: return QStringLiteral("bmp");
    case SAVE_AS_JPEG: return QStringLiteral("jpg");
    case SAVE_AS_GRID: return QStringLiteral("grd");
    default: return QString();
    }
}

FileDialogSpec fileDialogSpec(FileDialogId id) {
    FileDialogSpec spec;
    spec.id = id;
    switch (id) {
    case FileDialogId::Open1:
        spec.default_suffix = QStringLiteral("dat");
        spec.filters = qtFiltersFromPairs(QStringLiteral(
            "Surfer DAT files (*.dat)|*.dat|Geosoft XYZ files(*.xyz)|*.xyz|All files (*.*)|*.*"));
        break;
    case FileDialogId::Save1:
        spec.save = true;
        spec.default_suffix = QStringLiteral("dat");
        spec.filters = qtFiltersFromPairs(QStringLiteral(
            "Surfer DAT files (*.dat)|*.dat|Geosoft XYZ files (*.xyz)|*.xyz|All files (*.*)|*.*"));
        break;
    case FileDialogId::Save2:
        spec.save = true;
        spec.default_suffix = QStringLiteral("bmp");
        spec.filters = qtFiltersFromPairs(QStringLiteral(
            "Windows bitmap (*.bmp)|*.bmp|Jpeg files (*.jpg)|*.jpg|Surfer grid (*.grd)|*.grd"));
        for (int filter : {SAVE_AS_BITMAP, SAVE_AS_JPEG, SAVE_AS_GRID})
            spec.filter_suffixes << saveFilterExtension(filter);
        break;
    case FileDialogId::Open2:
        spec.default_suffix = QStringLiteral("dat");
        spec.filters = qtFiltersFromPairs(QStringLiteral(
            "Calculated Orvane files (*.dat)|*.dat|Calculated Orvane files (*.xyz)|*.xyz"));
        break;
    case FileDialogId::MapView:
        spec.save = true;
        spec.default_suffix = QStringLiteral("png");
        spec.filters = qtFiltersFromPairs(QStringLiteral("PNG image (*.png)|*.png"));
        break;
    case FileDialogId::MapGeoTiff:
        spec.save = true;
        spec.default_suffix = QStringLiteral("tif");
        spec.filters = qtFiltersFromPairs(QStringLiteral("GeoTIFF (*.tif)|*.tif"));
        spec.filter_suffixes << QStringLiteral("tif");
        break;
    }
    return spec;
}

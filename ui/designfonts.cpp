#include "designfonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace talveno::ui {

namespace {

QFont fontOf(const QStringList& families, int pixelSize) {
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixelSize);
    return font;
}

}  // namespace

QFont arialFont(int pixelSize) {
    return fontOf(
        {QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")},
        pixelSize);
}

QFont msSansSerifFont(int pixelSize) {
    return fontOf({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                   QStringLiteral("DejaVu Sans")},
                  pixelSize);
}

QFont staccatoFont(int pixelSize) {
    const QString staccato = QStringLiteral("Staccato222 BT");
    if (QFontDatabase::hasFamily(staccato)) {
        return fontOf({staccato}, pixelSize);
    }
    QFont font =
        fontOf({QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")}, pixelSize);
    font.setItalic(true);
    font.setBold(true);
    return font;
}

}  // namespace talveno::ui

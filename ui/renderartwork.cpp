// talveno-artwork: renders the program icon as the PNG files a desktop
// installs (talveno-48.png, talveno-128.png, talveno-256.png) into the folder
// given, by default the current one.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QTextStream>

#include "artwork.h"

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const QDir folder(arguments.size() > 1 ? arguments.at(1) : QDir::currentPath());
    QTextStream err(stderr);
    if (!folder.exists()) {
        err << "talveno-artwork: no such folder: " << folder.path() << '\n';
        return 1;
    }
    for (const int size : {48, 128, 256}) {
        const QString path = folder.filePath(QStringLiteral("talveno-%1.png").arg(size));
        if (!talveno::ui::programIconImage(size).save(path, "PNG")) {
            err << "talveno-artwork: cannot write " << path << '\n';
            return 1;
        }
    }
    return 0;
}

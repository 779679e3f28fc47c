// The window tests run on Qt's offscreen platform (no display needed), with
// the program's own application object and Qt's Spanish texts, as the
// program runs.
#include <gtest/gtest.h>
#include <QTranslator>

#include "application.h"

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    talveno::ui::Application app(argc, argv);
    QTranslator qtSpanish;
    talveno::ui::installQtSpanish(qtSpanish);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

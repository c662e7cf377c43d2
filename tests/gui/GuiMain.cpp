// The main of the GUI tests: the offscreen platform, Qt's Czech translation, the program's
// resources, then the tests.
#include "app/QtPrompts.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    InitGuiResources();
    if (!InstallCzechTranslation()) {
        fprintf(stderr, "Qt's Czech translation (qtbase_cs.qm) is not installed\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}

// The main of the GUI tests: the offscreen platform, Qt's Czech translation, the program's
// resources, then the tests.
#include "app/QtPrompts.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    // A test may run itself again on an offscreen screen of another size.
    const char* platform = std::getenv("TK_TEST_QPA");
    setenv("QT_QPA_PLATFORM", platform ? platform : "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    InitGuiResources();
    if (!InstallCzechTranslation()) {
        fprintf(stderr, "Qt's Czech translation (qtbase_cs.qm) is not installed\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}

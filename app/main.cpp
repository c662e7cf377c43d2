// tk530: the control panel of the TK530/TK630 GSM gateway unit.
#include "app/AppUIApp.h"
#include "app/QtPrompts.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    InitGuiResources();
    InstallCzechTranslation();
    CApp app;
    if (app.Init() != 1)
        return 1;
    return QApplication::exec();
}

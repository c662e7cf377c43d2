// The about box: the program's name, its version from the build, its icon and copyright, and
// the folder of its files.
#pragma once

#include "base/ProgramFolder.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TFrmAbout;
}

class TFrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFrmAbout(QWidget* owner);
    ~TFrmAbout() override;

private:
    std::unique_ptr<Ui::TFrmAbout> m_pForm;
};

// "Verze 1.0.0": the project's version as the build knows it.
QString VersionText();

// Where the program keeps its files, and why there: the line of the about box. A user data
// folder that could not be made adds the reason, since every save will fail the same way.
QString ProgramFolderText(const tk::ProgramFolderInfo& folder);

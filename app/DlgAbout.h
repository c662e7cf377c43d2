// The about box: the program's name, its version from the build, its icon and copyright.
#pragma once

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

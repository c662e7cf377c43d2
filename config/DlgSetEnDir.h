// The dialog that edits one enabled direction: TFrmSetEnDir. OK writes the edit's text into
// the direction of the image at once; Storno changes nothing.
#pragma once

#include <QDialog>

#include <cstdint>
#include <memory>

struct CfgImage;
namespace Ui {
class TFrmSetEnDir;
}

class TFrmSetEnDir : public QDialog {
    Q_OBJECT
public:
    TFrmSetEnDir(CfgImage& image, QWidget* parent);
    ~TFrmSetEnDir() override;

    // Prepares the dialog for direction `index` (0..15): its text in the edit.
    void SetDir(int index);

    int32_t m_nIndex = -1;

private:
    void m_pBtnOkClick();

    CfgImage& m_image;
    std::unique_ptr<Ui::TFrmSetEnDir> m_pForm;
};

// The pane of the unit's binary inputs and outputs: CPaneIO with its frame TFrmIO. Each row
// shows a channel's input and output as 0/1 with a coloured mark; an input that changed since
// the last load flashes briefly. The two buttons set the selected channels' outputs.
#pragma once

#include "status/DevStatus.h"
#include "status/PaneStale.h"

#include <QWidget>

#include <memory>
#include <vector>

class CPaneIO;
class QItemSelection;
class QTimer;
namespace Ui {
class TFrmIO;
}

inline constexpr int IO_CHANNELS = 5;

class TFrmIO : public QWidget {
    Q_OBJECT
public:
    TFrmIO(CPaneIO& pane, QWidget* parent);
    ~TFrmIO() override;

    // Rows made at the first fill; inputs whose bit differs from the last fill flash.
    void Fill(const CIOState& io);
    // The selected rows (row i is channel i + 1), in list order.
    std::vector<int> SelectedRows() const;

private:
    void SelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void SetOutputs(bool toOne);
    void EndFlash();

    CPaneIO& m_pane;
    std::unique_ptr<Ui::TFrmIO> m_pForm;
    QTimer* m_pFlash = nullptr;
    bool m_bFilled = false;
    uint8_t m_nLastInputs = 0;
};

class CPaneIO : public CStatusPane {
public:
    explicit CPaneIO(IPaneHost& ui);

    void Load(int param) override;

protected:
    QWidget* NewFrame(QWidget* parent) override;

private:
    TFrmIO* Frm() const { return static_cast<TFrmIO*>(m_pFrm); }
};

// The pane of one of the three SMS lists (the parameter is the list): CPaneSMSList with its frame
// TFrmSMSList. Each list has its own view over a model of the store, newest message on top; the
// pane carries out the main window's SMS commands, which act on the shown list and its selection.
#pragma once

#include "app/PaneFrame.h"
#include "app/PaneHost.h"
#include "sms/SMSMng.h"

#include <QAbstractTableModel>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class CPaneSMSList;
class QTreeView;
class QUrl;
class TFrmSMSEditDlg;
class TFrmSMSViewDlg;
namespace Ui {
class TFrmSMSList;
}

// One list of the store as rows: row r is the message with index count - 1 - r. The store tells
// the pane about every change, and the pane resets the model (a list holds five messages).
class CSMSListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    CSMSListModel(const CSMSMng& store, int list, QObject* parent);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The store changed: every row is read anew.
    void Refresh();
    // Store index of a row, -1 outside the rows.
    int IndexOfRow(int row) const;
    int RowOfIndex(int index) const;

private:
    const CSMSMng& m_store;
    int m_nList;
    int m_nRows = 0; // the rows the view knows; follows the store at every Refresh
};

// Caption texts of the rows ("%02d:%02d:%02d  %d.%d.%d", the first 160 characters), UTF-8.
QString SmsTimeText(const CSMS& sms);
QString SmsListText(const CSMS& sms);

// How the archive folder is opened (the desktop's file manager); tests replace it to see the
// address without launching anything.
using SmsOpenUrl = std::function<bool(const QUrl&)>;
SmsOpenUrl ReplaceSmsOpenUrl(SmsOpenUrl open);

class TFrmSMSList : public QWidget {
    Q_OBJECT
public:
    TFrmSMSList(CPaneSMSList& pane, QWidget* parent);
    ~TFrmSMSList() override;

    void Fill();
    void ShowList(int list);
    int Shown() const { return m_nShown; }
    QTreeView* View(int list) const;
    CSMSListModel* Model(int list) const;
    // Rows selected in the shown view; with `indices` their store indices, ascending (at most
    // max of them).
    int GetSelection(int32_t* indices, int max) const;
    void SaveColumnWidths();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CPaneSMSList& m_pane;
    std::unique_ptr<Ui::TFrmSMSList> m_pForm;
    std::array<QTreeView*, SMS_LIST_COUNT> m_apLsv{};
    std::array<CSMSListModel*, SMS_LIST_COUNT> m_apModel{};
    int m_nShown = -1;
};

class CPaneSMSList : public CFramePane, public ISmsCommands, public ISMSStoreListener {
public:
    explicit CPaneSMSList(IPaneHost& ui);
    ~CPaneSMSList() override;

    void Load(int param) override;
    void SaveLayout() override;

    int GetShownList() const { return m_nParam; }
    int GetSelection(int32_t* indices, int max) const;
    // The rows an action of `kind` works on into `sel`: the selection (2) or the whole list
    // (1); how many.
    int ChooseRows(int kind, int list, int32_t* sel) const;
    TFrmSMSList* Frm() const;

    // The editor dialog for a stored message (made at first use): 1 when closed by its send or
    // save button, 2 otherwise.
    int ShowSMSEditDlg(CSMS* sms, int index);
    TFrmSMSEditDlg* EditDialog() const { return m_pDlg; }
    // The read-only view of a received or sent message (made at first use): SMS_VIEW_REPLY,
    // SMS_VIEW_FORWARD, or 0 when closed otherwise.
    int ShowSMSViewDlg(const CSMS& sms, int list);
    TFrmSMSViewDlg* ViewDialog() const { return m_pViewDlg; }
    // Opens the folder of the received-message archive.
    void OpenArchiveFolder();

    // ISmsCommands
    void OpenCmd() override;
    void ReadCmd() override;
    void SendCmd(int kind) override;
    void ExportCmd(int kind) override;
    void DeleteCmd(int kind) override;
    int SelectedCount() const override;

    // ISMSStoreListener
    void OnSmsRowAdded(int list, int index) override;
    void OnSmsRowsRemoved(int list, const int32_t* indices, int n) override;
    void OnSmsRowUpdated(int list, int index) override;
    void OnSmsListCountChanged(int list, int count) override;

protected:
    QWidget* NewFrame(QWidget* parent) override;

private:
    bool IsCurrent() const;
    void Refresh(int list);

    // A new message in the editor pane from a received or sent one: to its other party
    // (reply) or with its text (forward). A draft in the editor is replaced only when the
    // user agrees.
    void ComposeFrom(const CSMS& sms, bool reply);

    TFrmSMSEditDlg* m_pDlg = nullptr;     // child of the main window
    TFrmSMSViewDlg* m_pViewDlg = nullptr; // child of the main window
};

// Kind 3 of the send command and text 111 when nothing could be sent: what every send of the
// window program ends in. The queue's result, 1 after text 111, -1 for a bad index.
int SmsSend(IPaneHost& ui, const std::vector<int32_t>& indices);

// The modem settings: one modem's name, serial device, init string and GSM flag, with a probe
// of the device that shows what answered. Also the pieces the communication dialogs share:
// the port box that lists the machine's serial devices and follows cables being plugged in
// or out, the modem list that shows which modems are missing their device, and the job that
// runs a blocking check off the user-interface thread.
#pragma once

#include "link/ModemList.h"
#include "link/ModemPort.h"
#include "link/PortRules.h"
#include "link/SerialPorts.h"

#include <QDialog>
#include <QMetaObject>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class IPrompts;
class QComboBox;
class QListWidget;
namespace Ui {
class TFrmModem;
}

// One blocking check on a thread of its own. The result comes back to the owner's thread
// through its event queue; the owner's destruction cancels a running check and waits for it,
// so the result never reaches a window that is gone.
class CDlgJob {
public:
    explicit CDlgJob(QObject* context) : m_pContext(context) {}
    ~CDlgJob() { Stop(); }
    CDlgJob(const CDlgJob&) = delete;
    CDlgJob& operator=(const CDlgJob&) = delete;

    bool Running() const { return m_bRunning; }
    // Asks the running check to give up; its result still arrives.
    void Cancel() {
        if (m_pCancel)
            m_pCancel->store(true);
    }

    // `work` runs on the job's thread with a cancel check; `done` on the owner's thread with
    // what it returned. One check at a time: false while one runs.
    template <typename R>
    bool Start(std::function<R(const CancelCheck&)> work, std::function<void(R)> done) {
        if (m_bRunning)
            return false;
        Join();
        m_pCancel = std::make_shared<std::atomic<bool>>(false);
        m_bRunning = true;
        auto cancel = m_pCancel;
        QObject* context = m_pContext;
        m_thread = std::thread(
            [this, context, cancel, work = std::move(work), done = std::move(done)]() mutable {
                const CancelCheck check = [cancel] { return cancel->load(); };
                R result = work(check);
                QMetaObject::invokeMethod(
                    context,
                    [this, done = std::move(done), result = std::move(result)]() mutable {
                        m_bRunning = false;
                        done(std::move(result));
                    },
                    Qt::QueuedConnection);
            });
        return true;
    }

private:
    void Join() {
        if (m_thread.joinable())
            m_thread.join();
    }
    void Stop() {
        Cancel();
        Join();
    }

    QObject* m_pContext;
    std::shared_ptr<std::atomic<bool>> m_pCancel;
    bool m_bRunning = false; // only touched on the owner's thread
    std::thread m_thread;
};

// An editable port box that offers COM1 to COM4 and the serial devices present, each with a
// name the user recognises, and rescans once a second so that a cable plugged in while the
// dialog is open shows up. What the user typed is never touched by a rescan.
class CPortBox : public QObject {
    Q_OBJECT
public:
    using Scan = std::function<std::vector<SerialPortInfo>()>;

    explicit CPortBox(QComboBox* box);

    // Tests give a scan of their own (the default lists the machine's devices).
    void SetScan(Scan scan);
    // Rescans now; the entries are rebuilt only when the devices changed.
    void Refresh();
    // The devices the box offers, scanned now.
    std::vector<SerialPortInfo> Devices() const {
        return m_scan ? m_scan() : std::vector<SerialPortInfo>{};
    }
    // The port to store for what the box shows: the chosen device's path, or the text as
    // typed.
    std::string Port() const;
    void SetPort(const std::string& port);

private:
    void Rebuild(const std::vector<PortChoice>& choices);

    QComboBox* m_pBox;
    Scan m_scan;
    QTimer m_timer;
    std::vector<PortChoice> m_choices;
};

// Fills a list widget with the modems' names; a modem whose device is missing is shown greyed
// with the reason beside its name and as its tooltip (it can still be chosen and edited).
void FillModemList(QListWidget* list, const CModemMng& modems);

// Opens the modem settings on entry `index` of the list (-1: a new modem). With "OK" the
// entry is stored, the list saved and the entry's index returned; -1 otherwise.
int EditModem(IPrompts& prompts, CModemMng& modems, int index, QWidget* owner);

class TFrmModem : public QDialog {
    Q_OBJECT
public:
    TFrmModem(IPrompts& prompts, QWidget* owner);
    ~TFrmModem() override;

    // Edits this entry (not owned); the edits reach it only with "OK", once they are valid.
    void Bind(CModemInf* modem);
    CPortBox& PortBox() { return *m_pPortBox; }
    void SetProbeTimeouts(const HayesTimeouts& timeouts) { m_probeTimeouts = timeouts; }

    void done(int result) override;

signals:
    // The probe's answer is shown (tests wait for it).
    void probeFinished();

private:
    struct ProbeOutcome {
        int result = 0;
        ModemProbe probe;
        std::string reason;
    };
    void m_pBtnProbeClick();
    void OnProbeDone(const ProbeOutcome& outcome);
    void m_pBtnOkClick();

    IPrompts& m_prompts;
    std::unique_ptr<Ui::TFrmModem> m_pForm;
    std::unique_ptr<CPortBox> m_pPortBox;
    CModemInf* m_pModem = nullptr;
    HayesTimeouts m_probeTimeouts;
    CDlgJob m_probe{this}; // last: joined before the form goes
};

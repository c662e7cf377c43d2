// The communication settings and the remote access dialog: what they show from the profile,
// the modem list and the connection list, which edits take effect at once and which only with
// "Ok", the limits of the lists and fields, the port box, the modem settings, and the line
// check against the virtual unit.
#include "tests/gui/GuiFixture.h"

#include "config/Profile.h"
#include "connections/DlgComSet.h"
#include "connections/DlgConnectItem.h"
#include "connections/DlgFindUnit.h"
#include "link/DlgModem.h"
#include "link/DlgRemCon.h"
#include "tests/support/PtyPair.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

template <typename T>
T* In(QWidget* dlg, const char* name) {
    T* w = dlg->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

QPushButton* Button(QWidget* dlg, const char* name) {
    return In<QPushButton>(dlg, name);
}

std::string Str(const QString& s) {
    return s.toStdString();
}

// The numbers and PINs of the connection list, in order.
Pairs Listed(const CConnectDscMng& list) {
    Pairs out;
    for (int i = 0; i < list.GetCount(); ++i)
        out.emplace_back(list.Get(i)->m_szNum, list.Get(i)->m_szPIN);
    return out;
}

std::vector<uint8_t> ProfileBytes(const CProfile& p) {
    uint8_t b[PROFILE_FILE_SIZE];
    p.SaveBytes(b);
    return {b, b + sizeof b};
}

} // namespace

class ComSetTest : public GuiTest {
protected:
    static void WriteConnections(const Pairs& list, int sel) {
        CConnectDscMng m;
        for (const auto& [num, pin] : list) {
            CConnectDsc d{};
            d.SetNum(num.c_str());
            d.SetPIN(pin.c_str());
            m.Add(d);
        }
        m.SetSel(sel);
        ASSERT_EQ(m.Save(), 1);
    }
    // Modems by name and device.
    static void WriteModems(const Pairs& list) {
        CModemMng m;
        for (const auto& [name, device] : list)
            ASSERT_GE(m.Add(MakeModemInf(name, device)), 0);
        ASSERT_TRUE(m.Save());
    }
    // Acts on the next modal dialog of type T once it is shown.
    template <typename T>
    void OnModal(std::function<void(T*)> act) {
        auto* timer = new QTimer(&Main());
        timer->setInterval(10);
        QObject::connect(timer, &QTimer::timeout, [timer, act] {
            if (auto* dlg = qobject_cast<T*>(QApplication::activeModalWidget())) {
                timer->stop();
                timer->deleteLater();
                act(dlg);
            }
        });
        timer->start();
    }
    // The connection item dialog answers with this number and PIN ("Ok").
    void AnswerItem(const std::string& num, const std::string& pin) {
        OnModal<TFrmConnectItem>([num, pin](TFrmConnectItem* item) {
            In<QLineEdit>(item, "m_pTxtNum")->setText(QString::fromStdString(num));
            In<QLineEdit>(item, "m_pTxtPIN")->setText(QString::fromStdString(pin));
            Button(item, "m_pBtnOk")->click();
        });
    }
    CConnectDscMng& Conns() { return Device().m_Com.GetConnections(); }
    CModemMng& Modems() { return Device().m_Com.GetModems().Modems(); }
    std::unique_ptr<TFrmComSet> ComSet() {
        auto dlg = std::make_unique<TFrmComSet>(UI(), &Main());
        dlg->PortBox().SetScan({});
        dlg->Init();
        return dlg;
    }
    // The communication settings whose port box lists these devices.
    std::unique_ptr<TFrmComSet> ComSetWith(const std::vector<std::string>& devices) {
        auto dlg = ComSet();
        dlg->PortBox().SetScan([devices] {
            std::vector<SerialPortInfo> ports;
            for (const std::string& device : devices)
                ports.push_back({device, device, device});
            return ports;
        });
        return dlg;
    }
    // The rows of the search's progress list.
    static std::vector<std::string> Rows(TFrmFindUnit* find) {
        std::vector<std::string> rows;
        QListWidget* list = In<QListWidget>(find, "m_pLsbFindPorts");
        for (int i = 0; i < list->count(); ++i)
            rows.push_back(Str(list->item(i)->text()));
        return rows;
    }
    std::unique_ptr<TFrmRemCon> RemCon() {
        auto dlg =
            std::make_unique<TFrmRemCon>(prompts, UI().Profile(), Modems(), Conns(), &Main());
        dlg->Prepare();
        return dlg;
    }
};

TEST_F(ComSetTest, ConnectionEditsTakeEffectAtOnceAndStornoKeepsTheSettings) {
    WriteConnections({{"111", "1111"}, {"222", "2222"}, {"333", "3333"}}, 0);
    ASSERT_TRUE(StartApp());
    const std::vector<uint8_t> profile = ProfileBytes(UI().Profile());

    // The action shows the dialog modally and destroys it afterwards.
    bool shown = false;
    OnModal<TFrmComSet>([&shown](TFrmComSet* dlg) {
        shown = true;
        EXPECT_EQ(Str(dlg->windowTitle()), "Nastavení komunikace");
        Button(dlg, "m_pBtnCancel")->click();
    });
    Action("m_pActComSet")->trigger();
    EXPECT_TRUE(shown);
    EXPECT_EQ(Main().findChild<TFrmComSet*>(), nullptr);

    auto dlg = ComSet();
    auto* list = In<QListWidget>(dlg.get(), "m_pLsbConnect");
    auto* del = Button(dlg.get(), "m_pBtnDel");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_TRUE(In<QRadioButton>(dlg.get(), "m_pRdbLocal")->isChecked());

    // Deleting the last of three selects the new last one.
    list->setCurrentRow(2);
    prompts.ExpectAsk("Opravdu chcete toto připojení odstranit?", PROMPT_YES);
    del->click();
    EXPECT_EQ(list->currentRow(), 1);
    EXPECT_EQ(Listed(Conns()), (Pairs{{"111", "1111"}, {"222", "2222"}}));
    // "No" deletes nothing.
    prompts.ExpectAsk("Opravdu chcete toto připojení odstranit?", PROMPT_NO);
    del->click();
    EXPECT_EQ(Conns().GetCount(), 2);

    // Adding: a PIN of three characters cannot be confirmed, the fourth one can; the number
    // holds what the descriptor holds.
    OnModal<TFrmConnectItem>([](TFrmConnectItem* item) {
        QLineEdit* num = In<QLineEdit>(item, "m_pTxtNum");
        QLineEdit* pin = In<QLineEdit>(item, "m_pTxtPIN");
        QPushButton* ok = Button(item, "m_pBtnOk");
        EXPECT_TRUE(num->isEnabled());
        QTest::keyClicks(num, "12345678901234567890");
        EXPECT_EQ(Str(num->text()), "123456789012345");
        QTest::keyClicks(pin, "123");
        EXPECT_FALSE(ok->isEnabled());
        QTest::keyClicks(pin, "4");
        EXPECT_TRUE(ok->isEnabled());
        ok->click();
    });
    Button(dlg.get(), "m_pBtnAdd")->click();
    EXPECT_EQ(list->count(), 3);
    EXPECT_EQ(list->currentRow(), 2);
    EXPECT_EQ(Str(list->item(2)->text()), "123456789012345");

    // "Nastavit" changes the stored descriptor and the entry's text.
    AnswerItem("444", "5678");
    Button(dlg.get(), "m_pBtnSet")->click();
    EXPECT_EQ(Str(list->item(2)->text()), "444");

    // "Storno": the list edits stay, the chosen connection and the profile do not change.
    list->setCurrentRow(1);
    In<QRadioButton>(dlg.get(), "m_pRdbRemote")->setChecked(true);
    In<QCheckBox>(dlg.get(), "m_pChbLog")->setChecked(true);
    In<QComboBox>(dlg.get(), "m_pCmbPort")->setEditText("COM3");
    Button(dlg.get(), "m_pBtnCancel")->click();
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    EXPECT_EQ(Listed(Conns()), (Pairs{{"111", "1111"}, {"222", "2222"}, {"444", "5678"}}));
    EXPECT_EQ(Conns().GetSel(), 0);
    EXPECT_EQ(ProfileBytes(UI().Profile()), profile);

    // Deleting down to nothing: the entry that takes the place is selected; with the only
    // one gone nothing is, and "Odstranit" and "Nastavit" are off.
    dlg = ComSet();
    list = In<QListWidget>(dlg.get(), "m_pLsbConnect");
    del = Button(dlg.get(), "m_pBtnDel");
    const std::vector<int> selectedAfter = {0, 0, -1};
    for (int selected : selectedAfter) {
        prompts.ExpectAsk("Opravdu chcete toto připojení odstranit?", PROMPT_YES);
        list->setCurrentRow(0);
        del->click();
        EXPECT_EQ(list->currentRow(), selected);
    }
    EXPECT_EQ(Conns().GetCount(), 0);
    EXPECT_FALSE(del->isEnabled());
    EXPECT_FALSE(Button(dlg.get(), "m_pBtnSet")->isEnabled());
    EXPECT_TRUE(Button(dlg.get(), "m_pBtnAdd")->isEnabled());
}

TEST_F(ComSetTest, OkStoresWhatTheControlsShow) {
    WriteModems({{"Modem A", "/dev/null"}, {"Modem B", "/dev/null"}});
    WriteConnections({{"111", "1111"}, {"222", "2222"}}, -1);
    ASSERT_TRUE(StartApp());
    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
    struct Case {
        const char* port; // typed into the port box
        bool local;
        bool log;
        int modem, connection;
        bool readBeforeWrite;
    };
    EXPECT_TRUE(ComSet()->findChild<QCheckBox*>("m_pChbReadBeforeWrite")->isChecked());
    for (const Case& c :
         {Case{"/dev/ttyACM3", true, true, -1, 1, false},
          Case{byId.c_str(), false, false, 1, -1, true}, Case{"COM2", true, false, 0, 0, false},
          Case{"rfc2217://[fd00::17]:4001", true, false, 0, 0, false}}) {
        SCOPED_TRACE(c.port);
        auto dlg = ComSet();
        In<QRadioButton>(dlg.get(), c.local ? "m_pRdbLocal" : "m_pRdbRemote")->setChecked(true);
        In<QCheckBox>(dlg.get(), "m_pChbLog")->setChecked(c.log);
        In<QCheckBox>(dlg.get(), "m_pChbReadBeforeWrite")->setChecked(c.readBeforeWrite);
        QComboBox* port = In<QComboBox>(dlg.get(), "m_pCmbPort");
        port->lineEdit()->selectAll();
        QTest::keyClicks(port->lineEdit(), c.port);
        In<QListWidget>(dlg.get(), "m_pLsbModem")->setCurrentRow(c.modem);
        In<QListWidget>(dlg.get(), "m_pLsbConnect")->setCurrentRow(c.connection);
        Button(dlg.get(), "m_pBtnOk")->click();
        EXPECT_EQ(dlg->result(), QDialog::Accepted);
        const CProfile& p = UI().Profile();
        EXPECT_EQ(p.PortPath(), c.port);
        EXPECT_EQ(p.m_nConnType, c.local ? CONN_LOCAL : CONN_REMOTE);
        EXPECT_EQ(p.m_bLog, c.log ? 1 : 0);
        EXPECT_EQ(p.m_nModem, c.modem);
        EXPECT_EQ(p.m_bReadBeforeWrite, c.readBeforeWrite);
        EXPECT_EQ(Conns().GetSel(), c.connection);
        // The next opening shows what was stored.
        dlg = ComSet();
        EXPECT_EQ(In<QCheckBox>(dlg.get(), "m_pChbReadBeforeWrite")->isChecked(),
                  c.readBeforeWrite);
        EXPECT_EQ(Str(In<QComboBox>(dlg.get(), "m_pCmbPort")->currentText()), c.port);
        EXPECT_EQ(In<QListWidget>(dlg.get(), "m_pLsbModem")->currentRow(), c.modem);
        EXPECT_EQ(In<QListWidget>(dlg.get(), "m_pLsbConnect")->currentRow(), c.connection);
        EXPECT_EQ(Button(dlg.get(), "m_pBtnModemSet")->isEnabled(), c.modem >= 0);
    }
    // A network port without its port number is refused with the form it needs; the dialog
    // stays open and the profile keeps its port.
    auto dlg = ComSet();
    QComboBox* port = In<QComboBox>(dlg.get(), "m_pCmbPort");
    port->lineEdit()->selectAll();
    QTest::keyClicks(port->lineEdit(), "tcp://unit-server");
    prompts.ExpectError("tcp://unit-server: chybí číslo portu (tvar tcp://POČÍTAČ:PORT nebo "
                        "rfc2217://POČÍTAČ:PORT)");
    Button(dlg.get(), "m_pBtnOk")->click();
    EXPECT_TRUE(prompts.Done());
    EXPECT_NE(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(UI().Profile().PortPath(), "rfc2217://[fd00::17]:4001");
}

TEST_F(ComSetTest, ThePortBoxListsTheDevicesFoundAndStoresTheChosenPath) {
    ASSERT_TRUE(StartApp());
    auto dlg = ComSet();
    QComboBox* box = In<QComboBox>(dlg.get(), "m_pCmbPort");
    ASSERT_EQ(box->count(), 4); // COM1 to COM4 only: nothing found
    EXPECT_EQ(Str(box->itemText(0)), "COM1");

    SerialPortInfo usb;
    usb.m_strPath = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
    usb.m_strDevice = "/dev/ttyUSB0";
    usb.m_strDescription = "FTDI FT232R (ttyUSB0)";
    box->setEditText("/dev/ttyX"); // typed: a rescan leaves it alone
    std::vector<SerialPortInfo> found = {usb};
    dlg->PortBox().SetScan([&found] { return found; });
    ASSERT_EQ(box->count(), 5);
    EXPECT_EQ(Str(box->itemText(4)), "FTDI FT232R (ttyUSB0) \u2014 /dev/ttyUSB0");
    EXPECT_EQ(Str(box->currentText()), "/dev/ttyX");

    // A cable plugged in while the dialog is open shows up with the next scan.
    SerialPortInfo acm = usb;
    acm.m_strPath = acm.m_strDevice = "/dev/ttyACM0";
    acm.m_strDescription = "Modem (ttyACM0)";
    found.push_back(acm);
    dlg->PortBox().Refresh();
    ASSERT_EQ(box->count(), 6);
    EXPECT_EQ(Str(box->currentText()), "/dev/ttyX");

    // Choosing a device shows and stores its by-id path.
    box->setCurrentIndex(4);
    emit box->activated(4);
    EXPECT_EQ(Str(box->currentText()), usb.m_strPath);
    Button(dlg.get(), "m_pBtnOk")->click();
    EXPECT_EQ(UI().Profile().PortPath(), usb.m_strPath);
}

TEST_F(ComSetTest, ModemsAreAddedChangedAndDeletedAtOnceAndTheProfileKeepsItsModem) {
    WriteModems({{"Modem A", "/dev/null"}, {"Modem B", dir.File("ttyUSB9")}});
    WriteProfile([](CProfile& p) { p.m_nModem = 1; });
    ASSERT_TRUE(StartApp());
    auto dlg = ComSet();
    auto* list = In<QListWidget>(dlg.get(), "m_pLsbModem");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->currentRow(), 1);
    // Its device is missing: greyed, with the reason.
    EXPECT_NE(Str(list->item(1)->text()).find("neexistuje"), std::string::npos);
    EXPECT_NE(Str(list->item(1)->toolTip()).find("ttyUSB9"), std::string::npos);
    EXPECT_EQ(Str(list->item(0)->text()), "Modem A");
    EXPECT_NE(list->item(0)->foreground().color(), list->item(1)->foreground().color());

    list->setCurrentRow(0);
    prompts.ExpectAsk("Opravdu chcete tento modem odstranit?", PROMPT_YES);
    Button(dlg.get(), "m_pBtnModemDel")->click();
    EXPECT_EQ(UI().Profile().m_nModem, 0); // still modem B
    CModemMng disk;
    ASSERT_EQ(disk.Load(), CModemMng::LoadResult::Loaded);
    ASSERT_EQ(disk.Count(), 1u);
    EXPECT_STREQ(disk.Get(0)->m_szName, "Modem B");
    EXPECT_EQ(list->currentRow(), 0);

    // A new modem; an empty name is refused and the dialog stays open.
    OnModal<TFrmModem>([this](TFrmModem* m) {
        In<QLineEdit>(m, "m_pTxtName")->clear();
        In<QComboBox>(m, "m_pCmbDevice")->setEditText("/dev/null");
        prompts.ExpectError("Zadejte název modemu.");
        Button(m, "m_pBtnOk")->click();
        EXPECT_TRUE(m->isVisible());
        In<QLineEdit>(m, "m_pTxtName")->setText("Modem C");
        Button(m, "m_pBtnOk")->click();
    });
    Button(dlg.get(), "m_pBtnModemAdd")->click();
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->currentRow(), 1);

    // Its properties: the init string and the GSM flag.
    OnModal<TFrmModem>([](TFrmModem* m) {
        EXPECT_EQ(Str(In<QLineEdit>(m, "m_pTxtName")->text()), "Modem C");
        EXPECT_EQ(Str(In<QComboBox>(m, "m_pCmbDevice")->currentText()), "/dev/null");
        In<QLineEdit>(m, "m_pTxtInit")->setText("AT&F");
        In<QCheckBox>(m, "m_pChbGsm")->setChecked(true);
        Button(m, "m_pBtnOk")->click();
    });
    Button(dlg.get(), "m_pBtnModemSet")->click();
    ASSERT_EQ(disk.Load(), CModemMng::LoadResult::Loaded);
    ASSERT_EQ(disk.Count(), 2u);
    EXPECT_STREQ(disk.Get(1)->m_szName, "Modem C");
    EXPECT_STREQ(disk.Get(1)->m_szInit, "AT&F");
    EXPECT_TRUE(disk.Get(1)->m_bGsm);
    EXPECT_EQ(Modems().Count(), 2u); // the dialler uses the changed list from now on
}

// tk530ctl changes the modem list while the window edits a modem: the edit reaches the modem
// the user chose wherever it is now, or is added again when it was removed; no other modem is
// overwritten.
TEST_F(ComSetTest, AModemEditedWhileTk530ctlChangesTheListChangesOnlyThatModem) {
    WriteModems({{"Modem A", "/dev/null"}, {"Modem B", "/dev/null"}, {"Modem C", "/dev/null"}});
    ASSERT_TRUE(StartApp());
    auto dlg = ComSet();
    auto* list = In<QListWidget>(dlg.get(), "m_pLsbModem");
    const auto editWhile = [&](int row, const Pairs& ctl, const char* init) {
        list->setCurrentRow(row);
        OnModal<TFrmModem>([ctl, init](TFrmModem* m) {
            WriteModems(ctl);
            In<QLineEdit>(m, "m_pTxtInit")->setText(init);
            Button(m, "m_pBtnOk")->click();
        });
        Button(dlg.get(), "m_pBtnModemSet")->click();
    };
    const auto onDisk = [] {
        CModemMng disk;
        EXPECT_EQ(disk.Load(), CModemMng::LoadResult::Loaded);
        std::vector<std::string> names;
        for (size_t k = 0; k < disk.Count(); ++k)
            names.push_back(std::string(disk.Get(k)->m_szName) + "=" + disk.Get(k)->m_szInit);
        return names;
    };
    const std::string plain = MakeModemInf("", "").m_szInit;

    // Modem A removed before the edit of modem B is saved: B is now first.
    editWhile(1, {{"Modem B", "/dev/null"}, {"Modem C", "/dev/null"}}, "AT&B");
    EXPECT_EQ(onDisk(), (std::vector<std::string>{"Modem B=AT&B", "Modem C=" + plain}));
    EXPECT_EQ(list->currentRow(), 0);
    // The edited modem removed meanwhile: it comes back with the edit; C stays as it was.
    editWhile(0, {{"Modem C", "/dev/null"}, {"Modem D", "/dev/null"}}, "AT&X");
    EXPECT_EQ(onDisk(),
              (std::vector<std::string>{"Modem C=" + plain, "Modem D=" + plain, "Modem B=AT&X"}));
    EXPECT_EQ(list->currentRow(), 2);
    EXPECT_EQ(Modems().Count(), 3u);
}

TEST_F(ComSetTest, WithNoModemBothDialogsHaveEmptyListsAndNothingToPress) {
    WriteConnections({{"111", "1111"}}, 0);
    ASSERT_TRUE(StartApp());
    auto set = ComSet();
    EXPECT_EQ(In<QListWidget>(set.get(), "m_pLsbModem")->count(), 0);
    EXPECT_FALSE(Button(set.get(), "m_pBtnModemSet")->isEnabled());
    EXPECT_FALSE(Button(set.get(), "m_pBtnModemDel")->isEnabled());
    auto rem = RemCon();
    EXPECT_EQ(In<QListWidget>(rem.get(), "m_pLsbModem")->count(), 0);
    EXPECT_FALSE(Button(rem.get(), "m_pBtnModemSet")->isEnabled());
    EXPECT_EQ(Str(In<QLineEdit>(rem.get(), "m_pTxtPIN")->text()), "1111");
    EXPECT_FALSE(Button(rem.get(), "m_pBtnConnect")->isEnabled());
}

TEST_F(ComSetTest, TheRemoteDialogPicksPinsAddsTypedNumbersAndStornoChangesNothing) {
    WriteModems({{"Modem A", "/dev/null"}});
    WriteConnections({{"111", "1111"}, {"222", "2222"}}, 0);
    WriteProfile([](CProfile& p) {
        p.m_nConnType = CONN_REMOTE;
        p.m_nModem = 0;
    });
    ASSERT_TRUE(StartApp());
    auto dlg = RemCon();
    auto* number = In<QComboBox>(dlg.get(), "m_pCmbNumber");
    auto* pin = In<QLineEdit>(dlg.get(), "m_pTxtPIN");
    auto* connect = Button(dlg.get(), "m_pBtnConnect");
    EXPECT_EQ(Str(dlg->windowTitle()), "Vzdálený přístup");
    EXPECT_EQ(Str(number->currentText()), "111");
    EXPECT_EQ(Str(pin->text()), "1111");
    EXPECT_TRUE(connect->isEnabled());
    EXPECT_TRUE(Button(dlg.get(), "m_pBtnModemSet")->isEnabled());

    // A PIN of three characters keeps "Spojit" off; the fourth turns it on.
    pin->clear();
    QTest::keyClicks(pin, "123");
    EXPECT_FALSE(connect->isEnabled());
    QTest::keyClicks(pin, "4");
    EXPECT_TRUE(connect->isEnabled());

    // Another number brings its PIN; the same number again keeps the PIN being edited.
    number->setCurrentIndex(1);
    EXPECT_EQ(Str(pin->text()), "2222");
    pin->setText("9999");
    number->setCurrentIndex(1);
    EXPECT_EQ(Str(pin->text()), "9999");

    // "Storno": neither the chosen connection, nor a PIN, nor the modem changed.
    In<QListWidget>(dlg.get(), "m_pLsbModem")->setCurrentRow(-1);
    Button(dlg.get(), "m_pBtnCancel")->click();
    EXPECT_EQ(Listed(Conns()), (Pairs{{"111", "1111"}, {"222", "2222"}}));
    EXPECT_EQ(Conns().GetSel(), 0);
    EXPECT_EQ(UI().Profile().m_nModem, 0);

    // Opened again it shows the chosen connection; choosing the number handled at the last
    // opening still brings that number's PIN.
    dlg = RemCon();
    number = In<QComboBox>(dlg.get(), "m_pCmbNumber");
    pin = In<QLineEdit>(dlg.get(), "m_pTxtPIN");
    EXPECT_EQ(Str(pin->text()), "1111");
    number->setCurrentIndex(1);
    EXPECT_EQ(Str(pin->text()), "2222");

    // A typed number is cut to what a descriptor holds, added with the PIN and chosen.
    number->lineEdit()->selectAll();
    QTest::keyClicks(number->lineEdit(), "60012345678901234567");
    EXPECT_EQ(Str(number->currentText()), "600123456789012");
    pin->setText("7777");
    Button(dlg.get(), "m_pBtnConnect")->click();
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(Listed(Conns()),
              (Pairs{{"111", "1111"}, {"222", "2222"}, {"600123456789012", "7777"}}));
    EXPECT_EQ(Conns().GetSel(), 2);
}

TEST_F(ComSetTest, AFullConnectionListDisablesPridatAndRefusesATypedNumber) {
    WriteModems({{"Modem A", "/dev/null"}});
    Pairs full;
    for (int i = 0; i < CONNECT_MAX; ++i)
        full.emplace_back(std::to_string(1000 + i), "1234");
    WriteConnections(Pairs(full.begin(), full.end() - 1), 3);
    WriteProfile([](CProfile& p) { p.m_nModem = 0; });
    ASSERT_TRUE(StartApp());
    EXPECT_TRUE(Button(ComSet().get(), "m_pBtnAdd")->isEnabled()); // 99: room for one
    CConnectDsc last{};
    last.SetNum(full.back().first.c_str());
    ASSERT_EQ(Conns().Add(last), CONNECT_MAX - 1);
    EXPECT_FALSE(Button(ComSet().get(), "m_pBtnAdd")->isEnabled());

    auto dlg = RemCon();
    auto* number = In<QComboBox>(dlg.get(), "m_pCmbNumber");
    number->setEditText("777");
    In<QLineEdit>(dlg.get(), "m_pTxtPIN")->setText("7777");
    prompts.ExpectError("Seznam připojení je plný");
    dlg->show();
    Button(dlg.get(), "m_pBtnConnect")->click();
    EXPECT_TRUE(dlg->isVisible()); // still open: another number can be chosen
    EXPECT_EQ(Conns().GetCount(), CONNECT_MAX);
    EXPECT_EQ(Conns().GetSel(), 3);
    EXPECT_STREQ(Conns().Get(3)->m_szPIN, "1234");
    // A number of the list still connects.
    number->setCurrentIndex(5);
    In<QLineEdit>(dlg.get(), "m_pTxtPIN")->setText("7777");
    Button(dlg.get(), "m_pBtnConnect")->click();
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(Conns().GetSel(), 5);
    EXPECT_STREQ(Conns().Get(5)->m_szPIN, "7777");
}

TEST_F(ComSetTest, OnlineOverAModemAsksFirstAndStornoPostsNoConnect) {
    UseModem("1234");
    ASSERT_TRUE(StartApp());
    OnModal<TFrmRemCon>([](TFrmRemCon* dlg) { Button(dlg, "m_pBtnCancel")->click(); });
    Action("m_pActOnline")->trigger();
    ProcessEvents();
    EXPECT_FALSE(Device().m_Com.IsBusy());
    EXPECT_FALSE(Device().m_Com.IsOnline());
    EXPECT_TRUE(Commands().empty());

    OnModal<TFrmRemCon>([](TFrmRemCon* dlg) { Button(dlg, "m_pBtnConnect")->click(); });
    Action("m_pActOnline")->trigger();
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(Device().m_Com.IsOnline());
    EXPECT_TRUE(Unit().IsLoggedIn());
    Action("m_pActOffline")->trigger();
    ASSERT_TRUE(WaitIdle());
}

TEST_F(ComSetTest, TheLineCheckNamesTheUnitOnTheChosenPort) {
    SimIdent ident = Unit().Ident();
    ident.name = "Zkusebni jednotka 7";
    Unit().SetIdent(ident);
    ASSERT_TRUE(StartApp());
    auto dlg = ComSet();
    QLabel* result = In<QLabel>(dlg.get(), "m_pLblTestResult");
    bool finished = false;
    QObject::connect(dlg.get(), &TFrmComSet::lineTestFinished, [&finished] { finished = true; });
    Button(dlg.get(), "m_pBtnTestLine")->click();
    ASSERT_TRUE(WaitFor([&finished] { return finished; }));
    EXPECT_NE(Str(result->text()).find("Zkusebni jednotka 7"), std::string::npos)
        << Str(result->text());
    EXPECT_EQ(Str(Button(dlg.get(), "m_pBtnTestLine")->text()), "Vyzkoušet spojení");

    // A check still running when the dialog goes is cancelled and waited for.
    Button(dlg.get(), "m_pBtnTestLine")->click();
    dlg.reset();
    ProcessEvents();
}

TEST_F(ComSetTest, TheModemProbeShowsWhatAnsweredAndSuggestsTheName) {
    UseModem("1234");
    ASSERT_TRUE(StartApp());
    CModemInf modem = MakeModemInf("", Sim().SlavePath());
    auto dlg = std::make_unique<TFrmModem>(prompts, &Main());
    HayesTimeouts quick;
    quick.nAtReplyMs = 300;
    quick.nCommandMs = 1000;
    dlg->SetProbeTimeouts(quick);
    dlg->Bind(&modem);
    bool finished = false;
    QObject::connect(dlg.get(), &TFrmModem::probeFinished, [&finished] { finished = true; });
    QPushButton* probe = Button(dlg.get(), "m_pBtnProbe");
    probe->click();
    EXPECT_EQ(Str(probe->text()), "Přerušit"); // the window stays usable meanwhile
    ASSERT_TRUE(WaitFor([&finished] { return finished; }));
    const std::string shown = Str(In<QLabel>(dlg.get(), "m_pLblProbe")->text());
    EXPECT_NE(shown.find("TK530 virtual modem"), std::string::npos) << shown;
    EXPECT_EQ(Str(In<QLineEdit>(dlg.get(), "m_pTxtName")->text()), "TK530 virtual modem");
    Button(dlg.get(), "m_pBtnOk")->click();
    EXPECT_STREQ(modem.m_szName, "TK530 virtual modem");
    EXPECT_EQ(std::string(modem.m_szDevice), Sim().SlavePath());

    // "Storno" while a probe runs: the probe gives up, the modem is left as it was.
    probe->click();
    Button(dlg.get(), "m_pBtnCancel")->click();
    dlg.reset();
    ProcessEvents();
    EXPECT_STREQ(modem.m_szName, "TK530 virtual modem");
}

// One unit among the machine's ports: the search shows each port's verdict, closes by itself
// and puts the port into the port box; the modem of the modem list is never tried.
TEST_F(ComSetTest, FindingTheUnitPutsItsPortIntoThePortBox) {
    PtyPair silent;
    PtyPair modem;
    WriteModems({{"GSM", modem.SlavePath()}});
    ASSERT_TRUE(StartApp());
    const std::string missing = dir.File("ttyUSB7");
    auto dlg = ComSetWith({silent.SlavePath(), Sim().SlavePath(), modem.SlavePath(), missing});
    dlg->PortBox().SetPort("/dev/ttyS3");
    std::vector<std::string> rows;
    const std::string waiting = silent.SlavePath() + " – čekám…";
    OnModal<TFrmFindUnit>([&rows, waiting](TFrmFindUnit* find) {
        EXPECT_EQ(Str(find->windowTitle()), "Najít jednotku");
        EXPECT_EQ(In<QLabel>(find, "m_pLblFindPorts")->buddy(),
                  In<QListWidget>(find, "m_pLsbFindPorts"));
        EXPECT_EQ(Rows(find).at(0), waiting);
        QObject::connect(find, &TFrmFindUnit::searchFinished, [&rows, find] { rows = Rows(find); });
    });
    Button(dlg.get(), "m_pBtnFindUnit")->click(); // returns when the search window has closed
    EXPECT_EQ(rows,
              (std::vector<std::string>{
                  silent.SlavePath() + " – nic neodpovídá",
                  Sim().SlavePath() + " – jednotka TK530 virtual unit (výrobní číslo 00012345)",
                  missing + " – zařízení neexistuje"}));
    EXPECT_EQ(dlg->PortBox().Port(), Sim().SlavePath());
    const std::string shown = Str(In<QLabel>(dlg.get(), "m_pLblTestResult")->text());
    EXPECT_NE(shown.find("odpovídá na portu " + Sim().SlavePath()), std::string::npos) << shown;
}

// Two units: the user picks one with the keyboard (the silent port between them cannot be
// chosen), and "Storno" during a search leaves the port box as it was.
TEST_F(ComSetTest, WithTwoUnitsTheUserPicksOneAndStornoStopsTheSearch) {
    ASSERT_TRUE(StartApp());
    CSimServer second;
    ASSERT_TRUE(second.Start());
    PtyPair silent;
    auto dlg = ComSetWith({Sim().SlavePath(), silent.SlavePath(), second.SlavePath()});
    dlg->PortBox().SetPort("/dev/ttyS3");
    bool okBeforeChoice = true;
    OnModal<TFrmFindUnit>([&okBeforeChoice](TFrmFindUnit* find) {
        okBeforeChoice = Button(find, "m_pBtnFindOk")->isEnabled();
        QObject::connect(
            find, &TFrmFindUnit::searchFinished, find,
            [find] {
                QListWidget* list = In<QListWidget>(find, "m_pLsbFindPorts");
                EXPECT_EQ(list->currentRow(), 0);
                QTest::keyClick(list, Qt::Key_Down);
                EXPECT_EQ(list->currentRow(), 2);
                QTest::keyClick(list, Qt::Key_Return);
            },
            Qt::QueuedConnection);
    });
    Button(dlg.get(), "m_pBtnFindUnit")->click();
    EXPECT_FALSE(okBeforeChoice); // nothing to choose while the ports are being tried
    EXPECT_EQ(dlg->PortBox().Port(), second.SlavePath());

    dlg->PortBox().SetPort("/dev/ttyS3");
    OnModal<TFrmFindUnit>([](TFrmFindUnit* find) { Button(find, "m_pBtnFindCancel")->click(); });
    Button(dlg.get(), "m_pBtnFindUnit")->click();
    EXPECT_EQ(dlg->PortBox().Port(), "/dev/ttyS3");
    second.Stop();
}

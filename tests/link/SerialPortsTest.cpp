#include "link/SerialPorts.h"

#include "tests/support/ModemPeer.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

HayesTimeouts ShortTimeouts() {
    HayesTimeouts t;
    t.nAtReplyMs = 200;
    t.nCommandMs = 300;
    return t;
}

void MakeFile(const std::string& path, const std::string& text) {
    WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

void MakeDirs(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/')
            ::mkdir(path.substr(0, i).c_str(), 0755);
    }
}

} // namespace

TEST(ModemProbeTest, SuggestsTheModelOfTheModemOnThePickedDevice) {
    PtyPair pty;
    ModemPeer peer(pty.Master(), {}, [](const std::string& c) -> std::optional<std::string> {
        if (c == "ATI")
            return std::string("\r\n56000\r\nAcme Data Modem\r\n\r\nOK\r\n");
        if (c == "AT+CGMM")
            return std::string("\r\n+CGMM: \"MC35i\"\r\n\r\nOK\r\n");
        return std::nullopt;
    });
    ModemProbe probe;
    std::string reason;
    ASSERT_EQ(ProbeModem(pty.SlavePath(), &probe, &reason, ShortTimeouts()), 0) << reason;
    EXPECT_EQ(probe.m_strModel, "MC35i");
    EXPECT_EQ(probe.m_strName, "MC35i");
    EXPECT_TRUE(probe.m_bGsm);
    EXPECT_EQ(probe.m_identity, (std::vector<std::string>{"56000", "Acme Data Modem"}));
    EXPECT_EQ(peer.Commands(), (std::vector<std::string>{"AT", "ATI", "AT+CGMM"}));
}

TEST(ModemProbeTest, ModemWithoutModelIsNamedFromItsIdentity) {
    PtyPair pty;
    ModemPeer peer(pty.Master(), {}, [](const std::string& c) -> std::optional<std::string> {
        if (c == "ATI")
            return std::string("\r\n33600\r\nA very long name of an old data modem\r\n\r\nOK\r\n");
        if (c == "AT+CGMM")
            return ModemPeer::Result("ERROR");
        return std::nullopt;
    });
    ModemProbe probe;
    std::string reason;
    ASSERT_EQ(ProbeModem(pty.SlavePath(), &probe, &reason, ShortTimeouts()), 0) << reason;
    EXPECT_EQ(probe.m_strName, "A very long name of an old data");
    EXPECT_FALSE(probe.m_bGsm);

    ModemPeer::Script silent = [](const std::string&) { return std::string(); };
    peer.Stop();
    ModemPeer dead(pty.Master(), {}, silent);
    EXPECT_EQ(ProbeModem(pty.SlavePath(), &probe, &reason, ShortTimeouts()), DIALERR_NO_OK);
    EXPECT_EQ(ProbeModem("/nonexistent/ttyUSB0", &probe, &reason), DIALERR_DEVICE);
}

TEST(SerialPortList, NamesHardwarePortsAndSkipsEmptyLegacyOnes) {
    TempDir dir;
    SerialScanRoots roots{dir.File("dev"), dir.File("sys"), dir.File("udev")};
    const std::string usb = dir.File("sys/devices/pci0/usb1/1-1");
    MakeDirs(usb + "/1-1:1.0/ttyUSB0");
    MakeFile(usb + "/manufacturer", "FTDI\n");
    MakeFile(usb + "/product", "FT232R USB UART\n");
    MakeDirs(dir.File("sys/devices/pci0/usb1/1-2/1-2:1.0/ttyACM0"));
    MakeDirs(dir.File("sys/devices/platform/serial8250/tty"));
    for (const char* name : {"ttyUSB0", "ttyACM0", "ttyS0", "ttyS1", "tty0"})
        MakeDirs(dir.File(std::string("sys/class/tty/") + name));
    auto link = [&](const std::string& target, const std::string& path) {
        ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0) << path;
    };
    link(usb + "/1-1:1.0/ttyUSB0", dir.File("sys/class/tty/ttyUSB0/device"));
    link(dir.File("sys/devices/pci0/usb1/1-2/1-2:1.0/ttyACM0"),
         dir.File("sys/class/tty/ttyACM0/device"));
    link(dir.File("sys/devices/platform/serial8250/tty"), dir.File("sys/class/tty/ttyS0/device"));
    link(dir.File("sys/devices/platform/serial8250/tty"), dir.File("sys/class/tty/ttyS1/device"));
    MakeFile(dir.File("sys/class/tty/ttyS0/type"), "4\n"); // a 16550A
    MakeFile(dir.File("sys/class/tty/ttyS1/type"), "0\n"); // nothing there
    MakeFile(dir.File("sys/class/tty/ttyACM0/dev"), "166:0\n");
    MakeDirs(dir.File("udev"));
    MakeFile(dir.File("udev/c166:0"), "S:serial/by-id/x\nE:ID_VENDOR=Acme_Inc\n"
                                      "E:ID_MODEL_FROM_DATABASE=GSM Terminal\n");
    MakeDirs(dir.File("dev/serial/by-id"));
    for (const char* name : {"ttyUSB0", "ttyACM0", "ttyS0", "ttyS1", "tty0"})
        MakeFile(dir.File(std::string("dev/") + name), "");
    link("../../ttyUSB0", dir.File("dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0"));

    const std::vector<SerialPortInfo> ports = ListSerialPorts(roots);
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].m_strDevice, dir.File("dev/ttyACM0"));
    EXPECT_EQ(ports[0].m_strPath, dir.File("dev/ttyACM0"));
    EXPECT_EQ(ports[0].m_strDescription, "Acme Inc GSM Terminal (ttyACM0)");
    EXPECT_EQ(ports[1].m_strDevice, dir.File("dev/ttyS0"));
    EXPECT_EQ(ports[1].m_strDescription, "ttyS0");
    EXPECT_EQ(ports[2].m_strPath, dir.File("dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0"));
    EXPECT_EQ(ports[2].m_strDescription, "FTDI FT232R USB UART (ttyUSB0)");
}

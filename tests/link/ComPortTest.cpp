// The serial port on real pseudo-terminals: settings, exclusive open,
// time-outs, traces, the port numbers' devices and the port list.
#include "LinkTestSupport.h"

#include "app/IniFile.h"

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <termios.h>

using namespace linktest;
using Clock = std::chrono::steady_clock;

namespace {

long long MsSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

}  // namespace

TEST(ComPort, SpeedAndPortNumberAcceptOnlyValidValues) {
    TSimLine line;
    std::string error;
    ASSERT_TRUE(line.Open(error)) << error;
    TComPort port;
    EXPECT_EQ(port.GetSpeed(), 19200);
    EXPECT_EQ(port.GetPortNumber(), 0);
    port.SetDevicePath(line.DevicePath());
    ASSERT_TRUE(port.Open());
    EXPECT_TRUE(port.Open());  // already open
    EXPECT_FALSE(port.SetSpeed(300));
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.GetSpeed(), 19200);
    EXPECT_TRUE(port.SetSpeed(2400));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.GetSpeed(), 2400);
    EXPECT_FALSE(port.Close());

    EXPECT_FALSE(port.SetPortNumber(0));
    EXPECT_FALSE(port.SetPortNumber(257));
    EXPECT_TRUE(port.SetPortNumber(256));
    EXPECT_EQ(port.GetPortNumber(), 256);
    for (int s : {2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200, 128000}) EXPECT_TRUE(IsValidSpeed(s));
    for (int s : {0, 300, 1200, 230400}) EXPECT_FALSE(IsValidSpeed(s));
}

TEST(ComPort, SpeedsWithoutATermiosConstantOpen) {
    TSimLine line;
    std::string error;
    ASSERT_TRUE(line.Open(error)) << error;
    for (int s : {14400, 56000, 128000, 115200}) {
        TComPort port;
        port.SetDevicePath(line.DevicePath());
        ASSERT_TRUE(port.SetSpeed(s));
        EXPECT_TRUE(port.Open()) << s;
    }
}

TEST(ComPort, SettingsComeFromAndGoToTheIniFile) {
    TLogCapture log;
    TTempDir dir;
    const std::string ini = dir.Path + "/VornikConfig.ini";
    {
        std::ofstream f(ini, std::ios::binary);
        f << "[Port]\r\nCOMPort=999\r\nSpeed=57600\r\nReadTotalTimeoutConstant=400\r\nReadIntervalTimeout=20\r\n"
             "[Other]\r\nCOMPort=5\r\nSpeed=300\r\n";
    }
    TComPort port;
    EXPECT_FALSE(port.LoadFromIni(ini, "Port"));
    EXPECT_TRUE(log.Has("Error:invalid COM port"));
    EXPECT_EQ(port.GetPortNumber(), 0);  // kept
    EXPECT_EQ(port.GetSpeed(), 57600);  // still loaded
    EXPECT_EQ(port.ReadTotalTimeoutConstant, 400);
    EXPECT_EQ(port.ReadIntervalTimeout, 20);
    EXPECT_EQ(port.ReadTotalTimeoutMultiplier, 9);

    EXPECT_FALSE(port.LoadFromIni(ini, "Other"));
    EXPECT_TRUE(log.Has("Error:invalid speed"));
    EXPECT_EQ(port.GetPortNumber(), 5);
    EXPECT_EQ(port.GetSpeed(), 57600);

    TComPort fresh;
    EXPECT_TRUE(fresh.LoadFromIni(dir.Path + "/missing.ini", "Port"));  // defaults
    EXPECT_EQ(fresh.GetPortNumber(), 1);

    ASSERT_TRUE(port.SaveToIni(ini, "Saved"));
    TIniFile back(ini);
    EXPECT_EQ(back.ReadInteger("Saved", "COMPort", 0), 5);
    EXPECT_EQ(back.ReadInteger("Saved", "Speed", 0), 57600);
    EXPECT_EQ(back.ReadInteger("Saved", "ReadTotalTimeoutConstant", 0), 400);
    EXPECT_EQ(back.ReadInteger("Saved", "ReadTotalTimeoutMultiplier", 0), 9);
    EXPECT_EQ(back.ReadInteger("Saved", "ReadIntervalTimeout", 0), 20);
    EXPECT_EQ(back.ReadInteger("Saved", "WriteTotalTimeoutConstant", 0), 100);
    EXPECT_EQ(back.ReadInteger("Saved", "WriteTotalTimeoutMultiplier", 0), 15);
}

TEST(ComPort, RelativeIniNameIsTakenFromTheWorkingDirectory) {
    TInFolder here;
    TComPort port;
    ASSERT_TRUE(port.SetPortNumber(12));
    ASSERT_TRUE(port.SaveToIni("VornikConfig.ini", "Port"));
    EXPECT_TRUE(FileExists(JoinPath(here.Dir.Path, "VornikConfig.ini")));
    TComPort back;
    EXPECT_TRUE(back.LoadFromIni("VornikConfig.ini", "Port"));
    EXPECT_EQ(back.GetPortNumber(), 12);
}

TEST(ComPort, SecondOpenOfTheSameDeviceIsBusy) {
    TLogCapture log;
    TSimLine line;
    std::string error;
    ASSERT_TRUE(line.Open(error)) << error;
    TComPort first, second;
    first.SetDevicePath(line.DevicePath());
    second.SetDevicePath(line.DevicePath());
    ASSERT_TRUE(first.Open());
    EXPECT_FALSE(second.Open());
    EXPECT_FALSE(second.IsOpen());
    const std::string t = log.Text();
    EXPECT_NE(t.find("Error:Selected СОМ-port busy!\r\n"), std::string::npos) << t;
    // A second line with the device and the system's reason.
    EXPECT_NE(t.find("Error:" + line.DevicePath() + ": "), std::string::npos) << t;
    first.Close();
    EXPECT_TRUE(second.Open());
}

TEST(ComPort, MissingDeviceIsInaccessible) {
    TLogCapture log;
    TComPort port;
    port.SetDevicePath("/dev/no-such-register-port");
    EXPECT_FALSE(port.Open());
    EXPECT_TRUE(log.Has("Error:Selected СОМ-port inaccessible!"));
    EXPECT_TRUE(log.Has("/dev/no-such-register-port: "));

    TComPort none;  // port number 0 has no device
    EXPECT_FALSE(none.Open());
    EXPECT_EQ(log.Count("Error:Selected СОМ-port inaccessible!"), 2);
}

TEST(ComPort, ReadFromASilentLineGivesUpAfterTheTotalTimeOut) {
    TScriptedLine s;
    std::uint8_t buf[5];
    int n = 5;
    const auto t0 = Clock::now();
    EXPECT_FALSE(s.Port.Read(buf, n));
    const auto ms = MsSince(t0);
    EXPECT_EQ(n, 0);
    EXPECT_GE(ms, 290);  // 250 + 9·5
    EXPECT_LT(ms, 900);
}

TEST(ComPort, ReadGivesUpWhenTheLineStopsBetweenBytes) {
    TScriptedLine s;
    s.Put({0x7F, 0x02});
    std::uint8_t buf[5];
    int n = 5;
    const auto t0 = Clock::now();
    EXPECT_FALSE(s.Port.Read(buf, n));
    EXPECT_EQ(n, 2);
    EXPECT_LT(MsSince(t0), 200);  // the 6 ms between bytes, not the 295 ms in total

    s.Put({1, 2, 3, 4, 5, 6, 7});
    n = 5;
    EXPECT_TRUE(s.Port.Read(buf, n));
    EXPECT_EQ(Bytes(buf, buf + 5), (Bytes{1, 2, 3, 4, 5}));
    n = 2;
    EXPECT_TRUE(s.Port.Read(buf, n));  // the rest is kept for the next read
    EXPECT_EQ(Bytes(buf, buf + 2), (Bytes{6, 7}));
}

TEST(ComPort, OpeningPurgesWhatWasOnTheLine) {
    TScriptedLine s;
    s.Put({1, 2, 3});
    s.Port.Close();
    ASSERT_TRUE(s.Port.Open());
    std::uint8_t b = 0;
    int n = 1;
    EXPECT_FALSE(s.Port.Read(&b, n));
}

// A Linux port keeps what the last program set: 7E2 left behind gave
// nothing but checksum failures.
TEST(ComPort, LineLeftAt7E2ComesBackAt8N1) {
    TSimLine line;
    std::string error;
    ASSERT_TRUE(line.Open(error)) << error;
    const auto settings = [&](termios& tio, bool set) {
        const int fd = ::open(line.DevicePath().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        if (set) {
            EXPECT_EQ(tcsetattr(fd, TCSANOW, &tio), 0);
        }
        EXPECT_EQ(tcgetattr(fd, &tio), 0);
        ::close(fd);
    };
    termios tio{};
    settings(tio, false);
    tio.c_cflag = (tio.c_cflag & ~static_cast<tcflag_t>(CSIZE | CLOCAL)) | CS7 | PARENB | CSTOPB;
    tio.c_iflag |= INPCK;
    settings(tio, true);
    ASSERT_TRUE(tio.c_cflag & CSTOPB);  // what a pseudo-terminal keeps of it
    TComPort port;
    port.SetDevicePath(line.DevicePath());
    ASSERT_TRUE(port.Open());
    port.Close();
    settings(tio, false);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(tio.c_cflag & (PARENB | CSTOPB));
    EXPECT_TRUE((tio.c_cflag & (CLOCAL | CREAD)) == (CLOCAL | CREAD));
    EXPECT_FALSE(tio.c_iflag & INPCK);
}

TEST(ComPort, HardwareTraces) {
    TLogCapture log(mdHardWare);
    TScriptedLine s;
    const std::uint8_t rdy[] = {0x7F, 0x02, 0x01, 0xC5, 0x3A};
    int n = 5;
    EXPECT_TRUE(s.Port.Write(rdy, n));
    s.Put({0x7F, 0x02, 0x01, 0xE5, 0x1A});
    std::uint8_t buf[5];
    n = 5;
    EXPECT_TRUE(s.Port.Read(buf, n));
    n = 5;
    EXPECT_FALSE(s.Port.Read(buf, n));
    const std::string t = log.Text();
    EXPECT_NE(t.find(s.Line.DevicePath() + " 19200\r\n"), std::string::npos) << t;
    EXPECT_NE(t.find(" init COM\r\n"), std::string::npos);
    EXPECT_NE(t.find(" Config СОМ-port\r\n"), std::string::npos);
    EXPECT_NE(t.find(" Line 19200 8N1\r\n"), std::string::npos) << t;  // a pseudo-terminal has no low latency
    EXPECT_NE(t.find(" WriteToCOM:7F 02 01 C5 3A\r\n"), std::string::npos) << t;
    EXPECT_NE(t.find(" ReadFromCOM:7F 02 01 E5 1A\r\n"), std::string::npos) << t;
    EXPECT_NE(t.find("Error:no read from СОМ port(Length):"), std::string::npos) << t;

    s.Port.Close();
    n = 5;
    EXPECT_FALSE(s.Port.Write(rdy, n));
    EXPECT_NE(log.Text().find("Error:no write to СОМ port\r\n"), std::string::npos);
}

TEST(ComPort, FailedReadIsSilentBelowTheHardwareDepth) {
    TLogCapture log(mdSystem);
    TScriptedLine s;
    std::uint8_t buf[5];
    int n = 5;
    EXPECT_FALSE(s.Port.Read(buf, n));
    EXPECT_EQ(log.Text(), "");
}

TEST(ComPort, PortNumbersMapToDevices) {
    TInFolder here;
    EXPECT_EQ(PortDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(PortDevicePath(32), "/dev/ttyS31");
    EXPECT_EQ(PortDevicePath(33), "/dev/ttyUSB0");
    EXPECT_EQ(PortDevicePath(64), "/dev/ttyUSB31");
    EXPECT_EQ(PortDevicePath(65), "/dev/ttyACM0");
    EXPECT_EQ(PortDevicePath(96), "/dev/ttyACM31");
    EXPECT_EQ(PortDevicePath(97), "");
    EXPECT_EQ(PortDevicePath(0), "");

    ASSERT_TRUE(ForceDir("ports"));
    ASSERT_EQ(symlink("/dev/pts/99", "ports/COM1"), 0);
    ASSERT_EQ(symlink("../dev/ttyX", "ports/COM150"), 0);
    EXPECT_EQ(PortDevicePath(1), "/dev/pts/99");  // the link wins over the table
    EXPECT_EQ(PortDevicePath(150), JoinPath(here.Dir.Path, "ports") + "/../dev/ttyX");
    TComPort port;
    ASSERT_TRUE(port.SetPortNumber(150));
    EXPECT_EQ(port.DeviceName(), PortDevicePath(150));
    port.SetDevicePath("/dev/explicit");
    EXPECT_EQ(port.DeviceName(), "/dev/explicit");
}

TEST(ComPort, PortListShowsFreeAndBusyPortsInOrder) {
    TInFolder here;
    TSimLine free, busy;
    std::string error;
    ASSERT_TRUE(free.Open(error)) << error;
    ASSERT_TRUE(busy.Open(error)) << error;
    ASSERT_TRUE(ForceDir("ports"));
    ASSERT_EQ(symlink(free.DevicePath().c_str(), "ports/COM200"), 0);
    ASSERT_EQ(symlink(busy.DevicePath().c_str(), "ports/COM101"), 0);
    ASSERT_EQ(symlink("/dev/no-such-tty", "ports/COM150"), 0);  // a register that has gone
    TComPort holder;
    ASSERT_TRUE(holder.SetPortNumber(101));
    ASSERT_TRUE(holder.Open());

    const std::string list = EnumComPorts();
    const auto p101 = list.find("COM101  BUSY\r\n");
    const auto p200 = list.find("COM200\r\n");
    EXPECT_NE(p101, std::string::npos) << list;
    EXPECT_NE(p200, std::string::npos) << list;
    EXPECT_LT(p101, p200);
    EXPECT_EQ(list.find("COM150"), std::string::npos);
    // Every line is "COM<n>" with CR LF; only the machine's own ports besides.
    EXPECT_EQ(list.substr(list.size() - 2), "\r\n");
    // Listing does not take the free port away.
    TComPort user;
    user.SetDevicePath(free.DevicePath());
    EXPECT_TRUE(user.Open());
}

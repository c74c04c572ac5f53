// POSIX serial device: termios raw mode, poll() time-outs, an advisory lock
// plus TIOCEXCL for exclusive use.
#include "link/ComportSystem.h"

#include "app/U_filedirwork.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

// ComportPosixBaud.cpp: rates without a termios constant.
int ComSetArbitrarySpeed(int fd, int speed);

namespace {

using Clock = std::chrono::steady_clock;

thread_local int g_lastError = 0;

int Fd(std::intptr_t handle) { return static_cast<int>(handle); }

speed_t StandardBaud(int speed) {
    switch (speed) {
        case 2400: return B2400;
        case 4800: return B4800;
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        default: return 0;
    }
}

// Errors that mean "there is no such port" rather than "the port refused".
bool MeansNoDevice(int e) { return e == ENOENT || e == ENODEV || e == ENXIO || e == EIO || e == ENOTDIR; }

timespec Until(Clock::time_point limit, Clock::time_point now) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(limit - now).count();
    timespec ts{};
    if (ns > 0) {
        ts.tv_sec = static_cast<time_t>(ns / 1000000000);
        ts.tv_nsec = static_cast<long>(ns % 1000000000);
    }
    return ts;
}

// Time one byte takes on the line at 10 bits a byte (zero for no speed).
Clock::duration ByteTime(int speed) {
    if (speed <= 0) return Clock::duration::zero();
    return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(10'000'000'000LL / speed));
}

// Nothing left to send: the driver's queue and, where the driver can tell,
// the chip's own transmitter. queued is what the driver still holds. This
// is tcdrain made to give up at a deadline (tcdrain itself waits as long as
// a stalled adapter keeps its bytes).
bool OutputEmpty(int fd, int& queued) {
    queued = 0;
    if (ioctl(fd, TIOCOUTQ, &queued) != 0) queued = 0;  // no count: nothing to wait for
    if (queued > 0) return false;
    unsigned int lsr = 0;
    return ioctl(fd, TIOCSERGETLSR, &lsr) != 0 || (lsr & TIOCSER_TEMT) != 0;
}

}  // namespace

int ComLastError() { return g_lastError; }
void SetComLastError(int code) { g_lastError = code; }

std::string ComErrorText(int code) {
    char buf[256];
    const char* text = strerror_r(code, buf, sizeof buf);  // GNU: may return a static text
    return text ? text : "";
}

int ComNotOpenError() { return EBADF; }
int ComNoDeviceError() { return ENOENT; }

std::string ComDevicePath(int n) {
    std::string target;
    if (ComReadLink(JoinPath(JoinPath(CurrentDir(), "ports"), "COM" + std::to_string(n)), target)) return target;
    if (n >= 1 && n <= 32) return "/dev/ttyS" + std::to_string(n - 1);
    if (n >= 33 && n <= 64) return "/dev/ttyUSB" + std::to_string(n - 33);
    if (n >= 65 && n <= 96) return "/dev/ttyACM" + std::to_string(n - 65);
    return "";
}

std::string ComPortNaming() {
    return "the link ports/COM<N> of the working directory when there\n"
           "is one (vornik-sim --com N makes it), else /dev/ttyS<N-1>\n"
           "(1-32), /dev/ttyUSB<N-33> (33-64), /dev/ttyACM<N-65> (65-96)\n";
}

bool ComDeviceExists(const std::string& device) {
    struct stat st {};
    return stat(device.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

std::vector<int> ComListedPorts() {
    std::vector<int> numbers;
    for (int n = 1; n <= 256; ++n) numbers.push_back(n);
    return numbers;
}

bool ComReadLink(const std::string& path, std::string& target) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
    std::string buf(4096, '\0');
    const ssize_t n = readlink(path.c_str(), buf.data(), buf.size() - 1);
    if (n <= 0) return false;
    buf.resize(static_cast<std::size_t>(n));
    if (buf[0] != '/') {
        const auto slash = path.rfind('/');
        if (slash != std::string::npos) buf = path.substr(0, slash + 1) + buf;
    }
    target = buf;
    return true;
}

std::string ComResolvePath(const std::string& path) {
    char buf[PATH_MAX];
    return realpath(path.c_str(), buf) ? std::string(buf) : path;
}

bool ComIsSerialDevice(const std::string& path) {
    const std::string real = ComResolvePath(path);
    struct stat st {};
    if (stat(real.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    // The far end of a pseudo-terminal: /dev/pts/N (never the multiplexer /dev/ptmx).
    if (real.rfind("/dev/pts/", 0) == 0 && real.size() > 9 &&
        real.find_first_not_of("0123456789", 9) == std::string::npos)
        return true;
    // The console and the controlling terminal pass their settings to
    // whatever terminal is behind them.
    if (real == "/dev/console" || real == "/dev/tty" || real == "/dev/ptmx") return false;
    // A serial driver answers TIOCGSERIAL; virtual consoles and others do not.
    const int fd = open(real.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == EBUSY;  // held by another program, but a port (held exclusively)
    serial_struct serial {};
    const bool ok = isatty(fd) && ioctl(fd, TIOCGSERIAL, &serial) == 0;
    close(fd);
    return ok;
}

std::unique_ptr<TComDevice> TComDevice::Open(const std::string& path, TComOpenFailure& failure) {
    failure = TComOpenFailure::None;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        SetComLastError(e);
        failure = MeansNoDevice(e) ? TComOpenFailure::NotFound : TComOpenFailure::Busy;
        return nullptr;
    }
    // The lock is what keeps a second opener out; TIOCEXCL adds the kernel's
    // own refusal for users other than root.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        ::close(fd);
        SetComLastError(e == EWOULDBLOCK ? EBUSY : e);
        failure = TComOpenFailure::Busy;
        return nullptr;
    }
    ioctl(fd, TIOCEXCL);
    return std::unique_ptr<TComDevice>(new TComDevice(fd));
}

TComDevice::~TComDevice() {
    const int fd = Fd(handle_);
    ioctl(fd, TIOCNXCL);  // the flag outlives this descriptor on the device
    ::close(fd);
}

int TComDevice::Configure(int speed, const TComTimeouts& timeouts) {
    const int fd = Fd(handle_);
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        SetComLastError(errno);
        return -2;
    }
    // Raw bytes, 8N1, no flow control of any kind. Parity and stop bits are
    // set as well: a Linux port keeps whatever the last program left (7E2
    // gives nothing but checksum failures).
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                                          IXANY | IMAXBEL | INPCK);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CRTSCTS | PARENB | PARODD | CMSPAR | CSTOPB);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    const speed_t baud = StandardBaud(speed);
    cfsetispeed(&tio, baud ? baud : B38400);
    cfsetospeed(&tio, baud ? baud : B38400);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        SetComLastError(errno);
        return -3;
    }
    if (!baud) {
        const int e = ComSetArbitrarySpeed(fd, speed);
        if (e != 0) {
            SetComLastError(e);
            return -3;
        }
    }
    speed_ = speed;
    // DTR and RTS low, as with their control disabled; lines without modem
    // signals (pseudo-terminals) refuse this, which does not matter.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd, TIOCMBIC, &lines);
    // USB adapters hold received bytes back for 16 ms by default, which can
    // split a control frame past the 6 ms between bytes. Drivers without the
    // mode refuse it; the line works as it is then.
    serial_struct serial{};
    lowLatency_ = false;
    if (ioctl(fd, TIOCGSERIAL, &serial) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        lowLatency_ = ioctl(fd, TIOCSSERIAL, &serial) == 0;
    }

    if (timeouts.ReadIntervalTimeout < 0 || timeouts.ReadTotalTimeoutMultiplier < 0 ||
        timeouts.ReadTotalTimeoutConstant < 0 || timeouts.WriteTotalTimeoutMultiplier < 0 ||
        timeouts.WriteTotalTimeoutConstant < 0) {
        SetComLastError(EINVAL);
        return -4;
    }
    timeouts_ = timeouts;

    pending_.clear();
    pendingPos_ = 0;
    if (tcflush(fd, TCIOFLUSH) != 0) {
        SetComLastError(errno);
        return -1;
    }
    return 0;
}

bool TComDevice::Read(std::uint8_t* buf, int count, int& got) {
    got = 0;
    if (count <= 0) return true;
    const int fd = Fd(handle_);
    const auto start = std::max(Clock::now(), lineBusyUntil_);  // what we sent is still going out
    const auto total = start + std::chrono::milliseconds(timeouts_.ReadTotalTimeoutConstant +
                                                         static_cast<long long>(timeouts_.ReadTotalTimeoutMultiplier) * count);
    Clock::time_point lastArrival = start;
    for (;;) {
        const std::size_t avail = pending_.size() - pendingPos_;
        if (avail) {
            const std::size_t take = std::min(avail, static_cast<std::size_t>(count - got));
            std::memcpy(buf + got, pending_.data() + pendingPos_, take);
            pendingPos_ += take;
            got += static_cast<int>(take);
            if (pendingPos_ == pending_.size()) pending_.clear(), pendingPos_ = 0;
        }
        if (got == count) return true;

        const auto now = Clock::now();
        auto limit = total;
        if (got > 0 && timeouts_.ReadIntervalTimeout > 0)
            limit = std::min(limit, lastArrival + std::chrono::milliseconds(timeouts_.ReadIntervalTimeout));
        if (now >= limit) {
            SetComLastError(ETIMEDOUT);
            return true;  // the call worked; fewer bytes came
        }
        pollfd p{fd, POLLIN, 0};
        const timespec ts = Until(limit, now);
        const int r = ppoll(&p, 1, &ts, nullptr);
        if (r < 0) {
            if (errno == EINTR) continue;
            SetComLastError(errno);
            return false;
        }
        if (r == 0) continue;
        std::uint8_t chunk[4096];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0) {
            pending_.insert(pending_.end(), chunk, chunk + n);
            lastArrival = Clock::now();
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        SetComLastError(n == 0 ? EIO : errno);  // the other end is gone
        return false;
    }
}

bool TComDevice::Write(const std::uint8_t* buf, int count, int& written) {
    written = 0;
    const int fd = Fd(handle_);
    const auto start = Clock::now();
    const auto deadline =
        start + std::chrono::milliseconds(timeouts_.WriteTotalTimeoutConstant +
                                          static_cast<long long>(timeouts_.WriteTotalTimeoutMultiplier) * count);
    while (written < count) {
        const ssize_t n = ::write(fd, buf + written, static_cast<std::size_t>(count - written));
        if (n > 0) {
            written += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            SetComLastError(errno);
            return false;
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            SetComLastError(ETIMEDOUT);
            return true;  // the call worked; fewer bytes went
        }
        pollfd p{fd, POLLOUT, 0};
        const timespec ts = Until(deadline, now);
        if (ppoll(&p, 1, &ts, nullptr) < 0 && errno != EINTR) {
            SetComLastError(errno);
            return false;
        }
    }
    // A pseudo-terminal drains at once, and a chip's buffer may not be
    // counted: the bytes take their own time on the line whatever the driver
    // says, and no reply window (Read) opens before that is over.
    const auto byteTime = ByteTime(speed_);
    lineBusyUntil_ = std::max(lineBusyUntil_, start) + byteTime * count;
    // The register's reply window opens when the request is through, not
    // when the driver has queued it.
    for (int queued = 0; !OutputEmpty(fd, queued);) {
        const auto now = Clock::now();
        if (now >= deadline) {
            tcflush(fd, TCOFLUSH);  // a late half frame would only confuse the register
            written -= std::min(queued, written);
            SetComLastError(ETIMEDOUT);
            return true;  // the call worked; fewer bytes went
        }
        const auto step = std::max<Clock::duration>(std::chrono::microseconds(100), byteTime * std::max(queued, 1));
        std::this_thread::sleep_until(std::min(deadline, now + step));
    }
    return true;
}

int TComDevice::Available() {
    int n = 0;
    if (ioctl(Fd(handle_), FIONREAD, &n) != 0) n = 0;
    return n + static_cast<int>(pending_.size() - pendingPos_);
}

bool TComDevice::PurgeInput() {
    pending_.clear();
    pendingPos_ = 0;
    if (tcflush(Fd(handle_), TCIFLUSH) != 0) {
        SetComLastError(errno);
        return false;
    }
    return true;
}

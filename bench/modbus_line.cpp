#include "modbus_line.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <pty.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <modbus.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::nanoseconds kByteTime(86806);
constexpr int kUnit = 1;
constexpr uint16_t kRegister0 = 0x1234;
constexpr uint16_t kRegister1 = 0x5678;

void SleepUntil(Clock::time_point t)
{
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch());
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ns.count() / 1000000000);
    ts.tv_nsec = static_cast<long>(ns.count() % 1000000000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

bool WriteAll(int fd, const uint8_t *data, size_t count)
{
    while (count > 0) {
        const ssize_t n = ::write(fd, data, count);
        if (n > 0) {
            data += n;
            count -= static_cast<size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd pfd{fd, POLLOUT, 0};
            ::poll(&pfd, 1, 20);
        } else if (n < 0 && errno != EINTR) {
            return false;
        }
    }
    return true;
}

// A pseudo-terminal whose slave starts in raw mode; the master is
// non-blocking.
bool MakePty(int &master, int &slave, std::string &path)
{
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        return false;
    }
    termios t{};
    tcgetattr(slave, &t);
    cfmakeraw(&t);
    tcsetattr(slave, TCSANOW, &t);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    path = name;
    return true;
}

void CloseFd(int &fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace

ModbusLine::~ModbusLine()
{
    Stop();
}

bool ModbusLine::Start(bool paced, std::string &error)
{
    paced_ = paced;
    stopping_ = false;
    if (!MakePty(clientMaster_, clientSlave_, clientPath_) ||
        !MakePty(serverMaster_, serverSlave_, serverPath_)) {
        error = std::string("openpty: ") + std::strerror(errno);
        Stop();
        return false;
    }

    server_ = modbus_new_rtu(serverPath_.c_str(), 115200, 'N', 8, 1);
    client_ = modbus_new_rtu(clientPath_.c_str(), 115200, 'N', 8, 1);
    if (server_ == nullptr || client_ == nullptr) {
        error = std::string("modbus_new_rtu: ") + modbus_strerror(errno);
        Stop();
        return false;
    }
    modbus_set_slave(server_, kUnit);
    modbus_set_slave(client_, kUnit);
    if (modbus_connect(server_) != 0 || modbus_connect(client_) != 0) {
        error = std::string("modbus_connect on a pty: ") + modbus_strerror(errno);
        Stop();
        return false;
    }
    // The server looks at the stop flag between indications.
    modbus_set_indication_timeout(server_, 0, 100000);
    // The client gives up as the board's host does: no reply within 1 s.
    modbus_set_response_timeout(client_, 1, 0);
    modbus_set_byte_timeout(client_, 0, 100000);

    toServer_ = std::thread([this] {
        pthread_setname_np(pthread_self(), "zb-relay-req");
        Pump(clientMaster_, serverMaster_);
    });
    toClient_ = std::thread([this] {
        pthread_setname_np(pthread_self(), "zb-relay-reply");
        Pump(serverMaster_, clientMaster_);
    });
    serverThread_ = std::thread([this] {
        pthread_setname_np(pthread_self(), "zb-mb-server");
        Serve();
    });
    return true;
}

void ModbusLine::Stop()
{
    stopping_ = true;
    for (std::thread *t : {&toServer_, &toClient_, &serverThread_}) {
        if (t->joinable()) {
            t->join();
        }
    }
    for (modbus_t **ctx : {&client_, &server_}) {
        if (*ctx != nullptr) {
            modbus_close(*ctx);
            modbus_free(*ctx);
            *ctx = nullptr;
        }
    }
    CloseFd(clientMaster_);
    CloseFd(clientSlave_);
    CloseFd(serverMaster_);
    CloseFd(serverSlave_);
}

// Carries bytes from one master to the other. Paced, each byte is handed over
// once its wire time has passed, counted from when it could start: the later
// of its arrival and the end of the byte before it.
void ModbusLine::Pump(int from, int to)
{
    std::vector<uint8_t> buffer(512);
    Clock::time_point lineFree{};
    while (!stopping_) {
        pollfd pfd{from, POLLIN, 0};
        if (::poll(&pfd, 1, 50) <= 0) {
            continue;
        }
        const ssize_t n = ::read(from, buffer.data(), buffer.size());
        if (n <= 0) {
            if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                // A master reports EIO while no one holds its slave open.
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            continue;
        }
        if (!paced_) {
            WriteAll(to, buffer.data(), static_cast<size_t>(n));
            continue;
        }
        Clock::time_point t = std::max(lineFree, Clock::now());
        for (ssize_t i = 0; i < n; ++i) {
            t += kByteTime;
            SleepUntil(t);
            if (!WriteAll(to, &buffer[static_cast<size_t>(i)], 1)) {
                break;
            }
        }
        lineFree = t;
    }
}

void ModbusLine::Serve()
{
    modbus_mapping_t *map = modbus_mapping_new(0, 0, 16, 0);
    if (map == nullptr) {
        return;
    }
    map->tab_registers[0] = kRegister0;
    map->tab_registers[1] = kRegister1;
    uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    while (!stopping_) {
        const int rc = modbus_receive(server_, query);
        if (rc > 0) {
            modbus_reply(server_, query, rc, map);
        }
    }
    modbus_mapping_free(map);
}

bool ModbusLine::ReadTwoRegisters()
{
    uint16_t values[2] = {};
    return modbus_read_registers(client_, 0, 2, values) == 2 && values[0] == kRegister0 &&
           values[1] == kRegister1;
}

} // namespace bench

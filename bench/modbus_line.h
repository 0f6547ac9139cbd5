// A Modbus RTU exchange for comparison: a libmodbus RTU server on one
// pseudo-terminal, a libmodbus RTU client on another, and between the two a
// relay that carries every byte in both directions at the pace of 115200 8N1
// (86.8 us a byte, on absolute deadlines), as the simulated board paces its
// line with both --paced and --paced-receive.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

typedef struct _modbus modbus_t;

namespace bench {

class ModbusLine {
public:
    ModbusLine() = default;
    ModbusLine(const ModbusLine &) = delete;
    ModbusLine &operator=(const ModbusLine &) = delete;
    ~ModbusLine();

    // Makes the two pseudo-terminals, starts the relay and the server (unit 1,
    // holding registers 0 and 1 hold 0x1234 and 0x5678) and connects the
    // client. `paced` false relays bytes as they come. False with `error` set
    // when something could not be set up.
    bool Start(bool paced, std::string &error);
    void Stop();

    // Function 0x03, two registers from address 0: an 8-byte request and a
    // 9-byte reply. True when both values came back.
    bool ReadTwoRegisters();

    static constexpr int kRequestBytes = 8;
    static constexpr int kReplyBytes = 9;

private:
    void Pump(int from, int to);
    void Serve();

    bool paced_ = true;
    std::atomic<bool> stopping_{false};
    int clientMaster_ = -1;
    int clientSlave_ = -1;
    int serverMaster_ = -1;
    int serverSlave_ = -1;
    std::string clientPath_;
    std::string serverPath_;
    modbus_t *server_ = nullptr;
    modbus_t *client_ = nullptr;
    std::thread toServer_;
    std::thread toClient_;
    std::thread serverThread_;
};

} // namespace bench

// CSerial: one serial communications port over the Win32 communications API.
// Every operation returns a Win32 error code (never a ZORENC_ code) and keeps
// it in lastError. Synchronous and overlapped modes; in overlapped mode an
// operation without a caller's OVERLAPPED waits itself, bounded by a time-out,
// and hands the platform only memory the object owns (its I/O block), never
// the caller's buffer or a record on the stack. If the driver keeps such an
// operation even after its cancel, the operation fails with
// ERROR_IO_INCOMPLETE and the port is closed; the block is left to the driver,
// never to be freed. An operation on a caller's OVERLAPPED runs on the
// caller's memory and must have ended before Close or destruction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/win32.h"

class CSerial {
public:
    enum Handshake { HandshakeOff = 0, HandshakeHardware = 1, HandshakeSoftware = 2 };
    enum ReadTimeout { ReadNonBlocking = 0, ReadBlocking = 1 };
    static constexpr DWORD DefaultMask = EV_RXCHAR | EV_BREAK | EV_ERR; // 0x00C1

    CSerial() = default;
    CSerial(const CSerial &) = delete;
    CSerial &operator=(const CSerial &) = delete;

    // Slots 0 to 19, in this order.
    virtual ~CSerial();
    virtual int32_t Open(const char *name, DWORD inQueue = 0, DWORD outQueue = 0,
                         bool overlapped = false);
    virtual int32_t Close();
    virtual int32_t Setup(DWORD baudRate, int dataBits, int parity, int stopBits);
    virtual int32_t SetEventChar(char ch, bool adjustMask = true);
    virtual int32_t SetMask(DWORD mask);
    virtual int32_t WaitEvent(LPOVERLAPPED overlapped = nullptr, DWORD timeout = INFINITE);
    virtual int32_t SetupHandshaking(int mode);
    virtual int32_t SetupReadTimeouts(int mode);
    virtual DWORD GetBaudRate();
    virtual int GetDataBits();
    virtual int GetParity();
    virtual int GetStopBits();
    virtual int GetHandshaking();
    virtual DWORD GetEventMask();
    virtual char GetEventChar();
    virtual int32_t WriteString(const char *text, DWORD *written = nullptr,
                                LPOVERLAPPED overlapped = nullptr, DWORD timeout = INFINITE);
    virtual int32_t Write(const void *data, size_t length, DWORD *written = nullptr,
                          LPOVERLAPPED overlapped = nullptr, DWORD timeout = INFINITE);
    virtual int32_t Read(void *buffer, size_t length, DWORD *read = nullptr,
                         LPOVERLAPPED overlapped = nullptr, DWORD timeout = INFINITE);
    virtual int32_t Purge();
    // Slot 20: empties the receive queue only (PURGE_RXCLEAR), so that a
    // request still in the transmit queue is not lost.
    virtual int32_t PurgeRx();

    bool IsOpen() const { return portHandle != nullptr; }
    DWORD ReceivedEvents() const { return receivedEvents; }
    int32_t LastError() const { return lastError; }

    // Bytes moved per platform call by an operation that waits itself.
    static constexpr DWORD IoChunk = 4096;
    // How long such an operation may take to end after its cancel.
    static constexpr DWORD CancelGraceMs = 250;

protected:
    struct IoBlock;

    bool Ready();
    void CancelPendingIo();
    int32_t CheckIo(LPOVERLAPPED overlapped, DWORD timeout);
    int32_t Transfer(bool write, void *buffer, size_t length, DWORD *userCount,
                     LPOVERLAPPED overlapped, DWORD timeout);
    template <typename Start> int32_t RunOnBlock(DWORD timeout, bool collect, Start start);
    void Abandon();

    int32_t lastError = ERROR_SUCCESS;
    HANDLE portHandle = nullptr;
    DWORD receivedEvents = 0;
    DWORD eventMask = 0;
    HANDLE ioEvent = nullptr;
    IoBlock *io = nullptr; // with ioEvent, from Open to Close
};

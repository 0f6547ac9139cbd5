#nullable enable
// P/Invoke declarations of the 82 functions of zorenc.h for both Windows DLLs
// and the Linux library; the raw layer under Zorenc.Board.
//
// Zorenc.NativeMethods.ZorEnc...: each
// call goes to zorenc_x64 in a 64-bit process (zorenc_x64.dll on Windows,
// libzorenc_x64.so on Linux) and to zorenc_x32.dll (__stdcall, exports
// _Name@N) in a 32-bit one. NativeMethods.X64 and NativeMethods.X32 hold the
// raw declarations of each library. See zorenc.h for what each function does,
// its registers, units and result codes.
//
// Types: ZorEncHandle is IntPtr; ZorEncResult uint; one-byte bool results are
// marshalled as bool (U1); a TriggerControls word is the struct of that name;
// the abort flag of the raw reads is unmanaged memory (class AbortFlag).
// Callbacks: NativeMethods keeps a registered delegate alive until it is
// replaced or its handler is closed; code that calls X64 or X32 directly must
// keep its delegates alive itself (a field that lives as long as the
// registration), or the garbage collector frees them while the library can
// still call them.
using System;
using System.Collections.Generic;
using System.Runtime.InteropServices;
using System.Threading;

namespace Zorenc {
/// <summary>Frame callback: sees a request as written or a reply as received.</summary>
/// <param name="data">The frame's bytes as on the line; valid only during the call
/// (copy them with Marshal.Copy).</param>
/// <param name="length">Number of bytes at data.</param>
[UnmanagedFunctionPointer(CallingConvention.Winapi)]
public delegate void ZorEncEventCallback(IntPtr data, int length);

/// <summary>Result codes of zorenc; a board status is 1 to 255.</summary>
public static class ZorEncResultCode {
    /// <summary>Success.</summary>
    public const uint Ok = 0x0000;
    /// <summary>The reply's checksum did not match.</summary>
    public const uint Checksum = 0x00FA;
    /// <summary>A bad pointer, length or value.</summary>
    public const uint Param = 0xFFF1;
    /// <summary>The handle is not valid or its port not open.</summary>
    public const uint NotOpen = 0xFFF2;
    /// <summary>A raw read's abort flag was raised.</summary>
    public const uint Aborted = 0xFFF3;
    /// <summary>Channel, input or index out of range.</summary>
    public const uint Channel = 0xFFF4;
    /// <summary>Malformed reply, or a line too long.</summary>
    public const uint Frame = 0xFFF6;
    /// <summary>No complete reply within 1000 ms.</summary>
    public const uint Timeout = 0xFFF9;

    /// <summary>The code's name: ZORENC_OK, ZORENC_ERR_..., ZORENC_STATUS for a board
    /// status, ZORENC_UNKNOWN otherwise.</summary>
    public static string Name(uint code)
    {
        switch (code) {
        case Ok:
            return "ZORENC_OK";
        case Checksum:
            return "ZORENC_ERR_CHECKSUM";
        case Param:
            return "ZORENC_ERR_PARAM";
        case NotOpen:
            return "ZORENC_ERR_NOT_OPEN";
        case Aborted:
            return "ZORENC_ERR_ABORTED";
        case Channel:
            return "ZORENC_ERR_CHANNEL";
        case Frame:
            return "ZORENC_ERR_FRAME";
        case Timeout:
            return "ZORENC_ERR_TIMEOUT";
        default:
            return code >= 1 && code <= 255 ? "ZORENC_STATUS" : "ZORENC_UNKNOWN";
        }
    }
}

/// <summary>The 32-bit control word of a trigger channel (REG_TRG_CONTROL), passed to
/// and from the library by reference; its fields as properties.</summary>
[StructLayout(LayoutKind.Sequential)]
public struct TriggerControls {
    /// <summary>The whole word, bit 0 the least significant.</summary>
    public uint Word;

    /// <summary>A control word with the given bits.</summary>
    public TriggerControls(uint word) { Word = word; }

    private uint Get(int shift, uint mask) { return (Word >> shift) & mask; }

    private void Set(int shift, uint mask, uint value)
    {
        if (value > mask) {
            throw new ArgumentOutOfRangeException("value", value, "at most " + mask);
        }
        Word = (Word & ~(mask << shift)) | (value << shift);
    }

    /// <summary>Bits 0-3.</summary>
    public uint Nibble0
    {
        get {
            return Get(0, 0xF);
        }
        set {
            Set(0, 0xF, value);
        }
    }
    /// <summary>Bits 4-7.</summary>
    public uint Nibble1
    {
        get {
            return Get(4, 0xF);
        }
        set {
            Set(4, 0xF, value);
        }
    }
    /// <summary>Bits 8-11; read back only when 2 or 4, else 0.</summary>
    public uint Nibble2
    {
        get {
            return Get(8, 0xF);
        }
        set {
            Set(8, 0xF, value);
        }
    }
    /// <summary>Bits 12-15.</summary>
    public uint Nibble3
    {
        get {
            return Get(12, 0xF);
        }
        set {
            Set(12, 0xF, value);
        }
    }
    /// <summary>Bits 16-19.</summary>
    public uint Nibble4
    {
        get {
            return Get(16, 0xF);
        }
        set {
            Set(16, 0xF, value);
        }
    }
    /// <summary>Bits 20-23.</summary>
    public uint Nibble5
    {
        get {
            return Get(20, 0xF);
        }
        set {
            Set(20, 0xF, value);
        }
    }
    /// <summary>Bits 24-27.</summary>
    public uint Nibble6
    {
        get {
            return Get(24, 0xF);
        }
        set {
            Set(24, 0xF, value);
        }
    }
    /// <summary>Bits 28-29, no field.</summary>
    public uint Reserved
    {
        get {
            return Get(28, 0x3);
        }
        set {
            Set(28, 0x3, value);
        }
    }
    /// <summary>Bit 30.</summary>
    public bool Bit30
    {
        get {
            return Get(30, 1) != 0;
        }
        set {
            Set(30, 1, value? 1u: 0u);
        }
    }
    /// <summary>Bit 31.</summary>
    public bool Bit31
    {
        get {
            return Get(31, 1) != 0;
        }
        set {
            Set(31, 1, value? 1u: 0u);
        }
    }

    /// <summary>The word in hexadecimal.</summary>
    public override string ToString() { return "0x" + Word.ToString("X8"); }
}

/// <summary>The abort flag of ZorEncRead and ZorEncReadUntil: one byte of unmanaged
/// memory that the library reads while another thread may raise it. Pass Pointer;
/// keep the object alive (and undisposed) until the read has returned.</summary>
public sealed class AbortFlag : IDisposable {
    private IntPtr memory;

    /// <summary>A lowered flag.</summary>
    public AbortFlag()
    {
        memory = Marshal.AllocHGlobal(1);
        Marshal.WriteByte(memory, 0);
    }

    /// <summary>The address to pass as abortFlag.</summary>
    public IntPtr Pointer
    {
        get {
            if (memory == IntPtr.Zero) {
                throw new ObjectDisposedException("AbortFlag");
            }
            return memory;
        }
    }

    /// <summary>Whether the flag is raised.</summary>
    public bool IsRaised
    {
        get {
            return Marshal.ReadByte(Pointer) != 0;
        }
    }

    /// <summary>Asks a running read to end with ZORENC_ERR_ABORTED (within about 100 ms).</summary>
    public void Raise()
    {
        Marshal.WriteByte(Pointer, 1);
        Thread.MemoryBarrier();
    }

    /// <summary>Lowers the flag before the next read; the library never does.</summary>
    public void Clear()
    {
        Marshal.WriteByte(Pointer, 0);
        Thread.MemoryBarrier();
    }

    /// <summary>Frees the byte.</summary>
    public void Dispose()
    {
        if (memory != IntPtr.Zero) {
            Marshal.FreeHGlobal(memory);
            memory = IntPtr.Zero;
        }
    }
}

/// <summary>The functions of zorenc.h, each calling the library of the process's
/// bitness: zorenc_x64 (64-bit) or zorenc_x32 (32-bit Windows, stdcall).</summary>
public static class NativeMethods {
    /// <summary>True in a 64-bit process, which loads zorenc_x64.</summary>
    public static readonly bool Is64BitProcess = IntPtr.Size == 8;

    // Delegates registered through these methods, by handle (low 32 bits)
    // and kind (0 send, 1 receive, 2 error): the library holds only their
    // function pointers.
    private static readonly Dictionary<long, ZorEncEventCallback> callbacks =
        new Dictionary<long, ZorEncEventCallback>();

    private static long CallbackKey(IntPtr handle, int kind)
    {
        return (long)unchecked((uint)handle.ToInt64()) * 4 + kind;
    }

    private static uint Register(IntPtr handle, int kind, ZorEncEventCallback? callback,
                                 uint result)
    {
        if (result == ZorEncResultCode.Ok) {
            lock (callbacks)
            {
                if (callback != null) {
                    callbacks[CallbackKey(handle, kind)] = callback;
                } else {
                    callbacks.Remove(CallbackKey(handle, kind));
                }
            }
        }
        return result;
    }

    private static void ForgetCallbacks(IntPtr handle)
    {
        lock (callbacks)
        {
            for (int kind = 0; kind < 3; ++kind) {
                callbacks.Remove(CallbackKey(handle, kind));
            }
        }
    }

    /// <summary>Sets (null: removes) the callback that sees each request frame as
    /// written; the delegate is kept alive until replaced or the handler is closed.</summary>
    public static uint ZorEncRegisterSendEvent(IntPtr handle, ZorEncEventCallback? callback)
    {
        return Register(handle, 0, callback,
                        Is64BitProcess ? X64.ZorEncRegisterSendEvent(handle, callback)
                                       : X32.ZorEncRegisterSendEvent(handle, callback));
    }

    /// <summary>Sets (null: removes) the callback that sees each decoded reply as
    /// received; kept alive as with ZorEncRegisterSendEvent.</summary>
    public static uint ZorEncRegisterRecvEvent(IntPtr handle, ZorEncEventCallback? callback)
    {
        return Register(handle, 1, callback,
                        Is64BitProcess ? X64.ZorEncRegisterRecvEvent(handle, callback)
                                       : X32.ZorEncRegisterRecvEvent(handle, callback));
    }

    /// <summary>Stores an error callback with the handler; the library never calls it.</summary>
    public static uint ZorEncRegisterErrorEvent(IntPtr handle, ZorEncEventCallback? callback)
    {
        return Register(handle, 2, callback,
                        Is64BitProcess ? X64.ZorEncRegisterErrorEvent(handle, callback)
                                       : X32.ZorEncRegisterErrorEvent(handle, callback));
    }

    /// <summary>Destroys a handler: closes its port, drops its callbacks and frees its
    /// slot. Must not overlap any other call into the library.</summary>
    public static void ZorEncCloseHandler(IntPtr handle)
    {
        if (Is64BitProcess) {
            X64.ZorEncCloseHandler(handle);
        } else {
            X32.ZorEncCloseHandler(handle);
        }
        ForgetCallbacks(handle);
    }

    /// <summary>Destroys every handler (closing open ports) and empties the table.
    /// Must not overlap any other call into the library.</summary>
    public static void ZorEncRelease()
    {
        if (Is64BitProcess) {
            X64.ZorEncRelease();
        } else {
            X32.ZorEncRelease();
        }
        lock (callbacks)
        {
            callbacks.Clear();
        }
    }

    /// <summary>ZorEncReadUntil's buffer must hold 128 bytes.</summary>
    public const int ReadUntilBufferSize = 128;

    /// <summary>Creates a handler with a closed port in the lowest free slot.</summary>
    public static IntPtr ZorEncCreateHandler()
    {
        return Is64BitProcess ? X64.ZorEncCreateHandler() : X32.ZorEncCreateHandler();
    }

    /// <summary>Tells whether a handle names a held slot (its port may be open or
    /// closed).</summary>
    public static bool ZorEncIsValidHandle(IntPtr handle)
    {
        return Is64BitProcess ? X64.ZorEncIsValidHandle(handle) : X32.ZorEncIsValidHandle(handle);
    }

    /// <summary>Opens the handler's port at 115200 baud, 8 data bits, no parity, one stop bit,
    /// exclusively.</summary>
    public static bool ZorEncOpen(IntPtr handle, string portName)
    {
        return Is64BitProcess ? X64.ZorEncOpen(handle, portName) : X32.ZorEncOpen(handle, portName);
    }

    /// <summary>Closes the handler's port and keeps the handler and its callbacks; the handle stays
    /// valid and can be opened again.</summary>
    public static int ZorEncClose(IntPtr handle)
    {
        return Is64BitProcess ? X64.ZorEncClose(handle) : X32.ZorEncClose(handle);
    }

    /// <summary>Tells whether a handle is valid and its port open.</summary>
    public static bool ZorEncIsOpen(IntPtr handle)
    {
        return Is64BitProcess ? X64.ZorEncIsOpen(handle) : X32.ZorEncIsOpen(handle);
    }

    /// <summary>One register transaction: discards bytes still in the receive queue, sends the
    /// request frame, calls the send callback, waits for a reply frame until 1000 ms after the
    /// request began, then calls the receive callback with the bytes received.</summary>
    public static uint ZorEncSendData(IntPtr handle, byte command, ushort address, uint value,
                                      out uint reply)
    {
        return Is64BitProcess ? X64.ZorEncSendData(handle, command, address, value, out reply)
                              : X32.ZorEncSendData(handle, command, address, value, out reply);
    }

    /// <summary>Sends a request frame without waiting for its reply (after discarding bytes still
    /// in the receive queue) and calls the send callback.</summary>
    public static uint ZorEncSendOnly(IntPtr handle, byte command, ushort address, uint value)
    {
        return Is64BitProcess ? X64.ZorEncSendOnly(handle, command, address, value)
                              : X32.ZorEncSendOnly(handle, command, address, value);
    }

    /// <summary>Reads a register: ZorEncSendData() with command 'R'.</summary>
    public static uint ZorEncSendRead(IntPtr handle, ushort address, uint value, out uint reply)
    {
        return Is64BitProcess ? X64.ZorEncSendRead(handle, address, value, out reply)
                              : X32.ZorEncSendRead(handle, address, value, out reply);
    }

    /// <summary>Writes a register: ZorEncSendData() with command 'W'.</summary>
    public static uint ZorEncSendWrite(IntPtr handle, ushort address, uint value, out uint reply)
    {
        return Is64BitProcess ? X64.ZorEncSendWrite(handle, address, value, out reply)
                              : X32.ZorEncSendWrite(handle, address, value, out reply);
    }

    /// <summary>Empties the port's transmit and receive queues.</summary>
    public static bool ZorEncPurge(IntPtr handle)
    {
        return Is64BitProcess ? X64.ZorEncPurge(handle) : X32.ZorEncPurge(handle);
    }

    /// <summary>Reads exactly length bytes from the port.</summary>
    public static uint ZorEncRead(IntPtr handle, byte[]? buffer, int reserved, int length,
                                  IntPtr abortFlag)
    {
        if (buffer != null && length > buffer.Length) {
            throw new ArgumentException("length exceeds the buffer", "length");
        }
        return Is64BitProcess ? X64.ZorEncRead(handle, buffer, reserved, length, abortFlag)
                              : X32.ZorEncRead(handle, buffer, reserved, length, abortFlag);
    }

    /// <summary>Reads bytes up to and including a terminator, one at a time, so that bytes after it
    /// stay queued.</summary>
    public static uint ZorEncReadUntil(IntPtr handle, byte[]? buffer, byte terminator,
                                       IntPtr abortFlag)
    {
        if (buffer != null && buffer.Length < ReadUntilBufferSize) {
            throw new ArgumentException("ZorEncReadUntil needs a buffer of 128 bytes", "buffer");
        }
        return Is64BitProcess ? X64.ZorEncReadUntil(handle, buffer, terminator, abortFlag)
                              : X32.ZorEncReadUntil(handle, buffer, terminator, abortFlag);
    }

    /// <summary>Reads the position counter of a channel: REG_ENC_POSITION, 0x050C + channel, offset
    /// binary.</summary>
    public static uint ZorEncGetEncoderPosition(IntPtr handle, int channel, out int position)
    {
        return Is64BitProcess ? X64.ZorEncGetEncoderPosition(handle, channel, out position)
                              : X32.ZorEncGetEncoderPosition(handle, channel, out position);
    }

    /// <summary>Reads a channel's position (REG_ENC_POSITION) and converts it to a length: count x
    /// period / multiplier, multiplied first, truncated toward zero.</summary>
    public static uint ZorEncGetEncoderPositionForAnalog(IntPtr handle, int channel, int multiplier,
                                                         double period, out int position)
    {
        return Is64BitProcess ? X64.ZorEncGetEncoderPositionForAnalog(handle, channel, multiplier,
                                                                      period, out position)
                              : X32.ZorEncGetEncoderPositionForAnalog(handle, channel, multiplier,
                                                                      period, out position);
    }

    /// <summary>Reads a channel's position (REG_ENC_POSITION) in micrometres: count x period /
    /// multiplier, multiplied first, truncated toward zero.</summary>
    public static uint ZorEncGetEncoderPositionMicrometer(IntPtr handle, int channel,
                                                          int multiplier, double period,
                                                          out int position)
    {
        return Is64BitProcess ? X64.ZorEncGetEncoderPositionMicrometer(handle, channel, multiplier,
                                                                       period, out position)
                              : X32.ZorEncGetEncoderPositionMicrometer(handle, channel, multiplier,
                                                                       period, out position);
    }

    /// <summary>Reads a channel's counting direction: REG_ENC_DIRECTION, channel x 0x100 + 0x07,
    /// raw (the simulated board counts up for 0, down otherwise).</summary>
    public static uint ZorEncGetEncoderDirection(IntPtr handle, int channel, out int direction)
    {
        return Is64BitProcess ? X64.ZorEncGetEncoderDirection(handle, channel, out direction)
                              : X32.ZorEncGetEncoderDirection(handle, channel, out direction);
    }

    /// <summary>Sets a channel's counting direction: REG_ENC_DIRECTION, channel x 0x100 + 0x07,
    /// raw.</summary>
    public static uint ZorEncSetEncoderDirection(IntPtr handle, int channel, int direction)
    {
        return Is64BitProcess ? X64.ZorEncSetEncoderDirection(handle, channel, direction)
                              : X32.ZorEncSetEncoderDirection(handle, channel, direction);
    }

    /// <summary>Reads a channel's inversion: the direction register (REG_ENC_DIRECTION, channel x
    /// 0x100 + 0x07, raw) under another name.</summary>
    public static uint ZorEncGetEncoderInversion(IntPtr handle, int channel, out int inversion)
    {
        return Is64BitProcess ? X64.ZorEncGetEncoderInversion(handle, channel, out inversion)
                              : X32.ZorEncGetEncoderInversion(handle, channel, out inversion);
    }

    /// <summary>Sets a channel's inversion: writes the direction register (REG_ENC_DIRECTION,
    /// channel x 0x100 + 0x07, raw).</summary>
    public static uint ZorEncSetEncoderInversion(IntPtr handle, int channel, int inversion)
    {
        return Is64BitProcess ? X64.ZorEncSetEncoderInversion(handle, channel, inversion)
                              : X32.ZorEncSetEncoderInversion(handle, channel, inversion);
    }

    /// <summary>Reads a channel's multiplier for analog encoders: REG_ENC_MULTI_ANALOG, channel x
    /// 0x100 + 0x04, raw.</summary>
    public static uint ZorEncGetEncoderMultiForAnalog(IntPtr handle, int channel,
                                                      out int multiplier)
    {
        return Is64BitProcess ? X64.ZorEncGetEncoderMultiForAnalog(handle, channel, out multiplier)
                              : X32.ZorEncGetEncoderMultiForAnalog(handle, channel, out multiplier);
    }

    /// <summary>Sets a channel's multiplier for analog encoders: REG_ENC_MULTI_ANALOG, channel x
    /// 0x100 + 0x04, raw.</summary>
    public static uint ZorEncSetEncoderMultiForAnalog(IntPtr handle, int channel, int multiplier)
    {
        return Is64BitProcess ? X64.ZorEncSetEncoderMultiForAnalog(handle, channel, multiplier)
                              : X32.ZorEncSetEncoderMultiForAnalog(handle, channel, multiplier);
    }

    /// <summary>Reads a channel's reset value, the position that clearing the position sets:
    /// REG_ENC_RESET_VALUE, channel x 0x100 + 0x0B, offset binary.</summary>
    public static uint ZorEncGetEncoderResetValue(IntPtr handle, int channel, out int resetValue)
    {
        return Is64BitProcess ? X64.ZorEncGetEncoderResetValue(handle, channel, out resetValue)
                              : X32.ZorEncGetEncoderResetValue(handle, channel, out resetValue);
    }

    /// <summary>Sets a channel's reset value: REG_ENC_RESET_VALUE, channel x 0x100 + 0x0B, offset
    /// binary.</summary>
    public static uint ZorEncSetEncoderResetValue(IntPtr handle, int channel, int resetValue)
    {
        return Is64BitProcess ? X64.ZorEncSetEncoderResetValue(handle, channel, resetValue)
                              : X32.ZorEncSetEncoderResetValue(handle, channel, resetValue);
    }

    /// <summary>Starts a channel's calibration: writes 1 to REG_ENC_CALIBRATION, channel x 0x100 +
    /// 0x05.</summary>
    public static uint ZorEncStartCalibration(IntPtr handle, int channel)
    {
        return Is64BitProcess ? X64.ZorEncStartCalibration(handle, channel)
                              : X32.ZorEncStartCalibration(handle, channel);
    }

    /// <summary>Stops a channel's calibration: writes 0 to REG_ENC_CALIBRATION, channel x 0x100 +
    /// 0x05.</summary>
    public static uint ZorEncStopCalibration(IntPtr handle, int channel)
    {
        return Is64BitProcess ? X64.ZorEncStopCalibration(handle, channel)
                              : X32.ZorEncStopCalibration(handle, channel);
    }

    /// <summary>Reads the encoder resolution: REG_ENC_RESOLUTION (0xF006), unsigned
    /// thousandths.</summary>
    public static uint ZorEncGetEncoderResolution(IntPtr handle, out double resolution)
    {
        return Is64BitProcess ? X64.ZorEncGetEncoderResolution(handle, out resolution)
                              : X32.ZorEncGetEncoderResolution(handle, out resolution);
    }

    /// <summary>Sets the encoder resolution: REG_ENC_RESOLUTION (0xF006) = resolution x 1000,
    /// truncated toward zero.</summary>
    public static uint ZorEncSetEncoderResolution(IntPtr handle, double resolution)
    {
        return Is64BitProcess ? X64.ZorEncSetEncoderResolution(handle, resolution)
                              : X32.ZorEncSetEncoderResolution(handle, resolution);
    }

    /// <summary>Reads the firmware version: REG_FIRMWARE_VERSION (0xF000), whose low 16 bits hold
    /// version x 100 (0x0096 is 1.5).</summary>
    public static uint ZorEncGetFirmwareVersion(IntPtr handle, out double version)
    {
        return Is64BitProcess ? X64.ZorEncGetFirmwareVersion(handle, out version)
                              : X32.ZorEncGetFirmwareVersion(handle, out version);
    }

    /// <summary>Reads the logic version: REG_LOGIC_VERSION (0xF001), version x 100 in all 32 bits,
    /// unsigned.</summary>
    public static uint ZorEncGetLogicVersion(IntPtr handle, out double version)
    {
        return Is64BitProcess ? X64.ZorEncGetLogicVersion(handle, out version)
                              : X32.ZorEncGetLogicVersion(handle, out version);
    }

    /// <summary>Reads the positive run: REG_POSITIVE_RUN (0xF008), raw.</summary>
    public static uint ZorEncGetPositiveRun(IntPtr handle, out int run)
    {
        return Is64BitProcess ? X64.ZorEncGetPositiveRun(handle, out run)
                              : X32.ZorEncGetPositiveRun(handle, out run);
    }

    /// <summary>Sets the positive run: REG_POSITIVE_RUN (0xF008), raw.</summary>
    public static uint ZorEncSetPositiveRun(IntPtr handle, int run)
    {
        return Is64BitProcess ? X64.ZorEncSetPositiveRun(handle, run)
                              : X32.ZorEncSetPositiveRun(handle, run);
    }

    /// <summary>Reads the negative run: REG_NEGATIVE_RUN (0xF009), raw.</summary>
    public static uint ZorEncGetNegativeRun(IntPtr handle, out int run)
    {
        return Is64BitProcess ? X64.ZorEncGetNegativeRun(handle, out run)
                              : X32.ZorEncGetNegativeRun(handle, out run);
    }

    /// <summary>Sets the negative run: REG_NEGATIVE_RUN (0xF009), raw.</summary>
    public static uint ZorEncSetNegativeRun(IntPtr handle, int run)
    {
        return Is64BitProcess ? X64.ZorEncSetNegativeRun(handle, run)
                              : X32.ZorEncSetNegativeRun(handle, run);
    }

    /// <summary>Reads the trigger mode: REG_TRG_MODE (0xF00A), raw.</summary>
    public static uint ZorEncGetTrgMode(IntPtr handle, out int trgMode)
    {
        return Is64BitProcess ? X64.ZorEncGetTrgMode(handle, out trgMode)
                              : X32.ZorEncGetTrgMode(handle, out trgMode);
    }

    /// <summary>Sets the trigger mode: REG_TRG_MODE (0xF00A), raw.</summary>
    public static uint ZorEncSetTrgMode(IntPtr handle, int trgMode)
    {
        return Is64BitProcess ? X64.ZorEncSetTrgMode(handle, trgMode)
                              : X32.ZorEncSetTrgMode(handle, trgMode);
    }

    /// <summary>Reads a channel's virtual-encoder frequency: REG_VENC_FREQUENCY, 0x0400 + channel,
    /// raw (counts per second on the simulated board).</summary>
    public static uint ZorEncGetVirtualEncoderFrequency(IntPtr handle, int channel,
                                                        out int frequency)
    {
        return Is64BitProcess
                   ? X64.ZorEncGetVirtualEncoderFrequency(handle, channel, out frequency)
                   : X32.ZorEncGetVirtualEncoderFrequency(handle, channel, out frequency);
    }

    /// <summary>Sets a channel's virtual-encoder frequency: REG_VENC_FREQUENCY, 0x0400 + channel,
    /// raw.</summary>
    public static uint ZorEncSetVirtualEncoderFrequency(IntPtr handle, int channel, int frequency)
    {
        return Is64BitProcess ? X64.ZorEncSetVirtualEncoderFrequency(handle, channel, frequency)
                              : X32.ZorEncSetVirtualEncoderFrequency(handle, channel, frequency);
    }

    /// <summary>Loads the board's default settings: writes 1 to REG_LOAD_DEFAULTS
    /// (0xF002).</summary>
    public static uint ZorEncLoadDefaultParameters(IntPtr handle)
    {
        return Is64BitProcess ? X64.ZorEncLoadDefaultParameters(handle)
                              : X32.ZorEncLoadDefaultParameters(handle);
    }

    /// <summary>Saves the board's settings to its flash: writes 1 to REG_SAVE_FLASH
    /// (0xF003).</summary>
    public static uint ZorEncSaveFlash(IntPtr handle)
    {
        return Is64BitProcess ? X64.ZorEncSaveFlash(handle) : X32.ZorEncSaveFlash(handle);
    }

    /// <summary>Loads the board's settings from its flash: writes 1 to REG_LOAD_FLASH
    /// (0xF004).</summary>
    public static uint ZorEncLoadFlash(IntPtr handle)
    {
        return Is64BitProcess ? X64.ZorEncLoadFlash(handle) : X32.ZorEncLoadFlash(handle);
    }

    /// <summary>Reads a channel's control word: REG_TRG_CONTROL, channel x 0x100 + 0x00.</summary>
    public static uint ZorEncGetTriggerControls(IntPtr handle, int channel,
                                                out TriggerControls controls)
    {
        return Is64BitProcess ? X64.ZorEncGetTriggerControls(handle, channel, out controls)
                              : X32.ZorEncGetTriggerControls(handle, channel, out controls);
    }

    /// <summary>Writes a channel's control word unchanged: REG_TRG_CONTROL, channel x 0x100 +
    /// 0x00.</summary>
    public static uint ZorEncSetTriggerControls(IntPtr handle, int channel,
                                                ref TriggerControls controls)
    {
        return Is64BitProcess ? X64.ZorEncSetTriggerControls(handle, channel, ref controls)
                              : X32.ZorEncSetTriggerControls(handle, channel, ref controls);
    }

    /// <summary>Packs a control word from its fields and writes it to REG_TRG_CONTROL, channel x
    /// 0x100 + 0x00.</summary>
    public static uint ZorEncSetTriggerControlsEachTrigger(IntPtr handle, int channel, int nibble0,
                                                           int nibble1, int nibble2Code,
                                                           int nibble3, int nibble4, int nibble5,
                                                           int nibble6, int bit30, int bit31)
    {
        return Is64BitProcess
                   ? X64.ZorEncSetTriggerControlsEachTrigger(handle, channel, nibble0, nibble1,
                                                             nibble2Code, nibble3, nibble4, nibble5,
                                                             nibble6, bit30, bit31)
                   : X32.ZorEncSetTriggerControlsEachTrigger(handle, channel, nibble0, nibble1,
                                                             nibble2Code, nibble3, nibble4, nibble5,
                                                             nibble6, bit30, bit31);
    }

    /// <summary>Reads a channel's trigger generator as two halves: REG_TRG_GENERATOR, channel x
    /// 0x100 + 0x01.</summary>
    public static uint ZorEncGetTriggerGenerator(IntPtr handle, int channel, out int upperHalf,
                                                 out int lowerHalf)
    {
        return Is64BitProcess
                   ? X64.ZorEncGetTriggerGenerator(handle, channel, out upperHalf, out lowerHalf)
                   : X32.ZorEncGetTriggerGenerator(handle, channel, out upperHalf, out lowerHalf);
    }

    /// <summary>Writes a channel's trigger generator from two halves: REG_TRG_GENERATOR, channel x
    /// 0x100 + 0x01 = (upperHalf AND 0xFFFF) &lt;&lt; 16 OR (lowerHalf AND 0xFFFF).</summary>
    public static uint ZorEncSetTriggerGenerator(IntPtr handle, int channel, int upperHalf,
                                                 int lowerHalf)
    {
        return Is64BitProcess
                   ? X64.ZorEncSetTriggerGenerator(handle, channel, upperHalf, lowerHalf)
                   : X32.ZorEncSetTriggerGenerator(handle, channel, upperHalf, lowerHalf);
    }

    /// <summary>Reads a channel's trigger generator as one word: REG_TRG_GENERATOR, channel x 0x100
    /// + 0x01, raw.</summary>
    public static uint ZorEncGetTriggerGeneratorRoll(IntPtr handle, int channel, out int value)
    {
        return Is64BitProcess ? X64.ZorEncGetTriggerGeneratorRoll(handle, channel, out value)
                              : X32.ZorEncGetTriggerGeneratorRoll(handle, channel, out value);
    }

    /// <summary>Writes a channel's trigger generator as one word: REG_TRG_GENERATOR, channel x
    /// 0x100 + 0x01, raw.</summary>
    public static uint ZorEncSetTriggerGeneratorRoll(IntPtr handle, int channel, int value)
    {
        return Is64BitProcess ? X64.ZorEncSetTriggerGeneratorRoll(handle, channel, value)
                              : X32.ZorEncSetTriggerGeneratorRoll(handle, channel, value);
    }

    /// <summary>Reads a channel's trigger output mode: REG_TRG_OUTPUT_MODE, channel x 0x100 + 0x08,
    /// raw.</summary>
    public static uint ZorEncGetTriggerOutputMode(IntPtr handle, int channel, out int mode)
    {
        return Is64BitProcess ? X64.ZorEncGetTriggerOutputMode(handle, channel, out mode)
                              : X32.ZorEncGetTriggerOutputMode(handle, channel, out mode);
    }

    /// <summary>Sets a channel's trigger output mode: REG_TRG_OUTPUT_MODE, channel x 0x100 + 0x08,
    /// raw.</summary>
    public static uint ZorEncSetTriggerOutputMode(IntPtr handle, int channel, int mode)
    {
        return Is64BitProcess ? X64.ZorEncSetTriggerOutputMode(handle, channel, mode)
                              : X32.ZorEncSetTriggerOutputMode(handle, channel, mode);
    }

    /// <summary>Reads a channel's first trigger position: REG_TRG_POSITION0, channel x 0x100 +
    /// 0x02, offset binary.</summary>
    public static uint ZorEncGetTriggerPosition0(IntPtr handle, int channel, out int position)
    {
        return Is64BitProcess ? X64.ZorEncGetTriggerPosition0(handle, channel, out position)
                              : X32.ZorEncGetTriggerPosition0(handle, channel, out position);
    }

    /// <summary>Sets a channel's first trigger position: REG_TRG_POSITION0, channel x 0x100 + 0x02,
    /// offset binary.</summary>
    public static uint ZorEncSetTriggerPosition0(IntPtr handle, int channel, int position)
    {
        return Is64BitProcess ? X64.ZorEncSetTriggerPosition0(handle, channel, position)
                              : X32.ZorEncSetTriggerPosition0(handle, channel, position);
    }

    /// <summary>Reads a channel's second trigger position: REG_TRG_POSITION1, channel x 0x100 +
    /// 0x03, offset binary.</summary>
    public static uint ZorEncGetTriggerPosition1(IntPtr handle, int channel, out int position)
    {
        return Is64BitProcess ? X64.ZorEncGetTriggerPosition1(handle, channel, out position)
                              : X32.ZorEncGetTriggerPosition1(handle, channel, out position);
    }

    /// <summary>Sets a channel's second trigger position: REG_TRG_POSITION1, channel x 0x100 +
    /// 0x03, offset binary.</summary>
    public static uint ZorEncSetTriggerPosition1(IntPtr handle, int channel, int position)
    {
        return Is64BitProcess ? X64.ZorEncSetTriggerPosition1(handle, channel, position)
                              : X32.ZorEncSetTriggerPosition1(handle, channel, position);
    }

    /// <summary>Sets a channel's first trigger position (REG_TRG_POSITION0, offset binary) from
    /// micrometres: counts = position x multiplier / period, the product taken in 64 bits, the
    /// quotient truncated toward zero.</summary>
    public static uint ZorEncSetTriggerPositionMicrometer0(IntPtr handle, int channel, int position,
                                                           int multiplier, double period,
                                                           int convert)
    {
        return Is64BitProcess ? X64.ZorEncSetTriggerPositionMicrometer0(handle, channel, position,
                                                                        multiplier, period, convert)
                              : X32.ZorEncSetTriggerPositionMicrometer0(
                                    handle, channel, position, multiplier, period, convert);
    }

    /// <summary>Sets a channel's second trigger position (REG_TRG_POSITION1, offset binary) from
    /// micrometres, as ZorEncSetTriggerPositionMicrometer0().</summary>
    public static uint ZorEncSetTriggerPositionMicrometer1(IntPtr handle, int channel, int position,
                                                           int multiplier, double period,
                                                           int convert)
    {
        return Is64BitProcess ? X64.ZorEncSetTriggerPositionMicrometer1(handle, channel, position,
                                                                        multiplier, period, convert)
                              : X32.ZorEncSetTriggerPositionMicrometer1(
                                    handle, channel, position, multiplier, period, convert);
    }

    /// <summary>Reads a channel's trigger pulse width: REG_TRG_PULSE_WIDTH, channel x 0x100 + 0x09,
    /// signed hundredths (the unit is the board's).</summary>
    public static double ZorEncGetTriggerPulseWidth(IntPtr handle, int channel,
                                                    out double pulseWidth)
    {
        return Is64BitProcess ? X64.ZorEncGetTriggerPulseWidth(handle, channel, out pulseWidth)
                              : X32.ZorEncGetTriggerPulseWidth(handle, channel, out pulseWidth);
    }

    /// <summary>Sets a channel's trigger pulse width: REG_TRG_PULSE_WIDTH, channel x 0x100 + 0x09 =
    /// pulseWidth x 100, truncated toward zero.</summary>
    public static uint ZorEncSetTriggerPulseWidth(IntPtr handle, int channel, double pulseWidth)
    {
        return Is64BitProcess ? X64.ZorEncSetTriggerPulseWidth(handle, channel, pulseWidth)
                              : X32.ZorEncSetTriggerPulseWidth(handle, channel, pulseWidth);
    }

    /// <summary>Reads a channel's trigger delay: REG_TRG_DELAY, channel x 0x100 + 0x0A, signed
    /// hundredths (the unit is the board's).</summary>
    public static uint ZorEncGetTriggerDelay(IntPtr handle, int channel, out double delay)
    {
        return Is64BitProcess ? X64.ZorEncGetTriggerDelay(handle, channel, out delay)
                              : X32.ZorEncGetTriggerDelay(handle, channel, out delay);
    }

    /// <summary>Sets a channel's trigger delay: REG_TRG_DELAY, channel x 0x100 + 0x0A = delay x
    /// 100, truncated toward zero.</summary>
    public static uint ZorEncSetTriggerDelay(IntPtr handle, int channel, double delay)
    {
        return Is64BitProcess ? X64.ZorEncSetTriggerDelay(handle, channel, delay)
                              : X32.ZorEncSetTriggerDelay(handle, channel, delay);
    }

    /// <summary>Reads a channel's last index-trigger index: REG_IDX_TRG_LAST_INDEX, channel x 0x100
    /// + 0x0C, raw.</summary>
    public static uint ZorEncGetIndexTriggerLastIndex(IntPtr handle, int channel, out int lastIndex)
    {
        return Is64BitProcess ? X64.ZorEncGetIndexTriggerLastIndex(handle, channel, out lastIndex)
                              : X32.ZorEncGetIndexTriggerLastIndex(handle, channel, out lastIndex);
    }

    /// <summary>Sets a channel's last index-trigger index: REG_IDX_TRG_LAST_INDEX, channel x 0x100
    /// + 0x0C, raw.</summary>
    public static uint ZorEncSetIndexTriggerLastIndex(IntPtr handle, int channel, int lastIndex)
    {
        return Is64BitProcess ? X64.ZorEncSetIndexTriggerLastIndex(handle, channel, lastIndex)
                              : X32.ZorEncSetIndexTriggerLastIndex(handle, channel, lastIndex);
    }

    /// <summary>Reads an entry of a channel's index-trigger table: REG_IDX_TRG_POSITION, channel x
    /// 0x100 + 0x10 + index, offset binary.</summary>
    public static uint ZorEncGetIndexTriggerPosition(IntPtr handle, int channel, int index,
                                                     out int position)
    {
        return Is64BitProcess
                   ? X64.ZorEncGetIndexTriggerPosition(handle, channel, index, out position)
                   : X32.ZorEncGetIndexTriggerPosition(handle, channel, index, out position);
    }

    /// <summary>Sets an entry of a channel's index-trigger table: REG_IDX_TRG_POSITION, channel x
    /// 0x100 + 0x10 + index, offset binary.</summary>
    public static uint ZorEncSetIndexTriggerPosition(IntPtr handle, int channel, int index,
                                                     int position)
    {
        return Is64BitProcess ? X64.ZorEncSetIndexTriggerPosition(handle, channel, index, position)
                              : X32.ZorEncSetIndexTriggerPosition(handle, channel, index, position);
    }

    /// <summary>Reads the seven digital inputs at once: REG_DI_STATE (0x0500), bit n is input
    /// n.</summary>
    public static uint ZorEncGetDI(IntPtr handle, out int input0, out int input1, out int input2,
                                   out int input3, out int input4, out int input5, out int input6)
    {
        return Is64BitProcess ? X64.ZorEncGetDI(handle, out input0, out input1, out input2,
                                                out input3, out input4, out input5, out input6)
                              : X32.ZorEncGetDI(handle, out input0, out input1, out input2,
                                                out input3, out input4, out input5, out input6);
    }

    /// <summary>Reads one digital input: bit input of REG_DI_STATE (0x0500).</summary>
    public static uint ZorEncGetDIState(IntPtr handle, int input, out int state)
    {
        return Is64BitProcess ? X64.ZorEncGetDIState(handle, input, out state)
                              : X32.ZorEncGetDIState(handle, input, out state);
    }

    /// <summary>Reads the counter of a digital input: REG_DI_COUNT, 0x0501 + input, raw (rising
    /// edges on the simulated board).</summary>
    public static uint ZorEncGetDiCount(IntPtr handle, int input, out int count)
    {
        return Is64BitProcess ? X64.ZorEncGetDiCount(handle, input, out count)
                              : X32.ZorEncGetDiCount(handle, input, out count);
    }

    /// <summary>Reads a channel's trigger counter: REG_TRG_COUNT, 0x0508 + channel, raw.</summary>
    public static uint ZorEncGetTriggerCount(IntPtr handle, int channel, out int count)
    {
        return Is64BitProcess ? X64.ZorEncGetTriggerCount(handle, channel, out count)
                              : X32.ZorEncGetTriggerCount(handle, channel, out count);
    }

    /// <summary>Reads a channel's trigger error counter: REG_TRG_ERROR_COUNT, 0x0510 + channel,
    /// raw.</summary>
    public static uint ZorEncGetTriggerErrorCount(IntPtr handle, int channel, out int count)
    {
        return Is64BitProcess ? X64.ZorEncGetTriggerErrorCount(handle, channel, out count)
                              : X32.ZorEncGetTriggerErrorCount(handle, channel, out count);
    }

    /// <summary>Clears everything the clear register reaches: writes 0xFFFFFFFF to REG_CLEAR
    /// (0xF005).</summary>
    public static uint ZorEncClearAll(IntPtr handle)
    {
        return Is64BitProcess ? X64.ZorEncClearAll(handle) : X32.ZorEncClearAll(handle);
    }

    /// <summary>Clears the counters of all digital inputs: writes 0x7F to REG_CLEAR.</summary>
    public static uint ZorEncClearDiAll(IntPtr handle)
    {
        return Is64BitProcess ? X64.ZorEncClearDiAll(handle) : X32.ZorEncClearDiAll(handle);
    }

    /// <summary>Clears the counter of one digital input: writes 1 &lt;&lt; input to
    /// REG_CLEAR.</summary>
    public static uint ZorEncClearDiCount(IntPtr handle, int input)
    {
        return Is64BitProcess ? X64.ZorEncClearDiCount(handle, input)
                              : X32.ZorEncClearDiCount(handle, input);
    }

    /// <summary>Clears the trigger counters of all channels: writes 0x780 to REG_CLEAR.</summary>
    public static uint ZorEncClearTriggerAll(IntPtr handle)
    {
        return Is64BitProcess ? X64.ZorEncClearTriggerAll(handle)
                              : X32.ZorEncClearTriggerAll(handle);
    }

    /// <summary>Clears a channel's trigger counter: writes 0x80 &lt;&lt; channel to
    /// REG_CLEAR.</summary>
    public static uint ZorEncClearTriggerCount(IntPtr handle, int channel)
    {
        return Is64BitProcess ? X64.ZorEncClearTriggerCount(handle, channel)
                              : X32.ZorEncClearTriggerCount(handle, channel);
    }

    /// <summary>Clears the positions of all channels (each goes to its reset value): writes 0x7800
    /// to REG_CLEAR.</summary>
    public static uint ZorEncClearEncoderPositionAll(IntPtr handle)
    {
        return Is64BitProcess ? X64.ZorEncClearEncoderPositionAll(handle)
                              : X32.ZorEncClearEncoderPositionAll(handle);
    }

    /// <summary>Clears a channel's position (it goes to its reset value): writes 0x800 &lt;&lt;
    /// channel to REG_CLEAR.</summary>
    public static uint ZorEncClearEncoderPosition(IntPtr handle, int channel)
    {
        return Is64BitProcess ? X64.ZorEncClearEncoderPosition(handle, channel)
                              : X32.ZorEncClearEncoderPosition(handle, channel);
    }

    /// <summary>Clears the trigger error counters of all channels: writes 0x78000 to
    /// REG_CLEAR.</summary>
    public static uint ZorEncClearErrorCountAll(IntPtr handle)
    {
        return Is64BitProcess ? X64.ZorEncClearErrorCountAll(handle)
                              : X32.ZorEncClearErrorCountAll(handle);
    }

    /// <summary>Clears a channel's trigger error counter: writes 0x8000 &lt;&lt; channel to
    /// REG_CLEAR.</summary>
    public static uint ZorEncClearErrorCount(IntPtr handle, int channel)
    {
        return Is64BitProcess ? X64.ZorEncClearErrorCount(handle, channel)
                              : X32.ZorEncClearErrorCount(handle, channel);
    }

    /// <summary>The declarations of zorenc_x64: zorenc_x64.dll on 64-bit Windows,
    /// libzorenc_x64.so on Linux (found through the loader's search path, e.g.
    /// LD_LIBRARY_PATH, or next to the program).</summary>
    public static class X64 {
        /// <summary>The library's name; the runtime adds .dll, or lib and .so.</summary>
        public const string Library = "zorenc_x64";
        private const CallingConvention Convention = CallingConvention.Cdecl;

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncCreateHandler"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern IntPtr ZorEncCreateHandler();

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncIsValidHandle"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        [return:MarshalAs(UnmanagedType.U1)]
        public static extern bool ZorEncIsValidHandle(IntPtr handle);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncCloseHandler"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern void ZorEncCloseHandler(IntPtr handle);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncRelease"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern void ZorEncRelease();

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncOpen"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        [return:MarshalAs(UnmanagedType.U1)]
        public static extern bool ZorEncOpen(IntPtr handle,
                                             [MarshalAs(UnmanagedType.LPStr)] string portName);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncClose"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int ZorEncClose(IntPtr handle);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncIsOpen"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        [return:MarshalAs(UnmanagedType.U1)]
        public static extern bool ZorEncIsOpen(IntPtr handle);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSendData"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSendData(IntPtr handle, byte command, ushort address,
                                                 uint value, out uint reply);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSendOnly"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSendOnly(IntPtr handle, byte command, ushort address,
                                                 uint value);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSendRead"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSendRead(IntPtr handle, ushort address, uint value,
                                                 out uint reply);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSendWrite"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSendWrite(IntPtr handle, ushort address, uint value,
                                                  out uint reply);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncPurge"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        [return:MarshalAs(UnmanagedType.U1)]
        public static extern bool ZorEncPurge(IntPtr handle);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncRead"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncRead(IntPtr handle, [Out] byte[]? buffer, int reserved,
                                             int length, IntPtr abortFlag);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncReadUntil"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncReadUntil(IntPtr handle, [Out] byte[]? buffer,
                                                  byte terminator, IntPtr abortFlag);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncRegisterSendEvent"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncRegisterSendEvent(IntPtr handle,
                                                          ZorEncEventCallback? callback);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncRegisterRecvEvent"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncRegisterRecvEvent(IntPtr handle,
                                                          ZorEncEventCallback? callback);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncRegisterErrorEvent"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncRegisterErrorEvent(IntPtr handle,
                                                           ZorEncEventCallback? callback);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetEncoderPosition"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetEncoderPosition(IntPtr handle, int channel,
                                                           out int position);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetEncoderPositionForAnalog"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetEncoderPositionForAnalog(IntPtr handle, int channel,
                                                                    int multiplier, double period,
                                                                    out int position);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetEncoderPositionMicrometer"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetEncoderPositionMicrometer(IntPtr handle, int channel,
                                                                     int multiplier, double period,
                                                                     out int position);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetEncoderDirection"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetEncoderDirection(IntPtr handle, int channel,
                                                            out int direction);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSetEncoderDirection"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSetEncoderDirection(IntPtr handle, int channel,
                                                            int direction);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetEncoderInversion"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetEncoderInversion(IntPtr handle, int channel,
                                                            out int inversion);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSetEncoderInversion"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSetEncoderInversion(IntPtr handle, int channel,
                                                            int inversion);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetEncoderMultiForAnalog"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetEncoderMultiForAnalog(IntPtr handle, int channel,
                                                                 out int multiplier);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSetEncoderMultiForAnalog"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSetEncoderMultiForAnalog(IntPtr handle, int channel,
                                                                 int multiplier);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetEncoderResetValue"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetEncoderResetValue(IntPtr handle, int channel,
                                                             out int resetValue);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSetEncoderResetValue"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSetEncoderResetValue(IntPtr handle, int channel,
                                                             int resetValue);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncStartCalibration"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncStartCalibration(IntPtr handle, int channel);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncStopCalibration"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncStopCalibration(IntPtr handle, int channel);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetEncoderResolution"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetEncoderResolution(IntPtr handle, out double resolution);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSetEncoderResolution"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSetEncoderResolution(IntPtr handle, double resolution);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetFirmwareVersion"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetFirmwareVersion(IntPtr handle, out double version);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetLogicVersion"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetLogicVersion(IntPtr handle, out double version);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetPositiveRun"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetPositiveRun(IntPtr handle, out int run);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSetPositiveRun"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSetPositiveRun(IntPtr handle, int run);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetNegativeRun"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetNegativeRun(IntPtr handle, out int run);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSetNegativeRun"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSetNegativeRun(IntPtr handle, int run);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetTrgMode"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetTrgMode(IntPtr handle, out int trgMode);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSetTrgMode"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSetTrgMode(IntPtr handle, int trgMode);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetVirtualEncoderFrequency"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetVirtualEncoderFrequency(IntPtr handle, int channel,
                                                                   out int frequency);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSetVirtualEncoderFrequency"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSetVirtualEncoderFrequency(IntPtr handle, int channel,
                                                                   int frequency);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncLoadDefaultParameters"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncLoadDefaultParameters(IntPtr handle);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSaveFlash"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSaveFlash(IntPtr handle);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncLoadFlash"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncLoadFlash(IntPtr handle);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetTriggerControls"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetTriggerControls(IntPtr handle, int channel,
                                                           out TriggerControls controls);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSetTriggerControls"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSetTriggerControls(IntPtr handle, int channel,
                                                           [In] ref TriggerControls controls);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSetTriggerControlsEachTrigger"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint
        ZorEncSetTriggerControlsEachTrigger(IntPtr handle, int channel, int nibble0, int nibble1,
                                            int nibble2Code, int nibble3, int nibble4, int nibble5,
                                            int nibble6, int bit30, int bit31);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetTriggerGenerator"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetTriggerGenerator(IntPtr handle, int channel,
                                                            out int upperHalf, out int lowerHalf);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSetTriggerGenerator"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSetTriggerGenerator(IntPtr handle, int channel,
                                                            int upperHalf, int lowerHalf);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetTriggerGeneratorRoll"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetTriggerGeneratorRoll(IntPtr handle, int channel,
                                                                out int value);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSetTriggerGeneratorRoll"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSetTriggerGeneratorRoll(IntPtr handle, int channel,
                                                                int value);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetTriggerOutputMode"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetTriggerOutputMode(IntPtr handle, int channel,
                                                             out int mode);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSetTriggerOutputMode"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSetTriggerOutputMode(IntPtr handle, int channel, int mode);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetTriggerPosition0"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetTriggerPosition0(IntPtr handle, int channel,
                                                            out int position);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSetTriggerPosition0"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSetTriggerPosition0(IntPtr handle, int channel,
                                                            int position);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetTriggerPosition1"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetTriggerPosition1(IntPtr handle, int channel,
                                                            out int position);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSetTriggerPosition1"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSetTriggerPosition1(IntPtr handle, int channel,
                                                            int position);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSetTriggerPositionMicrometer0"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSetTriggerPositionMicrometer0(IntPtr handle, int channel,
                                                                      int position, int multiplier,
                                                                      double period, int convert);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSetTriggerPositionMicrometer1"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSetTriggerPositionMicrometer1(IntPtr handle, int channel,
                                                                      int position, int multiplier,
                                                                      double period, int convert);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetTriggerPulseWidth"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern double ZorEncGetTriggerPulseWidth(IntPtr handle, int channel,
                                                               out double pulseWidth);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSetTriggerPulseWidth"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSetTriggerPulseWidth(IntPtr handle, int channel,
                                                             double pulseWidth);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetTriggerDelay"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetTriggerDelay(IntPtr handle, int channel,
                                                        out double delay);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSetTriggerDelay"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSetTriggerDelay(IntPtr handle, int channel, double delay);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetIndexTriggerLastIndex"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetIndexTriggerLastIndex(IntPtr handle, int channel,
                                                                 out int lastIndex);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSetIndexTriggerLastIndex"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSetIndexTriggerLastIndex(IntPtr handle, int channel,
                                                                 int lastIndex);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetIndexTriggerPosition"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetIndexTriggerPosition(IntPtr handle, int channel,
                                                                int index, out int position);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncSetIndexTriggerPosition"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncSetIndexTriggerPosition(IntPtr handle, int channel,
                                                                int index, int position);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetDI"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetDI(IntPtr handle, out int input0, out int input1,
                                              out int input2, out int input3, out int input4,
                                              out int input5, out int input6);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetDIState"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetDIState(IntPtr handle, int input, out int state);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetDiCount"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetDiCount(IntPtr handle, int input, out int count);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetTriggerCount"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetTriggerCount(IntPtr handle, int channel, out int count);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncGetTriggerErrorCount"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncGetTriggerErrorCount(IntPtr handle, int channel,
                                                             out int count);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncClearAll"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncClearAll(IntPtr handle);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncClearDiAll"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncClearDiAll(IntPtr handle);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncClearDiCount"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncClearDiCount(IntPtr handle, int input);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncClearTriggerAll"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncClearTriggerAll(IntPtr handle);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncClearTriggerCount"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncClearTriggerCount(IntPtr handle, int channel);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncClearEncoderPositionAll"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncClearEncoderPositionAll(IntPtr handle);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncClearEncoderPosition"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncClearEncoderPosition(IntPtr handle, int channel);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncClearErrorCountAll"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncClearErrorCountAll(IntPtr handle);

        /// <summary>The zorenc_x64 export behind
        /// <see cref="NativeMethods.ZorEncClearErrorCount"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint ZorEncClearErrorCount(IntPtr handle, int channel);
    }

    /// <summary>The declarations of zorenc_x32.dll, 32-bit Windows: __stdcall, each
    /// function bound to its exported name _Name@N.</summary>
    public static class X32 {
        /// <summary>The library's name; the runtime adds .dll.</summary>
        public const string Library = "zorenc_x32";
        private const CallingConvention Convention = CallingConvention.StdCall;

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncCreateHandler"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncCreateHandler@0")]
        public static extern IntPtr ZorEncCreateHandler();

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncIsValidHandle"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncIsValidHandle@4")]
        [return:MarshalAs(UnmanagedType.U1)]
        public static extern bool ZorEncIsValidHandle(IntPtr handle);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncCloseHandler"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncCloseHandler@4")]
        public static extern void ZorEncCloseHandler(IntPtr handle);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncRelease"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncRelease@0")]
        public static extern void ZorEncRelease();

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncOpen"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncOpen@8")]
        [return:MarshalAs(UnmanagedType.U1)]
        public static extern bool ZorEncOpen(IntPtr handle,
                                             [MarshalAs(UnmanagedType.LPStr)] string portName);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncClose"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncClose@4")]
        public static extern int ZorEncClose(IntPtr handle);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncIsOpen"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncIsOpen@4")]
        [return:MarshalAs(UnmanagedType.U1)]
        public static extern bool ZorEncIsOpen(IntPtr handle);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSendData"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSendData@20")]
        public static extern uint ZorEncSendData(IntPtr handle, byte command, ushort address,
                                                 uint value, out uint reply);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSendOnly"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSendOnly@16")]
        public static extern uint ZorEncSendOnly(IntPtr handle, byte command, ushort address,
                                                 uint value);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSendRead"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSendRead@16")]
        public static extern uint ZorEncSendRead(IntPtr handle, ushort address, uint value,
                                                 out uint reply);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSendWrite"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSendWrite@16")]
        public static extern uint ZorEncSendWrite(IntPtr handle, ushort address, uint value,
                                                  out uint reply);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncPurge"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncPurge@4")]
        [return:MarshalAs(UnmanagedType.U1)]
        public static extern bool ZorEncPurge(IntPtr handle);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncRead"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncRead@20")]
        public static extern uint ZorEncRead(IntPtr handle, [Out] byte[]? buffer, int reserved,
                                             int length, IntPtr abortFlag);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncReadUntil"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncReadUntil@16")]
        public static extern uint ZorEncReadUntil(IntPtr handle, [Out] byte[]? buffer,
                                                  byte terminator, IntPtr abortFlag);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncRegisterSendEvent"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncRegisterSendEvent@8")]
        public static extern uint ZorEncRegisterSendEvent(IntPtr handle,
                                                          ZorEncEventCallback? callback);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncRegisterRecvEvent"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncRegisterRecvEvent@8")]
        public static extern uint ZorEncRegisterRecvEvent(IntPtr handle,
                                                          ZorEncEventCallback? callback);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncRegisterErrorEvent"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncRegisterErrorEvent@8")]
        public static extern uint ZorEncRegisterErrorEvent(IntPtr handle,
                                                           ZorEncEventCallback? callback);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetEncoderPosition"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetEncoderPosition@12")]
        public static extern uint ZorEncGetEncoderPosition(IntPtr handle, int channel,
                                                           out int position);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetEncoderPositionForAnalog"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetEncoderPositionForAnalog@24")]
        public static extern uint ZorEncGetEncoderPositionForAnalog(IntPtr handle, int channel,
                                                                    int multiplier, double period,
                                                                    out int position);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetEncoderPositionMicrometer"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetEncoderPositionMicrometer@24")]
        public static extern uint ZorEncGetEncoderPositionMicrometer(IntPtr handle, int channel,
                                                                     int multiplier, double period,
                                                                     out int position);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetEncoderDirection"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetEncoderDirection@12")]
        public static extern uint ZorEncGetEncoderDirection(IntPtr handle, int channel,
                                                            out int direction);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSetEncoderDirection"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSetEncoderDirection@12")]
        public static extern uint ZorEncSetEncoderDirection(IntPtr handle, int channel,
                                                            int direction);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetEncoderInversion"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetEncoderInversion@12")]
        public static extern uint ZorEncGetEncoderInversion(IntPtr handle, int channel,
                                                            out int inversion);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSetEncoderInversion"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSetEncoderInversion@12")]
        public static extern uint ZorEncSetEncoderInversion(IntPtr handle, int channel,
                                                            int inversion);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetEncoderMultiForAnalog"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetEncoderMultiForAnalog@12")]
        public static extern uint ZorEncGetEncoderMultiForAnalog(IntPtr handle, int channel,
                                                                 out int multiplier);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSetEncoderMultiForAnalog"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSetEncoderMultiForAnalog@12")]
        public static extern uint ZorEncSetEncoderMultiForAnalog(IntPtr handle, int channel,
                                                                 int multiplier);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetEncoderResetValue"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetEncoderResetValue@12")]
        public static extern uint ZorEncGetEncoderResetValue(IntPtr handle, int channel,
                                                             out int resetValue);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSetEncoderResetValue"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSetEncoderResetValue@12")]
        public static extern uint ZorEncSetEncoderResetValue(IntPtr handle, int channel,
                                                             int resetValue);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncStartCalibration"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncStartCalibration@8")]
        public static extern uint ZorEncStartCalibration(IntPtr handle, int channel);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncStopCalibration"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncStopCalibration@8")]
        public static extern uint ZorEncStopCalibration(IntPtr handle, int channel);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetEncoderResolution"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetEncoderResolution@8")]
        public static extern uint ZorEncGetEncoderResolution(IntPtr handle, out double resolution);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSetEncoderResolution"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSetEncoderResolution@12")]
        public static extern uint ZorEncSetEncoderResolution(IntPtr handle, double resolution);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetFirmwareVersion"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetFirmwareVersion@8")]
        public static extern uint ZorEncGetFirmwareVersion(IntPtr handle, out double version);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetLogicVersion"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetLogicVersion@8")]
        public static extern uint ZorEncGetLogicVersion(IntPtr handle, out double version);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetPositiveRun"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetPositiveRun@8")]
        public static extern uint ZorEncGetPositiveRun(IntPtr handle, out int run);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSetPositiveRun"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSetPositiveRun@8")]
        public static extern uint ZorEncSetPositiveRun(IntPtr handle, int run);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetNegativeRun"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetNegativeRun@8")]
        public static extern uint ZorEncGetNegativeRun(IntPtr handle, out int run);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSetNegativeRun"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSetNegativeRun@8")]
        public static extern uint ZorEncSetNegativeRun(IntPtr handle, int run);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetTrgMode"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetTrgMode@8")]
        public static extern uint ZorEncGetTrgMode(IntPtr handle, out int trgMode);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSetTrgMode"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSetTrgMode@8")]
        public static extern uint ZorEncSetTrgMode(IntPtr handle, int trgMode);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetVirtualEncoderFrequency"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetVirtualEncoderFrequency@12")]
        public static extern uint ZorEncGetVirtualEncoderFrequency(IntPtr handle, int channel,
                                                                   out int frequency);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSetVirtualEncoderFrequency"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSetVirtualEncoderFrequency@12")]
        public static extern uint ZorEncSetVirtualEncoderFrequency(IntPtr handle, int channel,
                                                                   int frequency);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncLoadDefaultParameters"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncLoadDefaultParameters@4")]
        public static extern uint ZorEncLoadDefaultParameters(IntPtr handle);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSaveFlash"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSaveFlash@4")]
        public static extern uint ZorEncSaveFlash(IntPtr handle);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncLoadFlash"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncLoadFlash@4")]
        public static extern uint ZorEncLoadFlash(IntPtr handle);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetTriggerControls"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetTriggerControls@12")]
        public static extern uint ZorEncGetTriggerControls(IntPtr handle, int channel,
                                                           out TriggerControls controls);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSetTriggerControls"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSetTriggerControls@12")]
        public static extern uint ZorEncSetTriggerControls(IntPtr handle, int channel,
                                                           [In] ref TriggerControls controls);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSetTriggerControlsEachTrigger"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSetTriggerControlsEachTrigger@44")]
        public static extern uint
        ZorEncSetTriggerControlsEachTrigger(IntPtr handle, int channel, int nibble0, int nibble1,
                                            int nibble2Code, int nibble3, int nibble4, int nibble5,
                                            int nibble6, int bit30, int bit31);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetTriggerGenerator"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetTriggerGenerator@16")]
        public static extern uint ZorEncGetTriggerGenerator(IntPtr handle, int channel,
                                                            out int upperHalf, out int lowerHalf);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSetTriggerGenerator"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSetTriggerGenerator@16")]
        public static extern uint ZorEncSetTriggerGenerator(IntPtr handle, int channel,
                                                            int upperHalf, int lowerHalf);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetTriggerGeneratorRoll"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetTriggerGeneratorRoll@12")]
        public static extern uint ZorEncGetTriggerGeneratorRoll(IntPtr handle, int channel,
                                                                out int value);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSetTriggerGeneratorRoll"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSetTriggerGeneratorRoll@12")]
        public static extern uint ZorEncSetTriggerGeneratorRoll(IntPtr handle, int channel,
                                                                int value);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetTriggerOutputMode"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetTriggerOutputMode@12")]
        public static extern uint ZorEncGetTriggerOutputMode(IntPtr handle, int channel,
                                                             out int mode);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSetTriggerOutputMode"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSetTriggerOutputMode@12")]
        public static extern uint ZorEncSetTriggerOutputMode(IntPtr handle, int channel, int mode);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetTriggerPosition0"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetTriggerPosition0@12")]
        public static extern uint ZorEncGetTriggerPosition0(IntPtr handle, int channel,
                                                            out int position);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSetTriggerPosition0"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSetTriggerPosition0@12")]
        public static extern uint ZorEncSetTriggerPosition0(IntPtr handle, int channel,
                                                            int position);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetTriggerPosition1"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetTriggerPosition1@12")]
        public static extern uint ZorEncGetTriggerPosition1(IntPtr handle, int channel,
                                                            out int position);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSetTriggerPosition1"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSetTriggerPosition1@12")]
        public static extern uint ZorEncSetTriggerPosition1(IntPtr handle, int channel,
                                                            int position);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSetTriggerPositionMicrometer0"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSetTriggerPositionMicrometer0@28")]
        public static extern uint ZorEncSetTriggerPositionMicrometer0(IntPtr handle, int channel,
                                                                      int position, int multiplier,
                                                                      double period, int convert);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSetTriggerPositionMicrometer1"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSetTriggerPositionMicrometer1@28")]
        public static extern uint ZorEncSetTriggerPositionMicrometer1(IntPtr handle, int channel,
                                                                      int position, int multiplier,
                                                                      double period, int convert);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetTriggerPulseWidth"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetTriggerPulseWidth@12")]
        public static extern double ZorEncGetTriggerPulseWidth(IntPtr handle, int channel,
                                                               out double pulseWidth);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSetTriggerPulseWidth"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSetTriggerPulseWidth@16")]
        public static extern uint ZorEncSetTriggerPulseWidth(IntPtr handle, int channel,
                                                             double pulseWidth);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetTriggerDelay"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetTriggerDelay@12")]
        public static extern uint ZorEncGetTriggerDelay(IntPtr handle, int channel,
                                                        out double delay);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSetTriggerDelay"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSetTriggerDelay@16")]
        public static extern uint ZorEncSetTriggerDelay(IntPtr handle, int channel, double delay);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetIndexTriggerLastIndex"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetIndexTriggerLastIndex@12")]
        public static extern uint ZorEncGetIndexTriggerLastIndex(IntPtr handle, int channel,
                                                                 out int lastIndex);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSetIndexTriggerLastIndex"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSetIndexTriggerLastIndex@12")]
        public static extern uint ZorEncSetIndexTriggerLastIndex(IntPtr handle, int channel,
                                                                 int lastIndex);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetIndexTriggerPosition"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetIndexTriggerPosition@16")]
        public static extern uint ZorEncGetIndexTriggerPosition(IntPtr handle, int channel,
                                                                int index, out int position);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncSetIndexTriggerPosition"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncSetIndexTriggerPosition@16")]
        public static extern uint ZorEncSetIndexTriggerPosition(IntPtr handle, int channel,
                                                                int index, int position);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetDI"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetDI@32")]
        public static extern uint ZorEncGetDI(IntPtr handle, out int input0, out int input1,
                                              out int input2, out int input3, out int input4,
                                              out int input5, out int input6);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetDIState"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetDIState@12")]
        public static extern uint ZorEncGetDIState(IntPtr handle, int input, out int state);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetDiCount"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetDiCount@12")]
        public static extern uint ZorEncGetDiCount(IntPtr handle, int input, out int count);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetTriggerCount"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetTriggerCount@12")]
        public static extern uint ZorEncGetTriggerCount(IntPtr handle, int channel, out int count);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncGetTriggerErrorCount"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncGetTriggerErrorCount@12")]
        public static extern uint ZorEncGetTriggerErrorCount(IntPtr handle, int channel,
                                                             out int count);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncClearAll"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncClearAll@4")]
        public static extern uint ZorEncClearAll(IntPtr handle);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncClearDiAll"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncClearDiAll@4")]
        public static extern uint ZorEncClearDiAll(IntPtr handle);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncClearDiCount"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncClearDiCount@8")]
        public static extern uint ZorEncClearDiCount(IntPtr handle, int input);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncClearTriggerAll"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncClearTriggerAll@4")]
        public static extern uint ZorEncClearTriggerAll(IntPtr handle);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncClearTriggerCount"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncClearTriggerCount@8")]
        public static extern uint ZorEncClearTriggerCount(IntPtr handle, int channel);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncClearEncoderPositionAll"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncClearEncoderPositionAll@4")]
        public static extern uint ZorEncClearEncoderPositionAll(IntPtr handle);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncClearEncoderPosition"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncClearEncoderPosition@8")]
        public static extern uint ZorEncClearEncoderPosition(IntPtr handle, int channel);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncClearErrorCountAll"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncClearErrorCountAll@4")]
        public static extern uint ZorEncClearErrorCountAll(IntPtr handle);

        /// <summary>The zorenc_x32 (stdcall) export behind
        /// <see cref="NativeMethods.ZorEncClearErrorCount"/>.</summary>
        [DllImport(Library, CallingConvention = Convention, ExactSpelling = true,
                   EntryPoint = "_ZorEncClearErrorCount@8")]
        public static extern uint ZorEncClearErrorCount(IntPtr handle, int channel);
    }
}
}

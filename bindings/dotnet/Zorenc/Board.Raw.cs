// Raw register transactions and the port as a byte stream.
using System;
using System.Threading;

namespace Zorenc {
public sealed partial class Board {
    /// <summary>Bytes <see cref="ReadUntil"/> gathers at most.</summary>
    public const int LineLimit = NativeMethods.ReadUntilBufferSize;

    /// <summary>Reads a register.</summary>
    /// <param name="address">The register's address.</param>
    /// <returns>Its value.</returns>
    /// <exception cref="ZorEncStatusException">The board answered with a status
    /// (<see cref="ZorEncStatusException.Value"/> holds the reply's value).</exception>
    public uint Read(ushort address)
    {
        return Transact(nameof(NativeMethods.ZorEncSendRead),
                        (IntPtr h, out uint reply) =>
                            NativeMethods.ZorEncSendRead(h, address, 0, out reply));
    }

    /// <summary>Writes a register.</summary>
    /// <param name="address">The register's address.</param>
    /// <param name="value">The value.</param>
    /// <returns>The value of the board's reply.</returns>
    public uint Write(ushort address, uint value)
    {
        return Transact(nameof(NativeMethods.ZorEncSendWrite),
                        (IntPtr h, out uint reply) =>
                            NativeMethods.ZorEncSendWrite(h, address, value, out reply));
    }

    /// <summary>One transaction with any command byte (<c>(byte)'R'</c>, <c>(byte)'W'</c>,
    /// ...).</summary>
    /// <param name="command">The command byte.</param>
    /// <param name="address">The register's address.</param>
    /// <param name="value">The value sent.</param>
    /// <returns>The value of the reply.</returns>
    public uint Send(byte command, ushort address, uint value = 0)
    {
        return Transact(nameof(NativeMethods.ZorEncSendData),
                        (IntPtr h, out uint reply) =>
                            NativeMethods.ZorEncSendData(h, command, address, value, out reply));
    }

    /// <summary>Sends a request without waiting: its reply stays in the receive queue (for
    /// <see cref="ReadBytes"/>; the next transaction discards it).</summary>
    /// <param name="command">The command byte.</param>
    /// <param name="address">The register's address.</param>
    /// <param name="value">The value sent.</param>
    public void SendOnly(byte command, ushort address, uint value = 0)
    {
        Do(nameof(NativeMethods.ZorEncSendOnly),
           h => NativeMethods.ZorEncSendOnly(h, command, address, value));
    }

    /// <summary>Empties the port's transmit and receive queues.</summary>
    /// <exception cref="ZorEncNotOpenException">The port is not open.</exception>
    public void Purge()
    {
        if (!Invoke(h => NativeMethods.ZorEncPurge(h))) {
            throw new ZorEncNotOpenException(nameof(NativeMethods.ZorEncPurge));
        }
    }

    /// <summary>Reads exactly count bytes from the port. There is no time-out: the read ends
    /// when they have all arrived, or within about 100 ms of cancellationToken being
    /// cancelled (or the board disposed).</summary>
    /// <param name="count">Bytes to read, at least 1.</param>
    /// <param name="cancellationToken">Cancels the read, from any thread.</param>
    /// <returns>The bytes.</returns>
    /// <exception cref="ZorEncAbortedException">The read was cancelled (an
    /// <see cref="OperationCanceledException"/>); the bytes read so far are lost.</exception>
    /// <exception cref="ZorEncParamException">count is 0 or less.</exception>
    public byte[] ReadBytes(int count, CancellationToken cancellationToken = default)
    {
        byte[] buffer = new byte[Math.Max(count, 1)];
        StreamRead(nameof(NativeMethods.ZorEncRead), cancellationToken,
                   (h, flag) => NativeMethods.ZorEncRead(h, buffer, 0, count, flag));
        return buffer;
    }

    /// <summary>Reads up to and including the terminator byte; bytes behind it stay queued.
    /// Ends as <see cref="ReadBytes"/> does.</summary>
    /// <param name="terminator">The byte that ends the line.</param>
    /// <param name="cancellationToken">Cancels the read, from any thread.</param>
    /// <returns>The line, terminator last.</returns>
    /// <exception cref="ZorEncFrameException"><see cref="LineLimit"/> bytes came without the
    /// terminator (<see cref="ZorEncFrameException.Gathered"/> holds them).</exception>
    /// <exception cref="ZorEncAbortedException">The read was cancelled.</exception>
    public byte[] ReadUntil(byte terminator, CancellationToken cancellationToken = default)
    {
        byte[] buffer = new byte[LineLimit];
        const string function = nameof(NativeMethods.ZorEncReadUntil);
        try {
            StreamRead(function, cancellationToken,
                       (h, flag) => NativeMethods.ZorEncReadUntil(h, buffer, terminator, flag));
        } catch (ZorEncFrameException) {
            throw new ZorEncFrameException(function, buffer);
        }
        // The first terminator is the last byte read: none came before it.
        int length = Array.IndexOf(buffer, terminator) + 1;
        byte[] line = new byte[length];
        Array.Copy(buffer, line, length);
        return line;
    }

    private void StreamRead(string function, CancellationToken token,
                            Func<IntPtr, IntPtr, uint> read)
    {
        if (token.IsCancellationRequested) {
            throw new ZorEncAbortedException(function, token);
        }
        uint result = Invoke(h =>
                             {
                                 abort.Clear();
                                 if (Volatile.Read(ref disposing) != 0) {
                                     abort.Raise();
                                 }
                                 using (token.Register(RaiseAbort))
                                 {
                                     return read(h, abort.Pointer);
                                 }
                             });
        if (result == ZorEncResultCode.Aborted) {
            throw new ZorEncAbortedException(function, token);
        }
        if (result != ZorEncResultCode.Ok) {
            throw Failure(result, function);
        }
    }

    // A raw transaction: a status or checksum reply still carries the value received.
    private uint Transact(string function, OutCall<uint> call)
    {
        uint reply = 0;
        uint result = Invoke(h => call(h, out reply));
        switch (result) {
        case ZorEncResultCode.Ok:
            return reply;
        case ZorEncResultCode.Checksum:
            throw new ZorEncChecksumException(function, reply);
        default:
            if (result >= 1 && result <= 255) {
                throw new ZorEncStatusException((byte)result, function, reply);
            }
            throw Failure(result, function);
        }
    }
}
}

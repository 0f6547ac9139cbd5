// Frame callbacks as .NET events. The library holds only a function pointer,
// so the board keeps the delegate it registered (a field) until it removes it
// or the handler is destroyed; the garbage collector never takes it early.
using System;
using System.Runtime.ExceptionServices;
using System.Runtime.InteropServices;

namespace Zorenc {
/// <summary>A frame seen by <see cref="Board.FrameSent"/> or <see
/// cref="Board.FrameReceived"/>.</summary>
public sealed class FrameEventArgs : EventArgs {
    /// <summary>An event for a frame.</summary>
    /// <param name="frame">The frame's bytes.</param>
    public FrameEventArgs(byte[] frame) { Frame = frame; }

    /// <summary>The frame's bytes as on the line (a copy the handler may keep).</summary>
    public byte[] Frame { get; }
}

public sealed partial class Board {
    private const int FrameKinds = 3;
    private const int SendKind = 0, ReceiveKind = 1, ErrorKind = 2;

    private EventHandler<FrameEventArgs>?[] handlers =
        new EventHandler<FrameEventArgs>?[FrameKinds];
    private ZorEncEventCallback?[] trampolines = new ZorEncEventCallback?[FrameKinds];

    /// <summary>Raised with every request frame as written. The handler runs on the calling
    /// thread inside the call; an exception it throws comes out of that call (after the call
    /// has completed). It must not call this board.</summary>
    public event EventHandler<FrameEventArgs>? FrameSent
    {
        add
        {
            Subscribe(SendKind, value, true);
        }
        remove
        {
            Subscribe(SendKind, value, false);
        }
    }

    /// <summary>Raised with every reply as received (all bytes collected for it, any ahead of
    /// the frame included); runs as <see cref="FrameSent"/> does.</summary>
    public event EventHandler<FrameEventArgs>? FrameReceived
    {
        add
        {
            Subscribe(ReceiveKind, value, true);
        }
        remove
        {
            Subscribe(ReceiveKind, value, false);
        }
    }

    /// <summary>The library's error callback: it keeps the handler but never calls it
    /// today.</summary>
    public event EventHandler<FrameEventArgs>? ErrorReported
    {
        add
        {
            Subscribe(ErrorKind, value, true);
        }
        remove
        {
            Subscribe(ErrorKind, value, false);
        }
    }

    private void Subscribe(int kind, EventHandler<FrameEventArgs>? handler, bool add)
    {
        if (handler == null) {
            return;
        }
        lock (gate)
        {
            if (!add && handle == IntPtr.Zero) {
                return; // a disposed board has no handlers left to remove
            }
            EventHandler<FrameEventArgs>? before = handlers[kind];
            EventHandler<FrameEventArgs>? after = add ? before + handler : before - handler;
            if ((before == null) != (after == null)) {
                ZorEncEventCallback? trampoline = null;
                if (after != null) {
                    trampoline = (data, length) => OnFrame(kind, data, length);
                }
                Do(RegisterName(kind), h => Register(h, kind, trampoline));
                trampolines[kind] = trampoline;
            }
            handlers[kind] = after;
        }
    }

    private void OnFrame(int kind, IntPtr data, int length)
    {
        // Nothing may unwind into the library: an exception waits for the call's end.
        try {
            EventHandler<FrameEventArgs>? handler = handlers[kind];
            if (handler == null) {
                return;
            }
            byte[] frame = new byte[Math.Max(length, 0)];
            if (length > 0) {
                Marshal.Copy(data, frame, 0, length);
            }
            handler(this, new FrameEventArgs(frame));
        } catch (Exception e) {
            if (handlerError == null) {
                handlerError = ExceptionDispatchInfo.Capture(e);
            }
        }
    }

    private static string RegisterName(int kind)
    {
        return kind == SendKind      ? nameof(NativeMethods.ZorEncRegisterSendEvent)
               : kind == ReceiveKind ? nameof(NativeMethods.ZorEncRegisterRecvEvent)
                                     : nameof(NativeMethods.ZorEncRegisterErrorEvent);
    }

    // The raw declarations: NativeMethods' own methods would root the delegate
    // in a static table and with it the board.
    private static uint Register(IntPtr h, int kind, ZorEncEventCallback? callback)
    {
        if (NativeMethods.Is64BitProcess) {
            return kind == SendKind      ? NativeMethods.X64.ZorEncRegisterSendEvent(h, callback)
                   : kind == ReceiveKind ? NativeMethods.X64.ZorEncRegisterRecvEvent(h, callback)
                                         : NativeMethods.X64.ZorEncRegisterErrorEvent(h, callback);
        }
        return kind == SendKind      ? NativeMethods.X32.ZorEncRegisterSendEvent(h, callback)
               : kind == ReceiveKind ? NativeMethods.X32.ZorEncRegisterRecvEvent(h, callback)
                                     : NativeMethods.X32.ZorEncRegisterErrorEvent(h, callback);
    }
}
}

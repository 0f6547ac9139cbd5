// The board as a .NET object: one handler of the library with its port. This
// file holds its life cycle and the one path every call takes into the
// library; the families of calls are in the other Board.*.cs files.
using System;
using System.Runtime.ExceptionServices;
using System.Threading;

namespace Zorenc {
/// <summary>A board on a serial port: a handler of the zorenc library, opened on a port.</summary>
/// <remarks>
/// <para><c>new Board("COM3")</c> (or <c>"/dev/ttyUSB0"</c>) creates a handler and opens the
/// port at 115200 8N1, throwing <see cref="ZorEncNotOpenException"/> when it cannot;
/// <c>new Board()</c> creates the handler alone (<see cref="Open"/> it later). Dispose the
/// board to destroy the handler; a board that was never disposed is destroyed when the
/// garbage collector finalizes it.</para>
/// <para>Every failure throws: see <see cref="IZorEncError"/> for the classes. Channels are
/// 0..3, digital inputs 0..6 and index-trigger indexes 0..0xEF; others throw
/// <see cref="ZorEncChannelException"/> (an <see cref="ArgumentException"/>) before a byte is
/// sent. A silent board throws <see cref="ZorEncTimeoutException"/> (a
/// <see cref="TimeoutException"/>) after about a second.</para>
/// <para>Thread safety: every member may be called from any thread. Calls on one board are
/// serialised by the board (each waits for the one before to end); calls on different boards
/// run side by side. Creating or disposing a board waits until no call on any board runs (the
/// library's handler table allows nothing else), so a raw read blocked on one board holds
/// that up until it ends or is cancelled. A frame event handler runs inside the call that
/// carried the frame and must not call its own board.</para>
/// </remarks>
public sealed partial class Board : IDisposable {
    private readonly object gate = new object();
    private readonly AbortFlag abort = new AbortFlag();
    private IntPtr handle;
    private int owner; // managed id of the thread inside a call, 0 when none
    private int disposing;
    private ExceptionDispatchInfo? handlerError;
    private string? openedAs; // the name or identity Open was given
    private bool expectOpen;  // opened, and not closed by ClosePort

    /// <summary>Creates a handler with a closed port; <see cref="Open"/> it later.</summary>
    /// <exception cref="OutOfMemoryException">The library could not create a handler.</exception>
    public Board()
    {
        handle = HandlerTable.Create();
        if (handle == IntPtr.Zero) {
            abort.Dispose();
            GC.SuppressFinalize(this);
            throw new OutOfMemoryException("the zorenc library could not create a handler");
        }
    }

    /// <summary>Creates a handler and opens its port.</summary>
    /// <param name="port">The port's name (<c>COM3</c>, <c>/dev/ttyUSB0</c>, ...) or identity
    /// (<c>auto</c>, <c>serial:SN</c>, <c>usb:VVVV:PPPP</c>: see
    /// <see cref="ResolvePort"/>).</param>
    /// <exception cref="ZorEncNotOpenException">The port cannot be opened; no handler is
    /// left behind.</exception>
    /// <exception cref="ZorEncNotFoundException">No port or several match the
    /// identity.</exception>
    public Board(string port) : this()
    {
        try {
            Open(port);
        } catch {
            Dispose();
            throw;
        }
    }

    /// <summary>Destroys the handler of a board that was not disposed.</summary>
    ~Board()
    {
        if (handle != IntPtr.Zero) {
            // The delegates stay referenced until the library has forgotten them.
            HandlerTable.Destroy(handle, trampolines);
        }
        abort.Dispose(); // no read can run: it would hold the board
    }

    /// <summary>The library's handle of this board; <see cref="IntPtr.Zero"/> once
    /// disposed.</summary>
    public IntPtr Handle => handle;

    /// <summary>The name the port was last opened with, or null.</summary>
    public string? Port { get; private set; }

    /// <summary>Whether the handler exists and its port is open.</summary>
    public bool IsOpen
    {
        get {
            lock (gate)
            {
                return handle != IntPtr.Zero && Invoke(h => NativeMethods.ZorEncIsOpen(h));
            }
        }
    }

    /// <summary>Opens the port at 115200 baud, 8N1, exclusively. An open port stays open on
    /// its first name.</summary>
    /// <param name="port">The port's name (<c>COM3</c>, <c>/dev/ttyUSB0</c>, ...) or identity
    /// (<c>auto</c>, <c>serial:SN</c>, <c>usb:VVVV:PPPP</c>: see
    /// <see cref="ResolvePort"/>).</param>
    /// <exception cref="ArgumentNullException">port is null.</exception>
    /// <exception cref="ZorEncNotOpenException">The port cannot be opened.</exception>
    /// <exception cref="ZorEncNotFoundException">No port or several match the
    /// identity.</exception>
    public void Open(string port)
    {
        if (port == null) {
            throw new ArgumentNullException(nameof(port));
        }
        string given = port;
        port = ResolvePort(port);
        if (!Invoke(h => NativeMethods.ZorEncOpen(h, port))) {
            throw new ZorEncNotOpenException(nameof(NativeMethods.ZorEncOpen),
                                             "cannot open port '" + port +
                                                 "': " + PortPresence.OpenFailureReason(port));
        }
        Port = port;
        openedAs = given;
        expectOpen = true;
    }

    /// <summary>Closes the port, if the library has not already, and opens it again as it
    /// was first opened: by the same name, or by the same identity (<c>serial:SN</c>,
    /// <c>auto</c>: the adapter may have come back under another name). The handler, its
    /// event handlers and a running capture stay. For use after
    /// <see cref="ZorEncPortGoneException"/>.</summary>
    /// <exception cref="InvalidOperationException">The board was never opened.</exception>
    /// <exception cref="ZorEncNotOpenException">The port is still gone (try again
    /// later).</exception>
    /// <exception cref="ZorEncNotFoundException">No port or several match the
    /// identity.</exception>
    public void Reopen()
    {
        string? given = openedAs;
        if (given == null) {
            throw new InvalidOperationException("Reopen: this board has not been opened");
        }
        Invoke(h => NativeMethods.ZorEncClose(h)); // ZORENC_ERR_NOT_OPEN when already closed
        Open(given);
    }

    /// <summary>Closes the port and keeps the handler and its event handlers; <see cref="Open"/>
    /// may open it again.</summary>
    /// <exception cref="ObjectDisposedException">The board is disposed.</exception>
    /// <exception cref="System.IO.IOException">The port did not close.</exception>
    public void ClosePort()
    {
        expectOpen = false;
        int result = Invoke(h => NativeMethods.ZorEncClose(h));
        if (result == unchecked((int)ZorEncResultCode.NotOpen)) {
            throw new ZorEncNotOpenException(nameof(NativeMethods.ZorEncClose));
        }
        if (result != 0) {
            throw new System.IO.IOException("ZorEncClose: the port did not close (" + result + ")");
        }
    }

    /// <summary>Destroys the handler, closing its port. A raw read running on this board is
    /// cancelled first. Later calls throw <see cref="ObjectDisposedException"/>; disposing
    /// twice does nothing.</summary>
    /// <exception cref="InvalidOperationException">Called from a frame event handler.</exception>
    public void Dispose()
    {
        if (HandlerTable.InCall) {
            throw new InvalidOperationException(
                "boards cannot be created or disposed from a frame callback");
        }
        Interlocked.Exchange(ref disposing, 1);
        RaiseAbort();
        IntPtr closing;
        lock (gate)
        {
            closing = handle;
            handle = IntPtr.Zero;
        }
        if (closing == IntPtr.Zero) {
            return;
        }
        HandlerTable.Close(closing);
        GC.SuppressFinalize(this);
        lock (abort)
        {
            abort.Dispose();
        }
        lock (gate)
        {
            handlers = new EventHandler<FrameEventArgs>?[FrameKinds];
            trampolines = new ZorEncEventCallback?[FrameKinds];
        }
    }

    private void RaiseAbort()
    {
        lock (abort)
        {
            if (handle != IntPtr.Zero) {
                abort.Raise();
            }
        }
    }

    /// <summary>The board's handle and port, for diagnostics.</summary>
    public override string ToString()
    {
        return "Zorenc.Board(handle " + handle.ToInt64() + ", port " + (Port ?? "none") + ")";
    }

    // ---- the one way into the library ----

    private delegate uint OutCall<T>(IntPtr handle, out T value);

    /// <summary>Runs call with the handle while holding the board and the handler table,
    /// then throws what a frame event handler threw during it.</summary>
    private T Invoke<T>(Func<IntPtr, T> call)
    {
        int me = Environment.CurrentManagedThreadId;
        if (Volatile.Read(ref owner) == me) {
            throw new InvalidOperationException("a frame event handler cannot call its own board");
        }
        T result;
        lock (gate)
        {
            IntPtr h = handle;
            if (h == IntPtr.Zero) {
                throw new ObjectDisposedException(nameof(Board));
            }
            owner = me;
            HandlerTable.EnterCall();
            try {
                result = call(h);
            } finally {
                HandlerTable.ExitCall();
                owner = 0;
            }
            ExceptionDispatchInfo? error = handlerError;
            if (error != null) {
                handlerError = null;
                error.Throw();
            }
        }
        return result;
    }

    private void Do(string function, Func<IntPtr, uint> call)
    {
        uint result = Invoke(call);
        if (result != ZorEncResultCode.Ok) {
            throw Failure(result, function);
        }
    }

    /// <summary>The exception of a failed call: <see cref="ZorEncPortGoneException"/> when
    /// the port is gone rather than the board silent.</summary>
    private Exception Failure(uint result, string function)
    {
        string? port = Port;
        if ((result == ZorEncResultCode.Timeout || result == ZorEncResultCode.NotOpen) &&
            expectOpen && port != null && handle != IntPtr.Zero &&
            (!Invoke(h => NativeMethods.ZorEncIsOpen(h)) || PortPresence.Vanished(port))) {
            return new ZorEncPortGoneException(result, function, port);
        }
        return ZorEncException.For(result, function);
    }

    private T Get<T>(string function, OutCall<T> call)
    {
        T value = default !;
        Do(function, h => call(h, out value));
        return value;
    }
}
}

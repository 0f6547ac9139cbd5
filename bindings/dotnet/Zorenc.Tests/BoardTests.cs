// The Board against a simulated board: life cycle, one call of every family,
// an exception for every code, events, and calls from several threads.
using System;
using System.Collections.Generic;
using System.Linq;
using System.Threading;

namespace Zorenc.Tests;

public sealed class BoardTests : IClassFixture<Sim> {
    private readonly Sim sim;

    public BoardTests(Sim sim) => this.sim = sim;

    [Fact]
    public void OpensClosesAndRefusesUseAfterDispose()
    {
        var board = new Board(sim.Port);
        Assert.True(board.IsOpen);
        Assert.Equal(sim.Port, board.Port);
        board.ClosePort();
        Assert.False(board.IsOpen);
        Assert.Throws<ZorEncNotOpenException>(() => board.GetFirmwareVersion());
        board.Dispose();
        board.Dispose();
        Assert.Equal(IntPtr.Zero, board.Handle);
        Assert.Throws<ObjectDisposedException>(() => board.GetFirmwareVersion());
        var missing =
            Assert.Throws<ZorEncNotOpenException>(() => new Board("/dev/zorenc-no-such-port"));
        Assert.Equal("ZorEncOpen", missing.Function);
    }

    // One setter and getter of each family, name first; trigger values keep their decimals.
    public static TheoryData<string, Action<Board>, Func<Board, object>, object> Families => new() {
        { "encoder", b => b.SetEncoderResetValue(1, -42), b => b.GetEncoderResetValue(1), -42 },
        { "device", b => b.SetTriggerMode(2), b => b.GetTriggerMode(), 2 },
        { "firmware",
          _ =>
          {},
          b => b.GetFirmwareVersion(), 1.5 },
        { "resolution", b => b.SetEncoderResolution(1.005), b => b.GetEncoderResolution(), 1.005 },
        { "delay", b => b.SetTriggerDelay(0, 0.29), b => b.GetTriggerDelay(0), 0.29 },
        { "pulse width", b => b.SetTriggerPulseWidth(3, -1.239), b => b.GetTriggerPulseWidth(3),
          -1.23 },
        { "controls",
          b => b.SetTriggerControls(1, new TriggerControls(0x4300F42F) { Nibble0 = 0xE }),
          b => b.GetTriggerControls(1).Word, 0x4300F42Eu },
        { "generator", b => b.SetTriggerGenerator(2, 0x1234, 0xABCD), b => b.GetTriggerGenerator(2),
          (0x1234, 0xABCD) },
        { "index trigger", b => b.SetIndexTriggerPosition(3, 0xEF, 777),
          b => b.GetIndexTriggerPosition(3, 0xEF), 777 },
        { "inputs", b => b.ClearDigitalInputCounts(), b => b.GetDigitalInputs().Length,
          Board.DigitalInputs },
        { "raw", b => b.Write(0x0110, 123456), b => b.Read(0x0110), 123456u },
    };

    [Theory]
    [MemberData(nameof(Families))]
    public void EveryFamilyRoundTrips(string family, Action<Board> set, Func<Board, object> get,
                                      object expected)
    {
        using var board = new Board(sim.Port);
        set(board);
        Assert.True(expected.Equals(get(board)), $"{family}: {get(board)}, not {expected}");
    }

    [Fact]
    public void RawStreamReadsAFrameAndALine()
    {
        using var board = new Board(sim.Port);
        using var bound = new CancellationTokenSource(TimeSpan.FromSeconds(5));
        board.SendOnly((byte)'R', SimCommands.FirmwareRegister);
        Assert.Equal(new byte[] { 0x02, 0x52 }, board.ReadUntil(0x52, bound.Token));
        Assert.Equal(9, board.ReadBytes(9, bound.Token).Length);
    }

    // What each code becomes, with the .NET exception it must also be.
    public static TheoryData<string, Action<Board>, Type, Type, uint> Codes => new() {
        { "timeout",
          b =>
          {
              b.Fault(SimCommands.Silence);
              b.GetTriggerDelay(0);
          },
          typeof(ZorEncTimeoutException), typeof(TimeoutException), ZorEncResultCode.Timeout },
        { "channel 7", b => b.GetTriggerDelay(7), typeof(ZorEncChannelException),
          typeof(ArgumentException), ZorEncResultCode.Channel },
        { "input 7", b => b.GetDigitalInput(7), typeof(ZorEncChannelException),
          typeof(ArgumentException), ZorEncResultCode.Channel },
        { "NaN", b => b.SetTriggerDelay(0, double.NaN), typeof(ZorEncParamException),
          typeof(ArgumentException), ZorEncResultCode.Param },
        { "resolution -0.0001", b => b.SetEncoderResolution(-0.0001), typeof(ZorEncParamException),
          typeof(ArgumentException), ZorEncResultCode.Param },
        // Refused here, as zorenc set refuses them, before anything is sent.
        { "frequency -200", b => b.SetVirtualEncoderFrequency(1, -200),
          typeof(ZorEncParamException), typeof(ArgumentException), ZorEncResultCode.Param },
        { "last index 240", b => b.SetIndexTriggerLastIndex(0, 240), typeof(ZorEncParamException),
          typeof(ArgumentException), ZorEncResultCode.Param },
        { "not open",
          b =>
          {
              b.ClosePort();
              b.GetLogicVersion();
          },
          typeof(ZorEncNotOpenException), typeof(ZorEncException), ZorEncResultCode.NotOpen },
        { "checksum",
          b =>
          {
              b.Fault(SimCommands.BadChecksum);
              b.Read(SimCommands.FirmwareRegister);
          },
          typeof(ZorEncChecksumException), typeof(ZorEncException), ZorEncResultCode.Checksum },
        { "status",
          b =>
          {
              b.Fault(SimCommands.Status, 6);
              b.Read(SimCommands.FirmwareRegister);
          },
          typeof(ZorEncStatusException), typeof(ZorEncException), 6u },
        { "simulated board's status", b => b.Read(SimCommands.ClearRegister),
          typeof(ZorEncStatusException), typeof(ZorEncException), (uint)SimStatus.WriteOnly },
        { "frame",
          b =>
          {
              b.Fault(SimCommands.Garbage, 200);
              b.SendOnly((byte)'R', SimCommands.FirmwareRegister);
              b.ReadUntil(0x03, new CancellationTokenSource(TimeSpan.FromSeconds(5)).Token);
          },
          typeof(ZorEncFrameException), typeof(ZorEncException), ZorEncResultCode.Frame },
        { "aborted", b => b.ReadBytes(1, new CancellationToken(true)),
          typeof(ZorEncAbortedException), typeof(OperationCanceledException),
          ZorEncResultCode.Aborted },
    };

    [Theory]
    [MemberData(nameof(Codes))]
    public void EveryCodeThrowsItsException(string what, Action<Board> fail, Type type, Type alsoA,
                                            uint code)
    {
        using var board = new Board(sim.Port);
        Exception e = Assert.ThrowsAny<Exception>(() => fail(board));
        Assert.True(type == e.GetType(), $"{what}: {e.GetType().Name}: {e.Message}");
        Assert.IsAssignableFrom(alsoA, e);
        var error = Assert.IsAssignableFrom<IZorEncError>(e);
        Assert.Equal(code, error.Code);
        Assert.Equal(ZorEncResultCode.Name(code), error.Name);
        Assert.False(string.IsNullOrEmpty(error.Function), what);
        if (e is ZorEncStatusException status) {
            Assert.Equal(code, status.Status);
            Assert.NotNull(status.Value);
        }
        if (e is ZorEncFrameException frame) {
            Assert.Equal(Board.LineLimit, frame.Gathered!.Length);
            // The rest of the garbage and the reply behind it, read here: late on a
            // loaded machine, they would otherwise meet the next request.
            using var bound = new CancellationTokenSource(TimeSpan.FromSeconds(5));
            for (int more = 0; more < 10; ++more) {
                try {
                    board.ReadUntil(0x03, bound.Token);
                    break;
                } catch (ZorEncFrameException) {
                }
            }
        }
        if (board.IsOpen) {
            Assert.Equal(1.5, board.GetFirmwareVersion()); // the board still answers
        }
    }

    [Fact]
    public void CodesWithoutAClassOfTheirOwn()
    {
        var unknown = Assert.IsType<ZorEncException>(ZorEncException.For(0x1234, "ZorEncX"));
        Assert.Equal("ZORENC_UNKNOWN", unknown.Name);
        Assert.Equal("An unknown result code (ZORENC_UNKNOWN 0x1234, ZorEncX)", unknown.Message);
        Assert.Throws<ArgumentException>(() => ZorEncException.For(ZorEncResultCode.Ok));
    }

    [Fact]
    public void ARawReadCancelledFromAnotherThreadEndsWithin100Ms()
    {
        // The library looks at the abort flag every 50 ms or so: a median of three
        // within 100 ms, none beyond a second (two shared cores).
        using var board = new Board(sim.Port);
        var late = new long[3];
        for (int i = 0; i < late.Length; ++i) {
            using var cancel = new CancellationTokenSource();
            long cancelledAt = 0;
            var canceller = new Thread(() =>
            {
                Thread.Sleep(150 + 37 * i);
            Volatile.Write(ref cancelledAt, Environment.TickCount64);
            cancel.Cancel();
        });
        canceller.Start();
        var aborted = Assert.Throws<ZorEncAbortedException>(() => board.ReadBytes(5, cancel.Token));
        late[i] = Environment.TickCount64 - Volatile.Read(ref cancelledAt);
        canceller.Join();
        Assert.Equal(cancel.Token, aborted.CancellationToken);
    }
    Array.Sort(late);
    Assert.True(late[1] <= 100 && late[2] < 1000, string.Join(", ", late) + " ms");
    Assert.Equal(1.5, board.GetFirmwareVersion());
}

[Fact]
public void DisposeEndsABlockedReadOnAnotherThread()
{
    var board = new Board(sim.Port);
    Exception? error = null;
        var reader = new Thread(() =>
        {
            try { board.ReadUntil((byte)'\n');
}
catch (Exception e)
{
    error = e;
}
});
reader.Start();
Thread.Sleep(200);
board.Dispose();
Assert.True(reader.Join(2000), "the read still runs");
// Aborted, or refused if the read had not begun yet.
Assert.True(error is ZorEncAbortedException or ObjectDisposedException, error?.ToString());
}

[Fact]
public void EventsSeeFramesAndOutliveCollections()
{
    using var board = new Board(sim.Port);
    var sent = new List<byte[]>();
    var received = new List<byte[]>();
    board.FrameSent += (_, e) => sent.Add(e.Frame);
    board.FrameReceived += (_, e) => received.Add(e.Frame);
    GC.Collect();
    GC.WaitForPendingFinalizers();
    board.GetFirmwareVersion();
    board.GetLogicVersion();
    Assert.Equal(2, sent.Count);
    Assert.Equal(2, received.Count);
    Assert.Equal(new byte[] { 0x02, 0x52, 0x00, 0xF0 }, sent[0].Take(4));
    Assert.Equal(0x03, received[0].Last());

    EventHandler<FrameEventArgs> throwing = (_, _) => throw new InvalidTimeZoneException("handler");
    board.FrameReceived += throwing;
    Assert.Throws<InvalidTimeZoneException>(() => board.GetTriggerMode());
    board.FrameReceived -= throwing;
    EventHandler<FrameEventArgs> reentrant = (_, _) => board.GetTriggerMode();
    board.FrameSent += reentrant;
    Assert.Throws<InvalidOperationException>(() => board.GetTriggerMode());
    board.FrameSent -= reentrant;
    board.GetTriggerMode();
    Assert.Equal(5, sent.Count);
}

[Fact]
public void CallsFromSeveralThreadsAreSerialised()
{
    using var board = new Board(sim.Port);
    int frames = 0;
    board.FrameSent += (_, _) => Interlocked.Increment(ref frames);
    int wrong = 0;
    var threads =
        Enumerable.Range(0, 4)
            .Select(ch => new Thread(() =>
                                     {
                                         for (int i = 0; i < 50; ++i) {
                                             board.SetTriggerPosition0(ch, ch * 1000 + i);
                                             if (board.GetTriggerPosition0(ch) != ch * 1000 + i)
                                                 Interlocked.Increment(ref wrong);
                                         }
                                     }))
            .ToList();
    threads.ForEach(t => t.Start());
    threads.ForEach(t => t.Join());
    Assert.Equal(0, wrong);
    Assert.Equal(400, frames);
}
}

// What a program that embeds the library sees: argument exceptions with their
// argument, messages in words, a port that is gone and comes back, and no
// library lines on its stdout unless it asks.
using System;
using System.Diagnostics;
using System.IO;
using System.Threading;

namespace Zorenc.Tests;

public sealed class EmbeddingTests : IClassFixture<Sim> {
    private readonly Sim sim;

    public EmbeddingTests(Sim sim) => this.sim = sim;

    public static TheoryData<Action<Board>, Type, string, object> Arguments => new() {
        { b => b.GetTriggerDelay(4), typeof(ZorEncChannelException), "channel", 4 },
        { b => b.GetDigitalInput(-1), typeof(ZorEncChannelException), "input", -1 },
        { b => b.GetIndexTriggerPosition(0, 0xF0), typeof(ZorEncChannelException), "index", 0xF0 },
        { b => b.SetVirtualEncoderFrequency(1, -200), typeof(ZorEncParamException), "frequency",
          -200 },
        { b => b.SetIndexTriggerLastIndex(0, 240), typeof(ZorEncParamException), "lastIndex", 240 },
        { b => b.SetTriggerControlsEachTrigger(0, nibble3: 16), typeof(ZorEncParamException),
          "nibble3", 16 },
    };

    [Theory]
    [MemberData(nameof(Arguments))]
    public void ArgumentExceptionsNameTheArgumentAndItsValue(Action<Board> call, Type type,
                                                             string param, object value)
    {
        using var board = new Board(sim.Port);
        var e = Assert.IsAssignableFrom<ArgumentOutOfRangeException>(
            Assert.Throws(type, () => call(board)));
        Assert.Equal(param, e.ParamName);
        Assert.Equal(value, e.ActualValue);
        Assert.StartsWith(char.ToUpperInvariant(param[0]) + param.Substring(1) + " " + value,
                          e.Message);
        Assert.DoesNotContain("\n", e.Message);
    }

    [Fact]
    public void MessagesPutTheWordsFirstAndNameBoardStatuses()
    {
        using var board = new Board(sim.Port);
        board.Fault(SimCommands.Status, BoardStatus.UnknownAddress);
        var status = Assert.Throws<ZorEncStatusException>(() => board.GetLogicVersion());
        Assert.Equal("unknown address", status.StatusName);
        Assert.StartsWith("The board refused the request with status 0x02: unknown address " +
                              "(ZORENC_STATUS 0x0002, ZorEncGetLogicVersion)",
                          status.Message);
        board.Fault(SimCommands.Silence);
        var timeout = Assert.Throws<ZorEncTimeoutException>(() => board.GetLogicVersion());
        Assert.Equal("No reply from the board within 1000 ms (ZORENC_ERR_TIMEOUT 0xFFF9, " +
                         "ZorEncGetLogicVersion)",
                     timeout.Message);
        var missing =
            Assert.Throws<ZorEncNotOpenException>(() => new Board("/dev/zorenc-missing0"));
        Assert.StartsWith("Cannot open port '/dev/zorenc-missing0': no such device;",
                          missing.Message);
    }

    [Fact]
    public void APortThatIsGoneIsNotATimeoutAndReopens()
    {
        string link =
            Path.Combine(Path.GetTempPath(), "zorenc-gone-" + Guid.NewGuid().ToString("N"));
        using var unpluggable = new Sim("--link " + link);
        using var board = new Board(link);
        board.SetTriggerDelay(1, 2.5);
        unpluggable.Signal("USR1");
        var watch = Stopwatch.StartNew();
        var gone = Assert.Throws<ZorEncPortGoneException>(() => board.GetFirmwareVersion());
        Assert.True(watch.Elapsed < TimeSpan.FromSeconds(5), watch.Elapsed.ToString());
        Assert.IsNotAssignableFrom<TimeoutException>(gone);
        Assert.Equal(link, gone.Port);
        Assert.StartsWith("The port " + link + " is gone; ", gone.Message);
        Assert.Throws<ZorEncNotOpenException>(() => board.Reopen()); // not back yet
        unpluggable.Signal("USR2");
        var deadline = DateTime.UtcNow + TimeSpan.FromSeconds(5);
        while (true) {
            try {
                board.Reopen();
                break;
            } catch (ZorEncNotOpenException) when (DateTime.UtcNow < deadline) {
                Thread.Sleep(50);
            }
        }
        Assert.Equal(2.5, board.GetTriggerDelay(1)); // the same board, its state kept
        Assert.Throws<InvalidOperationException>(() => new Board().Reopen());
    }

    [Fact]
    public void TheLibraryIsQuietByDefault()
    {
        // Set once a board exists: "1" unless the test's environment chose.
        using var board = new Board(sim.Port);
        string? quiet = Environment.GetEnvironmentVariable(LibraryLines.Variable);
        Assert.NotNull(quiet);
        Assert.Equal(quiet == "0" || quiet == "", LibraryLines.Enabled);
    }

#pragma warning disable CS0618 // the obsolete names still work
    [Fact]
    public void ShippedNamesStayAsObsoleteAliases()
    {
        using var board = new Board(sim.Port);
        board.SetTrgMode(3);
        Assert.Equal(3, board.GetTriggerMode());
        board.SetEncoderMultiForAnalog(2, 7);
        Assert.Equal(7, board.GetEncoderMultiplierForAnalog(2));
    }
#pragma warning restore CS0618
}

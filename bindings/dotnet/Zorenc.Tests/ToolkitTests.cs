// The Board's companion-library features against simulated boards: ports and
// port identities, and configuration files from one board to another.
using System;
using System.Linq;
using System.Text.RegularExpressions;

namespace Zorenc.Tests;

/// <summary>A second simulated board, to apply a configuration to.</summary>
public sealed class OtherSim : IDisposable {
    public Sim Sim { get; } = new Sim();

    public void Dispose() => Sim.Dispose();
}

public sealed class ToolkitTests : IClassFixture<Sim>, IClassFixture<OtherSim> {
    private readonly Sim sim;
    private readonly Sim other;

    public ToolkitTests(Sim sim, OtherSim other)
    {
        this.sim = sim;
        this.other = other.Sim;
    }

    [Fact]
    public void AProbeFindsTheSimulatedBoardAndAutoOpensIt()
    {
        var candidates = new[] { sim.Port };
        PortInfo listed =
            Assert.Single(Board.ListPorts(false, candidates), p => p.Name == sim.Port);
        Assert.Null(listed.Probe);

        PortInfo found = Assert.Single(Board.FindBoards(candidates));
        Assert.Equal(sim.Port, found.Name);
        Assert.Equal(1.5, found.Probe!.FirmwareVersion);

        using var board = new Board("auto", candidates);
        Assert.Equal(sim.Port, board.Port);
        Assert.Equal(1.5, board.GetFirmwareVersion());
    }

    [Theory]
    [InlineData("usb:12:zz", typeof(ZorEncUsageException))]
    [InlineData("serial:", typeof(ZorEncUsageException))]
    [InlineData("serial:ZORENC-NO-SUCH-ADAPTER", typeof(ZorEncNotFoundException))]
    [InlineData("usb:FFFE:FFFE", typeof(ZorEncNotFoundException))]
    public void AnIdentityThatNamesNoOnePortThrowsItsKind(string identity, Type type)
    {
        var e = Assert.ThrowsAny<ZorEncToolkitException>(() => new Board(identity));
        Assert.Equal(type, e.GetType());
        Assert.Equal("ZorToolsResolvePort", e.Function);
    }

    [Fact]
    public void AConfigurationSavedFromOneBoardMakesAnotherMatch()
    {
        using var from = new Board(sim.Port);
        using var to = new Board(other.Port);
        from.SetTriggerDelay(2, 0.29);
        from.SetEncoderResetValue(3, -500);
        to.SetTriggerDelay(2, 1.5);
        string config = from.SaveConfig();

        ConfigDifference delay =
            Assert.Single(to.DiffConfig(config), d => d.Setting == "trigger-delay");
        Assert.Equal(("1.5", "0.29"), (delay.Board, delay.File));
        ConfigApplied applied = to.ApplyConfig(config);
        Assert.Contains("trigger-delay 2", applied.Verified);
        Assert.Contains("encoder-reset-value 3", applied.Verified);
        Assert.Equal(applied.Verified, applied.Written);
        Assert.Empty(applied.Unconfirmed);
        Assert.Empty(applied.NotSent);
        Assert.False(applied.Flash);
        Assert.Empty(to.DiffConfig(config));
        Assert.Equal(0.29, to.GetTriggerDelay(2));
    }

    [Fact]
    public void AFaultyConfigurationThrowsBeforeAnythingIsSent()
    {
        using var board = new Board(other.Port);
        string saved = board.SaveConfig();
        string config =
            Regex.Replace(saved, "\"positive-run\": [^,\\n]+", "\"positive-run\": \"fast\"");
        int frames = 0;
        board.FrameSent += (_, _) => ++frames;

        var faulty = Assert.Throws<ZorEncUsageException>(() => board.ApplyConfig(config, true));
        Assert.Contains(faulty.Faults, f => f.Contains("positive-run"));
        Assert.Throws<ZorEncUsageException>(() => board.DiffConfig("{\"format\": "));
        Assert.Equal(0, frames);
        board.DiffConfig(saved); // the count sees what the companion sends
        Assert.True(frames > 0);
    }
}

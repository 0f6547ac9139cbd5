// Configuration files (docs/config.md) through the companion library: save a
// board's flash settings, compare a board with a file, apply a file.
using System;
using System.Collections.Generic;
using System.Linq;
using System.Text.Json;

namespace Zorenc {
/// <summary>A setting where the board and a configuration differ.</summary>
public sealed class ConfigDifference {
    internal ConfigDifference(JsonElement e)
    {
        Setting = e.GetProperty("setting").GetString() ?? "";
        Channel = e.GetProperty("channel").ValueKind == JsonValueKind.Number
                      ? e.GetProperty("channel").GetInt32()
                      : (int?)null;
        Index = e.GetProperty("index").ValueKind == JsonValueKind.Number
                    ? e.GetProperty("index").GetInt32()
                    : (int?)null;
        Board = e.GetProperty("board").GetRawText();
        File = e.GetProperty("file").GetRawText();
    }

    /// <summary>The setting's name (<c>trigger-delay</c>).</summary>
    public string Setting { get; }
    /// <summary>Its channel, for settings per channel.</summary>
    public int? Channel { get; }
    /// <summary>Its index, for settings per channel and index.</summary>
    public int? Index { get; }
    /// <summary>The board's value, as JSON (<c>0.29</c>, <c>[1, 2]</c>).</summary>
    public string Board { get; }
    /// <summary>The configuration's value, as JSON.</summary>
    public string File { get; }

    /// <summary>The setting, its channel and index, and both values.</summary>
    public override string ToString()
    {
        return Setting + (Channel == null ? "" : " " + Channel) +
               (Index == null ? "" : " " + Index) + ": board " + Board + ", file " + File;
    }
}

/// <summary>What <see cref="Board.ApplyConfig"/> did.</summary>
public sealed class ConfigApplied {
    internal ConfigApplied(JsonElement e)
    {
        Verified = Labels(e, "verified");
        Unconfirmed = Labels(e, "unconfirmed");
        NotSent = Labels(e, "not_sent");
        Unchanged = e.GetProperty("unchanged").GetInt32();
        Flash = e.GetProperty("flash").GetBoolean();
        Warnings = e.TryGetProperty("warnings", out JsonElement warnings)
                       ? warnings.EnumerateArray().Select(w => w.GetString() ?? "").ToArray()
                       : System.Array.Empty<string>();
    }

    private static string[] Labels(JsonElement e, string key) =>
        e.TryGetProperty(key, out var list) && list.ValueKind == JsonValueKind.Array
            ? list.EnumerateArray().Select(w => w.ToString()).ToArray()
            : Array.Empty<string>();

    /// <summary>The settings written and read back equal (<c>trigger-delay 2</c>): after a
    /// successful apply, every setting that differed.</summary>
    public IReadOnlyList<string> Verified { get; }
    /// <summary>Settings sent whose outcome is unknown; empty after a successful apply (a
    /// failed one reports them in <see cref="ZorEncBoardException.Unconfirmed"/>).</summary>
    public IReadOnlyList<string> Unconfirmed { get; }
    /// <summary>Settings not sent; empty after a successful apply.</summary>
    public IReadOnlyList<string> NotSent { get; }
    /// <summary>The same as <see cref="Verified"/>, the name of earlier releases (kept for
    /// one more release).</summary>
    public IReadOnlyList<string> Written => Verified;
    /// <summary>How many settings already had the configuration's value.</summary>
    public int Unchanged { get; }
    /// <summary>Whether the settings were saved to flash.</summary>
    public bool Flash { get; }
    /// <summary>The configuration's values with more decimals than their unit, each with what
    /// the board was given instead (<c>settings.trigger-delay[0]: 0.295 is stored as 0.29
    /// (trigger-delay is kept in hundredths)</c>).</summary>
    public IReadOnlyList<string> Warnings { get; }
}

public sealed partial class Board {
    private static readonly JsonSerializerOptions Indented =
        new JsonSerializerOptions { WriteIndented = true };

    /// <summary>Every setting the board keeps in flash, as the text of a configuration file
    /// (docs/config.md), values as the board holds them.</summary>
    /// <param name="serialNumber">The board's serial number to record in the file, if
    /// known.</param>
    /// <exception cref="ZorEncTimeoutException">The board did not answer.</exception>
    /// <exception cref="ZorEncToolkitException">The companion library failed.</exception>
    public string SaveConfig(string? serialNumber = null)
    {
        var request = new { port = Port, serial_number = serialNumber };
        return JsonSerializer.Serialize(CallToolkit("ZorToolsConfigSave", request), Indented) +
               "\n";
    }

    /// <summary>The settings where the board and a configuration differ; empty when they
    /// match.</summary>
    /// <param name="config">The text of a configuration file.</param>
    /// <exception cref="ZorEncUsageException">The configuration is faulty
    /// (<see cref="ZorEncUsageException.Faults"/>); nothing was sent.</exception>
    /// <exception cref="ZorEncTimeoutException">The board did not answer.</exception>
    public IReadOnlyList<ConfigDifference> DiffConfig(string config)
    {
        return CallToolkit("ZorToolsConfigDiff", new { text = config })
            .EnumerateArray()
            .Select(e => new ConfigDifference(e))
            .ToArray();
    }

    /// <summary>Applies a configuration: the whole of it is checked before anything is sent,
    /// then only the settings that differ are written, each read back.</summary>
    /// <param name="config">The text of a configuration file.</param>
    /// <param name="flash">Save to flash once everything is written and verified.</param>
    /// <param name="force">Apply a file saved from other firmware or logic versions.</param>
    /// <exception cref="ZorEncUsageException">The configuration is faulty; nothing was
    /// written.</exception>
    /// <exception cref="ZorEncBoardException">The file is of other versions (nothing written,
    /// <see cref="ZorEncBoardException.Reason"/> <c>version</c>), or a write, read-back or the
    /// save to flash failed (<c>write</c>, <c>flash</c>, with what was written and what was
    /// not).</exception>
    /// <exception cref="ZorEncTimeoutException">The board did not answer.</exception>
    public ConfigApplied ApplyConfig(string config, bool flash = false, bool force = false)
    {
        return new ConfigApplied(
            CallToolkit("ZorToolsConfigApply", new { text = config, flash, force }));
    }
}
}
